// Editing in another program, from the window's context menu to its preview: a stand-in editor,
// registered as the desktop's default program for PNG and JPEG in a private home, saves the file
// twice by writing a new file and renaming it over the old one. Each save is imported once, with
// its final bytes; a JPEG saved at other dimensions goes through the fitting dialog; watching ends
// with the theme.
#include <QFileInfo>

#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "ui/ExternalEdit.h"
#include "window_fixture.h"

using namespace wqttest;

namespace {

constexpr int kWait = 20000;
const QString kUpdated = QStringLiteral("Файл обновлён из внешней программы.");

QByteArray pngOf(QColor colour) {
  QImage image(4, 2, QImage::Format_RGB32);
  image.fill(colour);
  return pngBytes(image);
}

std::span<const std::uint8_t> span(const QByteArray& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())};
}

// The RAW words a PNG becomes, as the core converts it.
QByteArray rawOf(const QByteArray& png) {
  return bytesOf(wqt::rgbToRaw(wqt::decodePng(span(png), wqt::kMaxPreviewPixels)));
}

}  // namespace

class ExternalEditTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  // Hides the fixture's own: the private home below also keeps installed maps out of the way.
  void initTestCase();
  void savesReachThePreview_data();
  void savesReachThePreview();

 private:
  QTemporaryDir home_;
};

void ExternalEditTest::initTestCase() {
  QVERIFY(home_.isValid());
  const QString root = home_.path();
  qputenv("HOME", root.toUtf8());
  qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
  qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
  qputenv("XDG_CACHE_HOME", (root + "/cache").toUtf8());
  // The system's MIME database and nothing else of its data: xdg-open's helpers tell a file's
  // type from it, and without one fall back to a web browser.
  QVERIFY(QDir().mkpath(root + "/system"));
  QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), root + "/system/mime"));
  qputenv("XDG_DATA_DIRS", (root + "/system").toUtf8());
  qputenv("XDG_CONFIG_DIRS", (root + "/none").toUtf8());
  // No desktop: xdg-open takes its generic way through mimeapps.list and .desktop files. It
  // wants some display to be named; nothing connects to it.
  for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                           "GNOME_DESKTOP_SESSION_ID", "DISPLAY", "BROWSER"})
    qunsetenv(name);
  qputenv("WAYLAND_DISPLAY", "wqt-test-none");

  QVERIFY(QDir().mkpath(root + "/data/applications"));
  QVERIFY(QDir().mkpath(root + "/config"));
  QVERIFY(QDir().mkpath(root + "/versions"));
  const QString editor = root + "/standin.sh";
  writeFile(editor,
            "#!/bin/sh\n"
            "dir=$(dirname \"$0\")/versions\n"
            "cp \"$dir/1\" \"$1.part\" && mv \"$1.part\" \"$1\"\n"
            "sleep 1.5\n"
            "cp \"$dir/2\" \"$1.part\" && mv \"$1.part\" \"$1\"\n");
  QVERIFY(QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  writeFile(root + "/data/applications/standin.desktop",
            "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + editor.toUtf8() +
                " %f\nMimeType=image/png;image/jpeg;\n");
  writeFile(root + "/config/mimeapps.list",
            "[Default Applications]\nimage/png=standin.desktop\nimage/jpeg=standin.desktop\n");
}

void ExternalEditTest::savesReachThePreview_data() {
  QTest::addColumn<int>("node");
  QTest::addColumn<QByteArray>("first");
  QTest::addColumn<QByteArray>("second");
  QTest::addColumn<QList<bool>>("fitAnswers");
  // The entry's bytes after each import; an empty one stands for a fitted picture.
  QTest::addColumn<QList<QByteArray>>("stored");
  QTest::addColumn<QString>("thenCommand");

  const QByteArray png1 = pngOf(QColor(0x80, 0x40, 0x20));
  const QByteArray png2 = pngOf(QColor(0xF0, 0x10, 0x90));
  QTest::newRow("RAW as PNG, then a theme opened")
      << 2 << png1 << png2 << QList<bool>{} << QList<QByteArray>{rawOf(png1), rawOf(png2)}
      << "MM_Child_OpenTheme";
  const QByteArray exact = jpegBytes(16, 8, QColor(20, 160, 40));
  const QByteArray resized = jpegBytes(32, 16, QColor(30, 30, 200));
  QTest::newRow("JPG resized, fitted, then a theme created")
      << 1 << exact << resized << QList<bool>{true} << QList<QByteArray>{exact, QByteArray()}
      << "MM_Child_CreateTheme";
  QTest::newRow("JPG resized, fitting cancelled, watched on")
      << 1 << resized << exact << QList<bool>{false} << QList<QByteArray>{exact}
      << "MM_Child_CreateTheme";
}

void ExternalEditTest::savesReachThePreview() {
  QFETCH(int, node);
  QFETCH(QByteArray, first);
  QFETCH(QByteArray, second);
  QFETCH(QList<bool>, fitAnswers);
  QFETCH(QList<QByteArray>, stored);
  QFETCH(QString, thenCommand);
  writeFile(home_.path() + "/versions/1", first);
  writeFile(home_.path() + "/versions/2", second);
  TMainForm* f = openedForm(themeBytes(fourFiles()));
  const std::int32_t entry = node - 1;
  QList<QByteArray> imported;
  connect(f, &TMainForm::documentChanged, this, [&](std::int32_t changed) {
    if (changed == entry) imported << entryBytes(f, entry);
  });
  for (const bool answer : fitAnswers) dialogs->fitAnswers.push_back(answer);

  QMenu* menu = openTreeMenu(f, node, ByMenuKey);
  QVERIFY(menu != nullptr);
  menu->findChild<QAction*>(QStringLiteral("PM_EditExternally"))->trigger();
  menu->close();
  const QString cache = home_.path() + "/cache/orvalen-wqt-manager/edit";
  QCOMPARE(filesBelow(cache).size(), 1);
  const QString path = cache + "/" + filesBelow(cache).front();
  // The copies are the user's alone.
  for (const QString& folder :
       {QFileInfo(path).path(), home_.path() + "/cache/orvalen-wqt-manager"})
    QCOMPARE(std::filesystem::status(folder.toStdString()).permissions(),
             std::filesystem::perms::owner_all);

  QTRY_COMPARE_WITH_TIMEOUT(imported.size(), stored.size(), kWait);
  QTest::qWait(3 * wqtui::TExternalEdit::kQuietMs);  // and nothing more
  QCOMPARE(imported.size(), stored.size());
  QCOMPARE(dialogs->fittedPictures, QStringList(QList<QString>(fitAnswers.size(), path)));
  QVERIFY(dialogs->messages.empty());
  for (int i = 0; i < stored.size(); ++i) {
    if (!stored[i].isEmpty()) {
      QCOMPARE(imported[i], stored[i]);
      continue;
    }
    const wqt::JpegSize size = wqt::readJpegSize(span(imported[i]));
    QCOMPARE(QSize(size.width, size.height), QSize(16, 8));
  }
  QCOMPARE(panel(f, 1), kUpdated);
  const QImage expected =
      node == 1 ? expectedJpeg(imported.back()) : rawPicture(imported.back(), 4, 2);
  QCOMPARE(shownPicture(f, expected.size()), expected);

  dialogs->threeWayAnswers.push_back(wqtui::UserDialogs::Answer::No);
  dialogs->openAnswers.push_back(tempPath("theme.wqt"));
  trigger(f, thenCommand.toLatin1().constData());
  QVERIFY(!QFile::exists(path));
  QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
}

WQT_WINDOW_TEST(ExternalEditTest)
#include "external_edit_test.moc"
