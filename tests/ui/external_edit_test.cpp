// Editing in another program: a stand-in editor, registered as the desktop's default program for
// PNG and JPEG in a private home, saves the file twice by writing a new file and renaming it over
// the old one; each save reaches the window once, with its final bytes.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "base/file_io.h"
#include "files/png_picture.h"
#include "sample/jpeg_encoder.h"
#include "ui/ExternalEdit.h"

Q_DECLARE_METATYPE(wqt::EntryKind)

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWait = 20000;

Bytes png(int width, int height, std::uint8_t shade) {
  wqt::RgbPicture picture{width, height, Bytes(std::size_t(width) * height * 3, shade)};
  return wqt::encodePng(picture);
}

Bytes jpeg(int width, int height, std::uint8_t shade) {
  return wqt::sample::encodeJpeg(Bytes(std::size_t(width) * height * 3, shade), width, height, 3,
                                 JCS_RGB);
}

void writeText(const QString& path, const QByteArray& text) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(text), text.size());
}

}  // namespace

class ExternalEditTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void savesReachTheWindow_data();
  void savesReachTheWindow();

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
  qputenv("XDG_DATA_DIRS", (root + "/none").toUtf8());
  qputenv("XDG_CONFIG_DIRS", (root + "/none").toUtf8());
  // No desktop: the opener takes its generic way through mimeapps.list and .desktop files. It
  // wants some display to be named; nothing connects to it.
  for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                           "GNOME_DESKTOP_SESSION_ID", "DISPLAY", "BROWSER"})
    qunsetenv(name);
  qputenv("WAYLAND_DISPLAY", "wqt-test-none");

  QVERIFY(QDir().mkpath(root + "/data/applications"));
  QVERIFY(QDir().mkpath(root + "/config"));
  QVERIFY(QDir().mkpath(root + "/versions"));
  const QString editor = root + "/standin.sh";
  writeText(editor,
            "#!/bin/sh\n"
            "dir=$(dirname \"$0\")/versions\n"
            "cp \"$dir/1\" \"$1.part\" && mv \"$1.part\" \"$1\"\n"
            "sleep 1.5\n"
            "cp \"$dir/2\" \"$1.part\" && mv \"$1.part\" \"$1\"\n");
  QVERIFY(QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  writeText(root + "/data/applications/standin.desktop",
            "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + editor.toUtf8() +
                " %f\nMimeType=image/png;image/jpeg;\n");
  writeText(root + "/config/mimeapps.list",
            "[Default Applications]\nimage/png=standin.desktop\nimage/jpeg=standin.desktop\n");
}

void ExternalEditTest::savesReachTheWindow_data() {
  QTest::addColumn<wqt::EntryKind>("kind");
  QTest::addColumn<QByteArray>("stored");
  QTest::addColumn<QByteArray>("first");
  QTest::addColumn<QByteArray>("second");
  QTest::addColumn<bool>("secondMatches");
  const auto qbytes = [](const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  };
  QTest::newRow("RAW as PNG") << wqt::EntryKind::Raw << QByteArray(4 * 3 * 2, '\0')
                              << qbytes(png(4, 3, 0x80)) << qbytes(png(4, 3, 0xF0)) << true;
  QTest::newRow("JPG, then resized")
      << wqt::EntryKind::Jpg << qbytes(jpeg(8, 8, 0x10)) << qbytes(jpeg(8, 8, 0x90))
      << qbytes(jpeg(16, 8, 0x90)) << false;
}

void ExternalEditTest::savesReachTheWindow() {
  QFETCH(wqt::EntryKind, kind);
  QFETCH(QByteArray, stored);
  QFETCH(QByteArray, first);
  QFETCH(QByteArray, second);
  QFETCH(bool, secondMatches);
  const auto span = [](const QByteArray& bytes) {
    return std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                     std::size_t(bytes.size()));
  };
  wqt::writeFileReplacing((home_.path() + "/versions/1").toStdString(), span(first));
  wqt::writeFileReplacing((home_.path() + "/versions/2").toStdString(), span(second));

  wqtui::TExternalEdit edit;
  QList<wqtui::TExternalEditUpdate> updates;
  connect(&edit, &wqtui::TExternalEdit::updated, this,
          [&](const wqtui::TExternalEditUpdate& update) { updates.append(update); });
  wqt::FileEntry entry{kind, kind == wqt::EntryKind::Jpg ? "JPG" : "RAW", 8, 8, 0};
  if (kind == wqt::EntryKind::Raw) entry.width = 4, entry.height = 3;
  const QString path = edit.edit(7, entry, span(stored));
  QVERIFY(path.startsWith(home_.path() + "/cache/orvalen-wqt-manager/edit/"));

  QTRY_COMPARE_WITH_TIMEOUT(updates.size(), 2, kWait);
  QTest::qWait(3 * wqtui::TExternalEdit::kQuietMs);  // and no third one
  QCOMPARE(updates.size(), 2);
  const QByteArray saved[] = {first, second};
  for (int i = 0; i < 2; ++i) {
    QCOMPARE(updates[i].entry, 7);
    QCOMPARE(updates[i].path, path);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(updates[i].bytes.data()),
                        qsizetype(updates[i].bytes.size())),
             saved[i]);
  }
  QVERIFY(updates[0].dimensionsMatch);
  QCOMPARE(updates[1].dimensionsMatch, secondMatches);

  edit.stop();
  QVERIFY(!QFile::exists(path));
  QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
}

QTEST_MAIN(ExternalEditTest)
#include "external_edit_test.moc"
