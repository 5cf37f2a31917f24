// extract, unpack and pack: a theme's files to and from disk.
#include <unistd.h>

#include <cstdio>

#include "base/file_io.h"
#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "map/entry_paths.h"
#include "ops/theme_folder.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

// A long run's hooks: the files done counted on one stderr line, only when stderr is a terminal
// and there are many (fewer finish before a line would help), and the interrupt signals.
class LongRun {
 public:
  explicit LongRun(const char* verb) : verb_(verb) {}
  ~LongRun() {
    if (shown_) std::fputs("\n", stderr);
  }
  wqt::RunHooks hooks() {
    return {[this](std::size_t done, std::size_t total) {
              if (done <= 1) shown_ = total >= 100 && ::isatty(STDERR_FILENO) == 1;
              if (shown_ && (done % 16 == 0 || done == total))
                std::fprintf(stderr, "\r%s: %zu из %zu", verb_, done, total);
            },
            interruptNoted};
  }

 private:
  const char* verb_;
  bool shown_ = false;
};

}  // namespace

int runExtract(const Options& options) {
  const std::optional<fs::path> output =
      options.output ? std::optional(targetPath(*options.output, "файл для -o")) : std::nullopt;
  const wqt::ThemeMap map = loadMap(options.map);
  const std::int32_t entry = resolveEntry(map, options.entry);
  std::optional<wqt::ThemeFileSlots> file;
  requireOpened(options.theme, wqt::openThemeEntries(options.theme, map, file));
  if (file->entrySize(entry) == 0) {
    printProblem(wqt::entryPath(map, static_cast<std::size_t>(entry)), wqt::kMissingFileText);
    return kExitProblems;
  }
  const wqt::RawFormat raw = options.png ? wqt::RawFormat::Png : wqt::RawFormat::Raw;
  std::vector<std::uint8_t> data;
  file->readEntry(entry, data);
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

int runUnpack(const Options& options) {
  const wqt::ThemeMap map = loadMap(options.map);
  const fs::path folder = targetPath(options.folder, "папку DIR");
  const wqt::RawFormat raw = options.png ? wqt::RawFormat::Png : wqt::RawFormat::Raw;
  const InterruptGuard interrupts;
  LongRun run("Распаковано файлов");
  const wqt::UnpackOutcome outcome = wqt::unpackTheme(map, options.theme, folder, raw, run.hooks());
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

int runPack(const Options& options) {
  const wqt::ThemeMap map = loadMap(options.map);
  const fs::path folder = targetPath(options.folder, "папку DIR");
  const fs::path target = targetPath(options.theme, "файл темы THEME");
  const std::optional<wqt::FitOptions> fit = requestedFit(options.fit);
  const InterruptGuard interrupts;
  LongRun run("Собрано файлов");
  const wqt::PackOutcome outcome = wqt::packTheme(map, folder, target, run.hooks(), fit);
  for (const wqt::ThemeProblem& found : outcome.problems) {
    // An entry is named with the file theme.json gives it, unless the text names the file.
    const bool named = !found.file.empty() && found.kind != wqt::ThemeProblem::Kind::OutsideFolder;
    printProblem(named ? found.where + " (" + wqt::shortened(found.file) + ")" : found.where,
                 problemText(map, found, folder));
  }
  if (outcome.stopped) stopIfInterrupted();
  if (!outcome.problems.empty()) {
    printMessage("Тема не записана: проблем " + std::to_string(outcome.problems.size()) + ".");
    return kExitProblems;
  }
  return kExitOk;
}

}  // namespace wqtcli
