// The tree's context menu, files dragged onto the window, and saving every file of a group.
#include <QDialog>

#include "fit/fit_picture.h"
#include "window_fixture.h"

using namespace wqttest;

class TreeCommandsTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  void treeContextMenu_data() {
    QTest::addColumn<int>("node");  // -1: the empty area of the tree
    QTest::addColumn<int>("how");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("entry");  // selected afterwards

    QTest::newRow("empty raw by menu key")
        << 2 << int(ByMenuKey) << QStringList{"PM_LoadFile",        "PM_LoadFitted", "PM_SaveFile-",
                                              "PM_EditExternally-", "PM_LoadPng",    "PM_SavePng-"}
        << 1;
    QTest::newRow("jpg by shift+f10")
        << 1 << int(ByShiftF10)
        << QStringList{"PM_LoadFile", "PM_LoadFitted", "PM_SaveFile", "PM_EditExternally"} << 0;
    QTest::newRow("unknown kind with data")
        << 5 << int(ByMouse) << QStringList{"PM_LoadFile", "PM_SaveFile-"} << 4;
    QTest::newRow("group by mouse") << 0 << int(ByMouse) << QStringList{"PM_SaveAllFiles"} << 0;
    QTest::newRow("group by menu key")
        << 0 << int(ByMenuKey) << QStringList{"PM_SaveAllFiles"} << 0;
    QTest::newRow("tree area by mouse")
        << -1 << int(ByMouse) << QStringList{"PM_SaveAllFiles"} << 3;
  }

  void treeContextMenu() {
    QFETCH(int, node);
    QFETCH(int, how);
    QFETCH(QStringList, commands);
    QFETCH(int, entry);

    writeMap(kMapWithOddNodes.c_str());
    TMainForm* f = openedForm(themeBytes({jpegBytes(16, 8), QByteArray(), patternBytes(26, 1),
                                          patternBytes(1000, 2), patternBytes(5, 3)}));
    select(f, 4);

    QMenu* menu = openTreeMenu(f, node, MenuOpening(how));
    QVERIFY(menu != nullptr);
    QStringList shownCommands;  // a "-" after a disabled one
    for (const QAction* action : menu->actions())
      if (!action->isSeparator())
        shownCommands << action->objectName() + (action->isEnabled() ? "" : "-");
    QCOMPARE(shownCommands, commands);
    // The node is selected first: the panel shows what the commands act on.
    QCOMPARE(f->selectedEntry(), entry);
    QCOMPARE(shown(f, "PNL_InFo"), node != 0);
    QVERIFY(dialogs->messages.empty());
    menu->close();
  }

  // "Загрузить с подгонкой...", a picture of another size dropped, and "Подогнать..." offered by
  // the load button's refusal: the fitting dialog's result is imported; "Отмена" keeps the slot.
  void fittedImport_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("road");  // "menu", "drop" or "button"
    QTest::addColumn<QString>("picture");
    QTest::addColumn<bool>("ok");
    QTest::newRow("menu, photo into jpg") << 1 << "menu"
                                          << "photo.jpg" << true;
    QTest::newRow("menu, cancelled") << 1 << "menu"
                                     << "photo.jpg" << false;
    QTest::newRow("drop, png on raw") << 2 << "drop"
                                      << "drawing.png" << true;
    QTest::newRow("button, photo into jpg") << 1 << "button"
                                            << "photo.jpg" << true;
  }

  void fittedImport() {
    QFETCH(int, node);
    QFETCH(QString, road);
    QFETCH(QString, picture);
    QFETCH(bool, ok);

    TMainForm* f = openedForm(themeBytes(fourFiles()));
    const QByteArray before = entryBytes(f, node - 1);
    writeFile(tempPath("photo.jpg"), jpegBytes(40, 30));
    QImage drawing(10, 24, QImage::Format_ARGB32);
    drawing.fill(QColor(20, 200, 90, 128));
    drawing.save(tempPath("drawing.png"));
    dialogs->fitAnswers.push_back(ok);
    if (road == "drop") {
      QVERIFY(dragAndDrop(child<QTreeWidget>(f, "TreeView")->viewport(), nodeCentre(f, node),
                          {tempPath(picture)}));
    } else if (road == "menu") {
      dialogs->openAnswers.push_back(tempPath(picture));
      menuCommand(f, node, "PM_LoadFitted");
    } else {
      dialogs->fitOffers.push_back(true);
      importInto(node, readFile(tempPath(picture)), picture);
    }

    // Only the load button's refusal is a message, offering the fitting dialog.
    QCOMPARE(int(dialogs->messages.size()), dialogs->fitsOffered);
    QCOMPARE(dialogs->fitsOffered, road == "button" ? 1 : 0);
    QCOMPARE(dialogs->fittedPictures, QStringList{tempPath(picture)});
    const QByteArray stored = entryBytes(f, f->selectedEntry());
    if (!ok) {
      QCOMPARE(stored, before);
      return;
    }
    // The core's fit of the picture with the dialog's first options.
    const wqt::FitTarget target{node == 1 ? wqt::FileKind::Jpg : wqt::FileKind::Raw,
                                node == 1 ? 16 : 4, node == 1 ? 8 : 2};
    const wqt::FitResult fitted = wqt::fitPicture(
        wqt::readSourceFile(wqtui::toPath(tempPath(picture)), {target, {}}), target, {});
    QCOMPARE(stored, bytesOf(fitted.bytes));
  }

  void drops_data() {
    QTest::addColumn<QString>("target");  // a node's display index, "window" or a control's name
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("message");  // the info message, empty for none
    QTest::addColumn<int>("slotSize");     // of the dropped-on node's slot afterwards, -1 n/a

    QTest::newRow("raw on raw node") << "2" << QStringList{"bar.raw"} << true << "" << 16;
    QTest::newRow("wrong size on raw node")
        << "2" << QStringList{"short.raw"} << true
        << "Некорректный размер загружаемого файла. Загрузка невозможна." << 0;
    QTest::newRow("unknown kind node") << "5" << QStringList{"bar.raw"} << true << "Ошибка #1" << 0;
    QTest::newRow("two files on a node") << "2" << QStringList{"bar.raw", "short.raw"} << true
                                         << "На файл темы можно перетащить только один файл." << 0;
    QTest::newRow("on a group") << "0" << QStringList{"bar.raw"} << false << "" << -1;
    QTest::newRow("a folder on a node") << "2" << QStringList{"."} << false << "" << 0;
    QTest::newRow("theme on the window") << "window" << QStringList{"drop.wqt"} << true << "" << -1;
    QTest::newRow("theme on a file node") << "1" << QStringList{"drop.wqt"} << true << "" << -1;
    QTest::newRow("two themes on the window")
        << "window" << QStringList{"drop.wqt", "drop.wqt"} << false << "" << -1;
    QTest::newRow("theme on an edit box")
        << "ED_ThemeAuthor" << QStringList{"drop.wqt"} << true << "" << -1;
    QTest::newRow("other file on the window")
        << "window" << QStringList{"bar.raw"} << false << "" << -1;
    QTest::newRow("theme while a dialog is open")
        << "window under a dialog" << QStringList{"drop.wqt"} << false << "" << -1;
  }

  void drops() {
    QFETCH(QString, target);
    QFETCH(QStringList, files);
    QFETCH(bool, taken);
    QFETCH(QString, message);
    QFETCH(int, slotSize);

    writeMap(kMapWithOddNodes.c_str());
    writeFile(tempPath("bar.raw"), patternBytes(16, 5));
    writeFile(tempPath("short.raw"), patternBytes(15, 5));
    writeFile(tempPath("drop.wqt"),
              themeBytes({jpegBytes(16, 8), patternBytes(16, 1), patternBytes(26, 2),
                          patternBytes(1000, 3), patternBytes(5, 4)}));
    for (QString& file : files) file = tempPath(file);
    TMainForm* f = createdForm();
    auto* tree = child<QTreeWidget>(f, "TreeView");
    tree->expandAll();
    select(f, 4);

    bool isNode = false;
    const int node = target.toInt(&isNode);
    QDialog dialog(f);
    if (target == "window under a dialog") {
      dialog.setModal(true);
      dialog.show();
      target = "window";
    }
    QWidget* widget = isNode               ? tree->viewport()
                      : target == "window" ? static_cast<QWidget*>(f)
                                           : child<QWidget>(f, target.toLatin1().constData());
    const QPoint pos = isNode               ? nodeCentre(f, node)
                       : target == "window" ? QPoint(600, 420)
                                            : QPoint(5, 5);
    QCOMPARE(dragAndDrop(widget, pos, files), taken);

    QCOMPARE(dialogs->messages.empty() ? QString() : dialogs->messages[0].text, message);
    QVERIFY(dialogs->filters.isEmpty());  // no dialog: the dropped file is the chosen one
    const bool opened = files.first().endsWith(".wqt") && taken;
    QCOMPARE(panel(f, 1),
             opened ? QStringLiteral("Файл загружен.") : QStringLiteral("Создание новой темы."));
    QCOMPARE(text(f, "ED_ThemeAuthor"),
             opened ? QStringLiteral("Tester") : QStringLiteral("Автор темы"));
    if (slotSize < 0) return;
    const std::int32_t entry = f->themeMap().entryOfNode(node);
    QCOMPARE(int(entryBytes(f, entry).size()), slotSize);
    // A file taken into a node is imported as if the node had been selected first.
    if (taken && files.size() == 1) QCOMPARE(f->selectedEntry(), entry);
  }

  // The platform sends moves only to a widget that took the drag on entering: the tree takes
  // files wherever they enter, and each move decides for, and highlights, the node under the
  // pointer; leaving takes the highlight away.
  void dragEntersThenMoves_data() {
    QTest::addColumn<int>("enterAt");  // a display index, -1 for the empty area
    QTest::addColumn<int>("moveTo");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<bool>("dropped");  // or the drag left the tree
    QTest::newRow("empty area, then the raw node") << -1 << 2 << true << true;
    QTest::newRow("the raw node, then the empty area") << 2 << -1 << false << true;
    QTest::newRow("the raw node, then left") << 2 << 2 << true << false;
  }

  void dragEntersThenMoves() {
    QFETCH(int, enterAt);
    QFETCH(int, moveTo);
    QFETCH(bool, taken);
    QFETCH(bool, dropped);
    TMainForm* f = newForm();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    trigger(f, "MM_Child_CreateTheme");
    auto* tree = child<QTreeWidget>(f, "TreeView");
    tree->expandAll();
    const auto at = [f](int node) { return nodeCentre(f, node); };
    const QRect row = tree->visualItemRect(nodeAt(f, 2));
    const auto highlighted = [&] {
      QApplication::processEvents();
      return tree->viewport()->grab().toImage().pixelColor(row.right() - 2, row.center().y()) ==
             tree->palette().color(QPalette::Active, QPalette::Highlight);
    };
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(writeFile(tempPath("bar.raw"), patternBytes(16, 5)))});
    QDragEnterEvent enter(at(enterAt), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at(moveTo), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QCOMPARE(move.isAccepted(), taken);
    QCOMPARE(highlighted(), taken);
    if (dropped) {
      QDropEvent drop(at(moveTo), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(tree->viewport(), &drop);
    } else {
      QDragLeaveEvent leave;
      QApplication::sendEvent(tree->viewport(), &leave);
      QVERIFY(!highlighted());
    }
    QCOMPARE(entryBytes(f, 1).size(), taken && dropped ? 16 : 0);
  }

  void saveAllFiles_data() {
    QTest::addColumn<int>("node");              // -1: the empty area of the tree
    QTest::addColumn<QStringList>("existing");  // files in the folder before, holding "old"
    QTest::addColumn<bool>("replace");          // the answer to the question
    QTest::addColumn<QStringList>("written");   // files holding the theme's bytes afterwards
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("error");  // a part of the error box's text

    const QStringList group{"Icons/Bar.raw", "Wallpaper.jpg"};
    QTest::newRow("whole theme from the tree area")
        << -1 << QStringList() << true
        << QStringList{"Clock.ani2", "Colours.tab", "Pictures/Icons/Bar.raw",
                       "Pictures/Wallpaper.jpg"}
        << "Сохранено файлов: 4" << 0 << "";
    QTest::newRow("existing files replaced after one question")
        << 0 << group << true << group << "Сохранено файлов: 2" << 1 << "";
    QTest::newRow("declined: nothing written") << 0 << QStringList{"Wallpaper.jpg"} << false
                                               << QStringList() << "Файл загружен." << 1 << "";
    QTest::newRow("error stops at its file, earlier files stay")
        << 0 << QStringList{"Icons"} << true << QStringList{"Wallpaper.jpg"}
        << "Сохранение прервано ошибкой. Сохранено файлов: 1 из 2." << 0 << "Icons";
  }

  void saveAllFiles() {
    QFETCH(int, node);
    QFETCH(QStringList, existing);
    QFETCH(bool, replace);
    QFETCH(QStringList, written);
    QFETCH(QString, status);
    QFETCH(int, questions);
    QFETCH(QString, error);

    writeMap(kMapNested.c_str());
    const QList<QByteArray> files = fourFiles();
    const QStringList names{"Wallpaper", "Bar", "Clock", "Colours"};
    const QString folder = tempPath("out");
    QDir().mkpath(folder);
    for (const QString& file : existing) {
      QDir(folder).mkpath(QFileInfo(file).path());
      writeFile(folder + "/" + file, "old");
    }
    TMainForm* f = openedForm(themeBytes(files));
    dialogs->folderAnswers.push_back(folder);
    dialogs->replaceAnswer = replace;

    menuCommand(f, node, "PM_SaveAllFiles");

    QCOMPARE(dialogs->questions, QStringList(questions, "Заменить существующие файлы?"));
    QCOMPARE(panel(f, 1), status);
    QVERIFY(dialogs->progressLabels.isEmpty());  // a few files need no progress window
    if (error.isEmpty()) {
      QVERIFY(dialogs->messages.empty());
    } else {
      QCOMPARE(int(dialogs->messages.size()), 1);
      QCOMPARE(int(dialogs->messages[0].kind), int(Message::Error));
      QVERIFY2(dialogs->messages[0].text.contains(error), qPrintable(dialogs->messages[0].text));
    }
    QStringList expected = written;
    for (const QString& file : existing)
      if (!written.contains(file)) expected << file;
    expected.sort();
    QCOMPARE(filesBelow(folder), expected);
    for (const QString& file : expected) {
      const QByteArray content =
          written.contains(file) ? files[names.indexOf(QFileInfo(file).baseName())] : "old";
      QCOMPARE(readFile(folder + "/" + file), content);
    }
  }

  void saveAllFilesProgress_data() {
    QTest::addColumn<int>("cancelAfter");  // -1: not cancelled
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("status");

    QTest::newRow("all written") << -1 << 300 << "Сохранено файлов: 300";
    QTest::newRow("cancelled keeps what was written")
        << 120 << 120 << "Сохранение отменено. Сохранено файлов: 120 из 300, они остаются в папке.";
  }

  void saveAllFilesProgress() {
    QFETCH(int, cancelAfter);
    QFETCH(int, files);
    QFETCH(QString, status);

    // 300 colour tables of 2 bytes each in one group.
    constexpr int kCount = 300;
    std::string map =
        "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
        "<ThemeSettings \"A0\" \"800\" \"12C\">\n<group \"Tables\">\n";
    QList<QByteArray> tables;
    for (int i = 0; i < kCount; ++i) {
      map += "<file \"T" + std::to_string(i) + "\" \"0\" \"COLORTAB\" \"2\">\n";
      tables << QByteArray(2, char(i));
    }
    writeMap((map + "</group \"\">\n").c_str());
    TMainForm* f = openedForm(themeBytes(tables, 0, "WQTTESTTHEME1", "Tester", 0x800), "many.wqt");
    dialogs->folderAnswers.push_back(temp->path());
    dialogs->cancelAfter = cancelAfter;

    menuCommand(f, 0, "PM_SaveAllFiles");

    QCOMPARE(dialogs->progressLabels, QStringList{"Сохранение файлов... /300"});
    QCOMPARE(dialogs->progressSteps, files);
    QCOMPARE(panel(f, 1), status);
    QCOMPARE(filesBelow(temp->path()).filter(".tab").size(), files);
    QCOMPARE(readFile(tempPath("T7.tab")), QByteArray(2, char(7)));
  }
};

WQT_WINDOW_TEST(TreeCommandsTest)

#include "tree_commands_test.moc"
