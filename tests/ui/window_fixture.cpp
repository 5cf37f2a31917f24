#include "window_fixture.h"

#include <algorithm>
#include <span>

#include <QBuffer>
#include <QContextMenuEvent>
#include <QDirIterator>
#include <QFile>
#include <QTabBar>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include "files/jpeg_decoder.h"
#include "sample/theme_builder.h"
#include "ui/FitDialog.h"

namespace wqttest {

const char* const kMapFourKinds =
    "<ThemeSign \"WQTTESTTHEME1\" \"WQTTESTSIGNATURE2\">\n"
    "<ThemeSettings \"A0\" \"100\" \"4\">\n"
    "<ColorThemesSettings \"no\" \"98\">\n"
    "<group \"Pictures\">\n"
    "<file \"Wallpaper\" \"0\" \"JPG\" \"16\" \"8\">\n"
    "<file \"Bar\" \"1\" \"RAW\" \"4\" \"2\">\n"
    "</group \"\">\n"
    "<file \"Clock\" \"2\" \"ANI2\" \"2\" \"3\">\n"
    "<file \"Colours\" \"3\" \"COLORTAB\" \"3E8\">\n";

const std::string kMapWithOddNodes = std::string(kMapFourKinds) +
                                     "<ThemeSettings \"A0\" \"100\" \"5\">\n"
                                     "<file \"Odd\" \"4\" \"BMP\" \"7\" \"9\">\n"
                                     "<group \"Empty\">\n"
                                     "</group \"\">\n";

const std::string kMapNested = [] {
  std::string map = kMapFourKinds;
  const std::string bar = "<file \"Bar\" \"1\" \"RAW\" \"4\" \"2\">\n";
  return map.replace(map.find(bar), bar.size(), "<group \"Icons\">\n" + bar + "</group \"\">\n");
}();

namespace {

class CountedProgress : public wqtui::UserDialogs::Progress {
 public:
  explicit CountedProgress(ScriptedDialogs& owner) : owner_(owner) {}
  bool advance(int done) override {
    owner_.progressSteps = done;
    return owner_.cancelAfter < 0 || done < owner_.cancelAfter;
  }

 private:
  ScriptedDialogs& owner_;
};

}  // namespace

std::unique_ptr<wqtui::UserDialogs::Progress> ScriptedDialogs::progress(QWidget*,
                                                                        const QString& label,
                                                                        int total) {
  progressLabels << label + QStringLiteral(" /") + QString::number(total);
  return std::make_unique<CountedProgress>(*this);
}

std::optional<std::vector<std::uint8_t>> ScriptedDialogs::fitPicture(QWidget* parent,
                                                                     const wqt::FitTarget& target,
                                                                     const QString& picture) {
  fittedPictures << picture;
  if (!next(fitAnswers)) return std::nullopt;
  wqtui::TFitDialog dialog(target, picture, *this, parent);
  QSignalSpy made(&dialog, &wqtui::TFitDialog::resultChanged);
  if (!made.wait(10000)) return std::nullopt;
  dialog.findChild<QPushButton*>(QStringLiteral("fitOk"))->click();
  return dialog.acceptedBytes();
}

QString mapPath() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/theme.rxt");
}

void writeMap(const char* text) {
  writeFile(mapPath(), text);
}

void removeMap() {
  QFile::remove(mapPath());
  QDir().rmdir(mapPath());  // a folder a test put there
}

QByteArray jpegBytes(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG");
  return bytes;
}

QByteArray patternBytes(int size, char seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7);
  return bytes;
}

QList<QByteArray> fourFiles() {
  return {jpegBytes(16, 8), patternBytes(16, 1), patternBytes(26, 2), patternBytes(1000, 3)};
}

QByteArray bytesOf(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QByteArray pngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray themeBytes(const QList<QByteArray>& files, quint8 type, const QByteArray& sig1,
                      const QByteArray& author, std::size_t dataOffset) {
  wqt::sample::ThemeRecipe recipe;
  recipe.sign1 = sig1.toStdString();
  recipe.sign2 = "WQTTESTSIGNATURE2";
  recipe.author = author.toStdString();
  recipe.name = "Sunrise";
  recipe.version = "2.5";
  recipe.tableOffset = 0xA0;
  recipe.dataOffset = dataOffset;
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
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    qFatal("cannot write %s", qPrintable(path));
  return path;
}

QStringList filesBelow(const QString& folder) {
  QStringList files;
  QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
  files.sort();
  return files;
}

QByteArray entryBytes(const TMainForm* form, std::int32_t entry) {
  const std::span<const std::uint8_t> data = form->document().entryData(entry);
  return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

QImage expectedJpeg(const QByteArray& bytes) {
  const wqt::Picture p = wqt::decodeJpeg(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())));
  return QImage(p.pixels.data(), p.width, p.height, p.bytesPerLine, QImage::Format_RGB32).copy();
}

QImage rawPicture(const QByteArray& raw, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int i = 0; i < width * height; ++i) {
    const int word = quint8(raw[2 * i]) | quint8(raw[2 * i + 1]) << 8;
    image.setPixel(i % width, i / width,
                   qRgb((word >> 8) & 0xF8, (word >> 3) & 0xFC, (word << 3) & 0xF8));
  }
  return image;
}

QByteArray utf8Field(const std::vector<std::uint8_t>& image, int offset, int width) {
  QByteArray field(reinterpret_cast<const char*>(image.data()) + offset, width);
  return field.left(field.indexOf('\0') < 0 ? width : field.indexOf('\0'));
}

QTreeWidgetItem* nodeAt(QWidget* form, int displayIndex) {
  QTreeWidgetItemIterator it(child<QTreeWidget>(form, "TreeView"));
  for (int i = 0; *it != nullptr; ++it, ++i)
    if (i == displayIndex) return *it;
  return nullptr;
}

QPoint nodeCentre(QWidget* form, int displayIndex) {
  auto* tree = child<QTreeWidget>(form, "TreeView");
  tree->expandAll();
  return displayIndex >= 0 ? tree->visualItemRect(nodeAt(form, displayIndex)).center()
                           : QPoint(20, tree->viewport()->height() - 5);
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

bool shown(QWidget* form, const char* name) {
  return !child<QWidget>(form, name)->isHidden();
}

bool enabled(QWidget* form, const char* name) {
  QObject* control = child<QObject>(form, name);
  if (auto* action = qobject_cast<QAction*>(control)) return action->isEnabled();
  return static_cast<QWidget*>(control)->isEnabled();
}

void clickPage(QWidget* form, int index) {
  QTabBar* tabs = child<QTabWidget>(form, "PCtrl")->tabBar();
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

QImage shownPicture(QWidget* form, QSize size) {
  if (!form->isVisible()) {
    form->show();
    if (!QTest::qWaitForWindowExposed(form)) qFatal("window not exposed");
  }
  QCoreApplication::processEvents();
  const QImage grabbed = child<QLabel>(form, "IMG")->grab().toImage();
  return grabbed.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size));
}

QMenu* openTreeMenu(TMainForm* form, int displayIndex, MenuOpening how) {
  auto* tree = child<QTreeWidget>(form, "TreeView");
  tree->expandAll();
  if (how == ByMouse) {
    const QPoint pos = nodeCentre(form, displayIndex);
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

void menuCommand(TMainForm* form, int displayIndex, const char* command) {
  QMenu* menu = openTreeMenu(form, displayIndex, ByMouse);
  if (menu == nullptr) qFatal("no menu on node %d", displayIndex);
  child<QAction>(menu, command)->trigger();
}

bool dragAndDrop(QWidget* target, QPoint pos, const QStringList& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  mime.setUrls(urls);
  mime.setText(files.join(u'\n'));  // as file managers offer them
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

TMainForm* WindowTest::newForm(const QString& mapFile) {
  form.reset();
  dialogsOwner = std::make_unique<ScriptedDialogs>();
  dialogs = dialogsOwner.get();
  form = mapFile.isEmpty()
             ? std::make_unique<TMainForm>(*dialogs)
             : std::make_unique<TMainForm>(*dialogs, std::filesystem::path(mapFile.toStdString()));
  return form.get();
}

TMainForm* WindowTest::createdForm() {
  TMainForm* f = newForm();
  trigger(f, "MM_Child_CreateTheme");
  return f;
}

TMainForm* WindowTest::openedForm(const QByteArray& theme, const QString& name) {
  TMainForm* f = newForm();
  dialogs->openAnswers.push_back(writeFile(tempPath(name), theme));
  trigger(f, "MM_Child_OpenTheme");
  return f;
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

// Runs every registered test class as QTEST_MAIN runs one. A first argument naming a class runs
// that class alone, with the rest of the arguments (test functions, options) given to it.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  std::vector<std::unique_ptr<QObject>> tests;
  for (const wqttest::TestFactory factory : wqttest::registeredTests()) tests.push_back(factory());
  const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
  const bool oneClass = std::any_of(tests.begin(), tests.end(), [&](const auto& test) {
    return only == test->metaObject()->className();
  });
  if (oneClass) {
    argv[1] = argv[0];
    --argc;
    ++argv;
  }
  int failures = 0;
  for (const std::unique_ptr<QObject>& test : tests) {
    if (!oneClass || only == test->metaObject()->className())
      failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures;
}
