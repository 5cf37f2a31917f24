// The theme overview of the "Вид" menu: made the first time it is asked for, told of every change
// of the document, and a click in it selects that node in the tree.
#include <QDir>
#include <QLabel>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "ops/entry_preview.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/ThemeOverview.h"

void TMainForm::MM_Child_ThemeOverviewClick() {
  if (overview_ == nullptr) {
    overview_ = new wqtui::TThemeOverview(map_, doc_, wqt::scratchFilePath(mapPath_),
                                          lowColourScreen_, dialogs_, this);
    connect(overview_, &wqtui::TThemeOverview::nodeClicked, this,
            [this](int node) { wqtui::runHandler([&] { selectNode(node); }); });
    connect(overview_, &wqtui::TThemeOverview::saved, this, [this](const QString& file) {
      SBar_Panel1->setText(
          QStringLiteral("Обзор темы сохранён: %1").arg(QDir::toNativeSeparators(file)));
    });
    wqtui::TThemeOverview* overview = overview_;
    connect(this, &TMainForm::documentChanged, overview, [overview](std::int32_t entry) {
      if (entry < 0) {
        overview->rebuildLater();
      } else {
        overview->refreshEntry(entry);
      }
    });
  }
  overview_->show();
  overview_->raise();
  overview_->activateWindow();
}

void TMainForm::selectNode(int displayIndex) {
  for (QTreeWidgetItemIterator it(TreeView); *it != nullptr; ++it) {
    if (wqtui::displayIndexOf(*it) != displayIndex) continue;
    TreeView->setCurrentItem(*it);
    TreeView->scrollToItem(*it);
    return;
  }
}
