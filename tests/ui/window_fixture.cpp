#include "window_fixture.h"

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

// Runs every registered test class as QTEST_MAIN runs one.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  int failures = 0;
  for (const wqttest::TestFactory factory : wqttest::registeredTests()) {
    const std::unique_ptr<QObject> test = factory();
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures;
}
