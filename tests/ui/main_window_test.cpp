// Window tests: the real TMainForm and About box driven through their widgets, found by object
// name, with file dialogs and message boxes answered by a scripted UserDialogs.
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include "../core/jpeg_test_util.h"
#include "files/jpeg_decoder.h"
#include "sample/theme_builder.h"
#include "theme/theme_document.h"
#include "ui/AboutProgramm.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/QtTranslations.h"
#include "ui/UserDialogs.h"

Q_DECLARE_METATYPE(wqtui::UserDialogs::Answer)

namespace {

// Four embedded files, one of each kind, and a theme-type byte at 98h.
// Display order: 0 "Pictures", 1 "Wallpaper", 2 "Bar", 3 "Clock", 4 "Colours".
const char* const kMapFourKinds =
    "; test map\n"
    "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
    "<ThemeSettings \"A0\" \"100\" \"4\">\n"
    "<ColorThemesSettings \"no\" \"98\">\n"
    "<group \"Pictures\">\n"
    "<file \"Wallpaper\" \"0\" \"JPG\" \"16\" \"8\">\n"
    "<file \"Bar\" \"1\" \"RAW\" \"4\" \"2\">\n"
    "</group \"\">\n"
    "<file \"Clock\" \"2\" \"ANI2\" \"2\" \"3\">\n"
    "<file \"Colours\" \"3\" \"COLORTAB\" \"3E8\">\n";

// The same plus an entry of an unknown kind (5 "Odd") and an empty group after the last file
// (6 "Empty"), which has no entry; the later settings line raises the file count to 5.
const std::string kMapWithOddNodes = std::string(kMapFourKinds) +
                                     "<ThemeSettings \"A0\" \"100\" \"5\">\n"
                                     "<file \"Odd\" \"4\" \"BMP\" \"7\" \"9\">\n"
                                     "<group \"Empty\">\n"
                                     "</group \"\">\n";

constexpr int kTableOffset = 0xA0;
constexpr int kDataOffset = 0x100;
constexpr int kTypeOffset = 0x98;

const QString kBadTheme = QStringLiteral("Некорректный файл темы. Загрузка невозможна.");
const QString kWrongSize =
    QStringLiteral("Некорректный размер загружаемого файла. Загрузка невозможна.");

struct Message {
  enum Kind { Info, Plain, Error } kind;
  QString text;
};

// Answers file dialogs from queues (an empty answer cancels) and records every message.
class ScriptedDialogs : public wqtui::UserDialogs {
 public:
  QString getOpenFileName(QWidget*, const QString& filter, const QString& fileName) override {
    return answer(openAnswers, filter, fileName);
  }
  QString getSaveFileName(QWidget*, const QString& filter, const QString& fileName) override {
    return answer(saveAnswers, filter, fileName);
  }
  QString getExistingDirectory(QWidget*, const QString& caption) override {
    return answer(folderAnswers, caption, QString());
  }
  bool question(const QString& text) override {
    questions << text;
    return replaceAnswer;
  }
  // "Да", "Нет" or "Отмена" from a queue; an empty queue answers "Отмена".
  Answer questionWithCancel(const QString& text) override {
    questions << text;
    if (threeWayAnswers.empty()) return Answer::Cancel;
    const Answer result = threeWayAnswers.front();
    threeWayAnswers.pop_front();
    return result;
  }
  // Counts the steps shown; the cancel button is "clicked" once cancelAfter steps are done.
  class Progress : public wqtui::UserDialogs::Progress {
   public:
    explicit Progress(ScriptedDialogs& owner) : owner_(owner) {}
    bool advance(int done) override {
      owner_.progressSteps = done;
      return owner_.cancelAfter < 0 || done < owner_.cancelAfter;
    }

   private:
    ScriptedDialogs& owner_;
  };
  std::unique_ptr<wqtui::UserDialogs::Progress> progress(QWidget*, const QString& label,
                                                         int total) override {
    progressLabels << label + QStringLiteral(" /") + QString::number(total);
    return std::make_unique<Progress>(*this);
  }
  void infoMessage(const QString& text) override { messages.push_back({Message::Info, text}); }
  void plainMessage(const QString& text) override { messages.push_back({Message::Plain, text}); }
  void errorMessage(const QString& text) override { messages.push_back({Message::Error, text}); }

  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  std::deque<QString> folderAnswers;
  bool replaceAnswer = true;
  std::deque<Answer> threeWayAnswers;
  int cancelAfter = -1;
  QStringList questions;
  QStringList progressLabels;  // "label /total" of every progress window
  int progressSteps = 0;
  QStringList filters;      // of every dialog shown, in order
  QStringList presetNames;  // the file name each dialog was shown with
  std::vector<Message> messages;

 private:
  QString answer(std::deque<QString>& answers, const QString& filter, const QString& fileName) {
    filters << filter;
    presetNames << fileName;
    if (answers.empty()) return {};
    QString result = answers.front();
    answers.pop_front();
    return result;
  }
};

QString mapPath() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/theme.rxt");
}

void writeMap(const char* text) {
  QFile file(mapPath());
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text);
}

void removeMap() {
  QFile::remove(mapPath());
  QDir().rmdir(mapPath());  // a folder a test put there
}

QByteArray jpegBytes(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(200, 40, 60));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG");
  return bytes;
}

QByteArray toBytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// The picture a JPEG slot should show, decoded apart from the window by the core's decoder.
QImage expectedJpeg(const QByteArray& bytes) {
  const wqt::Picture p = wqt::decodeJpeg(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())));
  return QImage(p.pixels.data(), p.width, p.height, p.bytesPerLine, QImage::Format_RGB32).copy();
}

QByteArray patternBytes(int size, char seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7);
  return bytes;
}

QByteArray bytesOf(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

// A theme file for the test maps: header, type byte, size table and data back to back.
QByteArray themeBytes(const QList<QByteArray>& files, quint8 type = 0,
                      const QByteArray& sig1 = "WQTTESTTHEME1",
                      const QByteArray& sig2 = "WQTTESTSIGNATURE2",
                      const QByteArray& author = "Tester", const QByteArray& name = "Sunrise",
                      const QByteArray& version = "2.5") {
  wqt::sample::ThemeRecipe recipe;
  recipe.sign1 = sig1.toStdString();
  recipe.sign2 = sig2.toStdString();
  recipe.author = author.toStdString();
  recipe.name = name.toStdString();
  recipe.version = version.toStdString();
  recipe.tableOffset = kTableOffset;
  recipe.dataOffset = kDataOffset;
  recipe.typeOffset = kTypeOffset;
  recipe.type = type;
  std::vector<std::vector<std::uint8_t>> content;
  for (const QByteArray& file : files) content.emplace_back(file.begin(), file.end());
  return bytesOf(wqt::sample::themeFile(recipe, content));
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QString writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  return path;
}

template <class T>
T* child(QWidget* form, const char* name) {
  T* found = form->findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

// The node at a display index: the tree listed top to bottom with every group expanded.
QTreeWidgetItem* nodeAt(QWidget* form, int displayIndex) {
  QTreeWidgetItemIterator it(child<QTreeWidget>(form, "TreeView"));
  for (int i = 0; *it != nullptr; ++it, ++i)
    if (i == displayIndex) return *it;
  return nullptr;
}

void select(QWidget* form, int displayIndex) {
  child<QTreeWidget>(form, "TreeView")->setCurrentItem(nodeAt(form, displayIndex));
}

void trigger(QWidget* form, const char* action) {
  child<QAction>(form, action)->trigger();
}

QString panel(QWidget* form, int index) {
  return child<QLabel>(form, index == 0 ? "SBar_Panel0" : "SBar_Panel1")->text();
}

QString text(QWidget* form, const char* box) {
  return child<QLineEdit>(form, box)->text();
}

// What the picture view shows at its top-left corner, grabbed once the window is on screen and
// the event loop has run: the pixels the user sees.
QImage shownPicture(QWidget* form, QSize size) {
  if (!form->isVisible()) {
    form->show();
    if (!QTest::qWaitForWindowExposed(form)) qFatal("window not exposed");
  }
  QCoreApplication::processEvents();
  const QImage grabbed = child<QLabel>(form, "IMG")->grab().toImage();
  return grabbed.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size));
}

void clickPage(QWidget* form, int index) {
  QTabBar* tabs = child<QTabWidget>(form, "PCtrl")->tabBar();
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// Whether a control's own visible flag is set, whatever its parents show.
bool shown(QWidget* form, const char* name) {
  return !child<QWidget>(form, name)->isHidden();
}

bool enabled(QWidget* form, const char* name) {
  return child<QWidget>(form, name)->isEnabled();
}

QByteArray utf8Field(const std::vector<std::uint8_t>& image, int offset, int width) {
  QByteArray field(reinterpret_cast<const char*>(image.data()) + offset, width);
  return field.left(field.indexOf('\0') < 0 ? width : field.indexOf('\0'));
}

// The four kinds again, the RAW picture in a group nested in the JPG's group.
// Display order: 0 "Pictures", 1 "Wallpaper", 2 "Icons", 3 "Bar", 4 "Clock", 5 "Colours".
const char* const kMapNested =
    "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
    "<ThemeSettings \"A0\" \"100\" \"4\">\n"
    "<ColorThemesSettings \"no\" \"98\">\n"
    "<group \"Pictures\">\n"
    "<file \"Wallpaper\" \"0\" \"JPG\" \"16\" \"8\">\n"
    "<group \"Icons\">\n"
    "<file \"Bar\" \"1\" \"RAW\" \"4\" \"2\">\n"
    "</group \"\">\n"
    "</group \"\">\n"
    "<file \"Clock\" \"2\" \"ANI2\" \"2\" \"3\">\n"
    "<file \"Colours\" \"3\" \"COLORTAB\" \"3E8\">\n";

// The picture the RAW words show: each channel's bits at the top of its byte.
QImage rawPicture(const QByteArray& raw, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int i = 0; i < width * height; ++i) {
    const int word = quint8(raw[2 * i]) | quint8(raw[2 * i + 1]) << 8;
    image.setPixel(i % width, i / width,
                   qRgb((word >> 8) & 0xF8, (word >> 3) & 0xFC, (word << 3) & 0xF8));
  }
  return image;
}

// A picture's size and its pixels' colours, row by row.
QList<QRgb> pixelsOf(const QImage& image) {
  QList<QRgb> pixels{QRgb(image.width()), QRgb(image.height())};
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) pixels << (image.pixel(x, y) | 0xFF000000u);
  return pixels;
}

QByteArray pngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// Every file below a folder, as paths relative to it.
QStringList filesBelow(const QString& folder) {
  QStringList files;
  QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
  files.sort();
  return files;
}

// How a test opens the tree's context menu.
enum MenuOpening { ByMouse, ByMenuKey, ByShiftF10 };

// The tree's context menu after it was opened on a node (or the empty area, -1), or nullptr when
// none opened.
QMenu* openTreeMenu(TMainForm* form, int displayIndex, MenuOpening how) {
  auto* tree = child<QTreeWidget>(form, "TreeView");
  tree->expandAll();
  if (how == ByMouse) {
    const QPoint pos = displayIndex >= 0 ? tree->visualItemRect(nodeAt(form, displayIndex)).center()
                                         : QPoint(20, tree->viewport()->height() - 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(tree->viewport(), &event);
  } else {
    if (displayIndex >= 0) select(form, displayIndex);
    if (how == ByMenuKey) {
      // What the platform sends for the context-menu key.
      QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), tree->mapToGlobal(QPoint()));
      QApplication::sendEvent(tree, &event);
    } else {
      form->show();
      form->activateWindow();
      if (!QTest::qWaitForWindowActive(form)) qFatal("window not active");
      tree->setFocus();
      QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
    }
  }
  auto* menu = child<QMenu>(form, "PM_Tree");
  return menu->isVisible() ? menu : nullptr;
}

// The menu's commands by object name, a "-" after a disabled one.
QStringList commands(const QMenu* menu) {
  QStringList names;
  for (const QAction* action : menu->actions())
    if (!action->isSeparator()) names << action->objectName() + (action->isEnabled() ? "" : "-");
  return names;
}

// Drags local files over a point of a widget as the platform does, and drops them there when
// the widget accepts them. Returns whether the drop was taken.
bool dragAndDrop(QWidget* target, QPoint pos, const QStringList& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  mime.setUrls(urls);
  QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  if (!move.isAccepted()) {
    QDragLeaveEvent leave;
    QApplication::sendEvent(target, &leave);
    return false;
  }
  QDropEvent drop(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<ScriptedDialogs> dialogsOwner;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<QTemporaryDir> temp;

  // With a map path, the window uses that map (the command line's --map) instead of the lookup.
  TMainForm* newForm(const QString& mapFile = QString()) {
    form.reset();
    dialogsOwner = std::make_unique<ScriptedDialogs>();
    dialogs = dialogsOwner.get();
    form = mapFile.isEmpty() ? std::make_unique<TMainForm>(*dialogs)
                             : std::make_unique<TMainForm>(
                                   *dialogs, std::filesystem::path(mapFile.toStdString()));
    return form.get();
  }

  QString tempPath(const QString& name) const { return temp->filePath(name); }

  // Imports a file into the entry of a display index through the window's button.
  void importInto(int displayIndex, const QByteArray& bytes, const QString& name) {
    select(form.get(), displayIndex);
    dialogs->openAnswers.push_back(writeFile(tempPath(name), bytes));
    child<QPushButton>(form.get(), "btn_load_img")->click();
  }

 private Q_SLOTS:
  void initTestCase() {
    // Only the map beside the test counts: a map installed on this machine, or the user's own,
    // must not stand in for a missing one.
    static QTemporaryDir noMaps;
    QVERIFY(noMaps.isValid());
    qputenv("XDG_CONFIG_HOME", noMaps.path().toUtf8());
    qputenv("XDG_DATA_DIRS", noMaps.path().toUtf8());
  }

  void init() {
    temp = std::make_unique<QTemporaryDir>();
    QVERIFY(temp->isValid());
    writeMap(kMapFourKinds);
  }

  void cleanup() {
    form.reset();
    dialogsOwner.reset();
    removeMap();
  }

  // A folder named like the map is no map either.
  void startupWithoutMap_data() {
    QTest::addColumn<bool>("folder");
    QTest::newRow("missing") << false;
    QTest::newRow("folder of that name") << true;
  }

  void startupWithoutMap() {
    QFETCH(bool, folder);
    removeMap();
    if (folder) QVERIFY(QDir().mkdir(mapPath()));
    TMainForm* f = newForm();
    QCOMPARE(panel(f, 0), QStringLiteral("Ошибка #1#"));
    QCOMPARE(panel(f, 1),
             QStringLiteral("Отсутствует файл theme.rxt. Дальнейшая работа невозможна."));
    QVERIFY(!child<QAction>(f, "MM_Child_CreateTheme")->isEnabled());
    QVERIFY(!child<QAction>(f, "MM_Child_OpenTheme")->isEnabled());
    QVERIFY(!child<QAction>(f, "MM_Child_SaveTheme")->isEnabled());
    QVERIFY(child<QAction>(f, "MM_Child_Exit")->isEnabled());
    QVERIFY(!enabled(f, "PCtrl"));
    QVERIFY(dialogs->messages.empty());

    // Putting the map in place later does not bring the commands back.
    if (folder) QVERIFY(QDir().rmdir(mapPath()));
    writeMap(kMapFourKinds);
    trigger(f, "MM_Child_CreateTheme");
    QVERIFY(!child<QAction>(f, "MM_Child_CreateTheme")->isEnabled());
    // Nor does a theme named on the command line open.
    f->openThemeFile(writeFile(tempPath("named.wqt"), themeBytes({})));
    QCOMPARE(child<QTreeWidget>(f, "TreeView")->topLevelItemCount(), 0);
    QVERIFY(!enabled(f, "PCtrl"));
    QVERIFY(dialogs->messages.empty());
  }

  void namedMapServesTheWholeRun() {
    removeMap();
    const QString named = writeFile(tempPath("named.rxt"), kMapFourKinds);
    TMainForm* f = newForm(named);
    QVERIFY(child<QAction>(f, "MM_Child_CreateTheme")->isEnabled());
    // A map beside the editor does not replace the named one.
    writeMap(kMapWithOddNodes.c_str());
    trigger(f, "MM_Child_CreateTheme");
    QCOMPARE(child<QTreeWidget>(f, "TreeView")->topLevelItemCount(), 3);
    QCOMPARE(f->document().slotCount(), std::size_t{4});
  }

  void startupWithMap() {
    TMainForm* f = newForm();
    QCOMPARE(panel(f, 0), QString());
    QCOMPARE(panel(f, 1), QString());
    QVERIFY(child<QAction>(f, "MM_Child_CreateTheme")->isEnabled());
    QVERIFY(child<QAction>(f, "MM_Child_OpenTheme")->isEnabled());
    QVERIFY(!child<QAction>(f, "MM_Child_SaveTheme")->isEnabled());
    QVERIFY(!enabled(f, "PCtrl"));
    QVERIFY(!shown(f, "PNL_InFo"));
    QCOMPARE(child<QTreeWidget>(f, "TreeView")->topLevelItemCount(), 0);
    QCOMPARE(f->windowTitle(), QStringLiteral("Orvalen WQT Manager v1.0"));
    QCOMPARE(f->centralWidget()->size(), QSize(757, 474));
    QVERIFY(!(f->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(child<QAction>(f, "MM_Child_AboutProgramme")->isChecked());

    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    // The status bar is Qt's, which screen readers know as one, along the client area's bottom.
    auto* bar = child<QStatusBar>(f, "SBar");
    QCOMPARE(bar->geometry(), QRect(0, 455, 757, 19));
    QCOMPARE(child<QLabel>(f, "SBar_Panel0")->geometry(), QRect(0, 0, 270, 19));
    QCOMPARE(child<QLabel>(f, "SBar_Panel1")->geometry(), QRect(270, 0, 487, 19));
    QCOMPARE(QAccessible::queryAccessibleInterface(bar)->role(), QAccessible::StatusBar);
    // The drop-down menus are drawn in the window's font.
    for (const char* menu : {"MM_Main_File", "MM_Main_Help"}) {
      QCOMPARE(child<QMenu>(f, menu)->font(), f->font());
    }
    // Every label's text fits its box.
    for (QWidget* window :
         {static_cast<QWidget*>(f), static_cast<QWidget*>(new TChildForm_AboutProgramm(f))}) {
      for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        QVERIFY2(
            label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
            qPrintable(label->objectName() + u' ' + label->text()));
      }
    }
  }

  // Tabbing into the tree makes its first node current: that node is the highlighted one too,
  // and its panel the one shown.
  void focusInHighlightsTheShownNode() {
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    auto* tree = child<QTreeWidget>(f, "TreeView");
    QCOMPARE(tree->currentItem(), nullptr);
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(tree, &focusIn);
    QCOMPARE(tree->currentItem(), nodeAt(f, 0));
    QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem*>{nodeAt(f, 0)});
    QCOMPARE(f->selectedEntry(), 0);
    QTest::keyClick(tree, Qt::Key_Down);  // past the closed group to "Clock"
    QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem*>{nodeAt(f, 3)});
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

  void createTheme() {
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    QVERIFY(dialogs->messages.empty());
    QCOMPARE(text(f, "ED_ThemeAuthor"), QStringLiteral("Автор темы"));
    QCOMPARE(text(f, "ED_ThemeName"), QStringLiteral("Название темы"));
    QCOMPARE(text(f, "ED_ThemeVersion"), QStringLiteral("1.0"));
    QCOMPARE(panel(f, 0), QStringLiteral("NewTheme.wqt"));
    QCOMPARE(panel(f, 1), QStringLiteral("Создание новой темы."));
    QVERIFY(enabled(f, "PCtrl"));
    QVERIFY(child<QAction>(f, "MM_Child_SaveTheme")->isEnabled());
    QVERIFY(shown(f, "lbl_7"));
    QVERIFY(shown(f, "CBox_ThemeType"));
    QCOMPARE(child<QComboBox>(f, "CBox_ThemeType")->currentIndex(), 0);
    QCOMPARE(child<QTreeWidget>(f, "TreeView")->topLevelItemCount(), 3);
    QCOMPARE(nodeAt(f, 4)->text(0), QStringLiteral("Colours"));
    QCOMPARE(utf8Field(f->document().image(), 32, 52), QStringLiteral("Автор темы").toUtf8());

    // Saving is refused while any file is missing, before any dialog.
    trigger(f, "MM_Child_SaveTheme");
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), int(Message::Info));
    QCOMPARE(
        dialogs->messages[0].text,
        QStringLiteral("Вы не можете сохранить тему, пока не будут прикреплены к теме все файлы!"));
    QVERIFY(dialogs->filters.isEmpty());
  }

  void importFile_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QSize>("preview");

    const QString jpgFilter = QStringLiteral("JPEG-изображение (.jpg, .jpeg)|*.jpg;*.jpeg");
    const QString rawFilter = QStringLiteral("RAW-изображение (.raw)|*.raw");
    const QString aniFilter = QStringLiteral("ANI2-изображение (c) Dravik (.ani2)|*.ani2");
    const QString tabFilter = QStringLiteral("Файл таблицы цветов (.tab)|*.tab");
    QTest::newRow("jpg accepted") << 1 << jpegBytes(16, 8) << jpgFilter << QString()
                                  << QSize(16, 8);
    QTest::newRow("jpg wrong dimensions")
        << 1 << jpegBytes(8, 16) << jpgFilter
        << QStringLiteral(
               "Размеры загружаемого изображения должны соответствовать заданным в карте темы!"
               "\r\nЗагружаемый размер: 8x16, необходим: 16x8")
        << QSize();
    QTest::newRow("raw accepted") << 2 << patternBytes(16, 1) << rawFilter << QString()
                                  << QSize(4, 2);
    QTest::newRow("raw one short")
        << 2 << patternBytes(15, 1) << rawFilter << kWrongSize << QSize();
    QTest::newRow("ani2 accepted") << 3 << patternBytes(26, 2) << aniFilter << QString() << QSize();
    QTest::newRow("ani2 one long")
        << 3 << patternBytes(27, 2) << aniFilter << kWrongSize << QSize();
    QTest::newRow("colour table accepted")
        << 4 << patternBytes(1000, 3) << tabFilter << QString() << QSize();
    QTest::newRow("colour table short")
        << 4 << patternBytes(999, 3) << tabFilter << kWrongSize << QSize();
  }

  void importFile() {
    QFETCH(int, node);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, filter);
    QFETCH(QString, refusal);
    QFETCH(QSize, preview);

    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    select(f, node);
    QCOMPARE(text(f, "ED_FileSize"), QStringLiteral("0 б"));
    importInto(node, bytes, QStringLiteral("candidate"));
    QCOMPARE(dialogs->filters, QStringList{filter});

    const std::size_t slot = static_cast<std::size_t>(f->selectedEntry()) + 1;
    if (refusal.isEmpty()) {
      QVERIFY(dialogs->messages.empty());
      QCOMPARE(f->document().slot(slot).size(), static_cast<std::size_t>(bytes.size()));
      QCOMPARE(text(f, "ED_FileSize"), QString::number(bytes.size()) + QStringLiteral(" б"));
      QVERIFY(!shown(f, "lbl_9"));
      QVERIFY(enabled(f, "btn_save_img"));
    } else {
      QCOMPARE(int(dialogs->messages.size()), 1);
      QCOMPARE(int(dialogs->messages[0].kind), int(Message::Info));
      QCOMPARE(dialogs->messages[0].text, refusal);
      QCOMPARE(f->document().slot(slot).size(), std::size_t(0));
      QCOMPARE(text(f, "ED_FileSize"), QStringLiteral("0 б"));
      QVERIFY(shown(f, "lbl_9"));
      QVERIFY(!enabled(f, "btn_save_img"));
    }
    const QPixmap picture = child<QLabel>(f, "IMG")->pixmap();
    QCOMPARE(picture.isNull() ? QSize() : picture.size(), preview);
    if (preview.isValid()) {
      const QImage expected = node == 1 ? expectedJpeg(bytes) : rawPicture(bytes, 4, 2);
      QCOMPARE(shownPicture(f, preview), expected);
    }
  }

  // Every pixel of a colour preview as the user sees it: after the node is selected, after
  // "Другое" and back, after another picture is imported into it, and after the page switch again.
  void shownPictures_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QByteArray>("opened");
    QTest::addColumn<QByteArray>("imported");
    QTest::newRow("jpeg") << 1 << toBytes(wqt::test::encodeJpeg(16, 8)) << jpegBytes(16, 8);
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

    TMainForm* f = newForm();
    dialogs->openAnswers.push_back(writeFile(tempPath("pictures.wqt"), themeBytes(files)));
    trigger(f, "MM_Child_OpenTheme");
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

  // Saves the window refuses before its dialog, as an info message.
  void saveRefusedBeforeTheDialog_data() {
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<QString>("message");
    QTest::newRow("a file missing")
        << QByteArray(kMapFourKinds)
        << QStringLiteral(
               "Вы не можете сохранить тему, пока не будут прикреплены к теме все файлы!");
    // The table at 20h and the data at 40h lie on the header texts: the file would not reopen.
    QTest::newRow("regions overlapping")
        << QByteArray(
               "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
               "<ThemeSettings \"20\" \"40\" \"1\">\n"
               "<file \"Clock\" \"0\" \"ANI2\" \"1\" \"1\">\n")
        << QString::fromUtf8(wqt::kLayoutOverlapMessage);
  }

  void saveRefusedBeforeTheDialog() {
    QFETCH(QByteArray, map);
    QFETCH(QString, message);
    writeMap(map.constData());
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    importInto(0, patternBytes(11, 1), QStringLiteral("clock.ani2"));
    dialogs->messages.clear();
    dialogs->filters.clear();
    trigger(f, "MM_Child_SaveTheme");
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), int(Message::Info));
    QCOMPARE(dialogs->messages[0].text, message);
    QVERIFY(dialogs->filters.isEmpty());
  }

  void failedJpegDecodeLeavesAnEmptyView() {
    // A CMYK JPEG passes the header check; decoding it to RGB then fails in the library.
    wqt::test::JpegRecipe cmyk;
    cmyk.width = 16;
    cmyk.height = 8;
    cmyk.colour = wqt::test::JpegColour::Cmyk;
    const std::vector<std::uint8_t> encoded = wqt::test::encodeJpeg(cmyk);
    const QByteArray bytes(reinterpret_cast<const char*>(encoded.data()),
                           qsizetype(encoded.size()));

    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    importInto(1, jpegBytes(16, 8), QStringLiteral("good.jpg"));
    QCOMPARE(shownPicture(f, QSize(16, 8)), expectedJpeg(jpegBytes(16, 8)));

    dialogs->openAnswers.push_back(writeFile(tempPath(QStringLiteral("cmyk.jpg")), bytes));
    child<QPushButton>(f, "btn_load_img")->click();
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), int(Message::Error));
    QVERIFY(dialogs->messages[0].text.startsWith(QStringLiteral("JPEG error #")));
    QCOMPARE(f->document().slot(1).size(), std::size_t(encoded.size()));
    QVERIFY(child<QLabel>(f, "IMG")->pixmap().isNull());
    QVERIFY(!shown(f, "lbl_9"));
    QVERIFY(enabled(f, "btn_save_img"));
  }

  void colourTableSizeText() {
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    importInto(4, patternBytes(1000, 9), QStringLiteral("colours.tab"));
    QCOMPARE(text(f, "ED_FileSize"), QStringLiteral("1000 б"));
    QCOMPARE(text(f, "ED_IMG_Width"), QString());
    QCOMPARE(text(f, "ED_IMG_Format"), QStringLiteral("COLORTAB"));
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
    // A group node maps to entry 0 when it comes before the last file.
    QTest::newRow("group") << -1 << 0 << 0 << false << false << true << false
                           << QStringList{"", "", "", "PLACEHOLDER"} << false;
    QTest::newRow("jpg with data") << -1 << 1 << 0 << true << true << false << true
                                   << QStringList{"16", "8", "JPG", "PLACEHOLDER"} << true;
    QTest::newRow("raw empty") << -1 << 2 << 1 << true << true << true << false
                               << QStringList{"4", "2", "RAW", "0 б"} << false;
    QTest::newRow("ani2 with data") << -1 << 3 << 2 << true << true << false << true
                                    << QStringList{"2", "3", "ANI2", "26 б"} << false;
    QTest::newRow("colour table after ani2") << 3 << 4 << 3 << true << true << false << true
                                             << QStringList{"", "", "COLORTAB", "1000 б"} << false;
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
    const QByteArray jpeg = jpegBytes(16, 8);
    const QString path =
        writeFile(tempPath("full.wqt"), themeBytes({jpeg, QByteArray(), patternBytes(26, 1),
                                                    patternBytes(1000, 2), patternBytes(5, 3)}));
    TMainForm* f = newForm();
    dialogs->openAnswers.push_back(path);
    trigger(f, "MM_Child_OpenTheme");
    QCOMPARE(panel(f, 1), QStringLiteral("Файл загружен."));

    if (before >= 0) select(f, before);
    select(f, node);
    if (texts[3] == QLatin1String("PLACEHOLDER"))
      texts[3] = QString::number(jpeg.size()) + QStringLiteral(" б");

    QCOMPARE(f->selectedEntry(), entry);
    QCOMPARE(shown(f, "PNL_InFo"), infoPanel);
    QCOMPARE(shown(f, "GB_Info"), info);
    QCOMPARE(shown(f, "btn_load_img"), info);
    QCOMPARE(shown(f, "btn_save_img"), info);
    QCOMPARE(shown(f, "lbl_9"), missing);
    QCOMPARE(enabled(f, "btn_save_img"), exportEnabled);
    if (info) {
      QCOMPARE(text(f, "ED_IMG_Width"), texts[0]);
      QCOMPARE(text(f, "ED_IMG_Height"), texts[1]);
      QCOMPARE(text(f, "ED_IMG_Format"), texts[2]);
    }
    QCOMPARE(text(f, "ED_FileSize"), texts[3]);
    QCOMPARE(!child<QLabel>(f, "IMG")->pixmap().isNull(), picture);
    if (picture) QCOMPARE(shownPicture(f, QSize(16, 8)), expectedJpeg(jpeg));
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
    TMainForm* f = newForm();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    trigger(f, "MM_Child_CreateTheme");
    importInto(3, patternBytes(26, 4), QStringLiteral("clock.ani2"));

    QTabBar* tabs = child<QTabWidget>(f, "PCtrl")->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QCOMPARE(child<QTabWidget>(f, "PCtrl")->currentIndex(), 1);
    QVERIFY(!shown(f, "PNL_InFo"));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QVERIFY(shown(f, "PNL_InFo"));
    QVERIFY(shown(f, "GB_Info"));
    QCOMPARE(text(f, "ED_FileSize"), QStringLiteral("26 б"));

    // A page the program brings to the front does not run the rule.
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    dialogs->threeWayAnswers.push_back(wqtui::UserDialogs::Answer::No);  // drop the import
    trigger(f, "MM_Child_CreateTheme");
    QCOMPARE(child<QTabWidget>(f, "PCtrl")->currentIndex(), 0);
    QVERIFY(!shown(f, "PNL_InFo"));
    QVERIFY(!shown(f, "GB_Info"));
  }

  void openTheme_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("kind");  // Message::Kind, -1 for no message
    QTest::addColumn<QString>("message");

    const QList<QByteArray> files{jpegBytes(16, 8), patternBytes(16, 1), patternBytes(26, 2),
                                  patternBytes(1000, 3)};
    QTest::newRow("valid") << themeBytes(files, 1) << QStringLiteral("Файл загружен.") << -1
                           << QString();
    QTest::newRow("signature 1") << themeBytes(files, 0, "WQTTESTTHEMEX")
                                 << QStringLiteral("Некорректный файл темы. [Ошибка в сигнатуре 1]")
                                 << int(Message::Plain) << kBadTheme;
    QTest::newRow("signature 2") << themeBytes(files, 0, "WQTTESTTHEME1", "WQTTESTSIGNATUREX")
                                 << QStringLiteral("Некорректный файл темы. [Ошибка в сигнатуре 2]")
                                 << int(Message::Plain) << kBadTheme;
    QTest::newRow("embedded file above 512 KiB")
        << themeBytes({files[0], QByteArray(524289, 'x'), files[2], files[3]})
        << QStringLiteral("Некорректный файл темы. [Размер файла превышает 512 КБ]")
        << int(Message::Plain)
        << QStringLiteral(
               "Некорректный файл темы: размер вложенного файла превышает 512 КБ. Загрузка "
               "невозможна.");
    QTest::newRow("too short") << QByteArray("WQT") << QStringLiteral("Проверка сигнатуры...")
                               << int(Message::Error) << QStringLiteral("Stream read error.");
    QByteArray cut = themeBytes(files);
    cut.chop(1);
    QTest::newRow("sizes past the end")
        << cut << QStringLiteral("Проверка сигнатуры...") << int(Message::Error)
        << QStringLiteral("Stream read error.");
  }

  void openTheme() {
    QFETCH(QByteArray, file);
    QFETCH(QString, status);
    QFETCH(int, kind);
    QFETCH(QString, message);

    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    const std::vector<std::uint8_t> before = f->document().image();
    dialogs->openAnswers.push_back(writeFile(tempPath("chosen.wqt"), file));
    trigger(f, "MM_Child_OpenTheme");

    QCOMPARE(dialogs->filters, QStringList{QStringLiteral("WQT Theme File (*.wqt)|*.wqt")});
    QCOMPARE(panel(f, 0), QStringLiteral("chosen.wqt"));
    QCOMPARE(panel(f, 1), status);
    if (kind < 0) {
      QVERIFY(dialogs->messages.empty());
      QCOMPARE(text(f, "ED_ThemeAuthor"), QStringLiteral("Tester"));
      QCOMPARE(text(f, "ED_ThemeName"), QStringLiteral("Sunrise"));
      QCOMPARE(text(f, "ED_ThemeVersion"), QStringLiteral("2.5"));
      QCOMPARE(child<QComboBox>(f, "CBox_ThemeType")->currentIndex(), 1);
      // Selecting the type from the file does not rewrite it; showing fields with zero bytes
      // rewrites them unchanged. The image holds the bytes before the data region; the data
      // lives in the slots.
      QCOMPARE(QByteArray(reinterpret_cast<const char*>(f->document().image().data()),
                          static_cast<qsizetype>(f->document().image().size())),
               file.left(kDataOffset));
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

  void openWithoutTypeByteSelectsNothing() {
    const QList<QByteArray> files{jpegBytes(16, 8), patternBytes(16, 1), patternBytes(26, 2),
                                  patternBytes(1000, 3)};
    TMainForm* f = newForm();
    dialogs->openAnswers.push_back(writeFile(tempPath("odd.wqt"), themeBytes(files, 7)));
    trigger(f, "MM_Child_OpenTheme");
    QCOMPARE(child<QComboBox>(f, "CBox_ThemeType")->currentIndex(), -1);
    QCOMPARE(int(f->document().image()[kTypeOffset]), 7);
  }

  void headerFields() {
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    QLineEdit* author = child<QLineEdit>(f, "ED_ThemeAuthor");
    const QString cyrillic26(26, QChar(0x0416));  // "Ж", two bytes of UTF-8 each

    author->setText(cyrillic26);
    QVERIFY(dialogs->messages.empty());
    QCOMPARE(utf8Field(f->document().image(), 32, 52), cyrillic26.toUtf8());

    author->setText(cyrillic26 + QChar(0x0416));
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(dialogs->messages[0].text,
             QStringLiteral("Длина текста в данном поле превышает допустимое ограничение!"));
    QCOMPARE(author->text().size(), 27);  // the box keeps the new text
    QCOMPARE(utf8Field(f->document().image(), 32, 52), cyrillic26.toUtf8());

    // A character Windows-1251 lacks becomes "?" in the box and in the file.
    child<QLineEdit>(f, "ED_ThemeName")->setText(QStringLiteral("Ключ ☃ 😀"));
    QCOMPARE(text(f, "ED_ThemeName"), QStringLiteral("Ключ ? ?"));
    QCOMPARE(utf8Field(f->document().image(), 85, 52), QStringLiteral("Ключ ? ?").toUtf8());

    QCOMPARE(child<QLineEdit>(f, "ED_ThemeVersion")->maxLength(), 5);
    QCOMPARE(author->maxLength(), 52);
  }

  void themeTypeByUserPick() {
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    QComboBox* type = child<QComboBox>(f, "CBox_ThemeType");
    QCOMPARE(int(f->document().image()[kTypeOffset]), 0);
    QTest::keyClick(type, Qt::Key_Down);  // the user picks "Белая тема"
    QCOMPARE(type->currentIndex(), 1);
    QCOMPARE(int(f->document().image()[kTypeOffset]), 1);
    type->setCurrentIndex(0);  // the program's selection stores nothing
    QCOMPARE(int(f->document().image()[kTypeOffset]), 1);
  }

  void fullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Stream read error"
                            << "Stream read error.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("quote") << "'x' is not a valid integer value"
                           << "'x' is not a valid integer value.";
    QTest::newRow("closing parenthesis") << "failed (5)"
                                         << "failed (5)";
    QTest::newRow("exclamation") << "Stop!"
                                 << "Stop!";
    QTest::newRow("slash") << "a/b/"
                           << "a/b/.";
    QTest::newRow("cyrillic") << QStringLiteral("Ошибка") << QStringLiteral("Ошибка.");
    QTest::newRow("empty") << ""
                           << "";
  }

  void fullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(wqtui::withFullStop(message), shown);
  }

  void handlerErrorsReachTheErrorBox() {
    // A map with a width that is not a number stops create theme; the tree shows what was
    // built before the bad line, and the window goes on.
    writeMap(
        "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
        "<ThemeSettings \"A0\" \"100\" \"2\">\n"
        "<file \"First\" \"0\" \"ANI2\" \"2\" \"2\">\n"
        "<file \"Second\" \"1\" \"JPG\" \"wide\" \"2\">\n");
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(int(dialogs->messages[0].kind), int(Message::Error));
    QCOMPARE(dialogs->messages[0].text, QStringLiteral("'wide' is not a valid integer value."));
    QVERIFY(!child<QAction>(f, "MM_Child_SaveTheme")->isEnabled());
    QVERIFY(child<QTreeWidget>(f, "TreeView")->topLevelItemCount() >= 1);
    QCOMPARE(panel(f, 1), QString());

    // The error box is the one registered by the window.
    wqtui::reportException(std::runtime_error("Range check error"));
    QCOMPARE(dialogs->messages.back().text, QStringLiteral("Range check error."));
  }

  void aboutBoxKeys() {
    TChildForm_AboutProgramm about;
    QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(about.size(), QSize(403, 337));
    const QStringList lines = TChildForm_AboutProgramm::memoLines();
    QCOMPARE(lines.size(), 21);
    QCOMPARE(lines[1], QStringLiteral("============"));
    QCOMPARE(lines[6], QStringLiteral("(за искл. D500, X700, E730, E760)."));
    QCOMPARE(lines[15], QStringLiteral("Разработано:"));

    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* memo = child<QPlainTextEdit>(&about, "Memo_AboutProgrammText");
    auto* ok = child<QPushButton>(&about, "btn_modal_ok");
    QCOMPARE(memo->toPlainText(), lines.join(u'\n'));
    QVERIFY(memo->isReadOnly());
    QVERIFY(ok->isDefault());
    QTRY_VERIFY(memo->hasFocus());

    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClick(memo, Qt::Key_Enter);
    QTest::keyClick(memo, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QCOMPARE(memo->toPlainText(), lines.join(u'\n'));

    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QTest::keyClick(ok, Qt::Key_Return);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }

  void aboutCommandWithoutMap() {
    removeMap();
    TMainForm* f = newForm();
    for (int round = 0; round < 2; ++round) {
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
  }

  void endToEnd() {
    const QByteArray jpeg = jpegBytes(16, 8);
    const QByteArray raw = patternBytes(16, 5);
    const QByteArray ani = patternBytes(26, 6);
    const QByteArray tab = patternBytes(1000, 7);

    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    importInto(1, jpeg, QStringLiteral("in.jpg"));
    importInto(2, raw, QStringLiteral("in.raw"));
    importInto(3, ani, QStringLiteral("in.ani2"));
    importInto(4, tab, QStringLiteral("in.tab"));
    child<QLineEdit>(f, "ED_ThemeAuthor")->setText(QStringLiteral("Команда"));
    QVERIFY(dialogs->messages.empty());

    // Saved under a name without extension: ".wqt" is appended.
    dialogs->saveAnswers.push_back(tempPath("saved"));
    trigger(f, "MM_Child_SaveTheme");
    QVERIFY(dialogs->messages.empty());
    const QByteArray saved = readFile(tempPath("saved.wqt"));
    QCOMPARE(saved.size(), kDataOffset + jpeg.size() + raw.size() + ani.size() + tab.size());
    QCOMPARE(saved.mid(kDataOffset), jpeg + raw + ani + tab);
    QCOMPARE(saved.mid(32, 14), QStringLiteral("Команда").toUtf8());

    // Reopen in a fresh window and export every file.
    f = newForm();
    dialogs->openAnswers.push_back(tempPath("saved.wqt"));
    trigger(f, "MM_Child_OpenTheme");
    QCOMPARE(text(f, "ED_ThemeAuthor"), QStringLiteral("Команда"));
    struct Export {
      int node;
      QString answer;
      QString written;
      QByteArray bytes;
    };
    const Export exports[] = {
        {1, QStringLiteral("logo.png"), QStringLiteral("logo.jpg"), jpeg},
        {2, QStringLiteral("Bar"), QStringLiteral("Bar.raw"), raw},
        {3, QStringLiteral("clock"), QStringLiteral("clock.ani2"), ani},
        {4, QStringLiteral("Colours.1.2"), QStringLiteral("Colours.1.tab"), tab},
    };
    for (const Export& e : exports) {
      select(f, e.node);
      dialogs->saveAnswers.push_back(tempPath(e.answer));
      child<QPushButton>(f, "btn_save_img")->click();
      QCOMPARE(dialogs->presetNames.back(), nodeAt(f, e.node)->text(0));
      QCOMPARE(readFile(tempPath(e.written)), e.bytes);
    }
    QVERIFY(dialogs->messages.empty());
  }

  void treeContextMenu_data() {
    QTest::addColumn<int>("node");  // -1: the empty area of the tree
    QTest::addColumn<int>("how");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("entry");  // selected afterwards

    const QStringList fileWithData{"PM_LoadFile", "PM_SaveFile"};
    QTest::newRow("jpg by mouse") << 1 << int(ByMouse) << fileWithData << 0;
    QTest::newRow("empty raw by menu key")
        << 2 << int(ByMenuKey)
        << QStringList{"PM_LoadFile", "PM_SaveFile-", "PM_LoadPng", "PM_SavePng-"} << 1;
    QTest::newRow("colour table by shift+f10") << 4 << int(ByShiftF10) << fileWithData << 3;
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
    const QString path = writeFile(tempPath("theme.wqt"),
                                   themeBytes({jpegBytes(16, 8), QByteArray(), patternBytes(26, 1),
                                               patternBytes(1000, 2), patternBytes(5, 3)}));
    TMainForm* f = newForm();
    dialogs->openAnswers.push_back(path);
    trigger(f, "MM_Child_OpenTheme");
    select(f, 4);

    QMenu* menu = openTreeMenu(f, node, MenuOpening(how));
    QVERIFY(menu != nullptr);
    QCOMPARE(::commands(menu), commands);
    // The node is selected first: the panel shows what the commands act on.
    QCOMPARE(f->selectedEntry(), entry);
    QCOMPARE(shown(f, "PNL_InFo"), node != 0);
    QVERIFY(dialogs->messages.empty());
    menu->close();
  }

  void treeContextMenuCommands_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");    // the file the dialog returns
    QTest::addColumn<QString>("written");   // the file the command writes, empty for an import
    QTest::addColumn<QByteArray>("bytes");  // the imported or written bytes

    const QByteArray raw = patternBytes(16, 5);
    QTest::newRow("load raw") << 2 << "PM_LoadFile"
                              << "bar.raw" << QString() << raw;
    QTest::newRow("save jpg under a typed name") << 1 << "PM_SaveFile"
                                                 << "logo.png"
                                                 << "logo.jpg" << jpegBytes(16, 8);
    QTest::newRow("save colour table") << 4 << "PM_SaveFile"
                                       << "Colours"
                                       << "Colours.tab" << patternBytes(1000, 2);
  }

  void treeContextMenuCommands() {
    QFETCH(int, node);
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(QByteArray, bytes);

    const QString path = writeFile(
        tempPath("theme.wqt"),
        themeBytes({jpegBytes(16, 8), QByteArray(), patternBytes(26, 1), patternBytes(1000, 2)}));
    TMainForm* f = newForm();
    dialogs->openAnswers.push_back(path);
    trigger(f, "MM_Child_OpenTheme");
    if (written.isEmpty())
      dialogs->openAnswers.push_back(writeFile(tempPath(answer), bytes));
    else
      dialogs->saveAnswers.push_back(tempPath(answer));

    QMenu* menu = openTreeMenu(f, node, ByMouse);
    QVERIFY(menu != nullptr);
    menu->findChild<QAction*>(command)->trigger();

    QVERIFY(dialogs->messages.empty());
    if (written.isEmpty()) {
      const std::vector<std::uint8_t>& slot =
          f->document().slot(static_cast<std::size_t>(f->selectedEntry()) + 1);
      QCOMPARE(QByteArray(reinterpret_cast<const char*>(slot.data()), qsizetype(slot.size())),
               bytes);
      QVERIFY(!child<QLabel>(f, "IMG")->pixmap().isNull());
      QCOMPARE(shownPicture(f, QSize(4, 2)), rawPicture(bytes, 4, 2));
    } else {
      QCOMPARE(dialogs->presetNames.back(), nodeAt(f, node)->text(0));
      QCOMPARE(readFile(tempPath(written)), bytes);
    }
  }

  void drops_data() {
    QTest::addColumn<QString>("target");  // a node's display index, "window" or a control's name
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("message");  // the info message, empty for none
    QTest::addColumn<int>("slotSize");     // of the dropped-on node's slot afterwards, -1 n/a

    QTest::newRow("raw on raw node") << "2" << QStringList{"bar.raw"} << true << "" << 16;
    QTest::newRow("wrong size on raw node")
        << "2" << QStringList{"short.raw"} << true << kWrongSize << 0;
    QTest::newRow("unknown kind node") << "5" << QStringList{"bar.raw"} << true << "Ошибка #1" << 0;
    QTest::newRow("two files on a node") << "2" << QStringList{"bar.raw", "short.raw"} << true
                                         << "На файл темы можно перетащить только один файл." << 0;
    QTest::newRow("on a group") << "0" << QStringList{"bar.raw"} << false << "" << -1;
    QTest::newRow("on a node without slot") << "6" << QStringList{"bar.raw"} << false << "" << -1;
    QTest::newRow("a folder on a node") << "2" << QStringList{"."} << false << "" << 0;
    QTest::newRow("theme on the window") << "window" << QStringList{"drop.wqt"} << true << "" << -1;
    QTest::newRow("theme on a file node") << "1" << QStringList{"drop.wqt"} << true << "" << -1;
    QTest::newRow("theme on an edit box")
        << "ED_ThemeAuthor" << QStringList{"drop.wqt"} << true << "" << -1;
    QTest::newRow("other file on the window")
        << "window" << QStringList{"bar.raw"} << false << "" << -1;
    QTest::newRow("two themes on the window")
        << "window" << QStringList{"drop.wqt", "drop.wqt"} << false << "" << -1;
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
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
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
    const QPoint pos = isNode               ? tree->visualItemRect(nodeAt(f, node)).center()
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
    QCOMPARE(int(f->document().slot(std::size_t(entry) + 1).size()), slotSize);
    // A file taken into a node is imported as if the node had been selected first.
    if (taken && files.size() == 1) QCOMPARE(f->selectedEntry(), entry);
  }

  void dragHighlightsTheTargetNode() {
    TMainForm* f = newForm();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    trigger(f, "MM_Child_CreateTheme");
    auto* tree = child<QTreeWidget>(f, "TreeView");
    tree->expandAll();
    const QString file = writeFile(tempPath("bar.raw"), patternBytes(16, 5));
    const QRect row = tree->visualItemRect(nodeAt(f, 2));
    const QPoint probe(row.right() - 2, row.center().y());
    auto colourAt = [&] {
      QApplication::processEvents();
      return tree->viewport()->grab().toImage().pixelColor(probe);
    };
    const QColor plain = colourAt();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(row.center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(row.center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QVERIFY(move.isAccepted());
    QCOMPARE(colourAt(), tree->palette().color(QPalette::Active, QPalette::Highlight));

    // Leaving the tree takes the highlight away; nothing was imported.
    QDragLeaveEvent leave;
    QApplication::sendEvent(tree->viewport(), &leave);
    QCOMPARE(colourAt(), plain);
    QCOMPARE(f->document().slot(2).size(), std::size_t(0));
  }

  // The platform sends moves only to a widget that took the drag on entering: the tree takes
  // files wherever they enter, and each move decides for the node under the pointer.
  void dragEntersThenMoves_data() {
    QTest::addColumn<int>("enterAt");  // a display index, -1 for the empty area
    QTest::addColumn<int>("moveTo");
    QTest::addColumn<bool>("taken");

    QTest::newRow("empty area, then the raw node") << -1 << 2 << true;
    QTest::newRow("a group, then the raw node") << 0 << 2 << true;
    QTest::newRow("the raw node, then the empty area") << 2 << -1 << false;
    QTest::newRow("the raw node, then a group") << 2 << 0 << false;
  }

  void dragEntersThenMoves() {
    QFETCH(int, enterAt);
    QFETCH(int, moveTo);
    QFETCH(bool, taken);

    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    auto* tree = child<QTreeWidget>(f, "TreeView");
    tree->expandAll();
    auto at = [&](int node) {
      return node < 0 ? QPoint(20, tree->viewport()->height() - 5)
                      : tree->visualItemRect(nodeAt(f, node)).center();
    };
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(writeFile(tempPath("bar.raw"), patternBytes(16, 5)))});
    QDragEnterEvent enter(at(enterAt), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at(moveTo), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QCOMPARE(move.isAccepted(), taken);
    QDropEvent drop(at(moveTo), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
    QCOMPARE(f->document().slot(2).size(), std::size_t(taken ? 16 : 0));
  }

  // Unsaved work and the commands that drop it: exit (Ctrl+Q), the close box, "Открыть тему"
  // (Ctrl+O), "Создать тему" (Ctrl+N) and a theme dropped on the window.
  void unsavedWorkQuestion_data() {
    using Answer = wqtui::UserDialogs::Answer;
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("work");  // "none", "edit", "saved edit" or "edit of a new theme"
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("saveChosen");  // whether the save dialog gives a name
    QTest::addColumn<bool>("dropped");     // the theme was closed or replaced
    QTest::addColumn<bool>("saved");       // the edited theme was written

    for (const char* command : {"exit", "close box", "open", "create", "drop"}) {
      const QString name = QString::fromLatin1(command);
      QTest::addRow("%s, no change", command)
          << name << "none" << Answer::Cancel << false << true << false;
      QTest::addRow("%s, Да", command) << name << "edit" << Answer::Yes << true << true << true;
      QTest::addRow("%s, Нет", command) << name << "edit" << Answer::No << false << true << false;
      QTest::addRow("%s, Отмена", command)
          << name << "edit" << Answer::Cancel << false << false << false;
    }
    QTest::newRow("exit, Да, save dialog cancelled")
        << "exit"
        << "edit" << Answer::Yes << false << false << false;
    QTest::newRow("close box, Да, save refused for a missing file")
        << "close box"
        << "edit of a new theme" << Answer::Yes << true << false << false;
    QTest::newRow("open after Ctrl+S saved the edit")
        << "open"
        << "saved edit" << Answer::Cancel << true << true << true;
  }

  void unsavedWorkQuestion() {
    using Answer = wqtui::UserDialogs::Answer;
    QFETCH(QString, command);
    QFETCH(QString, work);
    QFETCH(Answer, answer);
    QFETCH(bool, saveChosen);
    QFETCH(bool, dropped);
    QFETCH(bool, saved);

    const QList<QByteArray> files{jpegBytes(16, 8), patternBytes(16, 1), patternBytes(26, 2),
                                  patternBytes(1000, 3)};
    const QString theme = writeFile(tempPath("theme.wqt"), themeBytes(files));
    const QString other = writeFile(
        tempPath("other.wqt"), themeBytes(files, 0, "WQTTESTTHEME1", "WQTTESTSIGNATURE2", "Other"));
    TMainForm* f = newForm();
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    if (work == "edit of a new theme") {
      trigger(f, "MM_Child_CreateTheme");
    } else {
      dialogs->openAnswers.push_back(theme);
      trigger(f, "MM_Child_OpenTheme");
    }
    if (work != "none") child<QLineEdit>(f, "ED_ThemeAuthor")->setText(QStringLiteral("Changed"));
    const QString savedAs = tempPath("saved.wqt");
    if (saveChosen) dialogs->saveAnswers.push_back(savedAs);
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
    // The save dialog comes only from "Да"; the open dialog only once the theme may go.
    QStringList shown;
    if (asked && answer == Answer::Yes) shown << "WQT Theme File (*.wqt)|*.wqt";
    if (command == "open" && dropped) shown << "WQT Theme File (*.wqt)|*.wqt";
    if (work == "edit of a new theme") shown.clear();  // refused before the save dialog
    QCOMPARE(dialogs->filters, shown);
    QCOMPARE(dialogs->messages.empty(), work != "edit of a new theme");
    QCOMPARE(QFile::exists(savedAs), saved);
    if (saved) QVERIFY(readFile(savedAs).contains("Changed"));
  }

  void pngPictures_data() {
    QTest::addColumn<QString>("how");  // "menu", "drop" or "save"
    QTest::addColumn<QSize>("size");   // of the PNG picture offered
    QTest::addColumn<int>("cut");      // bytes of the PNG file offered, -1 all; 0 offers text
    QTest::addColumn<QString>("refusal");

    const QString dimensions = QStringLiteral(
        "Размеры загружаемого изображения должны соответствовать заданным в карте темы!\r\n"
        "Загружаемый размер: %1, необходим: 4x2");
    const QString notPng =
        QStringLiteral("Файл не является изображением PNG или повреждён. Загрузка невозможна.");
    QTest::newRow("load from png") << "menu" << QSize(4, 2) << -1 << QString();
    QTest::newRow("png of other dimensions")
        << "menu" << QSize(2, 4) << -1 << dimensions.arg("2x4");
    QTest::newRow("not a png") << "menu" << QSize(4, 2) << 0 << notPng;
    QTest::newRow("png cut short") << "menu" << QSize(4, 2) << 40 << notPng;
    QTest::newRow("png dropped on the raw node") << "drop" << QSize(4, 2) << -1 << QString();
    QTest::newRow("png of other dimensions dropped")
        << "drop" << QSize(8, 2) << -1 << dimensions.arg("8x2");
    QTest::newRow("not a png dropped") << "drop" << QSize(4, 2) << 0 << notPng;
    QTest::newRow("save as png") << "save" << QSize(4, 2) << -1 << QString();
  }

  void pngPictures() {
    QFETCH(QString, how);
    QFETCH(QSize, size);
    QFETCH(int, cut);
    QFETCH(QString, refusal);

    const QByteArray raw = patternBytes(2 * size.width() * size.height(), 11);
    const QImage picture = rawPicture(raw, size.width(), size.height());
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
    child<QTreeWidget>(f, "TreeView")->expandAll();
    const QString png = writeFile(tempPath("bar.png"), cut == 0  ? QByteArray("just text\n")
                                                       : cut < 0 ? pngBytes(picture)
                                                                 : pngBytes(picture).left(cut));
    if (how == "save") {
      importInto(2, raw, QStringLiteral("bar.raw"));
      dialogs->saveAnswers.push_back(tempPath("exported"));
      openTreeMenu(f, 2, ByMouse)->findChild<QAction*>("PM_SavePng")->trigger();
      QCOMPARE(dialogs->filters.last(), QStringLiteral("PNG-изображение (.png)|*.png"));
      QCOMPARE(dialogs->presetNames.last(), QStringLiteral("Bar"));
      QCOMPARE(pixelsOf(QImage(tempPath("exported.png"))), pixelsOf(picture));
      QVERIFY(dialogs->messages.empty());
      return;
    }
    if (how == "menu") {
      dialogs->openAnswers.push_back(png);
      openTreeMenu(f, 2, ByMouse)->findChild<QAction*>("PM_LoadPng")->trigger();
      QCOMPARE(dialogs->filters, QStringList{"PNG-изображение (.png)|*.png"});
    } else {
      auto* tree = child<QTreeWidget>(f, "TreeView");
      QVERIFY(dragAndDrop(tree->viewport(), tree->visualItemRect(nodeAt(f, 2)).center(), {png}));
    }
    const std::vector<std::uint8_t>& slot = f->document().slot(2);
    if (!refusal.isEmpty()) {
      QCOMPARE(int(dialogs->messages.size()), 1);
      QCOMPARE(dialogs->messages[0].text, refusal);
      QVERIFY(slot.empty());
      return;
    }
    QVERIFY(dialogs->messages.empty());
    // The picture's colours go back to the very RAW words, and the panel shows them.
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(slot.data()), qsizetype(slot.size())), raw);
    QCOMPARE(text(f, "ED_FileSize"), QStringLiteral("16 б"));

    QCOMPARE(pixelsOf(child<QLabel>(f, "IMG")->pixmap().toImage()), pixelsOf(picture));
    QCOMPARE(shownPicture(f, size), picture);
  }

  void saveAllFiles_data() {
    QTest::addColumn<int>("node");  // -1: the empty area of the tree
    QTest::addColumn<bool>("rawPresent");
    QTest::addColumn<QStringList>("existing");  // files in the folder before, holding "old"
    QTest::addColumn<bool>("replace");          // the answer to the question
    QTest::addColumn<QStringList>("written");   // files holding the theme's bytes afterwards
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("error");  // a part of the error box's text

    const QStringList group{"Icons/Bar.raw", "Wallpaper.jpg"};
    QTest::newRow("group with a nested group")
        << 0 << true << QStringList() << true << group << "Сохранено файлов: 2" << 0 << "";
    QTest::newRow("whole theme from the tree area")
        << -1 << true << QStringList() << true
        << QStringList{"Clock.ani2", "Colours.tab", "Pictures/Icons/Bar.raw",
                       "Pictures/Wallpaper.jpg"}
        << "Сохранено файлов: 4" << 0 << "";
    QTest::newRow("missing file left out")
        << 0 << false << QStringList() << true << QStringList{"Wallpaper.jpg"}
        << "Сохранено файлов: 1" << 0 << "";
    QTest::newRow("existing files replaced after one question")
        << 0 << true << group << true << group << "Сохранено файлов: 2" << 1 << "";
    QTest::newRow("declined: nothing written") << 0 << true << QStringList{"Wallpaper.jpg"} << false
                                               << QStringList() << "Файл загружен." << 1 << "";
    QTest::newRow("error stops at its file, earlier files stay")
        << 0 << true << QStringList{"Icons"} << true << QStringList{"Wallpaper.jpg"}
        << "Сохранение прервано ошибкой. Сохранено файлов: 1 из 2." << 0 << "Icons";
  }

  void saveAllFiles() {
    QFETCH(int, node);
    QFETCH(bool, rawPresent);
    QFETCH(QStringList, existing);
    QFETCH(bool, replace);
    QFETCH(QStringList, written);
    QFETCH(QString, status);
    QFETCH(int, questions);
    QFETCH(QString, error);

    writeMap(kMapNested);
    const QMap<QString, QByteArray> bytes{{"Wallpaper", jpegBytes(16, 8)},
                                          {"Bar", patternBytes(16, 1)},
                                          {"Clock", patternBytes(26, 2)},
                                          {"Colours", patternBytes(1000, 3)}};
    const QString theme = writeFile(tempPath("theme.wqt"),
                                    themeBytes({bytes["Wallpaper"], rawPresent ? bytes["Bar"] : "",
                                                bytes["Clock"], bytes["Colours"]}));
    const QString folder = tempPath("out");
    QDir().mkpath(folder);
    for (const QString& file : existing) {
      QDir(folder).mkpath(QFileInfo(file).path());
      writeFile(folder + "/" + file, "old");
    }
    TMainForm* f = newForm();
    dialogs->openAnswers.push_back(theme);
    trigger(f, "MM_Child_OpenTheme");
    dialogs->folderAnswers.push_back(folder);
    dialogs->replaceAnswer = replace;

    openTreeMenu(f, node, ByMouse)->findChild<QAction*>("PM_SaveAllFiles")->trigger();

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
      const QByteArray content = written.contains(file) ? bytes[QFileInfo(file).baseName()] : "old";
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
    constexpr int kBigDataOffset = 0x800;
    std::string map =
        "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
        "<ThemeSettings \"A0\" \"800\" \"12C\">\n<group \"Tables\">\n";
    wqt::sample::ThemeRecipe recipe;
    recipe.sign1 = "WQTTESTTHEME1";
    recipe.sign2 = "WQTTESTSIGNATURE2";
    recipe.version = "";
    recipe.tableOffset = kTableOffset;
    recipe.dataOffset = kBigDataOffset;
    recipe.type = -1;
    recipe.writeFileCount = false;
    std::vector<std::vector<std::uint8_t>> tables;
    for (int i = 0; i < kCount; ++i) {
      map += "<file \"T" + std::to_string(i) + "\" \"0\" \"COLORTAB\" \"2\">\n";
      tables.push_back(std::vector<std::uint8_t>(2, static_cast<std::uint8_t>(i)));
    }
    const QByteArray theme = bytesOf(wqt::sample::themeFile(recipe, tables));
    map += "</group \"\">\n";
    writeMap(map.c_str());
    TMainForm* f = newForm();
    dialogs->openAnswers.push_back(writeFile(tempPath("many.wqt"), theme));
    trigger(f, "MM_Child_OpenTheme");
    dialogs->folderAnswers.push_back(temp->path());
    dialogs->cancelAfter = cancelAfter;

    openTreeMenu(f, 0, ByMouse)->findChild<QAction*>("PM_SaveAllFiles")->trigger();

    QCOMPARE(dialogs->progressLabels, QStringList{"Сохранение файлов... /300"});
    QCOMPARE(dialogs->progressSteps, files);
    QCOMPARE(panel(f, 1), status);
    QCOMPARE(filesBelow(temp->path()).filter(".tab").size(), files);
    QCOMPARE(readFile(tempPath("T7.tab")), QByteArray(2, char(7)));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
