// check: themes read with the editor's rules, each problem named.
#include <vector>

#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/russian_text.h"
#include "ops/theme_check.h"

namespace wqtcli {

namespace {

struct CheckOptions {
  std::vector<std::string> themes;
};

// The problems of one theme file, each printed; returns how many there were. Throws Failure
// (status 2) when the file cannot be read at all.
std::size_t checkTheme(const wqt::ThemeMap& map, const std::string& theme) {
  std::vector<wqt::ThemeProblem> problems;
  try {
    problems = wqt::checkTheme(map, theme);
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, russianError(e));
  }
  for (const wqt::ThemeProblem& found : problems) {
    printProblem(found.where.empty() ? theme : theme + ": " + found.where,
                 wqt::problemText(map, found, {}, russianError));
  }
  return problems.size();
}

int run(const CheckOptions& options, const ProgramOptions& program) {
  const wqt::ThemeMap map = loadMap(program.map);
  int status = kExitOk;
  for (const std::string& theme : options.themes) {
    try {
      const std::size_t problems = checkTheme(map, theme);
      printData(
          wqt::escapeControls(theme) + ": " +
          (problems == 0 ? std::string("проблем нет") : "проблем: " + std::to_string(problems)) +
          "\n");
      if (problems != 0) status = std::max<int>(status, kExitProblems);
    } catch (const Failure& failure) {
      printMessage(failure.what());
      status = kExitUsage;
    }
  }
  return status;
}

}  // namespace

Command setupCheck(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<CheckOptions>();
  CLI::App* sub = addCommand(app, "check", "Проверить темы правилами редактора");
  sub->add_option("THEME", options->themes, "Файлы тем (.wqt)")->required()->type_name("");
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
