#include "ui/MainUnit.h"

#include <utility>
#include <vector>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "map/map_location.h"
#include "ops/theme_header.h"
#include "theme/header_text.h"
#include "theme/theme_messages.h"
#include "ui/AboutProgramm.h"
#include "ui/Appearance.h"
#include "ui/ErrorReport.h"
#include "ui/ThemeOverview.h"
#include "ui/TreeContextMenu.h"
#include "ui/TreeDragDrop.h"

using wqtui::runHandler;

namespace {

constexpr int kClientWidth = 757;
constexpr int kClientHeight = 474;
constexpr int kDisplayIndexRole = Qt::UserRole;

// Marks page changes made by the program, which the page-switch rule ignores.
class ProgramPageChange {
 public:
  explicit ProgramPageChange(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~ProgramPageChange() { flag_ = previous_; }
  ProgramPageChange(const ProgramPageChange&) = delete;
  ProgramPageChange& operator=(const ProgramPageChange&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

TMainForm::TMainForm(wqtui::UserDialogs& dialogs, QWidget* parent)
    : TMainForm(dialogs, wqt::defaultMapPath(), parent) {}

TMainForm::TMainForm(wqtui::UserDialogs& dialogs, std::filesystem::path mapPath, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), mapPath_(std::move(mapPath)) {
  wqtui::setErrorDialogs(&dialogs_);
  const QScreen* screen = QGuiApplication::primaryScreen();
  lowColourScreen_ = screen != nullptr && screen->depth() <= 8;
  buildControls();
  connectHandlers();
  contextMenu_ = new wqtui::TreeContextMenu(*this, this);
  dragDrop_ = new wqtui::TreeDragDrop(*this, *this);
  runHandler([this] { FormCreate(); });
}

TMainForm::~TMainForm() {
  if (&wqtui::errorDialogs() == &dialogs_) wqtui::setErrorDialogs(nullptr);
}

void TMainForm::setAboutBox(TChildForm_AboutProgramm* aboutBox) {
  aboutBox_ = aboutBox;
}

// ---------------------------------------------------------------------------------------------
// Building the window

void TMainForm::buildControls() {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Orvalen WQT Manager v1.0"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(wqtui::windowFont());

  buildMenu();

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("MainForm_Client"));
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);

  // The window and its children are created in tab order: PNL_InFo first, then PCtrl.
  buildInfoPanel(client);
  buildPages(client);
  buildStatusBar(client);

  setTabOrder(ED_IMG_Width, ED_IMG_Height);
  setTabOrder(ED_IMG_Height, ED_IMG_Format);
  setTabOrder(ED_IMG_Format, ED_FileSize);
  setTabOrder(ED_FileSize, btn_load_img);
  setTabOrder(btn_load_img, btn_save_img);
  setTabOrder(btn_save_img, PCtrl);
  setTabOrder(PCtrl, TreeView);
  setTabOrder(TreeView, ED_ThemeAuthor);
  setTabOrder(ED_ThemeAuthor, ED_ThemeName);
  setTabOrder(ED_ThemeName, ED_ThemeVersion);
  setTabOrder(ED_ThemeVersion, CBox_ThemeType);

  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  move(191, 120);
}

void TMainForm::buildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MM"));
  bar->setNativeMenuBar(false);

  // Drop-down menus are windows of their own and take no font from the window: every menu of
  // the application, the tree's context menu included, is given the window's font.
  QApplication::setFont(font(), "QMenu");
  MM_Main_File = bar->addMenu(QStringLiteral("Файл"));
  MM_Main_File->setObjectName(QStringLiteral("MM_Main_File"));
  MM_Main_File->menuAction()->setObjectName(QStringLiteral("MM_Main_File_Action"));
  MM_Child_CreateTheme = MM_Main_File->addAction(QStringLiteral("Создать тему"));
  MM_Child_CreateTheme->setObjectName(QStringLiteral("MM_Child_CreateTheme"));
  MM_Child_CreateTheme->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  MM_Child_OpenTheme = MM_Main_File->addAction(QStringLiteral("Открыть тему"));
  MM_Child_OpenTheme->setObjectName(QStringLiteral("MM_Child_OpenTheme"));
  MM_Child_OpenTheme->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  MM_Child_SaveTheme = MM_Main_File->addAction(QStringLiteral("Сохранить тему"));
  MM_Child_SaveTheme->setObjectName(QStringLiteral("MM_Child_SaveTheme"));
  MM_Child_SaveTheme->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  MM_Child_SaveTheme->setEnabled(false);
  MM_Child_Sep1 = MM_Main_File->addSeparator();
  MM_Child_Sep1->setObjectName(QStringLiteral("MM_Child_Sep1"));
  MM_Child_Exit = MM_Main_File->addAction(QStringLiteral("Выход"));
  MM_Child_Exit->setObjectName(QStringLiteral("MM_Child_Exit"));
  MM_Child_Exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  MM_Main_View = bar->addMenu(QStringLiteral("Вид"));
  MM_Main_View->setObjectName(QStringLiteral("MM_Main_View"));
  MM_Main_View->menuAction()->setObjectName(QStringLiteral("MM_Main_View_Action"));
  MM_Child_ThemeOverview = MM_Main_View->addAction(QString::fromUtf8(wqtui::kThemeOverviewTitle));
  MM_Child_ThemeOverview->setObjectName(QStringLiteral("MM_Child_ThemeOverview"));
  MM_Child_ThemeOverview->setEnabled(false);

  MM_Main_Help = bar->addMenu(QStringLiteral("Помощь"));
  MM_Main_Help->setObjectName(QStringLiteral("MM_Main_Help"));
  MM_Main_Help->menuAction()->setObjectName(QStringLiteral("MM_Main_Help_Action"));
  MM_Child_AboutProgramme = MM_Main_Help->addAction(QStringLiteral("О программе"));
  MM_Child_AboutProgramme->setObjectName(QStringLiteral("MM_Child_AboutProgramme"));
  // Permanently marked, drawn as a selected radio item: the only member of an exclusive group
  // stays checked when clicked.
  auto* radio = new QActionGroup(MM_Main_Help);
  radio->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  MM_Child_AboutProgramme->setCheckable(true);
  MM_Child_AboutProgramme->setChecked(true);
  radio->addAction(MM_Child_AboutProgramme);
}

void TMainForm::buildInfoPanel(QWidget* client) {
  PNL_InFo = new QFrame(client);
  PNL_InFo->setObjectName(QStringLiteral("PNL_InFo"));
  PNL_InFo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  PNL_InFo->setGeometry(272, 0, 481, 449);
  PNL_InFo->hide();

  PNL_IMG = new QFrame(PNL_InFo);
  PNL_IMG->setObjectName(QStringLiteral("PNL_IMG"));
  // A raised outer and a lowered inner bevel, one pixel each, around the picture view.
  PNL_IMG->setFrameStyle(QFrame::Box | QFrame::Raised);
  PNL_IMG->setLineWidth(1);
  PNL_IMG->setMidLineWidth(0);
  PNL_IMG->setGeometry(0, 0, 244, 324);
  PNL_IMG->hide();

  IMG = new QLabel(PNL_IMG);
  IMG->setObjectName(QStringLiteral("IMG"));
  IMG->setGeometry(2, 2, 240, 320);
  IMG->setFixedSize(240, 320);
  IMG->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  IMG->setScaledContents(false);

  lbl_9 = new QLabel(QString::fromUtf8(wqt::kMissingFileText), PNL_IMG);
  lbl_9->setObjectName(QStringLiteral("lbl_9"));
  lbl_9->setGeometry(72, 144, 113, 13);
  QFont bold = wqtui::windowFont();
  bold.setBold(true);
  lbl_9->setFont(bold);
  lbl_9->raise();

  GB_Info = new QGroupBox(QStringLiteral("Информация"), PNL_InFo);
  GB_Info->setObjectName(QStringLiteral("GB_Info"));
  GB_Info->setGeometry(256, 1, 153, 144);
  // The classic group box draws its caption on the frame's top line, so the first row of boxes
  // at y = 16 sits inside the frame rather than on it.
  wqtui::useClassicStyle(GB_Info);
  GB_Info->hide();

  auto label = [this](QLabel*& target, const char* name, const QString& text, QRect bounds) {
    target = new QLabel(text, GB_Info);
    target->setObjectName(QString::fromLatin1(name));
    target->setGeometry(bounds);
  };
  auto box = [this](QLineEdit*& target, const char* name, QRect bounds) {
    target = new QLineEdit(GB_Info);
    target->setObjectName(QString::fromLatin1(name));
    target->setGeometry(bounds);
    target->setEnabled(false);
  };
  label(lbl_1, "lbl_1", QStringLiteral("Ширина:"), QRect(44, 17, 42, 13));
  box(ED_IMG_Width, "ED_IMG_Width", QRect(88, 16, 57, 21));
  label(lbl_2, "lbl_2", QStringLiteral("Высота:"), QRect(45, 50, 41, 13));
  box(ED_IMG_Height, "ED_IMG_Height", QRect(88, 48, 57, 21));
  label(lbl_8, "lbl_8", QStringLiteral("Размер:"), QRect(35, 82, 42, 13));
  box(ED_FileSize, "ED_FileSize", QRect(80, 80, 65, 21));
  ED_FileSize->setReadOnly(true);
  label(lbl_3, "lbl_3", QStringLiteral("Формат:"), QRect(8, 114, 45, 13));
  box(ED_IMG_Format, "ED_IMG_Format", QRect(56, 112, 89, 21));
  lbl_1->setBuddy(ED_IMG_Width);
  lbl_2->setBuddy(ED_IMG_Height);
  lbl_8->setBuddy(ED_FileSize);
  lbl_3->setBuddy(ED_IMG_Format);

  btn_load_img = new QPushButton(QStringLiteral("Загрузить"), PNL_InFo);
  btn_load_img->setObjectName(QStringLiteral("btn_load_img"));
  btn_load_img->setGeometry(8, 336, 105, 25);
  btn_load_img->hide();

  btn_save_img = new QPushButton(QStringLiteral("Сохранить"), PNL_InFo);
  btn_save_img->setObjectName(QStringLiteral("btn_save_img"));
  btn_save_img->setGeometry(144, 336, 99, 25);
  btn_save_img->hide();
}

void TMainForm::buildPages(QWidget* client) {
  PCtrl = new QTabWidget(client);
  PCtrl->setObjectName(QStringLiteral("PCtrl"));
  PCtrl->setGeometry(0, 0, 265, 449);

  TShit_ThemeFiles = new QWidget();
  TShit_ThemeFiles->setObjectName(QStringLiteral("TShit_ThemeFiles"));
  PCtrl->addTab(TShit_ThemeFiles, QStringLiteral("Файлы"));

  TreeView = new QTreeWidget(TShit_ThemeFiles);
  TreeView->setObjectName(QStringLiteral("TreeView"));
  TreeView->setGeometry(0, 0, 257, 417);
  TreeView->setHeaderHidden(true);
  TreeView->setColumnCount(1);
  TreeView->setIndentation(19);
  TreeView->setRootIsDecorated(true);
  TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The classic tree draws the connecting lines and the expand boxes, the top level's included.
  wqtui::useClassicStyle(TreeView);
  TreeView->setSelectionMode(QAbstractItemView::SingleSelection);

  TShit_Other = new QWidget();
  TShit_Other->setObjectName(QStringLiteral("TShit_Other"));
  PCtrl->addTab(TShit_Other, QStringLiteral("Другое"));

  auto label = [this](QLabel*& target, const char* name, const QString& text, QRect bounds) {
    target = new QLabel(text, TShit_Other);
    target->setObjectName(QString::fromLatin1(name));
    target->setGeometry(bounds);
  };
  auto edit = [this](QLineEdit*& target, const char* name, QRect bounds, int maxLength) {
    target = new QLineEdit(TShit_Other);
    target->setObjectName(QString::fromLatin1(name));
    target->setGeometry(bounds);
    target->setMaxLength(maxLength);
    target->setValidator(new wqtui::Cp1251Validator(target));
  };
  label(lbl_4, "lbl_4", QStringLiteral("Автор темы:"), QRect(0, 8, 63, 13));
  edit(ED_ThemeAuthor, "ED_ThemeAuthor", QRect(0, 24, 257, 21), wqt::kAuthorField.boxLimit);
  label(lbl_5, "lbl_5", QStringLiteral("Название темы:"), QRect(0, 48, 83, 13));
  edit(ED_ThemeName, "ED_ThemeName", QRect(0, 64, 257, 21), wqt::kNameField.boxLimit);
  label(lbl_6, "lbl_6", QStringLiteral("Версия темы:"), QRect(0, 88, 70, 13));
  edit(ED_ThemeVersion, "ED_ThemeVersion", QRect(0, 104, 81, 21), wqt::kVersionField.boxLimit);
  label(lbl_7, "lbl_7", QStringLiteral("Тип темы:"), QRect(0, 128, 52, 13));

  CBox_ThemeType = new QComboBox(TShit_Other);
  CBox_ThemeType->setObjectName(QStringLiteral("CBox_ThemeType"));
  CBox_ThemeType->setGeometry(0, 144, 145, 21);
  CBox_ThemeType->setEditable(false);
  for (const wqt::ThemeType type : wqt::kThemeTypes)
    CBox_ThemeType->addItem(QString::fromUtf8(wqt::themeTypeName(type)));
  CBox_ThemeType->setCurrentIndex(-1);

  lbl_4->setBuddy(ED_ThemeAuthor);
  lbl_5->setBuddy(ED_ThemeName);
  lbl_6->setBuddy(ED_ThemeVersion);
  lbl_7->setBuddy(CBox_ThemeType);

  selectFirstPage();
  PCtrl->setEnabled(false);
}

void TMainForm::buildStatusBar(QWidget* client) {
  // Qt's status bar, which carries the status-bar role for screen readers, placed by hand along
  // the client area's bottom edge; its panels are placed by hand too, not by its own layout.
  SBar = new QStatusBar(client);
  SBar->setObjectName(QStringLiteral("SBar"));
  SBar->setSizeGripEnabled(false);
  SBar->setGeometry(0, 455, kClientWidth, 19);

  SBar_Panel0 = new QLabel(SBar);
  SBar_Panel0->setObjectName(QStringLiteral("SBar_Panel0"));
  SBar_Panel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  SBar_Panel0->setGeometry(0, 0, 270, 19);

  // The last panel fills the rest of the bar.
  SBar_Panel1 = new QLabel(SBar);
  SBar_Panel1->setObjectName(QStringLiteral("SBar_Panel1"));
  SBar_Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  SBar_Panel1->setGeometry(270, 0, kClientWidth - 270, 19);
}

void TMainForm::connectHandlers() {
  connect(&externalEdit_, &wqtui::TExternalEdit::updated, this,
          [this](const wqtui::TExternalEditUpdate& update) {
            runHandler([&] { externalFileSaved(update); });
          });
  // Every handler runs inside the top-level handler: no exception reaches Qt's event loop.
  connect(TreeView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
            // The tree reports a change to no node when it is emptied; the rules need a node.
            if (current == nullptr) return;
            // Tabbing into the tree makes a node current without selecting it: the node whose
            // panel is shown is the highlighted one.
            if (!current->isSelected()) {
              TreeView->setCurrentItem(current, 0, QItemSelectionModel::ClearAndSelect);
            }
            runHandler([&] { TreeViewChange(current); });
          });
  // Only a page the user brings to the front runs the rule, by mouse or by keyboard.
  connect(PCtrl, &QTabWidget::currentChanged, this, [this](int index) {
    if (!programSelectsPage_) runHandler([&] { PCtrlChange(index); });
  });
  connect(ED_ThemeAuthor, &QLineEdit::textChanged, this,
          [this] { runHandler([this] { ED_ThemeAuthorChange(); }); });
  connect(ED_ThemeName, &QLineEdit::textChanged, this,
          [this] { runHandler([this] { ED_ThemeNameChange(); }); });
  connect(ED_ThemeVersion, &QLineEdit::textChanged, this,
          [this] { runHandler([this] { ED_ThemeVersionChange(); }); });
  connect(CBox_ThemeType, &QComboBox::activated, this,
          [this](int index) { runHandler([&] { CBox_ThemeTypeChange(index); }); });
  connect(btn_load_img, &QPushButton::clicked, this,
          [this] { runHandler([this] { btn_load_imgClick(); }); });
  connect(btn_save_img, &QPushButton::clicked, this,
          [this] { runHandler([this] { btn_save_imgClick(); }); });
  connect(MM_Child_CreateTheme, &QAction::triggered, this,
          [this] { runHandler([this] { MM_Child_CreateThemeClick(); }); });
  connect(MM_Child_OpenTheme, &QAction::triggered, this,
          [this] { runHandler([this] { MM_Child_OpenThemeClick(); }); });
  connect(MM_Child_SaveTheme, &QAction::triggered, this,
          [this] { runHandler([this] { MM_Child_SaveThemeClick(); }); });
  connect(MM_Child_Exit, &QAction::triggered, this,
          [this] { runHandler([this] { MM_Child_ExitClick(); }); });
  connect(MM_Child_AboutProgramme, &QAction::triggered, this,
          [this] { runHandler([this] { MM_Child_AboutProgrammeClick(); }); });
  connect(MM_Child_ThemeOverview, &QAction::triggered, this,
          [this] { runHandler([this] { MM_Child_ThemeOverviewClick(); }); });
}

// ---------------------------------------------------------------------------------------------
// Start-up check and the theme map

void TMainForm::FormCreate() {
  if (wqt::mapExists(mapPath_)) return;
  // Without the map the editor can do nothing for the rest of the run.
  mapPresent_ = false;
  setStatus(QStringLiteral("Ошибка #1#"),
            QStringLiteral("Отсутствует файл theme.rxt. Дальнейшая работа невозможна."));
  MM_Child_CreateTheme->setEnabled(false);
  MM_Child_OpenTheme->setEnabled(false);
}

void TMainForm::ReadRXT() {
  lbl_7->hide();
  CBox_ThemeType->hide();
  TreeView->clear();
  try {
    map_.load(mapPath_);
  } catch (...) {
    // A failed load still shows the tree and the selector as far as it got.
    mirrorTree();
    throw;
  }
  mirrorTree();
}

void TMainForm::mirrorTree() {
  std::vector<QTreeWidgetItem*> items(map_.tree().size(), nullptr);
  QList<QTreeWidgetItem*> topLevel;
  for (std::size_t i = 0; i < map_.tree().size(); ++i) {
    const wqt::TreeNode& node = map_.tree()[i];
    auto* item =
        new QTreeWidgetItem(QStringList{QString::fromUtf8(map_.captionUtf8(static_cast<int>(i)))});
    item->setData(0, kDisplayIndexRole, static_cast<int>(i));
    items[i] = item;
    if (node.parent < 0 || static_cast<std::size_t>(node.parent) >= i)
      topLevel.append(item);
    else
      items[static_cast<std::size_t>(node.parent)]->addChild(item);
  }
  TreeView->addTopLevelItems(topLevel);
  if (map_.typeSelectorShown()) {
    lbl_7->show();
    CBox_ThemeType->show();
  }
}

void TMainForm::MM_Child_AboutProgrammeClick() {
  if (aboutBox_ == nullptr) aboutBox_ = new TChildForm_AboutProgramm(this);
  aboutBox_->exec();
}

void TMainForm::selectFirstPage() {
  ProgramPageChange programChange(programSelectsPage_);
  PCtrl->setCurrentIndex(0);
}

void TMainForm::setStatus(const QString& first, const QString& second) {
  SBar_Panel0->setText(first);
  SBar_Panel1->setText(second);
}

void TMainForm::setStatusSecond(const QString& second) {
  SBar_Panel1->setText(second);
}

int wqtui::displayIndexOf(const QTreeWidgetItem* node) {
  return node->data(0, kDisplayIndexRole).toInt();
}
