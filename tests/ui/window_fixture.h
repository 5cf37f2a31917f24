#pragma once
// What every window test shares: the test maps and themes, scripted dialogs, the helpers that
// find and drive the window's controls by object name, and the fixture each test class derives
// from, which writes the map beside the test binary and gives every test a fresh window.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "../core/jpeg_test_util.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

Q_DECLARE_METATYPE(wqtui::UserDialogs::Answer)

namespace wqttest {

// Four embedded files, one of each kind, and a theme-type byte at 98h.
// Display order: 0 "Pictures", 1 "Wallpaper", 2 "Bar", 3 "Clock", 4 "Colours".
extern const char* const kMapFourKinds;
// The same plus an entry of an unknown kind (5 "Odd") and an empty group after the last file
// (6 "Empty"), which has no entry.
extern const std::string kMapWithOddNodes;
// The four kinds again, the RAW picture in a group nested in the JPG's group.
// Display order: 0 "Pictures", 1 "Wallpaper", 2 "Icons", 3 "Bar", 4 "Clock", 5 "Colours".
extern const char* const kMapNested;

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
  QString getOpenFileName(QWidget*, const QString& filter, const QString& name) override {
    return answer(openAnswers, filter, name);
  }
  QString getSaveFileName(QWidget*, const QString& filter, const QString& name) override {
    return answer(saveAnswers, filter, name);
  }
  QString getExistingDirectory(QWidget*, const QString& caption) override {
    return answer(folderAnswers, caption, QString());
  }
  bool question(const QString& text) override {
    questions << text;
    return replaceAnswer;
  }
  // "Да", "Нет" or "Отмена" from a queue; an empty queue answers "Отмена".
  Answer questionWithCancel(const QString& text) override;
  // Counts the steps shown; the cancel button is "clicked" once cancelAfter steps are done.
  std::unique_ptr<Progress> progress(QWidget*, const QString& label, int total) override;
  // The real fitting dialog, "OK" clicked once its first result is shown, or "Отмена" when the
  // queue says false or is empty.
  std::optional<std::vector<std::uint8_t>> fitPicture(QWidget* parent, const wqt::FitTarget& target,
                                                      const QString& picture) override;
  std::optional<wqtui::PortChoice> portChoice(QWidget*) override;
  void portReport(QWidget*, const wqtui::PortReport& report) override {
    portReports.push_back(report);
  }
  void infoMessage(const QString& text) override { messages.push_back({Message::Info, text}); }
  // Recorded as an info message; "Подогнать..." is chosen as the queue says.
  bool infoMessageOfferingFit(const QString& text) override;
  void plainMessage(const QString& text) override { messages.push_back({Message::Plain, text}); }
  void errorMessage(const QString& text) override { messages.push_back({Message::Error, text}); }

  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  std::deque<QString> folderAnswers;
  bool replaceAnswer = true;
  std::deque<Answer> threeWayAnswers;
  std::deque<wqtui::PortChoice> portChoices;  // an empty queue answers "Отмена"
  std::vector<wqtui::PortReport> portReports;
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
  QString answer(std::deque<QString>& answers, const QString& filter, const QString& fileName);
};

QString mapPath();
void writeMap(const char* text);
void removeMap();

// Test files: a flat-coloured JPEG, bytes of a pattern, and the four files of kMapFourKinds.
QByteArray jpegBytes(int width, int height);
QByteArray patternBytes(int size, char seed);
QList<QByteArray> fourFiles();
QByteArray bytesOf(const std::vector<std::uint8_t>& bytes);
QByteArray pngBytes(const QImage& image);
// A theme file for the test maps: header, type byte, size table and data back to back.
QByteArray themeBytes(const QList<QByteArray>& files, quint8 type = 0,
                      const QByteArray& sig1 = "WQTTESTTHEME1",
                      const QByteArray& sig2 = "WQTTESTSIGNATURE2",
                      const QByteArray& author = "Tester");
QByteArray readFile(const QString& path);
QString writeFile(const QString& path, const QByteArray& bytes);
// Every file below a folder, as paths relative to it.
QStringList filesBelow(const QString& folder);

// The data the window's document holds for an entry of the map.
QByteArray entryBytes(const TMainForm* form, std::int32_t entry);
// The picture a JPEG slot should show, decoded apart from the window by the core's decoder.
QImage expectedJpeg(const QByteArray& bytes);
// The picture the RAW words show: each channel's bits at the top of its byte.
QImage rawPicture(const QByteArray& raw, int width, int height);
// A picture's size and its pixels' colours, row by row.
QList<QRgb> pixelsOf(const QImage& image);
// The first `width` bytes of a header field, up to its terminating zero.
QByteArray utf8Field(const std::vector<std::uint8_t>& image, int offset, int width);

template <class T>
T* child(QObject* form, const char* name) {
  T* found = form->findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

// The node at a display index: the tree listed top to bottom with every group expanded.
QTreeWidgetItem* nodeAt(QWidget* form, int displayIndex);
void select(QWidget* form, int displayIndex);
void trigger(QWidget* form, const char* action);
QString panel(QWidget* form, int index);
QString text(QWidget* form, const char* box);
// Whether a control's own visible flag is set, whatever its parents show.
bool shown(QWidget* form, const char* name);
// Of a control or a command.
bool enabled(QWidget* form, const char* name);
void clickPage(QWidget* form, int index);
// What the picture view shows at its top-left corner once the window is on screen: the pixels
// the user sees.
QImage shownPicture(QWidget* form, QSize size);

// How a test opens the tree's context menu.
enum MenuOpening { ByMouse, ByMenuKey, ByShiftF10 };
// The tree's context menu after it was opened on a node (or the empty area, -1), or nullptr when
// none opened.
QMenu* openTreeMenu(TMainForm* form, int displayIndex, MenuOpening how);
// The menu's commands by object name, a "-" after a disabled one.
QStringList commands(const QMenu* menu);
// Drags local files over a point of a widget as a file manager does, and drops them there when
// the widget accepts them. Returns whether the drop was taken.
bool dragAndDrop(QWidget* target, QPoint pos, const QStringList& files);

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
  // A fresh window with a new theme, or with the theme file opened through its dialog.
  TMainForm* createdForm();
  TMainForm* openedForm(const QByteArray& theme, const QString& name = "theme.wqt");
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
