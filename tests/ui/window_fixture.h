#pragma once
// What every window test shares: the test maps and themes, scripted dialogs, the helpers that
// find and drive the window's controls by object name, and the fixture each test class derives
// from, which writes the map beside the test binary and gives every test a fresh window.
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
#include <QSignalSpy>
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
#include "ui/FitDialog.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

Q_DECLARE_METATYPE(wqtui::UserDialogs::Answer)

namespace wqttest {

// Four embedded files, one of each kind, and a theme-type byte at 98h.
// Display order: 0 "Pictures", 1 "Wallpaper", 2 "Bar", 3 "Clock", 4 "Colours".
inline constexpr const char* kMapFourKinds =
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
inline const std::string kMapWithOddNodes = std::string(kMapFourKinds) +
                                            "<ThemeSettings \"A0\" \"100\" \"5\">\n"
                                            "<file \"Odd\" \"4\" \"BMP\" \"7\" \"9\">\n"
                                            "<group \"Empty\">\n"
                                            "</group \"\">\n";

inline constexpr int kTableOffset = 0xA0;
inline constexpr int kDataOffset = 0x100;
inline constexpr int kTypeOffset = 0x98;

inline const QString kBadTheme = QStringLiteral("Некорректный файл темы. Загрузка невозможна.");
inline const QString kWrongSize =
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
  // The real fitting dialog, "OK" clicked once its first result is shown, or "Отмена" when the
  // queue says false or is empty.
  std::optional<std::vector<std::uint8_t>> fitPicture(QWidget* parent, const wqt::FitTarget& target,
                                                      const QString& picture) override {
    fittedPictures << picture;
    const bool ok = !fitAnswers.empty() && fitAnswers.front();
    if (!fitAnswers.empty()) fitAnswers.pop_front();
    if (!ok) return std::nullopt;
    wqtui::TFitDialog dialog(target, picture, *this, parent);
    QSignalSpy made(&dialog, &wqtui::TFitDialog::resultChanged);
    if (!made.wait(10000)) return std::nullopt;
    dialog.findChild<QPushButton*>(QStringLiteral("fitOk"))->click();
    return dialog.acceptedBytes();
  }
  void infoMessage(const QString& text) override { messages.push_back({Message::Info, text}); }
  // The message is recorded as an info message; "Подогнать..." is chosen as the queue says.
  bool infoMessageOfferingFit(const QString& text) override {
    infoMessage(text);
    ++fitsOffered;
    const bool fit = !fitOffers.empty() && fitOffers.front();
    if (!fitOffers.empty()) fitOffers.pop_front();
    return fit;
  }
  void plainMessage(const QString& text) override { messages.push_back({Message::Plain, text}); }
  void errorMessage(const QString& text) override { messages.push_back({Message::Error, text}); }

  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  std::deque<QString> folderAnswers;
  bool replaceAnswer = true;
  std::deque<Answer> threeWayAnswers;
  std::deque<bool> fitAnswers;  // "OK" (true) or "Отмена" of each fitting dialog
  QStringList fittedPictures;   // the picture of every fitting dialog asked for
  std::deque<bool> fitOffers;  // "Подогнать..." (true) or "OK" of each refusal offering it
  int fitsOffered = 0;
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

inline QString mapPath() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/theme.rxt");
}

inline void writeMap(const char* text) {
  QFile file(mapPath());
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text);
}

inline void removeMap() {
  QFile::remove(mapPath());
  QDir().rmdir(mapPath());  // a folder a test put there
}

inline QByteArray jpegBytes(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(200, 40, 60));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG");
  return bytes;
}

inline QByteArray toBytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// The picture a JPEG slot should show, decoded apart from the window by the core's decoder.
inline QImage expectedJpeg(const QByteArray& bytes) {
  const wqt::Picture p = wqt::decodeJpeg(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())));
  return QImage(p.pixels.data(), p.width, p.height, p.bytesPerLine, QImage::Format_RGB32).copy();
}

inline QByteArray patternBytes(int size, char seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7);
  return bytes;
}

inline QByteArray bytesOf(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

// A theme file for the test maps: header, type byte, size table and data back to back.
inline QByteArray themeBytes(const QList<QByteArray>& files, quint8 type = 0,
                             const QByteArray& sig1 = "WQTTESTTHEME1",
                             const QByteArray& sig2 = "WQTTESTSIGNATURE2",
                             const QByteArray& author = "Tester",
                             const QByteArray& name = "Sunrise",
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

// The data the window's document holds for an entry of the map.
inline QByteArray entryBytes(const TMainForm* form, std::int32_t entry) {
  const std::span<const std::uint8_t> data = form->document().entryData(entry);
  return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

inline QByteArray readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

inline QString writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  return path;
}

template <class T>
inline T* child(QWidget* form, const char* name) {
  T* found = form->findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

// The node at a display index: the tree listed top to bottom with every group expanded.
inline QTreeWidgetItem* nodeAt(QWidget* form, int displayIndex) {
  QTreeWidgetItemIterator it(child<QTreeWidget>(form, "TreeView"));
  for (int i = 0; *it != nullptr; ++it, ++i)
    if (i == displayIndex) return *it;
  return nullptr;
}

inline void select(QWidget* form, int displayIndex) {
  child<QTreeWidget>(form, "TreeView")->setCurrentItem(nodeAt(form, displayIndex));
}

inline void trigger(QWidget* form, const char* action) {
  child<QAction>(form, action)->trigger();
}

inline QString panel(QWidget* form, int index) {
  return child<QLabel>(form, index == 0 ? "SBar_Panel0" : "SBar_Panel1")->text();
}

inline QString text(QWidget* form, const char* box) {
  return child<QLineEdit>(form, box)->text();
}

// What the picture view shows at its top-left corner, grabbed once the window is on screen and
// the event loop has run: the pixels the user sees.
inline QImage shownPicture(QWidget* form, QSize size) {
  if (!form->isVisible()) {
    form->show();
    if (!QTest::qWaitForWindowExposed(form)) qFatal("window not exposed");
  }
  QCoreApplication::processEvents();
  const QImage grabbed = child<QLabel>(form, "IMG")->grab().toImage();
  return grabbed.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size));
}

inline void clickPage(QWidget* form, int index) {
  QTabBar* tabs = child<QTabWidget>(form, "PCtrl")->tabBar();
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// Whether a control's own visible flag is set, whatever its parents show.
inline bool shown(QWidget* form, const char* name) {
  return !child<QWidget>(form, name)->isHidden();
}

inline bool enabled(QWidget* form, const char* name) {
  return child<QWidget>(form, name)->isEnabled();
}

inline QByteArray utf8Field(const std::vector<std::uint8_t>& image, int offset, int width) {
  QByteArray field(reinterpret_cast<const char*>(image.data()) + offset, width);
  return field.left(field.indexOf('\0') < 0 ? width : field.indexOf('\0'));
}

// The four kinds again, the RAW picture in a group nested in the JPG's group.
// Display order: 0 "Pictures", 1 "Wallpaper", 2 "Icons", 3 "Bar", 4 "Clock", 5 "Colours".
inline constexpr const char* kMapNested =
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
inline QImage rawPicture(const QByteArray& raw, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int i = 0; i < width * height; ++i) {
    const int word = quint8(raw[2 * i]) | quint8(raw[2 * i + 1]) << 8;
    image.setPixel(i % width, i / width,
                   qRgb((word >> 8) & 0xF8, (word >> 3) & 0xFC, (word << 3) & 0xF8));
  }
  return image;
}

// A picture's size and its pixels' colours, row by row.
inline QList<QRgb> pixelsOf(const QImage& image) {
  QList<QRgb> pixels{QRgb(image.width()), QRgb(image.height())};
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) pixels << (image.pixel(x, y) | 0xFF000000u);
  return pixels;
}

inline QByteArray pngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// Every file below a folder, as paths relative to it.
inline QStringList filesBelow(const QString& folder) {
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
inline QMenu* openTreeMenu(TMainForm* form, int displayIndex, MenuOpening how) {
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
inline QStringList commands(const QMenu* menu) {
  QStringList names;
  for (const QAction* action : menu->actions())
    if (!action->isSeparator()) names << action->objectName() + (action->isEnabled() ? "" : "-");
  return names;
}

// Drags local files over a point of a widget as the platform does, and drops them there when
// the widget accepts them. Returns whether the drop was taken.
inline bool dragAndDrop(QWidget* target, QPoint pos, const QStringList& files) {
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

// The base of every window test class: a temporary folder and the test map for each test, and a
// window built on scripted dialogs.
class WindowTest : public QObject {
  Q_OBJECT

 protected:
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<ScriptedDialogs> dialogsOwner;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<QTemporaryDir> temp;

  // With a map path, the window uses that map (the command line's --map) instead of the lookup.
  TMainForm* newForm(const QString& mapFile = QString());
  QString tempPath(const QString& name) const { return temp->filePath(name); }
  // Imports a file into the entry of a display index through the window's button.
  void importInto(int displayIndex, const QByteArray& bytes, const QString& name);

 private Q_SLOTS:
  void initTestCase();
  void init();
  void cleanup();
};

// Every test class registers itself; one executable runs them all.
using TestFactory = std::unique_ptr<QObject> (*)();
std::vector<TestFactory>& registeredTests();
struct TestRegistration {
  explicit TestRegistration(TestFactory factory) { registeredTests().push_back(factory); }
};

}  // namespace wqttest

#define WQT_WINDOW_TEST(Class)                                \
  static const wqttest::TestRegistration Class##Registration( \
      []() -> std::unique_ptr<QObject> { return std::make_unique<Class>(); });
