// The overview on its own: every picture shows exactly the preview's pixels, empty slots say so,
// wide pictures shrink to the window, files stand in columns by the width, files further down
// are made as they are scrolled to, each is named to screen readers, a
// click names its node and the saved PNG is what it shows.
#include <memory>

#include <QAccessible>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "files/preview.h"
#include "map/theme_map.h"
#include "silent_dialogs.h"
#include "theme/theme_document.h"
#include "ui/PictureImage.h"
#include "ui/ThemeOverview.h"
#include "ui/UserDialogs.h"

namespace {

// Display order: 0 "Pictures", 1 "Wallpaper", 2 "Bar", 3 "Empty", 4 "Grey", 5 "Wide",
// 6 "Clock", 7 "Colours".
const char* const kMap =
    "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
    "<ThemeSettings \"A0\" \"100\" \"7\">\n"
    "<group \"Pictures\">\n"
    "<file \"Wallpaper\" \"0\" \"JPG\" \"40\" \"24\">\n"
    "<file \"Bar\" \"1\" \"RAW\" \"6\" \"4\">\n"
    "<file \"Empty\" \"2\" \"JPG\" \"200\" \"60\">\n"
    "<file \"Grey\" \"3\" \"JPG\" \"20\" \"10\">\n"
    "<file \"Wide\" \"4\" \"JPG\" \"2000\" \"100\">\n"
    "</group \"\">\n"
    "<file \"Clock\" \"5\" \"ANI2\" \"2\" \"3\">\n"
    "<file \"Colours\" \"6\" \"COLORTAB\" \"8\">\n";

std::vector<std::uint8_t> jpegBytes(int width, int height, QImage::Format format) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 6, y * 9, (x + y) * 3));
  }
  image = image.convertToFormat(format);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG");
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> rawBytes(int width, int height) {
  std::vector<std::uint8_t> bytes(std::size_t(width * height * 2));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 37 + 11);
  return bytes;
}

// Answers the save dialog; nothing else is asked of it.
class SaveDialogs : public SilentDialogs {
 public:
  QString getSaveFileName(QWidget*, const QString&, const QString&) override { return saveAs; }
  void errorMessage(const QString& text) override { errors << text; }

  QString saveAs;
  QStringList errors;
};

QWidget* fileFrame(QWidget& overview, int node) {
  for (QWidget* frame : overview.findChildren<QWidget*>(QStringLiteral("overviewFile"))) {
    if (frame->property("node").toInt() == node) return frame;
  }
  return nullptr;
}

QImage shown(QWidget* widget) {
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class ThemeOverviewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  wqt::ThemeMap map_;
  wqt::ThemeDocument doc_;
  SaveDialogs dialogs_;
  std::unique_ptr<wqtui::TThemeOverview> overview_;

  std::filesystem::path scratch() const { return wqtui::toPath(dir_.filePath("temp")); }

  // The picture the main window's preview makes of the entry's slot.
  QImage preview(std::int32_t entry) const {
    const auto data = doc_.entryData(entry);
    const wqt::FileEntry& e = *map_.entry(entry);
    return wqtui::pictureImage(e.kind == wqt::EntryKind::Jpg ? wqt::jpegPreview(data, scratch())
                                                             : wqt::rawPreview(e, data))
        .convertToFormat(QImage::Format_RGB32);
  }

 private Q_SLOTS:
  void init() {
    QFile map(dir_.filePath("theme.rxt"));
    QVERIFY(map.open(QIODevice::WriteOnly));
    map.write(kMap);
    map.close();
    map_.load(wqtui::toPath(map.fileName()));
    doc_.create(map_.settings());
    doc_.replaceEntryData(0, jpegBytes(40, 24, QImage::Format_RGB32));
    doc_.replaceEntryData(1, rawBytes(6, 4));
    doc_.replaceEntryData(3, jpegBytes(20, 10, QImage::Format_Grayscale8));
    doc_.replaceEntryData(4, jpegBytes(2000, 100, QImage::Format_RGB32));
    doc_.replaceEntryData(5, std::vector<std::uint8_t>(2 * 3 * 3 + 8, 1));
    doc_.replaceEntryData(6, std::vector<std::uint8_t>(8, 2));
    overview_ = std::make_unique<wqtui::TThemeOverview>(map_, doc_, scratch(), false, dialogs_);
    overview_->show();
    QVERIFY(QTest::qWaitForWindowExposed(overview_.get()));
    QCoreApplication::processEvents();
  }

  void cleanup() { overview_.reset(); }

  // A grey JPEG decodes to an indexed picture; the window's own tests show colour ones.
  void aGreyPictureShowsThePreviewsPixels() {
    QWidget* picture = fileFrame(*overview_, 4)->findChild<QWidget*>("overviewPicture");
    QVERIFY(picture != nullptr);
    QCOMPARE(shown(picture), preview(3));
  }

  void filesAreCaptionedWithTheirSize_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("box");  // empty: no box below the caption
    QTest::newRow("missing JPG") << 3 << "Empty, 0 б"
                                 << "Файл отсутствует!";
    QTest::newRow("colour table") << 7 << "Colours, 8 б"
                                  << "";
  }
  void filesAreCaptionedWithTheirSize() {
    QFETCH(int, node);
    QFETCH(QString, caption);
    QFETCH(QString, box);
    QWidget* frame = fileFrame(*overview_, node);
    const auto labels = frame->findChildren<QLabel*>();
    QCOMPARE(labels.value(0)->text(), caption);
    QCOMPARE(labels.size(), box.isEmpty() ? 1 : 2);
    if (box.isEmpty()) return;
    QCOMPARE(labels[1]->text(), box);
    QCOMPARE(labels[1]->size(), QSize(200, 60));
  }

  void aWidePictureShrinksToTheWindow() {
    QWidget* picture = fileFrame(*overview_, 5)->findChild<QWidget*>("overviewPicture");
    QVERIFY(picture->width() < overview_->width());
    QCOMPARE(picture->height(), 100 * picture->width() / 2000);
    overview_->resize(2200, 400);
    QCoreApplication::processEvents();
    QCOMPARE(picture->size(), QSize(2000, 100));
    QCOMPARE(shown(picture), preview(4));
  }

  // Files stand side by side in as many columns of the widest file as the width takes.
  void filesFillTheWidthInColumns() {
    overview_->resize(4200, 400);
    QCoreApplication::processEvents();
    const auto at = [this](int node) { return fileFrame(*overview_, node)->pos(); };
    QCOMPARE(at(2).y(), at(1).y());
    QVERIFY(at(2).x() >= at(1).x() + 2000);
    QVERIFY(at(3).y() > at(1).y());
    QCOMPARE(at(3).x(), at(1).x());
    overview_->resize(640, 400);
    QCoreApplication::processEvents();
    QVERIFY(at(2).y() > at(1).y());
    QCOMPARE(at(2).x(), at(1).x());
  }

  // A window to screen readers, each file named by its caption.
  void accessibleNames() {
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(overview_.get());
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Обзор темы"));
    QWidget* picture = fileFrame(*overview_, 2)->findChild<QWidget*>("overviewPicture");
    QCOMPARE(QAccessible::queryAccessibleInterface(picture)->text(QAccessible::Name),
             QStringLiteral("Bar, 48 б"));
  }

  // Files are made as they come into view; scrolled to the end, the last one is there.
  void scrollingShowsTheFilesFurtherDown() {
    overview_->resize(640, 120);
    QCoreApplication::processEvents();
    overview_->rebuild();
    QCoreApplication::processEvents();
    QScrollBar* bar = overview_->findChild<QScrollArea*>()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    QWidget* last = fileFrame(*overview_, 7);
    QVERIFY(last != nullptr);
    QVERIFY(last->isVisible());
    QCOMPARE(last->findChild<QLabel*>()->text(), QStringLiteral("Colours, 8 б"));
  }

  void aClickNamesTheNode_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("part");
    QTest::newRow("picture") << 2 << "overviewPicture";
    QTest::newRow("caption") << 6 << "";
  }
  void aClickNamesTheNode() {
    QFETCH(int, node);
    QFETCH(QString, part);
    QWidget* frame = fileFrame(*overview_, node);
    QWidget* target =
        part.isEmpty() ? frame->findChild<QLabel*>() : frame->findChild<QWidget*>(part);
    QSignalSpy clicked(overview_.get(), &wqtui::TThemeOverview::nodeClicked);
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked[0][0].toInt(), node);
  }

  void saveWritesWhatIsShown() {
    dialogs_.saveAs = dir_.filePath("overview");
    QSignalSpy told(overview_.get(), &wqtui::TThemeOverview::saved);
    overview_->findChild<QPushButton*>("saveOverviewButton")->click();
    QVERIFY(dialogs_.errors.isEmpty());
    const QImage saved(dir_.filePath("overview.png"), "PNG");
    QVERIFY(!saved.isNull());
    QCOMPARE(told.value(0).value(0).toString(), dir_.filePath("overview.png"));
    // The header's lines above the files.
    QVERIFY(saved.height() > overview_->findChild<QWidget*>("overviewContent")->height());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
             overview_->overviewImage().convertToFormat(QImage::Format_RGB32));
  }
};

QTEST_MAIN(ThemeOverviewTest)
#include "theme_overview_test.moc"
