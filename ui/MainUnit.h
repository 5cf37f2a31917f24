#pragma once
// The main window: menu, file tree, header fields, the information panel of the selected file,
// and the status bar. The window keeps what the user has selected and the document; the
// information panel is derived from the two. Its parts live in MainUnit.cpp (building),
// ThemeCommands.cpp, FilePanel.cpp, HeaderPage.cpp, GroupExport.cpp, OverviewCommand.cpp and
// PortCommand.cpp.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "map/map_location.h"
#include "map/theme_map.h"
#include "ops/entry_transfer.h"
#include "ops/theme_save.h"
#include "theme/theme_document.h"
#include "theme/theme_layout.h"
#include "ui/ExternalEdit.h"
#include "ui/TreeCommands.h"
#include "ui/UserDialogs.h"

class QAction;
class QCloseEvent;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QUndoStack;

class TChildForm_AboutProgramm;

namespace wqtui {
class TThemeOverview;
}  // namespace wqtui

class TMainForm : public QMainWindow, private wqtui::TreeCommands {
  Q_OBJECT

 public:
  // Builds every control, then runs FormCreate. The dialogs must outlive the window. The start-up
  // check and every map load use the map path, until a theme carried to another map is opened.
  explicit TMainForm(wqtui::UserDialogs& dialogs,
                     std::filesystem::path mapPath = wqt::defaultMapPath(),
                     QWidget* parent = nullptr);
  ~TMainForm() override;

  // The About box the About command shows; without one the window creates its own on demand.
  void setAboutBox(TChildForm_AboutProgramm* aboutBox) { aboutBox_ = aboutBox; }

  const wqt::ThemeMap& themeMap() const { return map_; }
  const wqt::ThemeDocument& document() const { return doc_; }
  std::int32_t selectedEntry() const { return selectedEntry_; }

  // Opens the theme file as if it had been chosen in the open dialog: the same checks, texts and
  // messages. Does nothing while the open command is disabled (no map).
  void openThemeFile(const QString& fileName) override;

  // The texts of the status bar's two panels, in order.
  QStringList statusTexts() const;

  // The file the theme was opened from or last saved to; empty for a created theme.
  const QString& themeFile() const { return themeFile_; }

  // The edit history keeps at most this many bytes of replaced data, its oldest steps dropped
  // first; what its steps hold now.
  void setUndoMemoryLimit(std::size_t bytes) { undoMemoryLimit_ = bytes; }
  std::size_t undoMemory() const;

 public Q_SLOTS:
  void FormCreate();
  void ReadRXT();
  void TreeViewChange(QTreeWidgetItem* node);
  void PCtrlChange(int index);
  void ED_ThemeAuthorChange() { setHeaderField(ED_ThemeAuthor, wqt::kAuthorField); }
  void ED_ThemeNameChange() { setHeaderField(ED_ThemeName, wqt::kNameField); }
  void ED_ThemeVersionChange() { setHeaderField(ED_ThemeVersion, wqt::kVersionField); }
  void CBox_ThemeTypeChange(int index);
  void btn_load_imgClick() { importFile(QString(), wqt::RawFormat::Raw, Fitting::Never); }
  void btn_save_imgClick() { exportFile(wqt::RawFormat::Raw); }
  void MM_Child_CreateThemeClick();
  void MM_Child_OpenThemeClick();
  void MM_Child_SaveThemeClick() { saveTheme(false); }
  void MM_Child_SaveThemeAsClick() { saveTheme(true); }
  void MM_Child_PortThemeClick();
  void MM_Child_UndoClick();
  void MM_Child_RedoClick();
  void MM_Child_ExitClick() { close(); }
  void MM_Child_AboutProgrammeClick();
  void MM_Child_ThemeOverviewClick();

 Q_SIGNALS:
  // The document changed: an entry's file was imported, or (-1) a theme was opened or created.
  void documentChanged(std::int32_t entry);

 protected:
  // The close box, the system menu and "Выход" ask before unsaved work is dropped.
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void buildMenu();
  void buildInfoPanel(QWidget* client);
  void buildPages(QWidget* client);
  // Places the client area's controls for its size.
  void layoutClient(QSize size);
  void connectHandlers();

  // The commands the tree's context menu and drops run.
  QTreeWidget& tree() const override { return *TreeView; }
  bool hasTheme() const override { return doc_.hasImage(); }
  SelectedFile selectedFile() const override;
  bool nodeTakesFile(int displayIndex) const override;
  bool mayOpenTheme() const override { return mapPresent_; }
  void importFile(const QString& given, wqt::RawFormat as, Fitting fitting) override;
  void exportFile(wqt::RawFormat as) override;
  void editExternally() override;
  void externalFileSaved(const wqtui::TExternalEditUpdate& update);
  // The window after an import into entry e: the refusal's message, or, when e is the selected
  // file, its panel and preview. True once the file is stored.
  // The step recorded holds `before`, the entry's data the import replaced.
  bool showImported(const wqt::ImportOutcome& outcome, std::int32_t e,
                    std::vector<std::uint8_t> before);
  void saveAllFilesClick(int group) override;
  bool mayDropTheme() override;
  void infoMessage(const QString& text) override { dialogs_.infoMessage(text); }

  // The recent themes' submenu (RecentThemes.cpp): built once, its entries shown again whenever
  // the list changes; a theme opened or saved goes first.
  void buildRecentMenu(QMenu* file);
  void showRecentThemes();
  void rememberTheme(const QString& path);
  void keepRecentThemes();
  // Opens a listed theme as the open command does; a file that is gone is said and unlisted.
  void openRecentTheme(const QString& path);

  // Save theme, into the theme's file or, asked or without one, a file the dialog gives; true
  // once the file has been written.
  bool saveTheme(bool ask);
  // Shows why a save was refused; true when it was not.
  bool mayBeSaved(const wqt::SaveOutcome& outcome);
  // Makes the node of the display index the tree's current one, as a click on it does.
  void selectNode(int displayIndex);
  void showThemeOpened();
  void showHeaderField(QLineEdit* box, const wqt::HeaderField& field);
  void showThemeType();
  void setHeaderField(QLineEdit* box, const wqt::HeaderField& field);
  // The count beside a header box: the bytes of the field its text takes.
  void showFieldUse(QLineEdit* box);
  // Says in the status bar why a character typed or pasted into a header box was refused.
  void refuseCharacter(const QString& character);
  void setStatus(const QString& first, const QString& second);
  // The commands' enabled states, their texts, the title and its unsaved mark: all derived from
  // the map, the document and the edit history.
  void updateCommands();

  // The edit history (EditHistory.cpp). A step is recorded after its change was made, with what
  // the change replaced.
  void recordStep(const QString& name, int key, std::vector<std::uint8_t> held,
                  std::function<void(std::vector<std::uint8_t>&)> exchange);
  void trimHistory();
  // Forgets every step: their entry numbers and fields belong to the map and theme they were
  // made on.
  void clearHistory();
  bool canUndo() const;
  void recordImport(std::int32_t e, std::vector<std::uint8_t> before);
  void recordField(QLineEdit* box, const wqt::HeaderField& field, const std::string& before);
  void recordThemeType(std::uint8_t before);
  // The window after entry e's data changed: its panel and preview when it is the selected file,
  // and whoever follows the document.
  void showStored(std::int32_t e);

  // Sets the information panel from the selection and the document: which parts show, the
  // selected file's texts, the missing-file label and the export button. The picture is left to
  // the previews, which run after it and may fail.
  void updateFilePanel();
  const wqt::FileEntry* selectedFileEntry() const;
  bool isGroupNode(int displayIndex) const;
  // A file node of the theme whose file is not there yet: a save refuses the theme.
  bool isMissingFile(int displayIndex) const;
  // Marks the file nodes without their file, for the eye and for screen readers.
  void markMissingFiles();
  // Brings the tree's page to the front with the first file node missing its file selected.
  void selectFirstMissingFile();
  void showPreview(const wqt::FileEntry& entry);

  wqtui::UserDialogs& dialogs_;
  // Pictures open in other programs; the scratch copies go when another theme comes.
  wqtui::TExternalEdit externalEdit_;
  // Saves that came while the fitting dialog was open for an earlier one.
  bool externalFitting_ = false;
  QList<wqtui::TExternalEditUpdate> externalWaiting_;
  // The map every load uses; a theme carried to another map may be opened with that one.
  std::filesystem::path mapPath_;
  wqt::ThemeMap map_;
  wqt::ThemeDocument doc_;
  // What the tree's selection is: nothing (after a theme was created or opened), a group or a
  // file node; its display index (-1 for nothing) and the entry of that index.
  enum class Selected { Nothing, Group, File };
  Selected selected_ = Selected::Nothing;
  int selectedNode_ = -1;
  std::int32_t selectedEntry_ = 0;
  bool mapPresent_ = true;
  bool lowColourScreen_ = false;
  TChildForm_AboutProgramm* aboutBox_ = nullptr;
  QString themeFile_;
  QStringList recentThemes_;  // full paths, most recent first
  QUndoStack* undo_ = nullptr;
  std::size_t undoMemoryLimit_ = std::size_t{64} << 20;

  QPointer<wqtui::TThemeOverview> overview_;  // made the first time it is asked for

  // The controls the window changes after building them.
  QAction* MM_Child_CreateTheme = nullptr;
  QAction* MM_Child_OpenTheme = nullptr;
  QMenu* MM_Child_RecentThemes = nullptr;
  QAction* MM_Child_SaveTheme = nullptr;
  QAction* MM_Child_SaveThemeAs = nullptr;
  QAction* MM_Child_PortTheme = nullptr;
  QAction* MM_Child_Undo = nullptr;
  QAction* MM_Child_Redo = nullptr;
  QAction* MM_Child_ThemeOverview = nullptr;
  QTabWidget* PCtrl = nullptr;
  QTreeWidget* TreeView = nullptr;
  QLineEdit* ED_ThemeAuthor = nullptr;
  QLineEdit* ED_ThemeName = nullptr;
  QLineEdit* ED_ThemeVersion = nullptr;
  QLabel* lbl_7 = nullptr;
  QComboBox* CBox_ThemeType = nullptr;
  QFrame* PNL_InFo = nullptr;
  QFrame* PNL_IMG = nullptr;
  QLabel* IMG = nullptr;
  QLabel* lbl_9 = nullptr;
  QGroupBox* GB_Info = nullptr;
  QLineEdit* ED_IMG_Width = nullptr;
  QLineEdit* ED_IMG_Height = nullptr;
  QLineEdit* ED_FileSize = nullptr;
  QLineEdit* ED_IMG_Format = nullptr;
  QPushButton* btn_load_img = nullptr;
  QPushButton* btn_save_img = nullptr;
  struct FieldUse {
    QLineEdit* box;
    QLabel* count;
    wqt::HeaderField field;
  };
  QList<FieldUse> fieldUse_;
  QIcon missingIcon_;
  QLabel* SBar_Panel0 = nullptr;
  QLabel* SBar_Panel1 = nullptr;
};
