// The information panel of the selected node, its previews, and the import and export of
// the selected file.
#include "ui/ThemeOverview.h"
#include "window_fixture.h"

using namespace wqttest;

class FilePanelTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  // Every pixel of a colour preview as the user sees it: after the node is selected, after
  // "Другое" and back, after another picture is imported into it, and after the page switch again.
  void shownPictures_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QByteArray>("opened");
    QTest::addColumn<QByteArray>("imported");
    QTest::newRow("jpeg") << 1 << bytesOf(wqt::test::encodeJpeg(16, 8)) << jpegBytes(16, 8);
    QTest::newRow("raw") << 2 << patternBytes(16, 1) << patternBytes(16, 77);
  }

  void shownPictures() {
    QFETCH(int, node);
    QFETCH(QByteArray, opened);
    QFETCH(QByteArray, imported);
    const auto expected = [node](const QByteArray& bytes) {
      return node == 1 ? expectedJpeg(bytes) : rawPicture(bytes, 4, 2);
    };
    QList<QByteArray> files{jpegBytes(16, 8), patternBytes(16, 2), patternBytes(26, 2),
                            patternBytes(1000, 3)};
    files[node - 1] = opened;

    TMainForm* f = openedForm(themeBytes(files), "pictures.wqt");
    select(f, node);
    const QSize size = expected(opened).size();
    QCOMPARE(shownPicture(f, size), expected(opened));
    // The picture's panel: a raised outer and a lowered inner bevel.
    auto* panel = child<QFrame>(f, "PNL_IMG");
    const QImage frame = panel->grab().toImage();
    const QRgb light = panel->palette().color(QPalette::Light).rgb();
    const QRgb dark = panel->palette().color(QPalette::Dark).rgb();
    const int right = frame.width() - 1, bottom = frame.height() - 1;
    QCOMPARE(QList<QRgb>({frame.pixel(0, 5), frame.pixel(1, 5), frame.pixel(right, 5),
                          frame.pixel(right - 1, 5), frame.pixel(5, bottom)}),
             QList<QRgb>({light, dark, dark, light, dark}));
    clickPage(f, 1);
    clickPage(f, 0);
    QCOMPARE(shownPicture(f, size), expected(opened));
    importInto(node, imported, QStringLiteral("replacement"));
    QCOMPARE(shownPicture(f, size), expected(imported));
    clickPage(f, 1);
    clickPage(f, 0);
    QCOMPARE(shownPicture(f, size), expected(imported));
    QVERIFY(dialogs->messages.empty());
  }

  void failedJpegDecodeLeavesAnEmptyView() {
    // A CMYK JPEG passes the header check; decoding it to RGB then fails in the library.
    wqt::test::JpegRecipe cmyk;
    cmyk.width = 16;
    cmyk.height = 8;
    cmyk.colour = wqt::test::JpegColour::Cmyk;
    const QByteArray bytes = bytesOf(wqt::test::encodeJpeg(cmyk));

    TMainForm* f = createdForm();
    importInto(1, jpegBytes(16, 8), QStringLiteral("good.jpg"));
    QCOMPARE(shownPicture(f, QSize(16, 8)), expectedJpeg(jpegBytes(16, 8)));

    importInto(1, bytes, QStringLiteral("cmyk.jpg"));
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), int(Message::Error));
    QVERIFY(dialogs->messages[0].text.startsWith(QStringLiteral("JPEG error #")));
    QCOMPARE(entryBytes(f, 0), bytes);
    QVERIFY(child<QLabel>(f, "IMG")->pixmap().isNull());
    // The panel describes the file now held, not the one it replaced.
    QCOMPARE(text(f, "ED_FileSize"), QString::number(bytes.size()) + QStringLiteral(" б"));
    QVERIFY(!shown(f, "lbl_9"));
    QVERIFY(enabled(f, "btn_save_img"));
  }

  void selectionRules_data() {
    QTest::addColumn<int>("before");  // node selected first, -1 for none
    QTest::addColumn<int>("node");
    QTest::addColumn<int>("entry");
    QTest::addColumn<bool>("infoPanel");
    QTest::addColumn<bool>("info");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("exportEnabled");
    QTest::addColumn<QStringList>("texts");  // width, height, format, size
    QTest::addColumn<bool>("picture");

    // The theme holds data for every file except the RAW one.
    const QString jpegSize = QString::number(jpegBytes(16, 8).size()) + QStringLiteral(" б");
    // A group node maps to entry 0 when it comes before the last file.
    QTest::newRow("group") << -1 << 0 << 0 << false << false << true << false
                           << QStringList{"", "", "", jpegSize} << false;
    QTest::newRow("jpg with data") << -1 << 1 << 0 << true << true << false << true
                                   << QStringList{"16", "8", "JPG", jpegSize} << true;
    QTest::newRow("raw empty") << -1 << 2 << 1 << true << true << true << false
                               << QStringList{"4", "2", "RAW", "0 б"} << false;
    QTest::newRow("colour table after a group")
        << 0 << 4 << 3 << true << true << false << true << QStringList{"", "", "COLORTAB", "1000 б"}
        << false;
    QTest::newRow("unknown kind keeps dimensions") << 3 << 5 << 4 << true << true << true << false
                                                   << QStringList{"2", "3", "BMP", "5 б"} << false;
    QTest::newRow("empty group after last file") << 3 << 6 << -1 << true << true << true << false
                                                 << QStringList{"2", "3", "ANI2", "0 б"} << false;
  }

  void selectionRules() {
    QFETCH(int, before);
    QFETCH(int, node);
    QFETCH(int, entry);
    QFETCH(bool, infoPanel);
    QFETCH(bool, info);
    QFETCH(bool, missing);
    QFETCH(bool, exportEnabled);
    QFETCH(QStringList, texts);
    QFETCH(bool, picture);

    writeMap(kMapWithOddNodes.c_str());
    TMainForm* f = openedForm(themeBytes({jpegBytes(16, 8), QByteArray(), patternBytes(26, 1),
                                          patternBytes(1000, 2), patternBytes(5, 3)}));

    if (before >= 0) select(f, before);
    select(f, node);

    QCOMPARE(f->selectedEntry(), entry);
    QCOMPARE(shown(f, "PNL_InFo"), infoPanel);
    QCOMPARE(shown(f, "GB_Info"), info);
    QCOMPARE(shown(f, "btn_load_img"), info);
    QCOMPARE(shown(f, "btn_save_img"), info);
    QCOMPARE(shown(f, "lbl_9"), missing);
    if (missing) {  // drawn over the picture's place, not under it
      auto* label = child<QLabel>(f, "lbl_9");
      QCOMPARE(child<QFrame>(f, "PNL_IMG")->childAt(label->geometry().center()), label);
    }
    QCOMPARE(enabled(f, "btn_save_img"), exportEnabled);
    if (info) {
      QCOMPARE(text(f, "ED_IMG_Width"), texts[0]);
      QCOMPARE(text(f, "ED_IMG_Height"), texts[1]);
      QCOMPARE(text(f, "ED_IMG_Format"), texts[2]);
    }
    QCOMPARE(text(f, "ED_FileSize"), texts[3]);
    QCOMPARE(!child<QLabel>(f, "IMG")->pixmap().isNull(), picture);
    QVERIFY(dialogs->messages.empty());

    // Import refuses a node of an unknown kind and one without an entry, with no dialog.
    if (info && missing && !exportEnabled && texts[2] != QLatin1String("RAW")) {
      child<QPushButton>(f, "btn_load_img")->click();
      QCOMPARE(int(dialogs->messages.size()), 1);
      QCOMPARE(dialogs->messages[0].text, QStringLiteral("Ошибка #1"));
      QCOMPARE(dialogs->filters.size(), 1);  // only the theme's open dialog
    }
  }

  void pageSwitch() {
    TMainForm* f = createdForm();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    importInto(3, patternBytes(26, 4), QStringLiteral("clock.ani2"));

    clickPage(f, 1);
    QCOMPARE(child<QTabWidget>(f, "PCtrl")->currentIndex(), 1);
    QVERIFY(!shown(f, "PNL_InFo"));
    clickPage(f, 0);
    QVERIFY(shown(f, "PNL_InFo"));
    QVERIFY(shown(f, "GB_Info"));
    QCOMPARE(text(f, "ED_FileSize"), QStringLiteral("26 б"));

    // A page the program brings to the front does not run the rule.
    clickPage(f, 1);
    dialogs->threeWayAnswers.push_back(wqtui::UserDialogs::Answer::No);  // drop the import
    trigger(f, "MM_Child_CreateTheme");
    QCOMPARE(child<QTabWidget>(f, "PCtrl")->currentIndex(), 0);
    QVERIFY(!shown(f, "PNL_InFo"));
    QVERIFY(!shown(f, "GB_Info"));
  }

  // The load and save commands of the panel's buttons and the tree's menu, and a PNG dropped on
  // a RAW node: a RAW picture's colours go to PNG and back to the very RAW words.
  void fileTransfers_data() {
    QTest::addColumn<QString>("how");  // a button, a command of the tree's menu, or "drop"
    QTest::addColumn<int>("node");
    QTest::addColumn<QByteArray>("file");  // the file offered, or the slot's bytes for a save
    QTest::addColumn<QString>("answer");   // the name the file dialog returns
    QTest::addColumn<QString>("written");  // the file a save writes
    QTest::addColumn<QString>("filter");   // of the file dialog, empty where it is not checked
    QTest::addColumn<QString>("refusal");
    const QByteArray raw = patternBytes(16, 11), png = pngBytes(rawPicture(raw, 4, 2));
    const QString jpgFilter = QStringLiteral("JPEG-изображение (.jpg, .jpeg)|*.jpg;*.jpeg");
    const QString rawFilter = QStringLiteral("RAW-изображение (.raw)|*.raw");
    const QString pngFilter = QStringLiteral("PNG-изображение (.png)|*.png");
    QTest::newRow("button, jpg") << "btn_load_img" << 1 << jpegBytes(16, 8) << "in.jpg" << QString()
                                 << jpgFilter << QString();
    QTest::newRow("button, jpg of other dimensions")
        << "btn_load_img" << 1 << jpegBytes(8, 16) << "in.jpg" << QString() << jpgFilter
        << "Размеры загружаемого изображения должны соответствовать заданным в карте темы!\r\n"
           "Загружаемый размер: 8x16, необходим: 16x8";
    QTest::newRow("menu") << "PM_LoadFile" << 2 << raw << "bar.raw" << QString() << rawFilter
                          << QString();
    QTest::newRow("menu, png") << "PM_LoadPng" << 2 << png << "bar.png" << QString() << pngFilter
                               << QString();
    QTest::newRow("menu, png, not a png")
        << "PM_LoadPng" << 2 << QByteArray("just text\n") << "bar.png" << QString() << pngFilter
        << "Файл не является изображением PNG или повреждён. Загрузка невозможна.";
    QTest::newRow("png dropped") << "drop" << 2 << png << "bar.png" << QString() << QString()
                                 << QString();
    QTest::newRow("save under a typed name") << "PM_SaveFile" << 2 << raw << "bar.png"
                                             << "bar.raw" << QString() << QString();
    QTest::newRow("save as png") << "PM_SavePng" << 2 << raw << "exported"
                                 << "exported.png" << pngFilter << QString();
  }

  void fileTransfers() {
    QFETCH(QString, how);
    QFETCH(int, node);
    QFETCH(QByteArray, file);
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(QString, filter);
    QFETCH(QString, refusal);
    const QByteArray raw = patternBytes(16, 11);
    const bool save = !written.isEmpty();
    QList<QByteArray> files = fourFiles();
    files[node - 1] = save ? file : QByteArray();
    TMainForm* f = openedForm(themeBytes(files));
    if (save)
      dialogs->saveAnswers.push_back(tempPath(answer));
    else if (how != "drop")
      dialogs->openAnswers.push_back(writeFile(tempPath(answer), file));
    if (how == "drop") {
      QVERIFY(dragAndDrop(child<QTreeWidget>(f, "TreeView")->viewport(), nodeCentre(f, node),
                          {writeFile(tempPath(answer), file)}));
    } else if (how.startsWith("btn")) {
      select(f, node);
      child<QPushButton>(f, how.toLatin1().constData())->click();
    } else {
      menuCommand(f, node, how.toLatin1().constData());
    }
    if (!filter.isEmpty()) QCOMPARE(dialogs->filters.last(), filter);
    if (save) {
      QCOMPARE(dialogs->presetNames.last(), nodeAt(f, node)->text(0));
      if (how == "PM_SavePng") {
        const QImage png(tempPath(written)), colours = rawPicture(raw, 4, 2);
        QCOMPARE(png.size(), colours.size());
        for (int i = 0; i < 8; ++i) QCOMPARE(png.pixel(i % 4, i / 4), colours.pixel(i % 4, i / 4));
      } else {
        QCOMPARE(readFile(tempPath(written)), file);
      }
      QVERIFY(dialogs->messages.empty());
      return;
    }
    // Refused: one info message, offering the fitting dialog for a picture of other dimensions.
    QVERIFY(dialogs->fittedPictures.isEmpty());  // declined, or exact
    const QByteArray stored = entryBytes(f, node - 1);
    QCOMPARE(f->selectedEntry(), node - 1);
    QCOMPARE(int(dialogs->messages.size()), refusal.isEmpty() ? 0 : 1);
    if (!refusal.isEmpty()) {
      QCOMPARE(int(dialogs->messages[0].kind), int(Message::Info));
      QCOMPARE(dialogs->messages[0].text, refusal);
      QCOMPARE(dialogs->fitsOffered, refusal.startsWith(u"Размеры") ? 1 : 0);
    }
    QCOMPARE(stored, refusal.isEmpty() ? (how.contains("Png") || how == "drop" ? raw : file)
                                       : QByteArray());
    QCOMPARE(text(f, "ED_FileSize"), QString::number(stored.size()) + QStringLiteral(" б"));
    QCOMPARE(shown(f, "lbl_9"), stored.isEmpty());
    QCOMPARE(enabled(f, "btn_save_img"), !stored.isEmpty());
    QCOMPARE(child<QLabel>(f, "IMG")->pixmap().isNull(), stored.isEmpty());
  }

  // The overview of the "Вид" menu follows an import as it happens, and a click in it selects
  // that node in the tree.
  void themeOverviewFollowsTheWindow() {
    TMainForm* f = newForm();
    QVERIFY(!child<QAction>(f, "MM_Child_ThemeOverview")->isEnabled());
    trigger(f, "MM_Child_CreateTheme");
    trigger(f, "MM_Child_ThemeOverview");
    auto* overview = child<wqtui::TThemeOverview>(f, "ThemeOverview");
    QVERIFY(QTest::qWaitForWindowExposed(overview));
    const auto box = [overview](int node, const char* name) -> QWidget* {
      for (QWidget* frame : overview->findChildren<QWidget*>(QStringLiteral("overviewFile")))
        if (frame->property("node").toInt() == node) return frame->findChild<QWidget*>(name);
      return nullptr;
    };
    QVERIFY(box(1, "overviewTextBox") != nullptr);

    const QByteArray jpeg = jpegBytes(16, 8);
    importInto(1, jpeg, QStringLiteral("wallpaper"));
    QCoreApplication::processEvents();
    QWidget* picture = box(1, "overviewPicture");
    QVERIFY(picture != nullptr);
    QCOMPARE(picture->grab().toImage().convertToFormat(QImage::Format_RGB32), expectedJpeg(jpeg));

    QTest::mouseClick(box(2, "overviewTextBox"), Qt::LeftButton);
    QCOMPARE(f->selectedEntry(), 1);

    dialogs->saveAnswers.push_back(tempPath("overview"));
    child<QPushButton>(overview, "saveOverviewButton")->click();
    QCOMPARE(panel(f, 1), QStringLiteral("Обзор темы сохранён: ") + tempPath("overview.png"));
  }
};

WQT_WINDOW_TEST(FilePanelTest)

#include "file_panel_test.moc"
