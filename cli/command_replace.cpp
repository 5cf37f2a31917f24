// replace: one file of a theme replaced as the editor imports it, then the theme saved.
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/fit_arguments.h"
#include "cli/russian_text.h"
#include "ops/entry_fit.h"

namespace wqtcli {

namespace {

struct ReplaceOptions {
  std::string theme;
  std::string entry;
  std::string file;
  std::optional<std::string> output;
  FitArguments fit;
};

int run(const ReplaceOptions& options, const ProgramOptions& program) {
  const wqt::ThemeMap map = loadMap(program.map);
  const std::int32_t entry = resolveEntry(map, options.entry);
  wqt::ThemeDocument doc = openDocument(options.theme, map);

  const wqt::RawFormat as = wqt::offeredFormat(options.file);
  const std::optional<wqt::FitOptions> fit = requestedFit(options.fit);
  const wqt::ImportOutcome imported =
      fit ? wqt::importFittedFile(doc, map, entry, options.file, as, *fit)
          : wqt::importFile(doc, map, entry, options.file, as);
  if (!imported.stored()) {
    const wqt::FileEntry& known = *map.entry(entry);
    printProblem(options.file, wqt::importRefusalText(known, imported, as, russianError));
    if (!fit && wqt::fittingWouldStore(known, options.file, as)) {
      printMessage("Рисунок подгоняется к файлу с --fit crop, inside или stretch.");
    }
    return kExitProblems;
  }
  return saveDocument(doc, map.settings(), options.theme, options.output);
}

}  // namespace

Command setupReplace(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<ReplaceOptions>();
  CLI::App* sub = addCommand(app, "replace", "Заменить один файл темы");
  addTheme(sub, options->theme);
  addEntry(sub, options->entry);
  addPositional(sub, "FILE", options->file, "Новый файл (.png для RAW-изображения)");
  addOutput(sub, options->output, "Записать тему в другой файл");
  addFitOptions(sub, options->fit);
  sub->footer(kFitFooter);
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
