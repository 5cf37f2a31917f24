// Benchmarks of the command-line twin on the 2,000-file 64 MiB theme: unpack beside tar -x of an
// archive of the same files into an empty folder, pack beside tar -c of the unpacked folder plus
// one fdatasync of the archive, thumbnail beside the same on a 1 MiB theme and beside
// vipsthumbnail, catalogue beside unpack --png, port to a copy of its map beside unpack and pack,
// and the peak resident memory of unpack, pack, check and port; port of a 15-file theme fitting
// five pictures beside five runs of fit. Every case runs a program in a fresh process, the
// baselines too.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/inputs.h"
#include "bench/ratio_report.h"
#include "bench/scratch_folder.h"
#include "bench/spawn.h"

namespace {

namespace fs = std::filesystem;

constexpr int kThemeFiles = wqt::gen::kUnpackThemeFiles;
constexpr wqt::gen::MapShape kShape = wqt::gen::kUnpackThemeShape;
constexpr double kPeakRssGoalMiB = 48;

fs::path gDir, gMap, gTheme, gUnpacked, gArchive, gSmallTheme, gFirstPicture, gMapCopy;
// port's fitting: a 15-file theme, a map giving five of its pictures another size, and those
// five pictures as files for fit (the RAW ones as PNG).
fs::path gFitMap, gFitTheme, gFitNewMap;
std::vector<std::pair<fs::path, const char*>> gFitPictures;

void writeBytes(const fs::path& p, const void* data, std::size_t n) {
  std::ofstream out(p, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

using wqt::bench::Ran;
using wqt::bench::spawn;

void mustRun(benchmark::State& state, const std::vector<std::string>& args) {
  if (spawn(args).status != 0) state.SkipWithError(("failed: " + args[0] + " " + args[1]).c_str());
}

// A fresh empty folder for one extraction, removed outside the timed part, writes settled.
fs::path freshFolder(benchmark::State& state) {
  state.PauseTiming();
  const fs::path out = gDir / "out";
  fs::remove_all(out);
  fs::create_directory(out);
  ::sync();
  state.ResumeTiming();
  return out;
}

// Every repetition that writes starts with nothing waiting to be written back: one that met the
// writeback of earlier repetitions (or of other work on the machine) ran several times slower,
// which made the fastest repetition of a side a matter of luck.
void settleWrites(benchmark::State& state) {
  state.PauseTiming();
  ::sync();
  state.ResumeTiming();
}

void UnpackCase(benchmark::State& state) {
  for (auto _ : state) {
    const fs::path out = freshFolder(state);
    mustRun(state, {WQT_CLI, "--map", gMap, "unpack", gTheme, out});
  }
}

void UnpackBaseline(benchmark::State& state) {
  for (auto _ : state) {
    const fs::path out = freshFolder(state);
    mustRun(state, {"tar", "-x", "-f", gArchive, "-C", out});
  }
}

void PackCase(benchmark::State& state) {
  for (auto _ : state) {
    settleWrites(state);
    mustRun(state, {WQT_CLI, "--map", gMap, "pack", gUnpacked, gDir / "p.wqt"});
  }
}

// tar -c of the folder, then one fdatasync of the archive: the least a safe pack must do.
void PackBaseline(benchmark::State& state) {
  const fs::path archive = gDir / "p.tar";
  for (auto _ : state) {
    settleWrites(state);
    mustRun(state, {"tar", "-c", "-f", archive, "-C", gUnpacked, "."});
    const int fd = ::open(archive.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ::fdatasync(fd) != 0) state.SkipWithError("fdatasync failed");
    ::close(fd);
  }
}

// port to a copy of its map carries every file as it is: the work of unpack and pack together.
void PortCase(benchmark::State& state) {
  for (auto _ : state) {
    settleWrites(state);
    mustRun(state, {WQT_CLI, "--map", gMap, "port", gTheme, "--to-map", gMapCopy, "-o",
                    gDir / "port.wqt"});
  }
}

void UnpackPackBaseline(benchmark::State& state) {
  for (auto _ : state) {
    const fs::path out = freshFolder(state);
    mustRun(state, {WQT_CLI, "--map", gMap, "unpack", gTheme, out});
    mustRun(state, {WQT_CLI, "--map", gMap, "pack", out, gDir / "p.wqt"});
  }
}

void PortFitCase(benchmark::State& state) {
  for (auto _ : state) {
    mustRun(state, {WQT_CLI, "--map", gFitMap, "port", gFitTheme, "--to-map", gFitNewMap, "-o",
                    gDir / "fitted.wqt"});
  }
}

void FiveFitsBaseline(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto& [picture, kind] : gFitPictures) {
      mustRun(state, {WQT_CLI, "fit", picture, "--size", "176x220", "--kind", kind, "-o",
                      gDir / "fitted.out"});
    }
  }
}

// The map with the pictures of the files numbered given another size.
std::string resized(std::string map, const std::vector<int>& files, const std::string& size) {
  for (const int n : files) {
    const std::size_t width = map.find("width=", map.find("\"File " + std::to_string(n) + "\""));
    map.replace(width, map.find('>', width) - width, size);
  }
  return map;
}

// The thumbnail reads only the first picture's slot: the 64 MiB theme beside a 1 MiB theme of the
// same map and the same first picture, and beside vipsthumbnail of that picture alone.
constexpr const char* kThumbnailSize = "128";  // what a thumbnail service asks for first

void ThumbnailCase(benchmark::State& state) {
  for (auto _ : state) {
    mustRun(state,
            {WQT_CLI, "--map", gMap, "thumbnail", "-s", kThumbnailSize, gTheme, gDir / "t.png"});
  }
}

void ThumbnailSmallTheme(benchmark::State& state) {
  for (auto _ : state) {
    mustRun(state, {WQT_CLI, "--map", gMap, "thumbnail", "-s", kThumbnailSize, gSmallTheme,
                    gDir / "t.png"});
  }
}

void ThumbnailVips(benchmark::State& state) {
  for (auto _ : state) {
    mustRun(state, {"vipsthumbnail", gFirstPicture, "-s", kThumbnailSize, "-o", gDir / "v.png"});
  }
}

// The catalogue embeds every file, RAW pictures as PNG: the work of unpack --png, in one file.
void CatalogueCase(benchmark::State& state) {
  for (auto _ : state) {
    mustRun(state, {WQT_CLI, "--map", gMap, "catalogue", gTheme, "-o", gDir / "c.html"});
  }
}

void UnpackPngBaseline(benchmark::State& state) {
  for (auto _ : state) {
    const fs::path out = freshFolder(state);
    mustRun(state, {WQT_CLI, "--map", gMap, "unpack", gTheme, out, "--png"});
  }
}

// The peak memory of a command, in KiB. A child's maximum resident set starts from the memory of
// the process that spawned it, so the command is spawned from a fresh, small copy of this program
// (which writes the figure to a file) rather than from this one, which holds the whole theme.
long peakKiBOf(const std::vector<std::string>& command) {
  const fs::path out = gDir / "peak.txt";
  std::vector<std::string> args = {fs::read_symlink("/proc/self/exe").string(), "--peak-rss-of",
                                   out.string()};
  args.insert(args.end(), command.begin(), command.end());
  if (spawn(args).status != 0) return -1;
  long kib = -1;
  std::ifstream(out) >> kib;
  return kib;
}

int peakRssChild(int argc, char** argv) {
  const Ran ran = spawn(std::vector<std::string>(argv + 3, argv + argc));
  std::ofstream(argv[2]) << (ran.status == 0 ? ran.peakKiB : -1);
  return 0;
}

void setUp() {
  gDir = wqt::bench::scratchFolder("wqt-cli-bench");
  const std::string map = wqt::gen::nestedMap(kThemeFiles, 0x9C, 0x98, kShape);
  gMap = gDir / "theme.rxt";
  writeBytes(gMap, map.data(), map.size());
  // Files every import check accepts, so that the unpacked folder packs again.
  const auto theme = wqt::gen::validThemeFile(kThemeFiles, kShape);
  std::printf("theme: %d files, %.1f MiB\n", kThemeFiles, theme.size() / 1048576.0);
  gTheme = gDir / "big.wqt";
  writeBytes(gTheme, theme.data(), theme.size());
  // The same map and first picture in about 1 MiB: every other slot a few hundred bytes.
  const auto first =
      wqt::gen::jpeg(static_cast<int>(kShape.width), static_cast<int>(kShape.height));
  gFirstPicture = gDir / "first.jpg";
  writeBytes(gFirstPicture, first.data(), first.size());
  std::vector<std::vector<std::uint8_t>> small(
      kThemeFiles,
      std::vector<std::uint8_t>(((1u << 20) - first.size()) / (kThemeFiles - 1), 0x5A));
  small[0] = first;
  wqt::sample::ThemeRecipe recipe;
  recipe.dataOffset = wqt::gen::dataOffsetOf(kThemeFiles);
  const auto smallTheme = wqt::sample::themeFile(recipe, small);
  gSmallTheme = gDir / "small.wqt";
  writeBytes(gSmallTheme, smallTheme.data(), smallTheme.size());
  gMapCopy = gDir / "copy.rxt";
  writeBytes(gMapCopy, map.data(), map.size());
  const std::string fitMap = wqt::gen::nestedMap(15);
  const auto fitTheme = wqt::gen::validThemeFile(15, {});
  gFitMap = gDir / "fit.rxt";
  gFitNewMap = gDir / "fit-new.rxt";
  gFitTheme = gDir / "fit.wqt";
  const std::string fitNewMap = resized(fitMap, {0, 1, 4, 5, 8}, "width=\"176\" height=\"220\"");
  writeBytes(gFitMap, fitMap.data(), fitMap.size());
  writeBytes(gFitNewMap, fitNewMap.data(), fitNewMap.size());
  writeBytes(gFitTheme, fitTheme.data(), fitTheme.size());
  for (const int n : {0, 1, 4, 5, 8}) {
    const bool raw = n % 4 == 1;
    gFitPictures.emplace_back(gDir / ("picture" + std::to_string(n) + (raw ? ".png" : ".jpg")),
                              raw ? "raw" : "jpg");
    if (spawn({WQT_CLI, "--map", gFitMap, "extract", gFitTheme, std::to_string(n), "--png", "-o",
               gFitPictures.back().first})
            .status != 0) {
      throw std::runtime_error("cannot extract the pictures to fit");
    }
  }
  gUnpacked = gDir / "unpacked";
  gArchive = gDir / "files.tar";
  if (spawn({WQT_CLI, "--map", gMap, "unpack", gTheme, gUnpacked}).status != 0 ||
      spawn({"tar", "-c", "-f", gArchive, "-C", gUnpacked, "."}).status != 0) {
    throw std::runtime_error("cannot prepare the unpacked folder and its archive");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && std::string(argv[1]) == "--peak-rss-of") return peakRssChild(argc, argv);
  setUp();
  // One run of a program per repetition: each takes long enough on its own. A thumbnail takes a
  // few milliseconds, mostly starting the process, so its sides get more turns to agree.
  const auto reg = [](const char* name, auto fn, int repetitions = 12) {
    return wqt::bench::paired(benchmark::RegisterBenchmark(name, fn), repetitions, 1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  };
  reg("cli_unpack/orvalen-wqt", UnpackCase);
  reg("cli_unpack/tar_x", UnpackBaseline);
  reg("cli_pack/orvalen-wqt", PackCase);
  reg("cli_pack/tar_c_fdatasync", PackBaseline);
  reg("cli_port/orvalen-wqt", PortCase);
  reg("cli_port/unpack_pack", UnpackPackBaseline);
  reg("cli_port_fit/orvalen-wqt", PortFitCase, 24);
  reg("cli_port_fit/five_fits", FiveFitsBaseline, 24);
  reg("cli_thumbnail/64MiB_theme", ThumbnailCase, 48);
  reg("cli_thumbnail/1MiB_theme", ThumbnailSmallTheme, 48);
  reg("cli_thumbnail/vipsthumbnail", ThumbnailVips, 48);
  reg("cli_catalogue/orvalen-wqt", CatalogueCase);
  reg("cli_catalogue/unpack_png", UnpackPngBaseline);

  wqt::bench::initializeInterleaved(&argc, argv);
  wqt::bench::FastestCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  int missed = wqt::bench::printRatioTable(
      collector,
      {
          {"7. unpack 64 MiB theme vs tar -x", "cli_unpack/orvalen-wqt", "cli_unpack/tar_x", 1.5},
          {"8. pack 64 MiB folder vs tar -c + fdatasync", "cli_pack/orvalen-wqt",
           "cli_pack/tar_c_fdatasync", 1.5},
          {"11. thumbnail of 64 MiB theme vs of 1 MiB theme", "cli_thumbnail/64MiB_theme",
           "cli_thumbnail/1MiB_theme", 1.2},
          {"12. thumbnail of 64 MiB theme vs vipsthumbnail", "cli_thumbnail/64MiB_theme",
           "cli_thumbnail/vipsthumbnail", 2.0},
          {"13. catalogue of 64 MiB theme vs unpack --png", "cli_catalogue/orvalen-wqt",
           "cli_catalogue/unpack_png", 2.0},
          {"22. port 64 MiB theme vs unpack + pack", "cli_port/orvalen-wqt", "cli_port/unpack_pack",
           1.5},
          {"23. port fitting 5 pictures vs 5 fit runs", "cli_port_fit/orvalen-wqt",
           "cli_port_fit/five_fits", 1.5},
      });

  // Peak memory of each command on the same theme, in a fresh process each.
  fs::remove_all(gDir / "rss");
  const struct {
    const char* label;
    std::vector<std::string> args;
  } rss[] = {
      {"9. peak RSS unpack 64 MiB theme", {WQT_CLI, "--map", gMap, "unpack", gTheme, gDir / "rss"}},
      {"   peak RSS pack 64 MiB folder",
       {WQT_CLI, "--map", gMap, "pack", gUnpacked, gDir / "r.wqt"}},
      {"   peak RSS check 64 MiB theme", {WQT_CLI, "--map", gMap, "check", gTheme}},
      {"   peak RSS port 64 MiB theme",
       {WQT_CLI, "--map", gMap, "port", gTheme, "--to-map", gMapCopy, "-o", gDir / "r.wqt"}},
  };
  for (const auto& r : rss) {
    const long kib = peakKiBOf(r.args);
    const bool met = kib > 0 && kib / 1024.0 <= kPeakRssGoalMiB;
    if (!met) ++missed;
    std::printf("%-44s %9.1f MiB (limit %.0f MiB)  %s\n", r.label, kib / 1024.0, kPeakRssGoalMiB,
                met ? "met" : "MISSED");
  }

  std::error_code ec;
  fs::remove_all(gDir, ec);
  benchmark::Shutdown();
  return missed == 0 ? 0 : 2;
}
