// port: a theme carried to another handset's map, its pictures fitted.
#include <memory>

#include "base/file_io.h"
#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/fit_arguments.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "ops/port_text.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct PortOptions {
  std::string theme;
  std::string newMap;
  std::optional<std::string> base;
  std::optional<std::string> output;
  FitArguments fit;
};

int run(const PortOptions& options, const ProgramOptions& program) {
  const fs::path target = targetPath(*options.output, "файл для -o");
  for (const std::optional<std::string>& read : {std::optional(options.theme), options.base}) {
    if (read && wqt::sameFile(target, *read)) {
      throw Failure(kExitUsage,
                    "Файл -o «" + target.string() + "» — это «" + *read + "»; укажите другой.");
    }
  }
  const wqt::FitOptions fit = fitOptions(options.fit);
  const wqt::ThemeMap oldMap = loadMap(program.map);
  const wqt::ThemeMap newMap = loadMap(fs::path(options.newMap));
  const wqt::ThemeFileSlots old = openEntries(options.theme, oldMap);
  std::optional<wqt::ThemeFileSlots> base;
  if (options.base) base = openEntries(*options.base, newMap);
  const wqt::ThemeEntries baseEntries = base ? wqt::themeEntries(*base) : wqt::ThemeEntries{};

  const InterruptGuard interrupts;
  wqt::PortOutcome outcome;
  try {
    outcome = wqt::portTheme(oldMap, wqt::themeEntries(old), newMap, base ? &baseEntries : nullptr,
                             fit, target, {{}, interruptNoted});
  } catch (const wqt::Error& e) {
    if (e.code() == wqt::ErrorCode::FileCreate) throw;
    throw Failure(kExitUsage, options.theme + ": " + russianError(e));
  }
  if (outcome.stopped) stopIfInterrupted();
  for (const wqt::PortedEntry& ported : outcome.entries) {
    if (ported.step == wqt::PortStep::Unfilled)
      printProblem(ported.path, wqt::portStepText(oldMap, newMap, ported, russianError));
  }
  if (outcome.unfilled() != 0) {
    printMessage(wqt::portSummaryText(outcome));
    return kExitProblems;
  }
  if (outcome.save.refusal == wqt::SaveRefusal::LayoutOverlaps) {
    throw Failure(kExitUsage, wqt::kLayoutOverlapMessage);
  }
  if (outcome.save.refusal == wqt::SaveRefusal::WouldNotReopen) {
    printMessage("Тема не записана: карта темы не откроет записанную тему: " +
                 wqt::openRefusalText(outcome.save.reopen, russianError));
    return kExitProblems;
  }
  std::string report;
  for (const wqt::PortedEntry& ported : outcome.entries) {
    report += std::to_string(ported.entry) + "\t" + wqt::escapeControls(ported.path) + "\t" +
              wqt::portStepText(oldMap, newMap, ported, russianError) + "\n";
  }
  printData(report + wqt::portSummaryText(outcome) + "\n");
  return kExitOk;
}

}  // namespace

Command setupPort(CLI::App& app, const ProgramOptions& program) {
  auto options = std::make_shared<PortOptions>();
  CLI::App* sub = addCommand(app, "port", "Перенести тему на карту другой модели телефона");
  addPositional(sub, "THEME", options->theme, "Файл темы (.wqt) старой карты (--map)");
  sub->add_option("--to-map", options->newMap, "Карта темы другой модели")
      ->required()
      ->type_name("FILE");
  sub->add_option("--base", options->base, "Тема новой карты: её файлы заполняют недостающие")
      ->type_name("FILE");
  addOutput(sub, options->output, "Файл новой темы, который записать")->required();
  addFitOptions(sub, options->fit);
  sub->footer(
      "Файл берётся из старой темы по пути из подписей: точный — как есть, рисунок JPG или RAW\n"
      "другого размера или вида — подогнанный (по умолчанию --fit crop по центру), иначе — из\n"
      "--base. Если какой-то файл заполнить нечем, тема не записывается (код выхода 1).");
  return {sub, [&program, options] { return run(*options, program); }};
}

}  // namespace wqtcli
