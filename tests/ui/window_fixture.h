#pragma once
// What the window tests share: test maps and files, scripted dialogs, helpers that drive the
// window's controls by object name, and the fixture giving each test a fresh window.
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

// Display order: 0 "Pictures", 1 "Wallpaper" (JPG 16×8), 2 "Bar" (RAW 4×2), 3 "Clock" (ANI2),
// 4 "Colours"; the theme type at 98h.
extern const char* const kMapFourKinds;
// Adds 5 "Odd", of an unknown kind, and 6 "Empty", a group after the last file.
extern const std::string kMapWithOddNodes;
// "Bar" in a group "Icons" (display index 2) inside "Pictures".
extern const std::string kMapNested;
inline constexpr int kTypeOffset = 0x98;

struct Message {
  enum Kind { Info, Plain, Error } kind;
  QString text;
};

// The front of a queue, or `none` when it is empty.
template <class T>
T next(std::deque<T>& queue, T none = T()) {
  if (queue.empty()) return none;
  T front = std::move(queue.front());
  queue.pop_front();
  return front;
}

// Answers from queues (an empty one cancels) and records what the window asked and said.
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
  Answer questionWithCancel(const QString& text) override {
    questions << text;
    return next(threeWayAnswers, Answer::Cancel);
  }
  // The cancel button is "clicked" once cancelAfter steps are done.
  std::unique_ptr<Progress> progress(QWidget*, const QString& label, int total) override;
  // The real dialog, its "OK" clicked once its first result shows, or "Отмена" as queued.
  std::optional<std::vector<std::uint8_t>> fitPicture(QWidget* parent, const wqt::FitTarget& target,
                                                      const QString& picture) override;
  std::optional<wqtui::PortChoice> portChoice(QWidget*) override {
    if (portChoices.empty()) return std::nullopt;
    return next(portChoices);
  }
  void portReport(QWidget*, const wqtui::PortReport& report) override {
    portReports.push_back(report);
  }
  void infoMessage(const QString& text) override { messages.push_back({Message::Info, text}); }
  bool infoMessageOfferingFit(const QString& text) override {
    infoMessage(text);
    ++fitsOffered;
    return next(fitOffers);
  }
  void plainMessage(const QString& text) override { messages.push_back({Message::Plain, text}); }
  void errorMessage(const QString& text) override { messages.push_back({Message::Error, text}); }

  std::deque<QString> openAnswers, saveAnswers, folderAnswers;
  bool replaceAnswer = true;
  std::deque<Answer> threeWayAnswers;
  std::deque<wqtui::PortChoice> portChoices;
  std::vector<wqtui::PortReport> portReports;
  std::deque<bool> fitAnswers;  // "OK" or "Отмена" of each fitting dialog
  std::deque<bool> fitOffers;   // "Подогнать..." or "OK" of each refusal offering it
  QStringList fittedPictures;
  int fitsOffered = 0;
  int cancelAfter = -1;
  QStringList questions;
  QStringList progressLabels;  // "label /total"
  int progressSteps = 0;
  QStringList filters;      // of every file dialog, in order
  QStringList presetNames;  // the name each was shown with
  std::vector<Message> messages;

 private:
  QString answer(std::deque<QString>& answers, const QString& filter, const QString& name) {
    filters << filter;
    presetNames << name;
    return next(answers);
  }
};

QString mapPath();
void writeMap(const char* text);
void removeMap();

QByteArray jpegBytes(int width, int height, QColor colour = QColor(200, 40, 60));
QByteArray pngBytes(const QImage& image);
QByteArray patternBytes(int size, char seed);
// The files of kMapFourKinds.
QList<QByteArray> fourFiles();
QByteArray bytesOf(const std::vector<std::uint8_t>& bytes);
QByteArray themeBytes(const QList<QByteArray>& files, quint8 type = 0,
                      const QByteArray& sig1 = "WQTTESTTHEME1", const QByteArray& author = "Tester",
                      std::size_t dataOffset = 0x100);
QByteArray readFile(const QString& path);
QString writeFile(const QString& path, const QByteArray& bytes);
// Relative paths, sorted.
QStringList filesBelow(const QString& folder);

QByteArray entryBytes(const TMainForm* form, std::int32_t entry);
// What a slot should show, decoded apart from the window.
QImage expectedJpeg(const QByteArray& bytes);
QImage rawPicture(const QByteArray& raw, int width, int height);
// A header field up to its terminating zero.
QByteArray utf8Field(const std::vector<std::uint8_t>& image, int offset, int width);

template <class T>
T* child(QObject* form, const char* name) {
  T* found = form->findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

// The node at a display index: the tree top to bottom, every group expanded.
QTreeWidgetItem* nodeAt(QWidget* form, int displayIndex);
QPoint nodeCentre(QWidget* form, int displayIndex);
void select(QWidget* form, int displayIndex);
void trigger(QWidget* form, const char* action);
QString panel(QWidget* form, int index);
QString text(QWidget* form, const char* box);
// The control's own visible flag, whatever its parents show.
bool shown(QWidget* form, const char* name);
bool enabled(QWidget* form, const char* name);
void clickPage(QWidget* form, int index);
// The picture view's top-left corner as the window on screen shows it.
QImage shownPicture(QWidget* form, QSize size);

enum MenuOpening { ByMouse, ByMenuKey, ByShiftF10 };
// The tree's context menu opened on a node (-1: the empty area), or nullptr when none opened.
QMenu* openTreeMenu(TMainForm* form, int displayIndex, MenuOpening how);
void menuCommand(TMainForm* form, int displayIndex, const char* command);
// Drags files over a widget as a file manager does and drops them where taken; whether taken.
bool dragAndDrop(QWidget* target, QPoint pos, const QStringList& files);

class WindowTest : public QObject {
  Q_OBJECT

 protected:
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<ScriptedDialogs> dialogsOwner;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<QTemporaryDir> temp;

  // With a map file, as the command line's --map names one.
  TMainForm* newForm(const QString& mapFile = QString());
  TMainForm* createdForm();
  TMainForm* openedForm(const QByteArray& theme, const QString& name = "theme.wqt");
  QString tempPath(const QString& name) const { return temp->filePath(name); }
  // Through the load button.
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
