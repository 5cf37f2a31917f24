// The window as it starts, with and without its map; the message boxes, the error box and
// the About box.
#include <QAccessible>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>

#include "ui/AboutProgramm.h"
#include "ui/ErrorReport.h"
#include "window_fixture.h"

using namespace wqttest;

class StartTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  // A folder named like the map is no map either.
  void startupWithoutMap() {
    removeMap();
    QVERIFY(QDir().mkdir(mapPath()));
    TMainForm* f = newForm();
    QCOMPARE(panel(f, 0), QStringLiteral("Ошибка #1#"));
    QCOMPARE(panel(f, 1),
             QStringLiteral("Отсутствует файл theme.rxt. Дальнейшая работа невозможна."));
    for (const char* command : {"MM_Child_CreateTheme", "MM_Child_OpenTheme", "MM_Child_SaveTheme"})
      QVERIFY2(!enabled(f, command), command);
    QVERIFY(enabled(f, "MM_Child_Exit"));
    QVERIFY(!enabled(f, "PCtrl"));

    // Putting the map in place later brings nothing back, nor opens a theme named on the
    // command line.
    QVERIFY(QDir().rmdir(mapPath()));
    writeMap(kMapFourKinds);
    trigger(f, "MM_Child_CreateTheme");
    f->openThemeFile(writeFile(tempPath("named.wqt"), themeBytes({})));
    QCOMPARE(child<QTreeWidget>(f, "TreeView")->topLevelItemCount(), 0);
    QVERIFY(!enabled(f, "MM_Child_CreateTheme"));
    QVERIFY(dialogs->messages.empty());
  }

  void namedMapServesTheWholeRun() {
    removeMap();
    TMainForm* f = newForm(writeFile(tempPath("named.rxt"), kMapFourKinds));
    writeMap(kMapWithOddNodes.c_str());  // beside the editor: not used
    trigger(f, "MM_Child_CreateTheme");
    QCOMPARE(f->document().slotCount(), std::size_t{4});
  }

  void startupWithMap() {
    TMainForm* f = newForm();
    QCOMPARE(panel(f, 0) + panel(f, 1), QString());
    QVERIFY(enabled(f, "MM_Child_CreateTheme") && enabled(f, "MM_Child_OpenTheme"));
    QVERIFY(!enabled(f, "MM_Child_SaveTheme"));
    QVERIFY(!enabled(f, "PCtrl"));
    QVERIFY(!shown(f, "PNL_InFo"));
    QCOMPARE(f->windowTitle(), QStringLiteral("Orvalen WQT Manager v1.0"));
    QVERIFY(f->windowFlags() & Qt::WindowMaximizeButtonHint);
    QCOMPARE(f->minimumSize(), f->size());
    QVERIFY(child<QAction>(f, "MM_Child_AboutProgramme")->isChecked());

    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    // The status bar is Qt's, which screen readers know as one.
    auto* bar = child<QStatusBar>(f, "SBar");
    QCOMPARE(child<QLabel>(f, "SBar_Panel0")->geometry(), QRect(0, 0, 270, 19));
    QCOMPARE(child<QLabel>(f, "SBar_Panel1")->geometry(), QRect(270, 0, 487, 19));
    QCOMPARE(QAccessible::queryAccessibleInterface(bar)->role(), QAccessible::StatusBar);
    for (const char* menu : {"MM_Main_File", "MM_Main_Help"})
      QCOMPARE(child<QMenu>(f, menu)->font(), f->font());
    // Every label's text fits its box.
    for (QWidget* window :
         {static_cast<QWidget*>(f), static_cast<QWidget*>(new TChildForm_AboutProgramm(f))}) {
      for (const QLabel* label : window->findChildren<QLabel*>()) {
        QVERIFY2(
            label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
            qPrintable(label->objectName() + u' ' + label->text()));
      }
    }
  }

  // The controls at the default client size and grown by 200 × 100: the tree grows both ways, the
  // information panel keeps to its right with a larger picture view, the status bar to the bottom.
  void layoutGrows_data() {
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("tree");
    QTest::addColumn<QRect>("panel");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("info");
    QTest::addColumn<QRect>("bar");
    QTest::newRow("default") << QSize(757, 474) << QRect(0, 0, 257, 417) << QRect(272, 0, 481, 449)
                             << QSize(240, 320) << QRect(256, 1, 153, 144)
                             << QRect(0, 455, 757, 19);
    QTest::newRow("larger") << QSize(957, 574) << QRect(0, 0, 357, 517) << QRect(372, 0, 581, 549)
                            << QSize(340, 420) << QRect(356, 1, 153, 144) << QRect(0, 555, 957, 19);
  }

  void layoutGrows() {
    QFETCH(QSize, client);
    QFETCH(QRect, tree);
    QFETCH(QRect, panel);
    QFETCH(QSize, picture);
    QFETCH(QRect, info);
    QFETCH(QRect, bar);
    TMainForm* f = newForm();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->resize(f->size() + client - QSize(757, 474));
    QTRY_COMPARE(f->centralWidget()->size(), client);
    QCOMPARE(child<QTreeWidget>(f, "TreeView")->geometry(), tree);
    QCOMPARE(child<QFrame>(f, "PNL_InFo")->geometry(), panel);
    QCOMPARE(child<QLabel>(f, "IMG")->size(), picture);
    QCOMPARE(child<QGroupBox>(f, "GB_Info")->geometry(), info);
    QCOMPARE(child<QStatusBar>(f, "SBar")->geometry(), bar);
  }

  // Tabbing into the tree makes its first node current: that node is the highlighted one too,
  // and its panel the one shown.
  void focusInHighlightsTheShownNode() {
    TMainForm* f = createdForm();
    auto* tree = child<QTreeWidget>(f, "TreeView");
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(tree, &focusIn);
    QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem*>{nodeAt(f, 0)});
    QCOMPARE(f->selectedEntry(), 0);
    QTest::keyClick(tree, Qt::Key_Down);  // past the closed group to "Clock"
    QCOMPARE(text(f, "ED_IMG_Format"), QStringLiteral("ANI2"));
  }

  // The message boxes keep the program's own caption and "OK" while Qt's own texts are Russian.
  void messageBoxesKeepTheirTexts_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("caption");
    QTest::newRow("info") << int(Message::Info) << QStringLiteral("Information");
    QTest::newRow("plain") << int(Message::Plain) << QStringLiteral("Orvalen WQT Manager");
    QTest::newRow("error") << int(Message::Error) << QStringLiteral("Orvalen WQT Manager");
  }

  void messageBoxesKeepTheirTexts() {
    QFETCH(int, kind);
    QFETCH(QString, caption);
    wqtui::installQtTranslations();
    QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:") != QStringLiteral("Look in:"));
    wqtui::QtUserDialogs qtDialogs;
    QString shownCaption;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      shownCaption = box->windowTitle();
      for (const QAbstractButton* button : box->buttons()) buttons << button->text();
      box->accept();
    });
    if (kind == Message::Info) qtDialogs.infoMessage(QStringLiteral("text"));
    if (kind == Message::Plain) qtDialogs.plainMessage(QStringLiteral("text"));
    if (kind == Message::Error) qtDialogs.errorMessage(QStringLiteral("text"));
    QCOMPARE(shownCaption, caption);
    QCOMPARE(buttons, QStringList{QStringLiteral("OK")});
  }

  void fullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("closing parenthesis") << "failed (5)"
                                         << "failed (5)";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("empty") << ""
                           << "";
  }

  void fullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(wqtui::withFullStop(message), shown);
  }

  // A map with a width that is not a number stops create theme; the window goes on.
  void handlerErrorsReachTheErrorBox() {
    writeMap(
        "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
        "<ThemeSettings \"A0\" \"100\" \"2\">\n"
        "<file \"First\" \"0\" \"ANI2\" \"2\" \"2\">\n"
        "<file \"Second\" \"1\" \"JPG\" \"wide\" \"2\">\n");
    TMainForm* f = createdForm();
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), int(Message::Error));
    QCOMPARE(dialogs->messages[0].text, QStringLiteral("'wide' is not a valid integer value."));
    QVERIFY(!enabled(f, "MM_Child_SaveTheme"));

    // The error box is the one registered by the window.
    wqtui::reportException(std::runtime_error("Range check error"));
    QCOMPARE(dialogs->messages.back().text, QStringLiteral("Range check error."));
  }

  void aboutBoxKeys() {
    TChildForm_AboutProgramm about;
    QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(about.size(), QSize(403, 337));

    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* memo = child<QPlainTextEdit>(&about, "Memo_AboutProgrammText");
    auto* ok = child<QPushButton>(&about, "btn_modal_ok");
    QCOMPARE(memo->toPlainText(), TChildForm_AboutProgramm::memoLines().join(u'\n'));
    QVERIFY(memo->isReadOnly());
    QTRY_VERIFY(memo->hasFocus());
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
      QTest::keyClick(memo, key);
    QVERIFY(about.isVisible());

    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QTest::keyClick(ok, Qt::Key_Return);
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }

  void aboutCommandWithoutMap() {
    removeMap();
    TMainForm* f = newForm();
    bool closed = false;
    QTimer::singleShot(0, f, [&closed] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      child<QPushButton>(modal, "btn_modal_ok")->click();
      closed = true;
    });
    trigger(f, "MM_Child_AboutProgramme");
    QVERIFY(closed);
    QVERIFY(child<QAction>(f, "MM_Child_AboutProgramme")->isChecked());
  }
};

WQT_WINDOW_TEST(StartTest)

#include "window_start_test.moc"
