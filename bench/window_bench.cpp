// The window's selection road, offscreen: selecting the tree node of a 240 × 320 JPG file until
// its preview is set in the picture view, beside a bare libjpeg decode of the same picture. And
// the theme overview of the 2,000-file 64 MiB theme opened from its menu command until it has
// been painted, beside the window opening that theme (painted too); each overview is closed
// again outside the timing, so the next one is made afresh.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "base/file_io.h"
#include "base/paths.h"
#include "bench/bench_dialogs.h"
#include "bench/inputs.h"
#include "bench/ratio_report.h"
#include "bench/scratch_folder.h"
#include "ui/MainUnit.h"
#include "ui/ThemeOverview.h"
#include "ui/UserDialogs.h"

namespace {

std::vector<std::uint8_t> gJpeg;
TMainForm* gForm = nullptr;
QTreeWidget* gTree = nullptr;
QLabel* gView = nullptr;
TMainForm* gBigForm = nullptr;

void write(const std::filesystem::path& p, const void* data, std::size_t n) {
  std::ofstream(p, std::ios::binary).write(static_cast<const char*>(data), std::streamsize(n));
}

void SelectJpgNode(benchmark::State& state) {
  QTreeWidgetItem* jpgNode = gTree->topLevelItem(0);
  QTreeWidgetItem* groupNode = gTree->topLevelItem(1);
  for (auto _ : state) {
    state.PauseTiming();
    gTree->setCurrentItem(groupNode);
    state.ResumeTiming();
    gTree->setCurrentItem(jpgNode);
    if (gView->pixmap().isNull()) state.SkipWithError("no preview was set");
  }
}

void BareDecode(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(wqt::gen::bareDecode(gJpeg).data());
}

void OpenBigTheme(benchmark::State& state) {
  for (auto _ : state) {
    gBigForm->MM_Child_OpenThemeClick();
    QCoreApplication::processEvents();
    if (gBigForm->document().image().empty()) state.SkipWithError("the theme did not open");
  }
}

void OpenBigOverview(benchmark::State& state) {
  auto* command = gBigForm->findChild<QAction*>("MM_Child_ThemeOverview");
  for (auto _ : state) {
    command->trigger();
    QCoreApplication::processEvents();
    state.PauseTiming();
    auto* overview = gBigForm->findChild<wqtui::TThemeOverview*>();
    if (overview == nullptr || !overview->isVisible()) {
      state.SkipWithError("no overview was shown");
      break;
    }
    delete overview;
    state.ResumeTiming();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);

  // The window reads its map from its own folder: a JPG file at the top, then a group.
  const auto dir = wqt::executableDir();
  const std::string map =
      std::string("<ThemeSign a=\"") + wqt::gen::kSign1 + "\" b=\"" + wqt::gen::kSign2 +
      "\">\n<ThemeSettings t=\"9Ch\" d=\"100h\" c=\"2\">\n"
      "<ColorThemesSettings f=\"no\" o=\"98h\">\n"
      "<file name=\"Picture\" id=\"0\" type=\"JPG\" width=\"240\" height=\"320\">\n"
      "<group name=\"Group\">\n"
      "<file name=\"Words\" id=\"1\" type=\"RAW\" width=\"2\" height=\"2\">\n"
      "</group e=\"\">\n";
  write(dir / "theme.rxt", map.data(), map.size());
  gJpeg = wqt::gen::jpeg(240, 320);
  std::vector<std::uint8_t> theme(0x100, 0);
  const std::string s1 = wqt::gen::kSign1, s2 = wqt::gen::kSign2;
  std::copy(s1.begin(), s1.end(), theme.begin());
  std::copy(s2.begin(), s2.end(), theme.begin() + 14);
  wqt::writeU32LE(theme, 0x9C, static_cast<std::uint32_t>(gJpeg.size()));
  wqt::writeU32LE(theme, 0xA0, 8);
  theme.insert(theme.end(), gJpeg.begin(), gJpeg.end());
  theme.insert(theme.end(), 8, 0x1F);
  const auto themePath = dir / "bench-selection.wqt";
  write(themePath, theme.data(), theme.size());

  wqt::bench::BenchDialogs dialogs;
  dialogs.theme = QString::fromStdString(themePath.string());
  TMainForm form(dialogs);
  form.show();
  form.MM_Child_OpenThemeClick();
  gForm = &form;
  gTree = form.findChild<QTreeWidget*>("TreeView");
  gView = form.findChild<QLabel*>("IMG");
  if (gTree == nullptr || gView == nullptr || gTree->topLevelItemCount() != 2) {
    std::fprintf(stderr, "the window did not show the theme's tree\n");
    return 1;
  }

  // The 2,000-file theme in a window of its own, with its own map beside it.
  const std::filesystem::path bigDir = wqt::bench::scratchFolder("wqt-overview");
  const std::string bigMap =
      wqt::gen::nestedMap(wqt::gen::kUnpackThemeFiles, 0x9C, 0x98, wqt::gen::kUnpackThemeShape);
  write(bigDir / "theme.rxt", bigMap.data(), bigMap.size());
  const auto bigTheme =
      wqt::gen::validThemeFile(wqt::gen::kUnpackThemeFiles, wqt::gen::kUnpackThemeShape);
  write(bigDir / "theme.wqt", bigTheme.data(), bigTheme.size());
  wqt::bench::BenchDialogs bigDialogs;
  bigDialogs.theme = QString::fromStdString((bigDir / "theme.wqt").string());
  TMainForm bigForm(bigDialogs, bigDir / "theme.rxt");
  bigForm.show();
  bigForm.MM_Child_OpenThemeClick();  // the overview's command needs a theme
  gBigForm = &bigForm;

  wqt::bench::paired(benchmark::RegisterBenchmark("selection_jpg_240x320/window", SelectJpgNode),
                     100, 1)
      ->Unit(benchmark::kMicrosecond);
  wqt::bench::paired(benchmark::RegisterBenchmark("selection_jpg_240x320/libjpeg", BareDecode), 100,
                     1)
      ->Unit(benchmark::kMicrosecond);
  wqt::bench::paired(benchmark::RegisterBenchmark("open_2000_files/overview", OpenBigOverview), 30,
                     1)
      ->Unit(benchmark::kMillisecond);
  wqt::bench::paired(benchmark::RegisterBenchmark("open_2000_files/window", OpenBigTheme), 30, 1)
      ->Unit(benchmark::kMillisecond);
  wqt::bench::initializeInterleaved(&argc, argv);
  // The preview writes its scratch file at every selection: what the benchmarks before this one
  // (and this one's set-up) left to write back made a whole run of it a third slower.
  ::sync();
  wqt::bench::FastestCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  const int missed = wqt::bench::printRatioTable(
      collector, {{"6. window selection of a JPG 240x320", "selection_jpg_240x320/window",
                   "selection_jpg_240x320/libjpeg", 2.0},
                  {"14. theme overview, 2000 files 64 MiB (vs the window opening it)",
                   "open_2000_files/overview", "open_2000_files/window", 2.0}});
  benchmark::Shutdown();
  std::filesystem::remove_all(bigDir);
  return missed == 0 ? 0 : 2;
}
