#include "window_fixture.h"

#include <algorithm>

namespace wqttest {

TMainForm* WindowTest::newForm(const QString& mapFile) {
  form.reset();
  dialogsOwner = std::make_unique<ScriptedDialogs>();
  dialogs = dialogsOwner.get();
  form = mapFile.isEmpty()
             ? std::make_unique<TMainForm>(*dialogs)
             : std::make_unique<TMainForm>(*dialogs, std::filesystem::path(mapFile.toStdString()));
  return form.get();
}

void WindowTest::importInto(int displayIndex, const QByteArray& bytes, const QString& name) {
  select(form.get(), displayIndex);
  dialogs->openAnswers.push_back(writeFile(tempPath(name), bytes));
  child<QPushButton>(form.get(), "btn_load_img")->click();
}

void WindowTest::initTestCase() {
  // Only the map beside the test counts: a map installed on this machine, or the user's own,
  // must not stand in for a missing one.
  static QTemporaryDir noMaps;
  QVERIFY(noMaps.isValid());
  qputenv("XDG_CONFIG_HOME", noMaps.path().toUtf8());
  qputenv("XDG_DATA_DIRS", noMaps.path().toUtf8());
}

void WindowTest::init() {
  temp = std::make_unique<QTemporaryDir>();
  QVERIFY(temp->isValid());
  writeMap(kMapFourKinds);
}

void WindowTest::cleanup() {
  form.reset();
  dialogsOwner.reset();
  removeMap();
}

std::vector<TestFactory>& registeredTests() {
  static std::vector<TestFactory> tests;
  return tests;
}

}  // namespace wqttest

// Runs every registered test class as QTEST_MAIN runs one. A first argument naming a class runs
// that class alone, with the rest of the arguments (test functions, options) given to it.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  std::vector<std::unique_ptr<QObject>> tests;
  for (const wqttest::TestFactory factory : wqttest::registeredTests()) tests.push_back(factory());
  const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
  const bool oneClass = std::any_of(tests.begin(), tests.end(), [&](const auto& test) {
    return only == test->metaObject()->className();
  });
  if (oneClass) {
    argv[1] = argv[0];
    --argc;
    ++argv;
  }
  int failures = 0;
  for (const std::unique_ptr<QObject>& test : tests) {
    if (!oneClass || only == test->metaObject()->className())
      failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures;
}
