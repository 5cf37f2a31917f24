// catalogue: a whole theme on one HTML page.
#include "base/codepage.h"
#include "base/core_error.h"
#include "base/replacing_file.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "ops/theme_catalogue.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct CatalogueOptions {
  std::string theme;
  std::optional<std::string> output;
};

int run(const CatalogueOptions& options, const ProgramOptions& program) {
  const fs::path target = targetPath(options.output.value_or(""), "файл для -o");
  const wqt::ThemeMap map = loadMap(program.map);
  const wqt::ThemeFileSlots file = openEntries(options.theme, map);
  const std::string name = fs::path(options.theme).filename().string();
  const std::string title = wqt::isValidUtf8(name) ? name : wqt::cp1251ToUtf8(name);
  const auto write = [&](const wqt::TextSink& sink) {
    try {
      wqt::writeCatalogue(map, file, title, sink);
    } catch (const wqt::Error& e) {
      throw Failure(kExitUsage, options.theme + ": " + russianError(e));
    }
  };
  if (target == fs::path("-")) {
    write([](std::string_view text) { printData(text); });
    return kExitOk;
  }
  const InterruptGuard interrupts;
  wqt::ReplacingFile out(target);
  write([&](std::string_view text) {
    out.append(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    stopIfInterrupted();
  });
  out.commit();
  return kExitOk;
}

}  // namespace

Command setupCatalogue(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<CatalogueOptions>();
  CLI::App* sub = addCommand(app, "catalogue", "Страница HTML со всеми файлами темы");
  addTheme(sub, options->theme);
  addOutput(sub, options->output, "Файл страницы (.html; «-» — в стандартный вывод)")->required();
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
