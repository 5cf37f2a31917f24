#include "ui/MainUnit.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUndoStack>

#include "ops/theme_header.h"
#include "theme/theme_messages.h"
#include "ui/AboutProgramm.h"
#include "ui/Appearance.h"
#include "ui/ErrorReport.h"
#include "ui/HistoryKeys.h"
#include "ui/ThemeOverview.h"

using wqtui::runHandler;

namespace {

constexpr int kClientWidth = 757;
constexpr int kClientHeight = 474;
constexpr int kDisplayIndexRole = Qt::UserRole;

// A new control with its object name, the name the window's tests find it by.
template <class Control>
Control* named(Control* control, const char* name) {
  control->setObjectName(QString::fromLatin1(name));
  return control;
}

QLabel* newLabel(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* label = named(new QLabel(QString::fromUtf8(text), parent), name);
  label->setGeometry(bounds);
  return label;
}

// A box with its caption, made first, as its buddy.
QLineEdit* captionedBox(QWidget* parent, const char* labelName, const char* text, QRect labelBounds,
                        const char* boxName, QRect boxBounds) {
  QLabel* label = newLabel(parent, labelName, text, labelBounds);
  auto* box = named(new QLineEdit(parent), boxName);
  box->setGeometry(boxBounds);
  label->setBuddy(box);
  return box;
}

// The client area: it lays its controls out again whenever its size changes.
class ResizingClient : public QWidget {
 public:
  ResizingClient(QWidget* parent, std::function<void(QSize)> layout)
      : QWidget(parent), layout_(std::move(layout)) {}

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    layout_(size());
  }

 private:
  std::function<void(QSize)> layout_;
};

// A slot running a handler inside the top-level handler: no exception reaches Qt's event loop.
template <class... Args>
auto guarded(TMainForm* form, void (TMainForm::*handler)(Args...)) {
  return [form, handler](Args... args) { runHandler([&] { (form->*handler)(args...); }); };
}

}  // namespace

TMainForm::TMainForm(wqtui::UserDialogs& dialogs, std::filesystem::path mapPath, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), mapPath_(std::move(mapPath)) {
  wqtui::setErrorDialogs(&dialogs_);
  const QScreen* screen = QGuiApplication::primaryScreen();
  lowColourScreen_ = screen != nullptr && screen->depth() <= 8;
  undo_ = new QUndoStack(this);
  buildControls();
  connectHandlers();
  wqtui::installTreeContextMenu(*this, this);
  wqtui::installTreeDragDrop(*this, *this);
  runHandler([this] { FormCreate(); });
}

TMainForm::~TMainForm() {
  if (&wqtui::errorDialogs() == &dialogs_) wqtui::setErrorDialogs(nullptr);
  // The children go after this class's part of the window: what they signal while going (the
  // undo stack clearing itself) must not reach handlers of a window that is no longer one.
  for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void TMainForm::buildControls() {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Orvalen WQT Manager v1.0"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(wqtui::windowFont());

  buildMenu();

  auto* client = named(new ResizingClient(this, [this](QSize size) { layoutClient(size); }),
                       "MainForm_Client");
  setCentralWidget(client);

  // The window and its children are created in tab order: PNL_InFo first, then PCtrl.
  buildInfoPanel(client);
  buildPages(client);

  // Qt's status bar, which carries the status-bar role for screen readers, placed by hand along
  // the client area's bottom edge; its panels are placed by hand too, not by its own layout.
  auto* bar = named(new QStatusBar(client), "SBar");
  bar->setSizeGripEnabled(false);
  bar->setGeometry(0, 455, kClientWidth, 19);
  SBar_Panel0 = newLabel(bar, "SBar_Panel0", "", QRect(0, 0, 270, 19));
  // The last panel fills the rest of the bar.
  SBar_Panel1 = newLabel(bar, "SBar_Panel1", "", QRect(270, 0, kClientWidth - 270, 19));
  for (QLabel* panel : {SBar_Panel0, SBar_Panel1})
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  QWidget* const tabOrder[] = {ED_IMG_Width,   ED_IMG_Height, ED_IMG_Format,   ED_FileSize,
                               btn_load_img,   btn_save_img,  PCtrl,           TreeView,
                               ED_ThemeAuthor, ED_ThemeName,  ED_ThemeVersion, CBox_ThemeType};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  // The default size is the least; a screen too small for it (a large scale factor) gets what
  // it has room for.
  const int menuHeight = menuBar()->sizeHint().height();
  QSize least(kClientWidth, kClientHeight + menuHeight);
  QRect room(QPoint(0, 0), QSize(1 << 20, 1 << 20));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) room = screen->availableGeometry();
  least = least.boundedTo(room.size());
  setMinimumSize(least);
  resize(least);
  // A hidden window is laid out when first shown; its controls are placed now.
  client->resize(least - QSize(0, menuHeight));
  layoutClient(client->size());
  // The usual place, moved in where the window would run off the screen.
  move(std::max(room.left(), std::min(191, room.right() + 1 - least.width())),
       std::max(room.top(), std::min(120, room.bottom() + 1 - least.height())));
}

void TMainForm::layoutClient(QSize size) {
  if (SBar_Panel1 == nullptr) return;  // still being built
  // At the default size every control sits where the window's layout puts it. Growing, the page
  // control and its tree take half the extra width and all the extra height; the information
  // panel keeps to their right, its picture view growing with the other half.
  const int dw = size.width() - kClientWidth;
  const int dh = size.height() - kClientHeight;
  const int treeGrowth = dw / 2;
  const int viewGrowth = dw - treeGrowth;
  PCtrl->setGeometry(0, 0, 265 + treeGrowth, 449 + dh);
  TreeView->setGeometry(0, 0, 257 + treeGrowth, 417 + dh);
  PNL_InFo->setGeometry(272 + treeGrowth, 0, 481 + viewGrowth, 449 + dh);
  PNL_IMG->setGeometry(0, 0, 244 + viewGrowth, 324 + dh);
  IMG->setFixedSize(240 + viewGrowth, 320 + dh);
  lbl_9->move(72 + viewGrowth / 2, 144 + dh / 2);
  GB_Info->move(256 + viewGrowth, 1);
  btn_load_img->move(8, 336 + dh);
  btn_save_img->move(144, 336 + dh);
  const int width = size.width();
  findChild<QStatusBar*>(QStringLiteral("SBar"))->setGeometry(0, 455 + dh, width, 19);
  SBar_Panel1->setGeometry(270, 0, width - 270, 19);
}

void TMainForm::buildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MM"));
  bar->setNativeMenuBar(false);

  // Drop-down menus are windows of their own and take no font from the window: every menu of
  // the application, the tree's context menu included, is given the window's font.
  QApplication::setFont(font(), "QMenu");
  auto menu = [bar](const char* name, const char* title) {
    QMenu* menu = named(bar->addMenu(QString::fromUtf8(title)), name);
    menu->menuAction()->setObjectName(menu->objectName() + QStringLiteral("_Action"));
    return menu;
  };
  auto command = [this](QMenu* menu, const char* name, const char* text,
                        void (TMainForm::*handler)(), QKeySequence shortcut = {}) {
    QAction* action = named(menu->addAction(QString::fromUtf8(text)), name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, guarded(this, handler));
    return action;
  };
  QMenu* file = menu("MM_Main_File", "Файл");
  MM_Child_CreateTheme = command(file, "MM_Child_CreateTheme", "Создать тему",
                                 &TMainForm::MM_Child_CreateThemeClick, Qt::CTRL | Qt::Key_N);
  MM_Child_OpenTheme = command(file, "MM_Child_OpenTheme", "Открыть тему",
                               &TMainForm::MM_Child_OpenThemeClick, Qt::CTRL | Qt::Key_O);
  buildRecentMenu(file);
  MM_Child_SaveTheme = command(file, "MM_Child_SaveTheme", "Сохранить тему",
                               &TMainForm::MM_Child_SaveThemeClick, Qt::CTRL | Qt::Key_S);
  MM_Child_SaveThemeAs =
      command(file, "MM_Child_SaveThemeAs", "Сохранить тему как...",
              &TMainForm::MM_Child_SaveThemeAsClick, Qt::CTRL | Qt::SHIFT | Qt::Key_S);
  MM_Child_PortTheme = command(file, "MM_Child_PortTheme", "Перенести на другую карту...",
                               &TMainForm::MM_Child_PortThemeClick);
  named(file->addSeparator(), "MM_Child_Sep1");
  command(file, "MM_Child_Exit", "Выход", &TMainForm::MM_Child_ExitClick, Qt::CTRL | Qt::Key_Q);

  QMenu* edit = menu("MM_Main_Edit", "Правка");
  MM_Child_Undo = command(edit, "MM_Child_Undo", "Отменить", &TMainForm::MM_Child_UndoClick);
  MM_Child_Undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
  MM_Child_Redo = command(edit, "MM_Child_Redo", "Повторить", &TMainForm::MM_Child_RedoClick);
  MM_Child_Redo->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});

  MM_Child_ThemeOverview =
      command(menu("MM_Main_View", "Вид"), "MM_Child_ThemeOverview", wqtui::kThemeOverviewTitle,
              &TMainForm::MM_Child_ThemeOverviewClick);

  QMenu* help = menu("MM_Main_Help", "Помощь");
  QAction* about = command(help, "MM_Child_AboutProgramme", "О программе",
                           &TMainForm::MM_Child_AboutProgrammeClick);
  // Permanently marked, drawn as a selected radio item: the only member of a group, exclusive by
  // default, stays checked when clicked.
  auto* radio = new QActionGroup(help);
  about->setCheckable(true);
  about->setChecked(true);
  radio->addAction(about);
}

void TMainForm::buildInfoPanel(QWidget* client) {
  PNL_InFo = named(new QFrame(client), "PNL_InFo");
  PNL_InFo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  PNL_InFo->setGeometry(272, 0, 481, 449);
  PNL_InFo->hide();

  PNL_IMG = named(new QFrame(PNL_InFo), "PNL_IMG");
  // A raised outer and a lowered inner bevel, one pixel each (the frame's default widths), around
  // the picture view.
  PNL_IMG->setFrameStyle(QFrame::Box | QFrame::Raised);
  PNL_IMG->setGeometry(0, 0, 244, 324);
  PNL_IMG->hide();

  IMG = named(new QLabel(PNL_IMG), "IMG");
  IMG->setGeometry(2, 2, 240, 320);
  IMG->setFixedSize(240, 320);
  IMG->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  lbl_9 = newLabel(PNL_IMG, "lbl_9", wqt::kMissingFileText, QRect(72, 144, 113, 13));
  QFont bold = wqtui::windowFont();
  bold.setBold(true);
  lbl_9->setFont(bold);

  GB_Info = named(new QGroupBox(QStringLiteral("Информация"), PNL_InFo), "GB_Info");
  GB_Info->setGeometry(256, 1, 153, 144);
  // The classic group box draws its caption on the frame's top line, so the first row of boxes
  // at y = 16 sits inside the frame rather than on it.
  wqtui::useClassicStyle(GB_Info);
  GB_Info->hide();

  ED_IMG_Width = captionedBox(GB_Info, "lbl_1", "Ширина:", QRect(44, 17, 42, 13), "ED_IMG_Width",
                              QRect(88, 16, 57, 21));
  ED_IMG_Height = captionedBox(GB_Info, "lbl_2", "Высота:", QRect(45, 50, 41, 13), "ED_IMG_Height",
                               QRect(88, 48, 57, 21));
  ED_FileSize = captionedBox(GB_Info, "lbl_8", "Размер:", QRect(35, 82, 42, 13), "ED_FileSize",
                             QRect(80, 80, 65, 21));
  ED_FileSize->setReadOnly(true);
  ED_IMG_Format = captionedBox(GB_Info, "lbl_3", "Формат:", QRect(8, 114, 45, 13), "ED_IMG_Format",
                               QRect(56, 112, 89, 21));
  for (QLineEdit* box : {ED_IMG_Width, ED_IMG_Height, ED_FileSize, ED_IMG_Format})
    box->setEnabled(false);

  auto button = [this](const char* name, const char* text, QRect bounds,
                       void (TMainForm::*handler)()) {
    auto* button = named(new QPushButton(QString::fromUtf8(text), PNL_InFo), name);
    button->setGeometry(bounds);
    button->hide();
    connect(button, &QPushButton::clicked, this, guarded(this, handler));
    return button;
  };
  btn_load_img =
      button("btn_load_img", "Загрузить", QRect(8, 336, 105, 25), &TMainForm::btn_load_imgClick);
  btn_save_img =
      button("btn_save_img", "Сохранить", QRect(144, 336, 99, 25), &TMainForm::btn_save_imgClick);
}

void TMainForm::buildPages(QWidget* client) {
  PCtrl = named(new QTabWidget(client), "PCtrl");
  PCtrl->setGeometry(0, 0, 265, 449);

  auto* files = named(new QWidget(), "TShit_ThemeFiles");
  PCtrl->addTab(files, QStringLiteral("Файлы"));

  TreeView = named(new QTreeWidget(files), "TreeView");
  TreeView->setGeometry(0, 0, 257, 417);
  TreeView->setHeaderHidden(true);
  TreeView->setIndentation(19);
  TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The classic tree draws the connecting lines and the expand boxes, the top level's included.
  wqtui::useClassicStyle(TreeView);
  missingIcon_ = TreeView->style()->standardIcon(QStyle::SP_MessageBoxWarning);

  auto* other = named(new QWidget(), "TShit_Other");
  PCtrl->addTab(other, QStringLiteral("Другое"));

  // A header field's caption and box, and how much of the field its text takes; the box takes
  // only characters the field can hold.
  auto edit = [&](const char* labelName, const char* text, QRect labelBounds, const char* name,
                  QRect bounds, const char* useName, QRect useBounds, Qt::Alignment useAlignment,
                  const wqt::HeaderField& field, void (TMainForm::*handler)()) {
    QLineEdit* box = captionedBox(other, labelName, text, labelBounds, name, bounds);
    box->setMaxLength(field.boxLimit);
    box->setValidator(new wqtui::Cp1251Validator(
        [this](const QString& character) { refuseCharacter(character); }, box));
    wqtui::leaveHistoryKeys(box, {MM_Child_Undo, MM_Child_Redo});
    connect(box, &QLineEdit::textChanged, this, guarded(this, handler));
    QLabel* use = newLabel(other, useName, "", useBounds);
    use->setAlignment(useAlignment | Qt::AlignVCenter);
    fieldUse_.append({box, use, field});
    showFieldUse(box);
    return box;
  };
  // The long fields' counts sit at the right end of their caption's row, the version's beside
  // its short box.
  ED_ThemeAuthor = edit("lbl_4", "Автор темы:", QRect(0, 8, 63, 13), "ED_ThemeAuthor",
                        QRect(0, 24, 257, 21), "lbl_AuthorUse", QRect(137, 8, 120, 13),
                        Qt::AlignRight, wqt::kAuthorField, &TMainForm::ED_ThemeAuthorChange);
  ED_ThemeName = edit("lbl_5", "Название темы:", QRect(0, 48, 83, 13), "ED_ThemeName",
                      QRect(0, 64, 257, 21), "lbl_NameUse", QRect(137, 48, 120, 13), Qt::AlignRight,
                      wqt::kNameField, &TMainForm::ED_ThemeNameChange);
  ED_ThemeVersion = edit("lbl_6", "Версия темы:", QRect(0, 88, 70, 13), "ED_ThemeVersion",
                         QRect(0, 104, 81, 21), "lbl_VersionUse", QRect(88, 108, 120, 13),
                         Qt::AlignLeft, wqt::kVersionField, &TMainForm::ED_ThemeVersionChange);
  lbl_7 = newLabel(other, "lbl_7", "Тип темы:", QRect(0, 128, 52, 13));

  CBox_ThemeType = named(new QComboBox(other), "CBox_ThemeType");
  CBox_ThemeType->setGeometry(0, 144, 145, 21);
  for (const wqt::ThemeType type : wqt::kThemeTypes)
    CBox_ThemeType->addItem(QString::fromUtf8(wqt::themeTypeName(type)));
  CBox_ThemeType->setCurrentIndex(-1);
  lbl_7->setBuddy(CBox_ThemeType);
  PCtrl->setEnabled(false);
}

void TMainForm::connectHandlers() {
  connect(&externalEdit_, &wqtui::TExternalEdit::updated, this,
          guarded(this, &TMainForm::externalFileSaved));
  connect(TreeView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
            // The tree reports a change to no node when it is emptied; the rules need a node.
            if (current == nullptr) return;
            // Tabbing into the tree makes a node current without selecting it: the node whose
            // panel is shown is the highlighted one.
            if (!current->isSelected())
              TreeView->setCurrentItem(current, 0, QItemSelectionModel::ClearAndSelect);
            runHandler([&] { TreeViewChange(current); });
          });
  // Only a page the user brings to the front runs the rule, by mouse or by keyboard: the
  // program's own page changes are made with the signal blocked.
  connect(PCtrl, &QTabWidget::currentChanged, this, guarded(this, &TMainForm::PCtrlChange));
  connect(CBox_ThemeType, &QComboBox::activated, this,
          guarded(this, &TMainForm::CBox_ThemeTypeChange));
  connect(undo_, &QUndoStack::indexChanged, this, [this] {
    // Back at the saved state, the theme equals its file again.
    if (undo_->isClean()) doc_.markUnmodified();
    updateCommands();
  });
}

void TMainForm::FormCreate() {
  // Without the map the editor can do nothing for the rest of the run.
  mapPresent_ = wqt::mapExists(mapPath_);
  updateCommands();
  if (mapPresent_) return;
  setStatus(QStringLiteral("Ошибка #1#"),
            QStringLiteral("Отсутствует файл theme.rxt. Дальнейшая работа невозможна."));
}

void TMainForm::updateCommands() {
  const bool theme = doc_.hasImage();
  MM_Child_CreateTheme->setEnabled(mapPresent_);
  MM_Child_OpenTheme->setEnabled(mapPresent_);
  MM_Child_RecentThemes->setEnabled(mapPresent_ && !recentThemes_.isEmpty());
  MM_Child_SaveTheme->setEnabled(theme);
  MM_Child_SaveThemeAs->setEnabled(theme);
  MM_Child_PortTheme->setEnabled(theme);
  MM_Child_ThemeOverview->setEnabled(theme);

  const auto named = [](const char* verb, const QString& step) {
    const QString text = QString::fromUtf8(verb);
    return step.isEmpty() ? text : text + QStringLiteral(" «") + step + QStringLiteral("»");
  };
  const bool undo = canUndo();
  MM_Child_Undo->setEnabled(undo);
  MM_Child_Undo->setText(named("Отменить", undo ? undo_->undoText() : QString()));
  MM_Child_Redo->setEnabled(undo_->canRedo());
  MM_Child_Redo->setText(named("Повторить", undo_->redoText()));

  const QString program = QStringLiteral("Orvalen WQT Manager v1.0");
  if (!theme) {
    setWindowTitle(program);
  } else {
    const QString name =
        themeFile_.isEmpty() ? QStringLiteral("NewTheme.wqt") : QFileInfo(themeFile_).fileName();
    setWindowTitle(name + QStringLiteral("[*] — ") + program);
  }
  setWindowModified(theme && doc_.modified());
  markMissingFiles();
}

void TMainForm::ReadRXT() {
  // The steps name entries and nodes of the map being replaced.
  clearHistory();
  lbl_7->hide();
  CBox_ThemeType->hide();
  TreeView->clear();
  // A failed load still shows the tree and the selector as far as it got. Not from a scope
  // guard: an exception thrown in a destructor would end the program past the error box.
  const auto mirror = [this] {
    std::vector<QTreeWidgetItem*> items(map_.tree().size(), nullptr);
    QList<QTreeWidgetItem*> topLevel;
    for (std::size_t i = 0; i < map_.tree().size(); ++i) {
      const wqt::TreeNode& node = map_.tree()[i];
      auto* item = new QTreeWidgetItem(
          QStringList{QString::fromUtf8(map_.captionUtf8(static_cast<int>(i)))});
      item->setData(0, kDisplayIndexRole, static_cast<int>(i));
      items[i] = item;
      if (node.parent < 0 || static_cast<std::size_t>(node.parent) >= i)
        topLevel.append(item);
      else
        items[static_cast<std::size_t>(node.parent)]->addChild(item);
    }
    TreeView->addTopLevelItems(topLevel);
    lbl_7->setVisible(map_.typeSelectorShown());
    CBox_ThemeType->setVisible(map_.typeSelectorShown());
  };
  try {
    map_.load(mapPath_);
  } catch (...) {
    mirror();
    throw;
  }
  mirror();
}

void TMainForm::MM_Child_AboutProgrammeClick() {
  if (aboutBox_ == nullptr) aboutBox_ = new TChildForm_AboutProgramm(this);
  aboutBox_->exec();
}

void TMainForm::setStatus(const QString& first, const QString& second) {
  SBar_Panel0->setText(first);
  SBar_Panel1->setText(second);
}

int wqtui::displayIndexOf(const QTreeWidgetItem* node) {
  return node->data(0, kDisplayIndexRole).toInt();
}
