// The fitting dialog on its own: the result view shows exactly the pixels the core stores, the
// crop window drags, and a file of no picture is refused.
#include <cmath>
#include <deque>
#include <memory>
#include <vector>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "fit/fit_picture.h"
#include "silent_dialogs.h"
#include "ui/FitDialog.h"
#include "ui/UserDialogs.h"

namespace {

constexpr int kWait = 30000;  // the sanitizer build reads slowly

// Answers the colour chooser; nothing else is asked of it here.
class ColourDialogs : public SilentDialogs {
 public:
  QColor getColor(QWidget*, const QColor&, const QString&) override { return colour; }

  QColor colour;
};

// A photo-like picture: smooth gradients crossing, so resampling and dithering both show.
QImage photo(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixel(
          x, y, qRgb(x * 255 / width, y * 255 / height, int(127 + 120 * std::sin((x + y) / 9.0))));
    }
  }
  return image;
}

QString writeJpeg(const QTemporaryDir& dir, int width, int height) {
  const QString path = dir.filePath(QStringLiteral("photo.jpg"));
  photo(width, height).save(path, "JPG");
  return path;
}

// The dialog once its source is read and its first result made.
std::unique_ptr<wqtui::TFitDialog> openDialog(const wqt::FitTarget& target, const QString& path,
                                              wqtui::UserDialogs& dialogs) {
  auto dialog = std::make_unique<wqtui::TFitDialog>(target, path, dialogs);
  dialog->show();
  QSignalSpy made(dialog.get(), &wqtui::TFitDialog::resultChanged);
  if (!made.wait(kWait)) return nullptr;
  return dialog;
}

// The result view as the screen would show it, compared pixel by pixel with what is stored: each
// stored pixel a block of the chosen zoom.
void compareShown(wqtui::TFitDialog& dialog, const wqt::RgbPicture& stored) {
  QCoreApplication::processEvents();
  const int zoom = dialog.findChild<QComboBox*>(QStringLiteral("fitZoom"))->currentData().toInt();
  const QImage shown = dialog.findChild<QLabel*>(QStringLiteral("fitResultView"))
                           ->grab()
                           .toImage()
                           .convertToFormat(QImage::Format_RGB888);
  QCOMPARE(shown.size(), QSize(stored.width * zoom, stored.height * zoom));
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      const auto at = stored.rgb.begin() + (std::ptrdiff_t(y / zoom) * stored.width + x / zoom) * 3;
      QVERIFY(std::equal(at, at + 3, shown.constScanLine(y) + x * 3));
    }
  }
}

wqt::FitResult coreFit(const QString& path, const wqt::FitTarget& target,
                       const wqt::FitOptions& options) {
  const wqt::SourcePicture source =
      wqt::readSourceFile(wqtui::toPath(path), {target, options.background});
  return wqt::fitPicture(source, target, options);
}

void selectData(QComboBox* box, int value) {
  box->setCurrentIndex(box->findData(value));
}

}  // namespace

class FitDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void resultViewShowsTheStoredPixels_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("dither");
    QTest::addColumn<int>("quality");  // 0: automatic
    QTest::addColumn<QColor>("background");
    const int jpg = int(wqt::FileKind::Jpg), raw = int(wqt::FileKind::Raw);
    const int crop = int(wqt::FitMode::Crop), inside = int(wqt::FitMode::Inside),
              stretch = int(wqt::FitMode::Stretch);
    const int diffusion = int(wqt::Dither::Diffusion);
    QTest::newRow("jpg inside, orange, quality 30")
        << jpg << inside << diffusion << 30 << QColor(255, 128, 0);
    QTest::newRow("raw stretch, ordered")
        << raw << stretch << int(wqt::Dither::Ordered) << 0 << QColor();
    QTest::newRow("raw crop, undithered") << raw << crop << int(wqt::Dither::None) << 0 << QColor();
  }
  void resultViewShowsTheStoredPixels() {
    QFETCH(int, kind);
    QFETCH(int, mode);
    QFETCH(int, dither);
    QFETCH(int, quality);
    QFETCH(QColor, background);
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, 300, 180);
    const wqt::FitTarget target{wqt::FileKind(kind), 40, 56};
    ColourDialogs dialogs;
    auto dialog = openDialog(target, path, dialogs);
    QVERIFY(dialog);

    wqt::FitOptions options;
    if (background.isValid()) {
      dialogs.colour = background;
      QSignalSpy made(dialog.get(), &wqtui::TFitDialog::resultChanged);
      dialog->findChild<QPushButton*>(QStringLiteral("fitBackground"))->click();
      QVERIFY(made.wait(kWait));
      options.background = {std::uint8_t(background.red()), std::uint8_t(background.green()),
                            std::uint8_t(background.blue())};
    }
    selectData(dialog->findChild<QComboBox*>(QStringLiteral("fitMode")), mode);
    selectData(dialog->findChild<QComboBox*>(QStringLiteral("fitDither")), dither);
    dialog->findChild<QSpinBox*>(QStringLiteral("fitQuality"))->setValue(quality);
    options.mode = wqt::FitMode(mode);
    options.dither = wqt::Dither(dither);
    if (quality != 0) options.quality = quality;

    const wqt::FitResult expected = coreFit(path, target, options);
    QVERIFY(dialog->fitResult());
    QVERIFY(dialog->fitResult()->bytes == expected.bytes);
    compareShown(*dialog, expected.stored);
  }

  // Small targets open enlarged as far as the room beside the source allows; any zoom shows the
  // stored pixels as blocks, scrolled when they outgrow that room.
  void resultViewEnlarges_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("opensAt");
    QTest::addColumn<bool>("scrollsAt2");
    QTest::newRow("32 × 32 icon") << 32 << 32 << 8 << false;
    QTest::newRow("240 × 320 wallpaper") << 240 << 320 << 1 << true;
  }
  void resultViewEnlarges() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, opensAt);
    QFETCH(bool, scrollsAt2);
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, 300, 180);
    ColourDialogs dialogs;
    auto dialog = openDialog({wqt::FileKind::Raw, width, height}, path, dialogs);
    QVERIFY(dialog);
    auto* zoom = dialog->findChild<QComboBox*>(QStringLiteral("fitZoom"));
    QCOMPARE(zoom->currentData().toInt(), opensAt);
    compareShown(*dialog, dialog->fitResult()->stored);
    selectData(zoom, 2);
    compareShown(*dialog, dialog->fitResult()->stored);
    QCOMPARE(dialog->findChild<QScrollArea*>()->verticalScrollBar()->maximum() > 0, scrollsAt2);
  }

  void draggingTheWindowMovesTheCrop() {
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, 400, 100);
    const wqt::FitTarget target{wqt::FileKind::Raw, 32, 32};
    ColourDialogs dialogs;
    auto dialog = openDialog(target, path, dialogs);
    QVERIFY(dialog);
    QWidget* view = dialog->findChild<QWidget*>(QStringLiteral("fitSourceView"));
    const auto drag = [view](QPoint from, QPoint to) {
      QMouseEvent press(QEvent::MouseButtonPress, from, view->mapToGlobal(from), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
      QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                       Qt::NoModifier);
      QMouseEvent release(QEvent::MouseButtonRelease, to, view->mapToGlobal(to), Qt::LeftButton,
                          Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(view, &press);
      QApplication::sendEvent(view, &move);
      QApplication::sendEvent(view, &release);
    };
    const QPoint centre = view->rect().center();
    drag(centre, centre + QPoint(60, 30));
    const wqt::FitOptions moved = dialog->options();
    QVERIFY(moved.cropX > 0.6);
    QCOMPARE(moved.cropY, 0.5);  // the window spans the picture's height
    QVERIFY(dialog->fitResult()->bytes == coreFit(path, target, moved).bytes);
    compareShown(*dialog, dialog->fitResult()->stored);

    // Past the edge the window stops there; outside "crop to fill" it does not move.
    const QPoint movedCentre = centre + QPoint(60, 0);  // where the window is now
    drag(movedCentre, movedCentre + QPoint(-1000, 0));
    QCOMPARE(dialog->options().cropX, 0.0);
    selectData(dialog->findChild<QComboBox*>(QStringLiteral("fitMode")), int(wqt::FitMode::Inside));
    drag(centre, centre + QPoint(60, 0));
    QCOMPARE(dialog->options().cropX, 0.0);
  }

  void aFileOfNoPictureIsRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
    file.close();
    ColourDialogs dialogs;
    auto dialog = openDialog({wqt::FileKind::Jpg, 16, 16}, path, dialogs);
    QVERIFY(dialog);
    QVERIFY(!dialog->fitResult());
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("fitStatus"))->text(),
             QString::fromUtf8(wqt::kUnknownPictureMessage));
    QVERIFY(!dialog->findChild<QPushButton*>(QStringLiteral("fitOk"))->isEnabled());
  }

  // "OK" is taken through the window's fitted imports.
  void cancelGivesNothing() {
    QTemporaryDir dir;
    ColourDialogs dialogs;
    auto dialog = openDialog({wqt::FileKind::Jpg, 48, 64}, writeJpeg(dir, 120, 90), dialogs);
    QVERIFY(dialog);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("fitCancel")), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->QDialog::result(), int(QDialog::Rejected));
    QVERIFY(!dialog->acceptedBytes());
  }
};

QTEST_MAIN(FitDialogTest)
#include "fit_dialog_test.moc"
