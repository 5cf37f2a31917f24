// extract: one file of a theme saved on its own.
#include "base/file_io.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "map/entry_paths.h"
#include "ops/theme_folder.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct ExtractOptions {
  std::string theme;
  std::string entry;
  std::optional<std::string> output;
  bool png = false;
};

int run(const ExtractOptions& options, const ProgramOptions& program) {
  const std::optional<fs::path> output =
      options.output ? std::optional(targetPath(*options.output, "файл для -o")) : std::nullopt;
  const wqt::ThemeMap map = loadMap(program.map);
  const std::int32_t entry = resolveEntry(map, options.entry);
  const wqt::ThemeFileSlots file = openEntries(options.theme, map);
  if (file.entrySize(entry) == 0) {
    printProblem(wqt::entryPath(map, static_cast<std::size_t>(entry)), wqt::kMissingFileText);
    return kExitProblems;
  }
  const wqt::RawFormat raw = options.png ? wqt::RawFormat::Png : wqt::RawFormat::Raw;
  std::vector<std::uint8_t> data;
  file.readEntry(entry, data);
  const std::vector<std::uint8_t> bytes = wqt::exportBytes(*map.entry(entry), data, raw);
  if (output && *output == fs::path("-")) {
    printData(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return kExitOk;
  }
  // Named as export names it: the caption with the kind's extension forced on it, made safe.
  const fs::path name = output.value_or(wqt::defaultExportName(map, entry, raw));
  const InterruptGuard interrupts;
  wqt::writeFileReplacing(name, bytes);
  return kExitOk;
}

}  // namespace

Command setupExtract(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<ExtractOptions>();
  CLI::App* sub = addCommand(app, "extract", "Сохранить один файл темы");
  addTheme(sub, options->theme);
  addEntry(sub, options->entry);
  addOutput(sub, options->output, "Куда сохранить (по умолчанию — имя по подписи)");
  addPng(sub, options->png);
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
