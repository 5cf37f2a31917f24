// unpack: every file of a theme into a folder, with theme.json naming them.
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "ops/theme_folder.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct UnpackOptions {
  std::string theme;
  std::string folder;
  bool png = false;
};

int run(const UnpackOptions& options, const ProgramOptions& program) {
  const wqt::ThemeMap map = loadMap(program.map);
  const fs::path folder = targetPath(options.folder, "папку DIR");
  const wqt::RawFormat raw = options.png ? wqt::RawFormat::Png : wqt::RawFormat::Raw;
  const InterruptGuard interrupts;
  LongRun longRun("Распаковано файлов");
  const wqt::UnpackOutcome outcome =
      wqt::unpackTheme(map, options.theme, folder, raw, longRun.hooks());
  using Refusal = wqt::UnpackOutcome::Refusal;
  switch (outcome.refusal) {
    case Refusal::TargetIsFile:
      throw Failure(kExitUsage, "«" + folder.string() + "» — это файл, а не папка.");
    case Refusal::TargetNotEmpty:
      throw Failure(kExitUsage, "Папка «" + folder.string() + "» уже существует и не пуста.");
    case Refusal::NotOpened:
      requireOpened(options.theme, outcome.open);
      break;
    case Refusal::EntryFailed:
      throw Failure(kExitUsage, outcome.where + ": " + russianError(*outcome.error));
    case Refusal::Stopped:
      stopIfInterrupted();
      break;
    case Refusal::None:
      break;
  }
  return kExitOk;
}

}  // namespace

Command setupUnpack(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<UnpackOptions>();
  CLI::App* sub = addCommand(app, "unpack", "Распаковать все файлы темы в папку");
  addTheme(sub, options->theme);
  addPositional(sub, "DIR", options->folder, "Новая или пустая папка");
  addPng(sub, options->png);
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
