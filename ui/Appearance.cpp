#include "ui/Appearance.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include "base/codepage.h"

namespace wqtui {

void installFontSubstitutes() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // The face named "MS Sans Serif" holds bitmaps only, drawn unscaled at any scale factor: a
  // scalable face of like metrics stands in for it.
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
  QFont::insertSubstitutions(QStringLiteral("Myriad Pro"),
                             {QStringLiteral("PT Sans"), QStringLiteral("Liberation Sans")});
}

QFont windowFont() {
  installFontSubstitutes();
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  font.setStyleStrategy(QFont::PreferAntialias);
  // The scalable face runs a little wider than the boxes measured for the old one.
  font.setStretch(92);
  return font;
}

QFont titleFont() {
  installFontSubstitutes();
  QFont font(QStringLiteral("Myriad Pro"));
  font.setPixelSize(16);
  font.setBold(true);
  return font;
}

void paintApplicationIcon(QPainter& painter, int size) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 256.0, size / 256.0);

  // Body.
  QLinearGradient body(0, 0, 256, 256);
  body.setColorAt(0, QColor(0x3A, 0x46, 0x5E));
  body.setColorAt(1, QColor(0x16, 0x1C, 0x2A));
  painter.setPen(QPen(QColor(0x0C, 0x10, 0x18), 6));
  painter.setBrush(body);
  painter.drawRoundedRect(QRectF(52, 12, 152, 232), 26, 26);

  // Screen with four theme colours.
  const QRectF screen(70, 38, 116, 150);
  painter.setPen(Qt::NoPen);
  const QColor swatches[] = {QColor(0xE8, 0x4A, 0x3C), QColor(0xF2, 0xB1, 0x34),
                             QColor(0x3C, 0xB0, 0x6A), QColor(0x36, 0x8C, 0xE0)};
  for (int i = 0; i < 4; ++i) {
    painter.setBrush(swatches[i]);
    painter.drawRect(QRectF(screen.left(), screen.top() + i * screen.height() / 4, screen.width(),
                            screen.height() / 4 + 0.5));
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0xF4, 0xF4, 0xF4), 4));
  painter.drawRect(screen);

  // Keypad button.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xD8, 0xDC, 0xE4));
  painter.drawEllipse(QPointF(128, 214), 14, 14);
  painter.restore();
}

QImage applicationIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  paintApplicationIcon(painter, size);
  return image;
}

QIcon applicationIcon() {
  QIcon icon;
  for (int size : {256, 64, 32}) icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
  return icon;
}

QString fromCp1251(const std::string& cp1251) {
  return QString::fromStdString(wqt::cp1251ToUtf8(cp1251));
}

std::string toCp1251(const QString& text) {
  return wqt::utf8ToCp1251(text.toStdString());
}

QValidator::State Cp1251Validator::validate(QString& input, int&) const {
  for (qsizetype i = 0; i < input.size();) {
    // A surrogate pair is one character.
    const qsizetype length =
        input[i].isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate() ? 2 : 1;
    const QString character = input.mid(i, length);
    // The code page's "?" stands for every character it lacks.
    if (character.front().unicode() >= 0x80 && toCp1251(character) == "?") {
      if (refused_) refused_(character);
      return Invalid;
    }
    i += length;
  }
  return Acceptable;
}

void useClassicStyle(QWidget* widget) {
  // The style belongs to the widget, so it lives as long as the widget draws with it.
  if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
    classic->setParent(widget);
    widget->setStyle(classic);
  }
}

}  // namespace wqtui
