// The theme commands: create, open, save, and the question about unsaved work.
#include <QSettings>

#include "theme/theme_messages.h"
#include "window_fixture.h"

using namespace wqttest;

class ThemeCommandsTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  void createTheme() {
    TMainForm* f = createdForm();
    QVERIFY(dialogs->messages.empty());
    QCOMPARE(panel(f, 0), QStringLiteral("NewTheme.wqt"));
    QCOMPARE(panel(f, 1), QStringLiteral("Создание новой темы."));
    QCOMPARE(f->windowTitle(), QStringLiteral("NewTheme.wqt[*] — Orvalen WQT Manager v1.0"));
    QVERIFY(!f->isWindowModified());
    QVERIFY(enabled(f, "PCtrl") && enabled(f, "MM_Child_SaveTheme"));
    QVERIFY(shown(f, "lbl_7") && shown(f, "CBox_ThemeType"));
    QCOMPARE(child<QComboBox>(f, "CBox_ThemeType")->currentIndex(), 0);
    QCOMPARE(nodeAt(f, 4)->text(0), QStringLiteral("Colours"));
  }

  // File nodes without their file are marked; the mark follows imports and the edit history, and
  // a save refused for them brings the first into view.
  void missingFilesMarked() {
    TMainForm* f = createdForm();
    const auto marked = [f] {
      QList<int> nodes;
      for (int i = 0; i < 5; ++i) {
        const QTreeWidgetItem* node = nodeAt(f, i);
        const QString said = node->data(0, Qt::AccessibleDescriptionRole).toString();
        if (said.contains(QStringLiteral("Файл отсутствует")) && !node->icon(0).isNull())
          nodes << i;
      }
      return nodes;
    };
    QCOMPARE(marked(), (QList<int>{1, 2, 3, 4}));
    importInto(2, patternBytes(16, 1), QStringLiteral("bar.raw"));
    QCOMPARE(marked(), (QList<int>{1, 3, 4}));
    trigger(f, "MM_Child_Undo");
    QCOMPARE(marked(), (QList<int>{1, 2, 3, 4}));
    trigger(f, "MM_Child_Redo");
    QCOMPARE(marked(), (QList<int>{1, 3, 4}));

    // Saving is refused for them before any dialog.
    child<QTabWidget>(f, "PCtrl")->setCurrentIndex(1);
    trigger(f, "MM_Child_SaveTheme");
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), int(Message::Info));
    QCOMPARE(dialogs->messages[0].text, QString::fromUtf8(wqt::kEmptySlotMessage));
    QVERIFY(dialogs->filters.size() == 1);  // the import's
    QCOMPARE(child<QTabWidget>(f, "PCtrl")->currentIndex(), 0);
    QCOMPARE(child<QTreeWidget>(f, "TreeView")->currentItem(), nodeAt(f, 1));
    QVERIFY(shown(f, "PNL_InFo"));
  }

  // The last eight themes opened or saved, most recent first, kept for the next window; one that
  // is gone is said and unlisted when chosen; the list cleared.
  void recentThemes() {
    QSettings(QStringLiteral("Orvalen"), QStringLiteral("wqt-manager")).remove("recent");
    TMainForm* f = newForm();
    QVERIFY(!child<QMenu>(f, "MM_Child_RecentThemes")->isEnabled());
    const QByteArray theme = themeBytes(fourFiles());
    for (int i = 0; i < 9; ++i) {
      dialogs->openAnswers.push_back(writeFile(tempPath(QStringLiteral("t%1.wqt").arg(i)), theme));
      trigger(f, "MM_Child_OpenTheme");
    }
    dialogs->saveAnswers.push_back(tempPath("t0.wqt"));
    trigger(f, "MM_Child_SaveThemeAs");
    const auto listed = [this] {
      QStringList names;
      for (const QAction* action : child<QMenu>(form.get(), "MM_Child_RecentThemes")->actions())
        if (!action->isSeparator()) names << action->text();
      return names;
    };
    const QStringList expected{"t0.wqt", "t8.wqt", "t7.wqt", "t6.wqt",         "t5.wqt",
                               "t4.wqt", "t3.wqt", "t2.wqt", "Очистить список"};
    QCOMPARE(listed(), expected);
    QCOMPARE(child<QAction>(f, "MM_Child_Recent1")->toolTip(), tempPath("t8.wqt"));

    f = newForm();
    QCOMPARE(listed(), expected);
    QFile::remove(tempPath("t5.wqt"));
    trigger(f, "MM_Child_Recent4");
    QCOMPARE(dialogs->messages.back().text,
             QStringLiteral("Файл темы «%1» не найден. Он удалён из списка недавних тем.")
                 .arg(tempPath("t5.wqt")));
    QVERIFY(!f->document().hasImage());
    trigger(f, "MM_Child_Recent5");  // t3, now sixth
    QCOMPARE(f->themeFile(), tempPath("t3.wqt"));
    QCOMPARE(listed().mid(0, 3), (QStringList{"t3.wqt", "t0.wqt", "t8.wqt"}));
    QCOMPARE(listed().size(), 8);

    trigger(f, "MM_Child_ClearRecent");
    QVERIFY(!child<QMenu>(f, "MM_Child_RecentThemes")->isEnabled());
    newForm();
    QCOMPARE(listed(), QStringList{"Очистить список"});
  }

  void openTheme_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("kind");  // Message::Kind, -1 for no message
    QTest::addColumn<QString>("message");

    const QList<QByteArray> files = fourFiles();
    QTest::newRow("valid") << themeBytes(files, 1) << QStringLiteral("Файл загружен.") << -1
                           << QString();
    // A type byte of no type the window knows: none selected, the byte kept.
    QTest::newRow("valid, type 7")
        << themeBytes(files, 7) << QStringLiteral("Файл загружен.") << -1 << QString();
    QTest::newRow("signature 1") << themeBytes(files, 0, "WQTTESTTHEMEX")
                                 << QStringLiteral("Некорректный файл темы. [Ошибка в сигнатуре 1]")
                                 << int(Message::Plain)
                                 << QStringLiteral("Некорректный файл темы. Загрузка невозможна.");
    QTest::newRow("too short") << QByteArray("WQT") << QStringLiteral("Проверка сигнатуры...")
                               << int(Message::Error) << QStringLiteral("Stream read error.");
  }

  void openTheme() {
    QFETCH(QByteArray, file);
    QFETCH(QString, status);
    QFETCH(int, kind);
    QFETCH(QString, message);

    TMainForm* f = createdForm();
    const std::vector<std::uint8_t> before = f->document().image();
    dialogs->openAnswers.push_back(writeFile(tempPath("chosen.wqt"), file));
    trigger(f, "MM_Child_OpenTheme");

    QCOMPARE(dialogs->filters, QStringList{QStringLiteral("WQT Theme File (*.wqt)|*.wqt")});
    QCOMPARE(panel(f, 0), QStringLiteral("chosen.wqt"));
    QCOMPARE(panel(f, 1), status);
    if (kind < 0) {
      QVERIFY(dialogs->messages.empty());
      QCOMPARE(text(f, "ED_ThemeAuthor") + text(f, "ED_ThemeName") + text(f, "ED_ThemeVersion"),
               QStringLiteral("TesterSunrise2.5"));
      QCOMPARE(child<QComboBox>(f, "CBox_ThemeType")->currentIndex(),
               file[kTypeOffset] == 1 ? 1 : -1);
      // Selecting the type from the file does not rewrite it; showing fields with zero bytes
      // rewrites them unchanged. The image holds the bytes before the data region; the data
      // lives in the slots.
      QCOMPARE(bytesOf(f->document().image()), file.left(0x100));
      QCOMPARE(child<QTreeWidget>(f, "TreeView")->topLevelItemCount(), 3);
      return;
    }
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), kind);
    QCOMPARE(dialogs->messages[0].text, message);
    // The previous theme is kept whole: its image, header boxes and save command.
    QVERIFY(f->document().image() == before);
    QCOMPARE(text(f, "ED_ThemeAuthor"), QStringLiteral("Автор темы"));
    QVERIFY(child<QAction>(f, "MM_Child_SaveTheme")->isEnabled());
    if (kind == Message::Plain) QCOMPARE(child<QTreeWidget>(f, "TreeView")->topLevelItemCount(), 0);
  }

  // Unsaved work and the commands that drop it: exit (Ctrl+Q), the close box, "Открыть тему"
  // (Ctrl+O), "Создать тему" (Ctrl+N) and a theme dropped on the window.
  void unsavedWorkQuestion_data() {
    using Answer = wqtui::UserDialogs::Answer;
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("work");  // "none", "edit", "saved edit" or "edit of a new theme"
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("dropped");  // the theme was closed or replaced
    QTest::addColumn<bool>("saved");    // the edited theme was written into its file

    for (const char* command : {"exit", "close box", "open", "create", "drop"}) {
      QTest::addRow("%s, Отмена", command)
          << QString::fromLatin1(command) << "edit" << Answer::Cancel << false << false;
    }
    QTest::newRow("open, no change") << "open"
                                     << "none" << Answer::Cancel << true << false;
    QTest::newRow("exit, Да") << "exit"
                              << "edit" << Answer::Yes << true << true;
    QTest::newRow("drop, Да") << "drop"
                              << "edit" << Answer::Yes << true << true;
    QTest::newRow("close box, Нет") << "close box"
                                    << "edit" << Answer::No << true << false;
    QTest::newRow("create, Нет") << "create"
                                 << "edit" << Answer::No << true << false;
    QTest::newRow("close box, Да, save refused for a missing file")
        << "close box"
        << "edit of a new theme" << Answer::Yes << false << false;
    QTest::newRow("open after Ctrl+S saved the edit")
        << "open"
        << "saved edit" << Answer::Cancel << true << true;
  }

  void unsavedWorkQuestion() {
    using Answer = wqtui::UserDialogs::Answer;
    QFETCH(QString, command);
    QFETCH(QString, work);
    QFETCH(Answer, answer);
    QFETCH(bool, dropped);
    QFETCH(bool, saved);

    const QList<QByteArray> files = fourFiles();
    const QString theme = writeFile(tempPath("theme.wqt"), themeBytes(files));
    const QString other =
        writeFile(tempPath("other.wqt"), themeBytes(files, 0, "WQTTESTTHEME1", "Other"));
    TMainForm* f = work == "edit of a new theme" ? createdForm() : openedForm(readFile(theme));
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    if (work != "none") child<QLineEdit>(f, "ED_ThemeAuthor")->setText(QStringLiteral("Changed"));
    if (work == "saved edit") QTest::keyClick(f, Qt::Key_S, Qt::ControlModifier);
    dialogs->threeWayAnswers.push_back(answer);
    dialogs->openAnswers.push_back(other);
    dialogs->filters.clear();
    dialogs->messages.clear();

    const QString authorBefore = text(f, "ED_ThemeAuthor");
    if (command == "exit") QTest::keyClick(f, Qt::Key_Q, Qt::ControlModifier);
    if (command == "close box") f->close();
    if (command == "open") QTest::keyClick(f, Qt::Key_O, Qt::ControlModifier);
    if (command == "create") QTest::keyClick(f, Qt::Key_N, Qt::ControlModifier);
    if (command == "drop") QVERIFY(dragAndDrop(f, QPoint(600, 420), {other}));

    const bool asked = work == "edit" || work == "edit of a new theme";
    QCOMPARE(dialogs->questions,
             asked ? QStringList{"Сохранить изменения в теме?"} : QStringList());
    const bool closing = command == "exit" || command == "close box";
    if (closing) {
      QCOMPARE(f->isVisible(), !dropped);
    } else {
      const QString replacedBy = command == "create" ? "Автор темы" : "Other";
      QCOMPARE(text(f, "ED_ThemeAuthor"), dropped ? replacedBy : authorBefore);
    }
    // An opened theme is saved into its file: the open dialog is the only one, once the theme may
    // go.
    QStringList shown;
    if (command == "open" && dropped) shown << "WQT Theme File (*.wqt)|*.wqt";
    QCOMPARE(dialogs->filters, shown);
    QCOMPARE(dialogs->messages.empty(), work != "edit of a new theme");
    QCOMPARE(readFile(theme).contains("Changed"), saved);
  }

  // "Сохранить тему" writes into the theme's file; "Сохранить тему как..." and a created theme
  // ask. Either clears the unsaved mark and makes the written file the theme's.
  void saveInPlaceOrAs_data() {
    QTest::addColumn<bool>("created");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");   // the save dialog's answer; empty cancels
    QTest::addColumn<QString>("preset");   // the name the dialog proposes; "-" for no dialog
    QTest::addColumn<QString>("written");  // the file written, empty for none
    QTest::addColumn<QString>("status");
    QTest::newRow("opened, in place") << false << "MM_Child_SaveTheme"
                                      << ""
                                      << "-"
                                      << "theme.wqt"
                                      << "Тема сохранена.";
    QTest::newRow("opened, as") << false << "MM_Child_SaveThemeAs"
                                << "copy"
                                << "theme.wqt"
                                << "copy.wqt"
                                << "Файл загружен.";
    QTest::newRow("opened, as cancelled") << false << "MM_Child_SaveThemeAs"
                                          << ""
                                          << "theme.wqt"
                                          << ""
                                          << "Файл загружен.";
    QTest::newRow("created") << true << "MM_Child_SaveTheme"
                             << "new"
                             << ""
                             << "new.wqt"
                             << "Создание новой темы.";
  }

  void saveInPlaceOrAs() {
    QFETCH(bool, created);
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(QString, preset);
    QFETCH(QString, written);
    QFETCH(QString, status);
    const QList<QByteArray> files = fourFiles();
    const QString theme = tempPath("theme.wqt");
    TMainForm* f = created ? createdForm() : openedForm(themeBytes(files));
    for (int node = 1; created && node <= 4; ++node)
      importInto(node, files[node - 1], QStringLiteral("in") + QString::number(node));
    child<QLineEdit>(f, "ED_ThemeAuthor")->setText(QStringLiteral("Changed"));
    QVERIFY(f->isWindowModified());
    dialogs->presetNames.clear();
    if (!answer.isEmpty()) dialogs->saveAnswers.push_back(tempPath(answer));
    trigger(f, command.toLatin1().constData());

    QCOMPARE(dialogs->presetNames,
             preset == "-" ? QStringList() : QStringList{preset.isEmpty() ? "" : theme});
    QCOMPARE(panel(f, 1), status);
    QCOMPARE(f->isWindowModified(), written.isEmpty());
    if (written.isEmpty()) return;
    QVERIFY(readFile(tempPath(written)).contains("Changed"));
    QCOMPARE(f->themeFile(), tempPath(written));
    QCOMPARE(f->windowTitle(), written + QStringLiteral("[*] — Orvalen WQT Manager v1.0"));
  }

  // The theme in the window, unsaved change included, carried to another map; on success the new
  // theme opens with that map.
  void portToAnotherMap_data() {
    QTest::addColumn<QString>("wallpaper");  // the new map's wallpaper line
    QTest::addColumn<QString>("extra");      // lines the new map adds
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("fitted and carried") << "<file \"Wallpaper\" \"0\" \"JPG\" \"8\" \"8\">"
                                        << ""
                                        << "ported.wqt"
                                        << "Перенесено: 3, подогнано: 1, из базовой темы: 0."
                                        << "Pictures/Wallpaper: подогнан из JPG 16×8";
    QTest::newRow("a file nothing fills")
        << "<file \"Wallpaper\" \"0\" \"JPG\" \"16\" \"8\">"
        << "<ThemeSettings \"A0\" \"100\" \"5\">\n<file \"New\" \"4\" \"COLORTAB\" \"4\">\n"
        << "ported.wqt"
        << "Тема не записана: не заполнено файлов: 1."
        << "New: в старой карте нет файла с этим путём; базовая тема не указана.";
    QTest::newRow("over the open theme") << ""
                                         << ""
                                         << "theme.wqt"
                                         << ""
                                         << "";
  }
  void portToAnotherMap() {
    QFETCH(QString, wallpaper);
    QFETCH(QString, extra);
    QFETCH(QString, target);
    QFETCH(QString, summary);
    QFETCH(QString, firstLine);
    TMainForm* f = openedForm(themeBytes(fourFiles()));
    const QString theme = tempPath("theme.wqt");
    child<QLineEdit>(f, "ED_ThemeAuthor")->setText(QStringLiteral("Changed"));
    const QString newMap = writeFile(
        tempPath("other.rxt"),
        QString::fromUtf8(kMapFourKinds)
                .replace(QStringLiteral("<file \"Wallpaper\" \"0\" \"JPG\" \"16\" \"8\">"),
                         wallpaper.isEmpty()
                             ? QStringLiteral("<file \"Wallpaper\" \"0\" \"JPG\" \"16\" \"8\">")
                             : wallpaper)
                .toUtf8() +
            extra.toUtf8());
    wqt::FitOptions fit;
    dialogs->portChoices.push_back({newMap, QString(), tempPath(target), fit});
    dialogs->replaceAnswer = true;
    dialogs->threeWayAnswers.push_back(wqtui::UserDialogs::Answer::No);
    trigger(f, "MM_Child_PortTheme");

    if (summary.isEmpty()) {
      QCOMPARE(dialogs->messages.back().text,
               QStringLiteral("Новую тему нельзя записать в файл открытой или базовой темы. "
                              "Выберите другой файл."));
      QCOMPARE(readFile(theme), themeBytes(fourFiles()));
      return;
    }
    QCOMPARE(dialogs->portReports.size(), std::size_t{1});
    const wqtui::PortReport& report = dialogs->portReports.front();
    QCOMPARE(report.summary, summary);
    QCOMPARE(report.lines.front().path + QStringLiteral(": ") + report.lines.front().step,
             firstLine);
    const bool written = extra.isEmpty();
    QCOMPARE(QFile::exists(tempPath(target)), written);
    // "Открыть её?", then whether to save the change left in the window's theme.
    QCOMPARE(dialogs->questions.size(), written ? 2 : 0);
    if (!written) return;
    // "Да": the new theme is the window's, opened with the other map.
    QCOMPARE(f->themeFile(), tempPath(target));
    QCOMPARE(f->themeMap().entry(0)->width, 8);
    QCOMPARE(text(f, "ED_ThemeAuthor"), QStringLiteral("Changed"));
    QVERIFY(!f->isWindowModified());
  }
};

WQT_WINDOW_TEST(ThemeCommandsTest)

#include "theme_commands_test.moc"
