// "Сохранить все файлы..." of the whole 2,000-file 64 MiB theme in the window (offscreen, its
// real progress window included), beside the command line's unpack of the same theme (the theme
// of its own benchmark), run in this process. Each run writes into a new folder; removing it
// afterwards is not timed.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_dialogs.h"
#include "bench/inputs.h"
#include "bench/ratio_report.h"
#include "bench/scratch_folder.h"
#include "cli/commands.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

namespace fs = std::filesystem;

namespace {

constexpr int kThemeFiles = wqt::gen::kUnpackThemeFiles;

fs::path gDir;
fs::path gMap;
fs::path gTheme;
wqt::bench::BenchDialogs* gDialogs = nullptr;
TMainForm* gForm = nullptr;

// A new folder's name; every repetition starts with nothing waiting to be written back (see the
// command line's benchmark).
fs::path freshFolder() {
  ::sync();
  static int n = 0;
  return gDir / ("out-" + std::to_string(++n));
}

std::size_t filesBelow(const fs::path& folder) {
  std::size_t count = 0;
  for (const auto& item : fs::recursive_directory_iterator(folder)) count += item.is_regular_file();
  return count;
}

void write(const fs::path& p, const void* data, std::size_t n) {
  std::ofstream(p, std::ios::binary).write(static_cast<const char*>(data), std::streamsize(n));
}

// The tree's context menu on the whole theme, opened from the keyboard with no node current.
QAction* saveAllCommand() {
  auto* tree = gForm->findChild<QTreeWidget*>("TreeView");
  tree->setCurrentItem(nullptr);
  QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), tree->mapToGlobal(QPoint()));
  QApplication::sendEvent(tree, &event);
  auto* menu = gForm->findChild<QMenu*>("PM_Tree");
  QAction* action = menu != nullptr ? menu->findChild<QAction*>("PM_SaveAllFiles") : nullptr;
  if (menu != nullptr) menu->close();
  return action;
}

void WindowSaveAll(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path out = freshFolder();
    fs::create_directory(out);
    gDialogs->folder = QString::fromStdString(out.string());
    QAction* command = saveAllCommand();
    if (command == nullptr) {
      state.SkipWithError("no \"Сохранить все файлы...\" command");
      break;
    }
    state.ResumeTiming();
    command->trigger();
    state.PauseTiming();
    const bool complete = filesBelow(out) == kThemeFiles;
    fs::remove_all(out);
    if (!complete) {
      state.SkipWithError("not every file was written");
      break;
    }
    state.ResumeTiming();
  }
}

void CliUnpack(benchmark::State& state) {
  const wqtcli::ProgramOptions program{gMap};
  CLI::App app;
  const wqtcli::Command unpack = wqtcli::setupUnpack(app, program);
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path out = freshFolder();
    std::vector<std::string> args = {out.string(), gTheme.string(), "unpack"};  // last first
    app.parse(args);
    state.ResumeTiming();
    const int status = unpack.run();
    state.PauseTiming();
    // Unpack writes theme.json beside the files.
    const bool complete = status == 0 && filesBelow(out) == kThemeFiles + 1;
    fs::remove_all(out);
    if (!complete) {
      state.SkipWithError("unpack failed");
      break;
    }
    state.ResumeTiming();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);

  gDir = wqt::bench::scratchFolder("wqt-save-all");
  gMap = gDir / "theme.rxt";
  gTheme = gDir / "theme.wqt";
  const std::string map = wqt::gen::nestedMap(kThemeFiles, 0x9C, 0x98, wqt::gen::kUnpackThemeShape);
  write(gMap, map.data(), map.size());
  const auto theme = wqt::gen::validThemeFile(kThemeFiles, wqt::gen::kUnpackThemeShape);
  write(gTheme, theme.data(), theme.size());

  wqt::bench::BenchDialogs dialogs;
  dialogs.theme = QString::fromStdString(gTheme.string());
  TMainForm form(dialogs, gMap);
  form.show();
  form.MM_Child_OpenThemeClick();
  gDialogs = &dialogs;
  gForm = &form;

  // One save of the whole theme per repetition.
  wqt::bench::paired(benchmark::RegisterBenchmark("save_all_2000_files/window", WindowSaveAll), 12,
                     1)
      ->Unit(benchmark::kMillisecond);
  wqt::bench::paired(benchmark::RegisterBenchmark("save_all_2000_files/cli_unpack", CliUnpack), 12,
                     1)
      ->Unit(benchmark::kMillisecond);
  wqt::bench::initializeInterleaved(&argc, argv);
  wqt::bench::FastestCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  const int missed = wqt::bench::printRatioTable(
      collector, {{"10. save all files, 2000 files 64 MiB (vs CLI unpack)",
                   "save_all_2000_files/window", "save_all_2000_files/cli_unpack", 1.5}});
  benchmark::Shutdown();
  fs::remove_all(gDir);
  return missed == 0 ? 0 : 2;
}
