// pack: a theme built from an unpacked folder, written only when nothing is wrong.
#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/fit_arguments.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "ops/theme_folder.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct PackOptions {
  std::string folder;
  std::string theme;
  FitArguments fit;
};

int run(const PackOptions& options, const ProgramOptions& program) {
  const wqt::ThemeMap map = loadMap(program.map);
  const fs::path folder = targetPath(options.folder, "папку DIR");
  const fs::path target = targetPath(options.theme, "файл темы THEME");
  const std::optional<wqt::FitOptions> fit = requestedFit(options.fit);
  const InterruptGuard interrupts;
  LongRun longRun("Собрано файлов");
  const wqt::PackOutcome outcome = wqt::packTheme(map, folder, target, longRun.hooks(), fit);
  for (const wqt::ThemeProblem& found : outcome.problems) {
    // An entry is named with the file theme.json gives it, unless the text names the file.
    const bool named = !found.file.empty() && found.kind != wqt::ThemeProblem::Kind::OutsideFolder;
    printProblem(named ? found.where + " (" + wqt::shortened(found.file) + ")" : found.where,
                 wqt::problemText(map, found, folder, russianError));
  }
  if (outcome.stopped) stopIfInterrupted();
  if (!outcome.problems.empty()) {
    printMessage("Тема не записана: проблем " + std::to_string(outcome.problems.size()) + ".");
    return kExitProblems;
  }
  return kExitOk;
}

}  // namespace

Command setupPack(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<PackOptions>();
  CLI::App* sub = addCommand(app, "pack", "Собрать тему из распакованной папки");
  addPositional(sub, "DIR", options->folder, "Папка с theme.json");
  addPositional(sub, "THEME", options->theme, "Файл темы, который записать");
  addFitOptions(sub, options->fit);
  sub->footer(kFitFooter);
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
