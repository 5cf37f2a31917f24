// The edit history: each kind of change taken back and done again, the title's unsaved mark, and
// the bound on the bytes the history keeps.
#include "window_fixture.h"

using namespace wqttest;

namespace {

QString title(TMainForm* f) {
  return f->isWindowModified() ? f->windowTitle().replace("[*]", "*")
                               : f->windowTitle().remove("[*]");
}
}  // namespace

class EditHistoryTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  void undoAndRedo_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("undoText");
    QTest::newRow("import") << "import"
                            << "Отменить «Загрузка: Bar»";
    QTest::newRow("fitted import") << "fitted import"
                                   << "Отменить «Загрузка: Wallpaper»";
    QTest::newRow("typing into a field") << "typing"
                                         << "Отменить «Автор темы»";
    QTest::newRow("theme type") << "type"
                                << "Отменить «Тип темы»";
  }

  void undoAndRedo() {
    QFETCH(QString, change);
    QFETCH(QString, undoText);
    TMainForm* f = openedForm(themeBytes(fourFiles()));
    QVERIFY(!enabled(f, "MM_Child_Undo") && !enabled(f, "MM_Child_Redo"));
    // The header and the two slots a change here may touch.
    const auto state = [f] {
      return bytesOf(f->document().image()) + entryBytes(f, 0) + entryBytes(f, 1);
    };
    const QByteArray before = state();

    if (change == "import") importInto(2, patternBytes(16, 9), QStringLiteral("in.raw"));
    if (change == "fitted import") {
      // A picture of another size, fitted by the dialog: one step for both.
      dialogs->fitAnswers.push_back(true);
      dialogs->openAnswers.push_back(writeFile(tempPath("big.jpg"), jpegBytes(40, 30)));
      menuCommand(f, 1, "PM_LoadFitted");
    }
    if (change == "typing") {
      auto* box = child<QLineEdit>(f, "ED_ThemeAuthor");
      for (const char* typed : {"A", "Ab", "Abc"}) box->setText(QString::fromLatin1(typed));
    }
    if (change == "type") {
      auto* types = child<QComboBox>(f, "CBox_ThemeType");
      types->setCurrentIndex(1);
      Q_EMIT types->activated(1);
    }
    const QByteArray changed = state();
    QVERIFY(changed != before);
    QCOMPARE(child<QAction>(f, "MM_Child_Undo")->text(), undoText);
    QCOMPARE(title(f), QStringLiteral("theme.wqt* — Orvalen WQT Manager v1.0"));

    trigger(f, "MM_Child_Undo");
    QCOMPARE(state(), before);
    QCOMPARE(text(f, "ED_ThemeAuthor"), QStringLiteral("Tester"));
    QCOMPARE(child<QComboBox>(f, "CBox_ThemeType")->currentIndex(), 0);
    // Back at the state of the file: no unsaved work.
    QCOMPARE(title(f), QStringLiteral("theme.wqt — Orvalen WQT Manager v1.0"));
    QVERIFY(!f->document().modified());
    QVERIFY(!enabled(f, "MM_Child_Undo"));
    QCOMPARE(child<QAction>(f, "MM_Child_Redo")->text(),
             QString(undoText).replace("Отменить", "Повторить"));

    trigger(f, "MM_Child_Redo");
    QCOMPARE(state(), changed);
    QVERIFY(f->isWindowModified());
    QVERIFY(!enabled(f, "MM_Child_Redo"));
  }

  // Steps past the bound are dropped, oldest first; the newest always stays.
  void historyBound() {
    TMainForm* f = createdForm();
    f->setUndoMemoryLimit(20);
    for (char seed : {1, 2, 3}) importInto(2, patternBytes(16, seed), QStringLiteral("in.raw"));
    QCOMPARE(f->undoMemory(), std::size_t{16});
    trigger(f, "MM_Child_Undo");
    QCOMPARE(entryBytes(f, 1), patternBytes(16, 2));
    QVERIFY(!enabled(f, "MM_Child_Undo"));
    trigger(f, "MM_Child_Undo");
    QCOMPARE(entryBytes(f, 1), patternBytes(16, 2));
    // A new theme starts with no history.
    trigger(f, "MM_Child_Redo");
    dialogs->threeWayAnswers.push_back(wqtui::UserDialogs::Answer::No);
    trigger(f, "MM_Child_CreateTheme");
    QVERIFY(!enabled(f, "MM_Child_Undo") && !enabled(f, "MM_Child_Redo"));
    QCOMPARE(f->undoMemory(), std::size_t{0});
  }

  // A refused open keeps the theme but reloads the map the steps were made on: they go, and the
  // kept theme stays unsaved.
  void refusedOpenForgetsSteps() {
    TMainForm* f = createdForm();
    importInto(2, patternBytes(16, 1), QStringLiteral("in.raw"));
    QVERIFY(enabled(f, "MM_Child_Undo"));
    dialogs->threeWayAnswers.push_back(wqtui::UserDialogs::Answer::No);
    dialogs->openAnswers.push_back(
        writeFile(tempPath("bad.wqt"), themeBytes({}, 0, "WQTTESTTHEMEX")));
    trigger(f, "MM_Child_OpenTheme");
    QCOMPARE(dialogs->messages.back().kind, Message::Plain);
    QVERIFY(!enabled(f, "MM_Child_Undo") && !enabled(f, "MM_Child_Redo"));
    QVERIFY(f->document().modified());
  }

  // Ctrl+Z and Ctrl+Y typed in a header box run the theme's history, not the box's own undo.
  void historyKeysInHeaderBox() {
    TMainForm* f = openedForm(themeBytes(fourFiles()));
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    clickPage(f, 1);
    auto* box = child<QLineEdit>(f, "ED_ThemeAuthor");
    box->setFocus();
    box->end(false);
    QTest::keyClicks(box, QStringLiteral("Abc"));
    QCOMPARE(box->text(), QStringLiteral("TesterAbc"));
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("Tester"));
    QVERIFY(!f->document().modified());
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);  // nothing left: the box keeps its text
    QCOMPARE(box->text(), QStringLiteral("Tester"));
    QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("TesterAbc"));
    QCOMPARE(utf8Field(f->document().image(), 32, 52), QByteArray("TesterAbc"));
  }
};

WQT_WINDOW_TEST(EditHistoryTest)
#include "edit_history_test.moc"
