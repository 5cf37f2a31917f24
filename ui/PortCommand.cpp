// "Перенести на другую карту...": the theme in the window, unsaved changes included, carried to
// another handset's map and written to a new file; the window keeps its theme.
#include <QFileInfo>
#include <QLabel>

#include "base/file_io.h"
#include "ops/picture_error_text.h"
#include "ops/port_text.h"
#include "ops/theme_open.h"
#include "ops/theme_port.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"

void TMainForm::MM_Child_PortThemeClick() {
  const std::optional<wqtui::PortChoice> choice = dialogs_.portChoice(this);
  if (!choice) return;
  const std::filesystem::path mapPath = wqtui::toPath(choice->map);
  const std::filesystem::path target = wqt::saveTarget(wqtui::toFileName(choice->target));
  const std::filesystem::path basePath = wqtui::toPath(choice->base);
  if ((!themeFile_.isEmpty() && wqt::sameFile(target, wqtui::toPath(themeFile_))) ||
      (!choice->base.isEmpty() && wqt::sameFile(target, basePath))) {
    dialogs_.infoMessage(QStringLiteral(
        "Новую тему нельзя записать в файл открытой или базовой темы. Выберите другой файл."));
    return;
  }
  wqt::ThemeMap newMap;
  newMap.load(mapPath);
  std::optional<wqt::ThemeFileSlots> base;
  if (!choice->base.isEmpty()) {
    const wqt::OpenOutcome opened = wqt::openThemeEntries(basePath, newMap, base);
    if (opened.error) throw *opened.error;
    if (!opened.opened()) {
      dialogs_.infoMessage(QFileInfo(choice->base).fileName() + QStringLiteral(": ") +
                           QString::fromUtf8(wqt::openMessageText(opened.refusal)));
      return;
    }
  }
  const wqt::ThemeEntries baseEntries = base ? wqt::themeEntries(*base) : wqt::ThemeEntries{};

  SBar_Panel1->setText(QStringLiteral("Перенос темы..."));
  std::unique_ptr<wqtui::UserDialogs::Progress> progress;
  bool cancelled = false;
  wqt::RunHooks hooks;
  hooks.progress = [&](std::size_t done, std::size_t total) {
    if (progress == nullptr)
      progress = dialogs_.progress(this, QStringLiteral("Перенос темы..."), int(total));
    cancelled = !progress->advance(int(done));
  };
  hooks.interrupted = [&] { return cancelled; };
  const wqt::PortOutcome outcome =
      wqt::portTheme(map_, wqt::themeEntries(doc_), newMap, base ? &baseEntries : nullptr,
                     choice->fit, target, hooks);
  progress.reset();
  if (outcome.stopped) {
    SBar_Panel1->setText(QStringLiteral("Перенос отменён, тема не записана."));
    return;
  }

  wqtui::PortReport report;
  report.summary = QString::fromUtf8(wqt::portSummaryText(outcome));
  for (const bool unfilled : {true, false}) {
    for (const wqt::PortedEntry& ported : outcome.entries) {
      if ((ported.step == wqt::PortStep::Unfilled) != unfilled) continue;
      report.lines.append(
          {QString::fromUtf8(ported.path),
           QString::fromUtf8(wqt::portStepText(map_, newMap, ported, wqt::pictureErrorText)),
           unfilled});
    }
  }
  dialogs_.portReport(this, report);
  if (!outcome.written()) {
    SBar_Panel1->setText(QStringLiteral("Тема не записана."));
    return;
  }
  SBar_Panel1->setText(QStringLiteral("Тема перенесена."));
  const QString written = QFile::decodeName(target.c_str());
  const QString question =
      QStringLiteral(
          "Новая тема записана в «%1». Открыть её?\nОна сделана для карты «%2»: до "
          "конца работы редактор будет открывать и создавать темы с этой картой.")
          .arg(QFileInfo(written).fileName(), choice->map);
  if (!dialogs_.question(question) || !mayDropTheme()) return;
  mapPath_ = std::filesystem::absolute(mapPath);
  mapPresent_ = true;
  openThemeFile(written);
}
