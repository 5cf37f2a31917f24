// Benchmarks of the core: map load, theme open and save, JPEG and RAW previews, each beside a
// baseline doing the same essential work with the plainest code, plus the peak resident memory of
// opening a 64 MiB theme, measured in a fresh child process.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "bench/inputs.h"
#include "bench/ratio_report.h"
#include "bench/scratch_folder.h"
#include "files/jpeg_decoder.h"
#include "files/preview.h"
#include "map/theme_map.h"
#include "theme/header_text.h"
#include "theme/theme_document.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using wqt::bench::RatioRow;

constexpr int kMapFiles = 20000;
constexpr int kThemeFiles = 2000;
constexpr std::uint64_t kThemeBytes = 64ull << 20;

fs::path gDir;  // scratch folder of this run

void writeBytes(const fs::path& p, const void* data, std::size_t n) {
  std::ofstream out(p, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

// ---- 1. map load -------------------------------------------------------------------------------

fs::path gNestedMap;

// The window owns one theme map for the whole run and reloads it at every create and open, so
// the map object (and the capacity of its tables and text buffer) lives across loads here too,
// from one repetition to the next.
void MapLoadCase(benchmark::State& state) {
  static wqt::ThemeMap map;
  static wqt::xml::ValueTable values;
  for (auto _ : state) {
    map.load(gNestedMap, values);
    benchmark::DoNotOptimize(map.entries().data());
  }
}

void MapLoadBaseline(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(gNestedMap, std::ios::binary);
    std::string line;
    std::size_t n = 0;
    while (std::getline(in, line)) n += line.size();
    benchmark::DoNotOptimize(n);
  }
}

// ---- 2. open and save of a 64 MiB theme -------------------------------------------------------

fs::path gThemeMap;
fs::path gTheme;

// The road "Открыть тему" takes: reload the map, read the file, check it, make it the document,
// show (and so rewrite) the three header fields and read the type byte.
void openTheme(wqt::ThemeMap& map, wqt::ThemeDocument& doc, const fs::path& mapPath,
               const fs::path& theme) {
  wqt::xml::ValueTable values;
  map.load(mapPath, values);
  wqt::ParsedTheme parsed = wqt::readThemeFile(theme, map.settings());
  if (parsed.status != wqt::ParsedTheme::Status::Ok) throw std::runtime_error("theme rejected");
  doc.adopt(std::move(parsed));
  for (const wqt::HeaderField& f : {wqt::kAuthorField, wqt::kNameField, wqt::kVersionField}) {
    const std::string decoded =
        wqt::decodeHeaderField(wqt::bytesAt(doc.image(), f.offset, f.width));
    doc.setHeaderField(f, wqt::visibleText(decoded));
  }
  if (map.settings().hasTypeByte())
    benchmark::DoNotOptimize(wqt::bytesAt(doc.image(), map.settings().typeByteOffset, 1)[0]);
}

void OpenSaveCase(benchmark::State& state) {
  const fs::path target = gDir / "saved.wqt";
  for (auto _ : state) {
    wqt::ThemeMap map;
    wqt::ThemeDocument doc;
    openTheme(map, doc, gThemeMap, gTheme);
    wqt::writeFileReplacing(target, doc.rebuildForSave(map.settings()));
  }
}

// Reads the file whole and writes the same bytes to a new file, flushed to the disk as the
// editor's save flushes them before replacing the old file.
void OpenSaveBaseline(benchmark::State& state) {
  const fs::path target = gDir / "copied.wqt";
  for (auto _ : state) {
    const int in = ::open(gTheme.c_str(), O_RDONLY);
    struct stat st {};
    ::fstat(in, &st);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(in, bytes.data() + got, bytes.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    ::close(in);
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t put = 0;
    while (put < bytes.size()) {
      const ssize_t n = ::write(out, bytes.data() + put, bytes.size() - put);
      if (n <= 0) break;
      put += static_cast<std::size_t>(n);
    }
    if (state.range(0) != 0) ::fdatasync(out);
    ::close(out);
  }
}

// ---- 3. JPEG preview ---------------------------------------------------------------------------

std::vector<std::uint8_t> gJpegSmall;  // 240 × 320
std::vector<std::uint8_t> gJpegLarge;  // 1920 × 1080

void JpegPreviewCase(benchmark::State& state, const std::vector<std::uint8_t>* slot) {
  const fs::path scratch = gDir / "temp";
  for (auto _ : state) {
    wqt::Picture p = wqt::jpegPreview(*slot, scratch);
    benchmark::DoNotOptimize(p.pixels.data());
  }
}

// A bare libjpeg decode of the same bytes from memory into one RGB buffer.
void JpegBaseline(benchmark::State& state, const std::vector<std::uint8_t>* bytes) {
  for (auto _ : state) benchmark::DoNotOptimize(wqt::gen::bareDecode(*bytes).data());
}

// ---- 4. RAW preview ----------------------------------------------------------------------------

std::vector<std::uint8_t> gRaw;  // 240 × 320 words

void RawPreviewCase(benchmark::State& state) {
  wqt::FileEntry entry;
  entry.kind = wqt::EntryKind::Raw;
  entry.width = 240;
  entry.height = 320;
  for (auto _ : state) {
    wqt::Picture p = wqt::rawPreview(entry, gRaw);
    benchmark::DoNotOptimize(p.pixels.data());
  }
}

// A plain loop converting the same words into a buffer of opaque 32-bit pixels, the layout the
// preview gives the window.
void RawBaseline(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::uint32_t> out(240 * 320);
    std::uint32_t* o = out.data();
    for (std::size_t i = 0; i + 1 < gRaw.size(); i += 2) {
      const unsigned w = gRaw[i] | (gRaw[i + 1] << 8);
      *o++ = 0xFF000000u | ((w >> 8) & 0xF8) << 16 | ((w >> 3) & 0xFC) << 8 | ((w << 3) & 0xF8);
    }
    benchmark::DoNotOptimize(out.data());
  }
}

// ---- 5. peak resident memory of opening the 64 MiB theme ---------------------------------------

// The peak resident set of this process image in KiB (VmHWM: it starts afresh at exec, unlike
// getrusage's maximum, which a spawned child inherits from the process it was spawned from).
long peakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// In the child: open the theme the way the editor does, then report the peak.
int rssChild(const char* out, const char* mapPath, const char* themePath) {
  if (mapPath != nullptr) {
    wqt::ThemeMap map;
    wqt::ThemeDocument doc;
    openTheme(map, doc, mapPath, themePath);
    if (doc.slotCount() != kThemeFiles) return 1;
  }
  std::ofstream(out) << peakRssKiB();
  return 0;
}

// Runs this program again in a fresh process and returns the peak RSS it reports, in KiB.
long childPeakRssKiB(const std::vector<std::string>& args) {
  const fs::path out = gDir / "rss.txt";
  std::vector<std::string> all = {fs::read_symlink("/proc/self/exe").string()};
  all.insert(all.end(), args.begin(), args.end());
  all.push_back(out.string());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  long kib = -1;
  std::ifstream(out) >> kib;
  return kib;
}

void setUp() {
  gDir = wqt::bench::scratchFolder("wqt-bench");

  const std::string nested = wqt::gen::nestedMap(kMapFiles);
  gNestedMap = gDir / "nested.rxt";
  writeBytes(gNestedMap, nested.data(), nested.size());

  const std::string themeMap = wqt::gen::nestedMap(kThemeFiles);
  gThemeMap = gDir / "theme.rxt";
  writeBytes(gThemeMap, themeMap.data(), themeMap.size());
  const auto theme = wqt::gen::themeFile(wqt::gen::evenSizes(kThemeFiles, kThemeBytes));
  gTheme = gDir / "big.wqt";
  writeBytes(gTheme, theme.data(), theme.size());

  gJpegSmall = wqt::gen::jpeg(240, 320);
  gJpegLarge = wqt::gen::jpeg(1920, 1080);
  gRaw = wqt::gen::rawPicture(240, 320);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--open-theme-child") == 0) {
    return rssChild(argv[4], argv[2], argv[3]);
  }
  if (argc == 3 && std::strcmp(argv[1], "--idle-child") == 0) {
    return rssChild(argv[2], nullptr, nullptr);
  }

  setUp();
  // Repetitions of a millisecond or two for the quick pairs; one open and save per repetition of
  // the 64 MiB theme, which is slow enough to stand on its own.
  const auto reg = [](const char* name, auto fn, int repetitions, int iterations) {
    return wqt::bench::paired(benchmark::RegisterBenchmark(name, fn), repetitions, iterations)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
  };
  reg("map_load/editor", MapLoadCase, 150, 1);
  reg("map_load/getline", MapLoadBaseline, 150, 1);
  reg("theme_open_save/editor", OpenSaveCase, 50, 1);
  reg("theme_open_save/read_write_fdatasync", OpenSaveBaseline, 50, 1)->Arg(1);
  reg("theme_open_save/read_write", OpenSaveBaseline, 50, 1)->Arg(0);
  const auto small = [](benchmark::State& s) { JpegPreviewCase(s, &gJpegSmall); };
  const auto smallBare = [](benchmark::State& s) { JpegBaseline(s, &gJpegSmall); };
  reg("jpeg_240x320/editor", small, 150, 1);
  reg("jpeg_240x320/libjpeg", smallBare, 150, 1);
  const auto large = [](benchmark::State& s) { JpegPreviewCase(s, &gJpegLarge); };
  const auto largeBare = [](benchmark::State& s) { JpegBaseline(s, &gJpegLarge); };
  reg("jpeg_1920x1080/editor", large, 200, 1);
  reg("jpeg_1920x1080/libjpeg", largeBare, 200, 1);
  reg("raw_240x320/editor", RawPreviewCase, 150, 4);
  reg("raw_240x320/loop", RawBaseline, 150, 4);

  wqt::bench::initializeInterleaved(&argc, argv);
  wqt::bench::FastestCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  const std::vector<RatioRow> rows = {
      {"1. map load, 20000 files", "map_load/editor", "map_load/getline", 3.0},
      {"2. open+save 64 MiB theme (vs read+write+fdatasync)", "theme_open_save/editor",
       "theme_open_save/read_write_fdatasync", 1.5},
      {"   open+save 64 MiB theme (vs read+write)", "theme_open_save/editor",
       "theme_open_save/read_write", 1.5},
      {"3. JPEG preview 240x320", "jpeg_240x320/editor", "jpeg_240x320/libjpeg", 1.2},
      {"   JPEG preview 1920x1080", "jpeg_1920x1080/editor", "jpeg_1920x1080/libjpeg", 1.2},
      {"4. RAW preview 240x320", "raw_240x320/editor", "raw_240x320/loop", 1.5},
  };
  int missed = wqt::bench::printRatioTable(collector, rows);

  const long idle = childPeakRssKiB({"--idle-child"});
  const long open = childPeakRssKiB({"--open-theme-child", gThemeMap.string(), gTheme.string()});
  const double sizeMiB = static_cast<double>(fs::file_size(gTheme)) / (1 << 20);
  const double limitMiB = sizeMiB + 32;
  const bool rssMet = open > 0 && open / 1024.0 <= limitMiB;
  if (!rssMet) ++missed;
  std::printf("%-44s %9.1f MiB (limit %.1f MiB = file + 32 MiB; idle process %.1f MiB)  %s\n",
              "5. peak RSS opening 64 MiB theme", open / 1024.0, limitMiB, idle / 1024.0,
              rssMet ? "met" : "MISSED");

  std::error_code ec;
  fs::remove_all(gDir, ec);
  benchmark::Shutdown();
  return missed == 0 ? 0 : 2;
}
