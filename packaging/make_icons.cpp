// Writes the application icon as a hicolor icon tree for installing: 32, 64 and 256 pixel PNG
// files and a scalable SVG, all drawn by the function the window's own icon comes from, so the
// menu shows the picture the title bar does. The SVG is drawn back and checked against the PNG.
// Usage: make-icons <folder> <application id>   (run on Qt's offscreen platform)
#include <cmath>
#include <cstdio>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <QSvgRenderer>

#include "ui/Appearance.h"

namespace {

// The icon file's path in the tree, its folder made.
QString iconPath(const QString& root, const QString& sizeFolder, const QString& fileName) {
  const QString folder = root + QLatin1Char('/') + sizeFolder + QStringLiteral("/apps");
  if (!QDir().mkpath(folder)) return {};
  return folder + QLatin1Char('/') + fileName;
}

bool writeSvg(const QString& path) {
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(QSize(256, 256));
  svg.setViewBox(QRect(0, 0, 256, 256));
  svg.setTitle(QStringLiteral("Orvalen WQT Manager"));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  wqtui::paintApplicationIcon(painter, 256);
  return painter.end();
}

// The SVG as Qt draws it back at 256 pixels, against the PNG of that size: how far apart the
// two are, as the mean difference per colour channel.
double svgDrift(const QString& svgPath) {
  const QImage expected = wqtui::applicationIconImage(256);
  QImage drawn(256, 256, QImage::Format_ARGB32_Premultiplied);
  drawn.fill(Qt::transparent);
  QSvgRenderer renderer(svgPath);
  QPainter painter(&drawn);
  renderer.render(&painter);
  painter.end();
  double sum = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const QRgb a = expected.pixel(x, y), b = drawn.pixel(x, y);
      sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
             std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
    }
  return sum / (256.0 * 256 * 4);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fputs("usage: make-icons <folder> <application id>\n", stderr);
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  const QString id = QString::fromLocal8Bit(argv[2]);
  for (int size : {32, 64, 256}) {
    const QString path = iconPath(root, QStringLiteral("%1x%1").arg(size), id + ".png");
    if (path.isEmpty() || !wqtui::applicationIconImage(size).save(path, "PNG")) {
      std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  const QString svgPath = iconPath(root, QStringLiteral("scalable"), id + ".svg");
  if (svgPath.isEmpty() || !writeSvg(svgPath)) {
    std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(svgPath));
    return 1;
  }
  // A drawing step the SVG cannot express would make the scalable icon differ from the others.
  if (const double drift = svgDrift(svgPath); drift > 0.5) {
    std::fprintf(stderr, "make-icons: %s draws differently from the PNG icons (mean %.2f)\n",
                 qPrintable(svgPath), drift);
    return 1;
  }
  return 0;
}
