// The built editor started as a user starts it, on Qt's offscreen platform: what its command line
// does before and after the window opens, read from its exit status, its messages and the status
// bar it reports.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "sample/theme_builder.h"

namespace {

const char* const kMap =
    "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
    "<ThemeSettings \"A0\" \"100\" \"1\">\n"
    "<file \"Colours\" \"0\" \"COLORTAB\" \"4\">\n";

struct Run {
  int status = -1;
  QString out;
  QString err;
};

// The editor started in a folder; a run that does not end within the limit counts as failed
// (a modal message box would wait there for ever).
Run runEditor(const QString& folder, const QStringList& arguments, bool display) {
  QProcess editor;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ORVALEN_WQT_MANAGER_REPORT_START"), QStringLiteral("1"));
  // The recent themes and the window's place go to the folder's own settings, not the user's.
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  if (display) {
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  } else {
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  }
  editor.setProcessEnvironment(env);
  editor.setWorkingDirectory(folder);
  editor.start(QStringLiteral(WQT_EDITOR), arguments);
  Run run;
  if (!editor.waitForFinished(60000)) {
    editor.kill();
    editor.waitForFinished();
    return run;
  }
  run.status = editor.exitStatus() == QProcess::NormalExit ? editor.exitCode() : -1;
  run.out = QString::fromUtf8(editor.readAllStandardOutput());
  run.err = QString::fromUtf8(editor.readAllStandardError());
  return run;
}

}  // namespace

class EditorStartTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void commandLine_data() {
    QTest::addColumn<QStringList>("arguments");  // "MAP" stands for the map's absolute path
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // the status panels, tab between, or the help's first line
    QTest::addColumn<QString>("err");  // a part of what goes to standard error

    QTest::newRow("theme in a subfolder, platform option before it")
        << QStringList{"-platform", "offscreen", "--map", "MAP", "sub/../Relative.wqt"} << true << 0
        << "Relative.wqt\tФайл загружен.\n"
        << "";
    QTest::newRow("no theme") << QStringList{"--map", "MAP"} << true << 0 << "\t\n"
                              << "";
    QTest::newRow("unknown option without a display") << QStringList{"--bogus"} << false << 2 << ""
                                                      << "Неизвестный параметр «bogus»";
    QTest::newRow("two themes without a display")
        << QStringList{"a.wqt", "b.wqt"} << false << 2 << ""
        << "Лишний аргумент «b.wqt»";
    QTest::newRow("help without a display")
        << QStringList{"--help"} << false << 0 << "Использование:"
        << "";
  }

  void commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    QFile map(folder.filePath(QStringLiteral("theme.rxt")));
    QVERIFY(map.open(QIODevice::WriteOnly));
    map.write(kMap);
    map.close();
    wqt::sample::ThemeRecipe recipe;
    recipe.sign1 = "WQTTESTTHEME1";
    recipe.sign2 = "WQTTESTSIGNATURE2";
    recipe.tableOffset = 0xA0;
    recipe.dataOffset = 0x100;
    recipe.type = -1;
    const std::vector<std::uint8_t> theme = wqt::sample::themeFile(recipe, {{1, 2, 3, 4}});
    QFile themeFile(folder.filePath(QStringLiteral("Relative.wqt")));
    QVERIFY(themeFile.open(QIODevice::WriteOnly));
    themeFile.write(reinterpret_cast<const char*>(theme.data()), qsizetype(theme.size()));
    themeFile.close();
    arguments.replaceInStrings(QStringLiteral("MAP"), map.fileName());

    const Run run = runEditor(folder.path(), arguments, display);
    QVERIFY2(run.status >= 0, "the editor did not end by itself");
    QCOMPARE(run.status, status);
    if (out.isEmpty() || out.endsWith(u'\n')) {
      QCOMPARE(run.out, out);
    } else {
      QVERIFY2(run.out.startsWith(out), qPrintable(run.out));
    }
    if (err.isEmpty()) {
      QVERIFY2(run.err.isEmpty() || status == 0, qPrintable(run.err));
    } else {
      QVERIFY2(run.err.contains(err), qPrintable(run.err));
    }
  }
};

QTEST_GUILESS_MAIN(EditorStartTest)
#include "editor_start_test.moc"
