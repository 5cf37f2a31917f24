// Import checks, store, export and the texts that go with them.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "base/file_io.h"
#include "error_of.h"
#include "files/file_kind.h"
#include "files/import_export.h"
#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "fit_test_util.h"
#include "jpeg_test_util.h"
#include "temp_dir.h"
#include "theme/theme_document.h"

#include <jerror.h>

namespace wqt {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kDimensionTitle =
    "Размеры загружаемого изображения должны соответствовать заданным в карте темы!\r\n";

Bytes patterned(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + 7);
  return b;
}

FileEntry entryOf(const char* kind, std::uint16_t w, std::uint16_t h, std::uint16_t size = 0) {
  return FileEntry{entryKindOf(kind), kind, w, h, size};
}

TEST(FileKinds, KnownKindsAreComparedExactly) {
  const struct {
    const char* name;
    FileKind kind;
    const char* filter;
    const char* extension;
  } rows[] = {
      {"JPG", FileKind::Jpg, "JPEG-изображение (.jpg, .jpeg)|*.jpg;*.jpeg", ".jpg"},
      {"RAW", FileKind::Raw, "RAW-изображение (.raw)|*.raw", ".raw"},
      {"ANI2", FileKind::Ani2, "ANI2-изображение (c) Dravik (.ani2)|*.ani2", ".ani2"},
      {"COLORTAB", FileKind::ColourTable, "Файл таблицы цветов (.tab)|*.tab", ".tab"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(entryKindOf(row.name), row.kind);
    const auto info = kindInfo(row.kind);
    ASSERT_TRUE(info) << row.name;
    EXPECT_EQ(info->kind, row.kind);
    EXPECT_EQ(info->dialogFilter, row.filter);
    EXPECT_EQ(info->exportExtension, row.extension);
  }
  EXPECT_FALSE(kindInfo(EntryKind::Other));
  for (const char* other : {"jpg", "Raw", "JPEG", "ANI", "COLORTAB ", " RAW", ""}) {
    EXPECT_EQ(entryKindOf(other), EntryKind::Other) << '"' << other << '"';
  }
}

TEST(FileKinds, ExpectedImportSizes) {
  const struct {
    FileEntry entry;
    std::optional<std::int64_t> size;
  } rows[] = {
      {entryOf("RAW", 240, 320), 153600},
      {entryOf("ANI2", 240, 320), 230408},
      {entryOf("COLORTAB", 5, 6, 1000), 1000},
      {entryOf("RAW", 0, 320), 0},
      {entryOf("ANI2", 0, 0), 8},
      // The largest products do not wrap round to a small size.
      {entryOf("RAW", 65535, 65535), std::int64_t{65535} * 65535 * 2},
      {entryOf("ANI2", 65535, 65535), std::int64_t{65535} * 65535 * 3 + 8},
      {entryOf("JPG", 240, 320), std::nullopt},
      {entryOf("BMP", 240, 320), std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(expectedImportSize(row.entry), row.size)
        << row.entry.kindName << ' ' << row.entry.width << 'x' << row.entry.height;
  }
}

// What an offered file becomes: stored as it is, refused with the message the window shows, or
// an error naming why it could not be read. Sizes are checked around each boundary; a JPEG's
// dimensions before its file size.
TEST(ImportChecks, OutcomeOfEachFile) {
  const auto padded = [](Bytes b, std::size_t total) {
    b.resize(total, 0);  // data after the end marker does not disturb the header
    return b;
  };
  const std::string dims = std::string(kDimensionTitle) + "Загружаемый размер: ";
  const struct {
    FileEntry entry;
    std::optional<Bytes> content;  // nullopt: no such file
    std::string outcome;           // refusal or error; empty: stored
  } rows[] = {
      {entryOf("RAW", 240, 320), patterned(153600), ""},
      {entryOf("RAW", 240, 320), patterned(153599), kWrongSizeMessage},
      {entryOf("RAW", 240, 320), patterned(153601), kWrongSizeMessage},
      {entryOf("ANI2", 240, 320), patterned(230408), ""},
      {entryOf("COLORTAB", 0, 0, 1000), patterned(1000), ""},
      {entryOf("COLORTAB", 0, 0, 1000), Bytes{}, kWrongSizeMessage},
      {entryOf("COLORTAB", 0, 0, 0), Bytes{}, ""},
      // Exactly the slot capacity is accepted.
      {entryOf("RAW", 512, 512), patterned(524288), ""},
      // An entry whose size exceeds the capacity accepts nothing.
      {entryOf("RAW", 640, 480), patterned(614400), kTooLargeMessage},
      {entryOf("RAW", 640, 480), patterned(524288), kWrongSizeMessage},
      // A missing file has the wrong size for the kinds of a fixed size.
      {entryOf("RAW", 2, 2), std::nullopt, kWrongSizeMessage},
      {entryOf("COLORTAB", 0, 0, 0), std::nullopt, kWrongSizeMessage},
      // Other kinds are refused without reading the file.
      {entryOf("jpg", 1, 1), std::nullopt, "Ошибка #1"},
      {entryOf("JPG", 240, 320), test::encodeJpeg(240, 320), ""},
      {entryOf("JPG", 240, 320), test::encodeJpeg(320, 240), dims + "320x240, необходим: 240x320"},
      {entryOf("JPG", 240, 320), test::encodeJpeg(240, 300), dims + "240x300, необходим: 240x320"},
      {entryOf("JPG", 16, 8), padded(test::encodeJpeg(16, 8), 524288), ""},
      {entryOf("JPG", 16, 8), padded(test::encodeJpeg(16, 8), 524289), kTooLargeMessage},
      {entryOf("JPG", 8, 16), padded(test::encodeJpeg(16, 8), 600000),
       dims + "16x8, необходим: 8x16"},
      // An empty JPEG file reads as 0 × 0.
      {entryOf("JPG", 240, 320), Bytes{}, dims + "0x0, необходим: 240x320"},
      {entryOf("JPG", 1, 1), Bytes{'t', 'e', 'x', 't'},
       "JPEG error #" + std::to_string(JERR_NO_SOI)},
      {entryOf("JPG", 1, 1), std::nullopt, "Cannot open file \"%\". No such file or directory"},
  };
  test::TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << row.entry.kindName << " " << row.entry.width << "x" << row.entry.height
                 << " file " << (row.content ? int(row.content->size()) : -1));
    const auto path = row.content ? dir.write("chosen", *row.content) : dir / "absent";
    std::string outcome = row.outcome;
    if (const auto at = outcome.find('%'); at != std::string::npos) {
      outcome.replace(at, 1, path.string());
    }
    std::optional<ImportCandidate> result;
    try {
      result = checkImport(row.entry, path);
      EXPECT_EQ(result->message, outcome);
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), outcome);
    }
    if (outcome.empty() && result) {
      EXPECT_EQ(result->bytes, *row.content);
    }
  }
}

// How far a call raises the process's peak resident memory above what was resident before it,
// in bytes; nullopt where the peak cannot be reset.
std::optional<std::int64_t> peakGrowth(const std::function<void()>& call) {
  const auto statusKiB = [](const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field)));
    }
    return -1LL;
  };
  if (!(std::ofstream("/proc/self/clear_refs") << "5" << std::flush)) return std::nullopt;
  const long long before = statusKiB("VmRSS:");
  call();
  return (statusKiB("VmHWM:") - before) * 1024;
}

TEST(ImportChecks, OnlyRegularFilesAndNeverMoreThanASlotIsRead) {
  test::TempDir dir;
  const auto folder = dir / "folder";
  std::filesystem::create_directory(folder);
  const auto pipe = dir / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto socketPath = dir / "socket";
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(sock);

  // JPEGs of 240 × 320 whose files are far larger than a slot, sparse: their size is all there is.
  const Bytes header = test::encodeJpeg(240, 320);
  const auto sparse = [&](const char* name, std::uintmax_t size) {
    const auto path = dir.write(name, header);
    std::filesystem::resize_file(path, size);
    return path;
  };
  const auto big = sparse("600MiB.jpg", std::uintmax_t{600} << 20);
  const auto wraps = sparse("4GiB+286.jpg", (std::uintmax_t{1} << 32) + 286);
  Bytes atLimit = header;
  atLimit.resize(kSlotCapacity, 0);
  const auto full = dir.write("full.jpg", atLimit);

  const auto openError = [](const std::filesystem::path& p, const char* reason) {
    return "Cannot open file \"" + p.string() + "\". " + reason;
  };
  const std::string isFolder = openError(folder, "Is a directory");
  const std::string isDevice = openError("/dev/zero", "Is a device, not a regular file");
  const std::string isPipe = openError(pipe, "Is a pipe, not a regular file");
  const std::string isSocket = openError(socketPath, "Is a socket, not a regular file");
  // A PNG offered for a RAW picture is bounded alike: too large is refused unread (the reader's
  // own bounds are tested where it reads a picture to fit).
  const auto hugePng = sparse("huge.png", kPngFileLimit + 1);
  const auto vastPng = dir.write("vast.png", test::deflateBombPng(20000, 20000, 0));
  const struct {
    const char* name;
    FileEntry entry;
    std::filesystem::path path;
    std::string outcome;  // the refusal or the error's text; empty: accepted
    bool png = false;
    std::int64_t held = 0;  // besides a slot: a PNG within its limit is read whole
  } cases[] = {
      {"folder of size 0", entryOf("COLORTAB", 0, 0, 0), folder, isFolder},
      {"endless device of size 0", entryOf("COLORTAB", 0, 0, 0), "/dev/zero", isDevice},
      {"pipe without a writer", entryOf("RAW", 0, 0), pipe, isPipe},
      {"socket", entryOf("ANI2", 0, 0), socketPath, isSocket},
      {"600 MiB JPEG", entryOf("JPG", 240, 320), big, kTooLargeMessage},
      {"JPEG of 4 GiB + 286 bytes", entryOf("JPG", 240, 320), wraps, kTooLargeMessage},
      {"colour table of 4 GiB + 286 bytes", entryOf("COLORTAB", 0, 0, 286), wraps,
       kTooLargeMessage},
      {"JPEG filling a slot", entryOf("JPG", 240, 320), full, ""},
      {"endless device as PNG", entryOf("RAW", 240, 320), "/dev/zero", isDevice, true},
      {"PNG over the limit", entryOf("RAW", 240, 320), hugePng, kTooLargeMessage, true},
      {"PNG for an entry of 20000 x 20000", entryOf("RAW", 20000, 20000), vastPng, kTooLargeMessage,
       true, std::int64_t(std::filesystem::file_size(vastPng))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string outcome;
    const auto growth = peakGrowth([&] {
      try {
        const ImportCandidate result =
            c.png ? checkPngImport(c.entry, c.path) : checkImport(c.entry, c.path);
        outcome = result.message;
        if (result.stored()) {
          EXPECT_EQ(result.bytes, atLimit);
        }
      } catch (const Error& e) {
        outcome = e.what();
      }
    });
    EXPECT_EQ(outcome, c.outcome);
    if (growth) {
      EXPECT_LE(*growth, std::int64_t{kSlotCapacity} + c.held + (1 << 20));
    }
  }
  // Opening a theme refuses them alike.
  for (const auto& c : {std::pair{folder, isFolder}, std::pair{pipe, isPipe},
                        std::pair{std::filesystem::path("/dev/zero"), isDevice}}) {
    EXPECT_EQ(test::errorOf([&] { readThemeFile(c.first, MapSettings{}); }), c.second);
  }
}

// Each pass of an interlaced PNG lands on its own pixels: it decodes as its plain twin.
TEST(PngDecode, InterlacedReadsAsItsPlainTwin) {
  test::PngRecipe r;
  r.width = 13;
  r.height = 11;
  r.pixel = [](int x, int y) {
    return std::vector<unsigned>{unsigned(x * 19), unsigned(y * 23), unsigned(x * y)};
  };
  const RgbPicture plain = decodePng(test::encodePng(r), 1000);
  r.interlaced = true;
  EXPECT_EQ(decodePng(test::encodePng(r), 1000).rgb, plain.rgb);
}

TEST(EntryHasSlot, OnlyEntriesOfTheMapThatHaveASlot) {
  test::TempDir dir;
  const std::string file = "<file name=\"F\" id=\"0\" type=\"JPG\" width=\"1\" height=\"1\">\n";
  ParsedTheme parsed;
  parsed.slots.resize(3);  // two slots
  ThemeDocument twoSlots, empty;
  twoSlots.adopt(std::move(parsed));
  const struct {
    int files;
    const ThemeDocument* doc;
    std::vector<bool> has;  // entries -1, 0, 1, 2, 3
  } rows[] = {
      {3, &empty, {false, false, false, false, false}},
      {3, &twoSlots, {false, true, true, false, false}},
      {1, &twoSlots, {false, true, false, false, false}},
  };
  for (const auto& row : rows) {
    ThemeMap map;
    xml::ValueTable values;
    std::string text;
    for (int i = 0; i < row.files; ++i) text += file;
    ASSERT_EQ(map.load(dir.write("theme.rxt", text), values), ThemeMap::LoadResult::Loaded);
    for (std::int32_t e = -1; e <= 3; ++e) {
      EXPECT_EQ(entryHasSlot(map, *row.doc, e), row.has[std::size_t(e + 1)])
          << row.files << " files, entry " << e;
    }
  }
}

}  // namespace
}  // namespace wqt
