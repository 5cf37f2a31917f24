// "Файл → Недавние темы": the themes last opened or saved, most recent first, kept across runs
// in the user's configuration folder.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"

namespace {

constexpr qsizetype kRecentCount = 8;

QSettings recentSettings() {
  return QSettings(QStringLiteral("Orvalen"), QStringLiteral("wqt-manager"));
}

const QString kRecentKey = QStringLiteral("recent/themes");

}  // namespace

void TMainForm::buildRecentMenu(QMenu* file) {
  MM_Child_RecentThemes = file->addMenu(QStringLiteral("Недавние темы"));
  MM_Child_RecentThemes->setObjectName(QStringLiteral("MM_Child_RecentThemes"));
  MM_Child_RecentThemes->setToolTipsVisible(true);
  recentThemes_ = recentSettings().value(kRecentKey).toStringList().mid(0, kRecentCount);
  showRecentThemes();
}

void TMainForm::showRecentThemes() {
  QMenu* menu = MM_Child_RecentThemes;
  // The entry chosen may be the one being replaced: it goes once its signal has run.
  for (QAction* old : menu->actions()) {
    menu->removeAction(old);
    old->setParent(nullptr);
    old->deleteLater();
  }
  for (qsizetype i = 0; i < recentThemes_.size(); ++i) {
    const QString path = recentThemes_[i];
    // "&" in a name is a letter, not a mnemonic.
    QString text = QFileInfo(path).fileName();
    QAction* action = menu->addAction(text.replace(u'&', QStringLiteral("&&")));
    action->setObjectName(QStringLiteral("MM_Child_Recent%1").arg(i));
    action->setToolTip(QDir::toNativeSeparators(path));
    connect(action, &QAction::triggered, this,
            [this, path] { wqtui::runHandler([&] { openRecentTheme(path); }); });
  }
  menu->addSeparator();
  QAction* clear = menu->addAction(QStringLiteral("Очистить список"));
  clear->setObjectName(QStringLiteral("MM_Child_ClearRecent"));
  connect(clear, &QAction::triggered, this, [this] {
    recentThemes_.clear();
    keepRecentThemes();
  });
}

void TMainForm::rememberTheme(const QString& path) {
  recentThemes_.removeAll(path);
  recentThemes_.prepend(path);
  recentThemes_ = recentThemes_.mid(0, kRecentCount);
  keepRecentThemes();
}

void TMainForm::keepRecentThemes() {
  recentSettings().setValue(kRecentKey, recentThemes_);
  showRecentThemes();
  updateCommands();
}

void TMainForm::openRecentTheme(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    recentThemes_.removeAll(path);
    keepRecentThemes();
    dialogs_.infoMessage(
        QStringLiteral("Файл темы «%1» не найден. Он удалён из списка недавних тем.")
            .arg(QDir::toNativeSeparators(path)));
    return;
  }
  if (mayDropTheme()) openThemeFile(path);
}
