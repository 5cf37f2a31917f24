// catalogue and thumbnail: a whole theme at a glance, as a page and as a file manager's picture.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "map/codepage.h"
#include "map/core_error.h"
#include "ops/theme_catalogue.h"
#include "ops/theme_thumbnail.h"
#include "theme/file_descriptor.h"
#include "theme/replacing_file.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

// The header's lines as info shows them.
std::vector<wqt::CatalogueField> catalogueHeader(const wqt::ThemeFileSlots& file,
                                                 const wqt::MapSettings& settings) {
  const wqt::ThemeDocument doc = headerDocument(file.image(), file.count());
  std::vector<wqt::CatalogueField> rows;
  for (const NamedField& named : kNamedFields) {
    rows.push_back({named.label, shownField(doc, named.field)});
  }
  if (settings.hasTypeByte()) {
    const std::uint8_t type = doc.typeByte(settings);
    rows.push_back({"Тип темы", type < wqt::kThemeTypeNames.size()
                                    ? wqt::kThemeTypeNames[type]
                                    : "не задан (байт " + std::to_string(type) + ")"});
  }
  rows.push_back({"Файлов", std::to_string(file.count())});
  return rows;
}

// The thumbnail's file, written in place: a thumbnail service creates the file itself and reads
// back that same file, so a new file renamed over it would not be seen. Unless committed, the
// file is left empty, so that nothing there passes for a picture.
class InPlaceOutput {
 public:
  explicit InPlaceOutput(fs::path path) : path_(std::move(path)) {}
  ~InPlaceOutput() {
    // Nothing there is as good as an empty file; the command fails already, so a file that
    // cannot be emptied is only told about.
    struct stat st {};
    if (!committed_ && ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::truncate(path_.c_str(), 0) != 0) {
      printMessage("Файл «" + path_.string() + "» не удалось очистить: " + systemErrorText(errno) +
                   ".");
    }
  }
  InPlaceOutput(const InPlaceOutput&) = delete;
  InPlaceOutput& operator=(const InPlaceOutput&) = delete;

  void write(std::span<const std::uint8_t> bytes) {
    // Opening a pipe for writing would wait for its reader.
    wqt::refuseNonRegularFile(path_);
    wqt::FileDescriptor fd(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd) wqt::throwFileCreateError(path_, errno);
    if (const int err = wqt::writeAllAt(fd.get(), 0, bytes); err != 0) {
      wqt::throwFileCreateError(path_, err);
    }
    if (const int err = fd.close(); err != 0) wqt::throwFileCreateError(path_, err);
    committed_ = true;
  }

 private:
  fs::path path_;
  bool committed_ = false;
};

}  // namespace

int runCatalogue(const Options& options) {
  const fs::path target = targetPath(options.output.value_or(""), "файл для -o");
  const LoadedMap loaded = loadMap(options.map);
  const wqt::ThemeFileSlots file = openSlots(options.theme, loaded.map.settings);
  const std::string name = fs::path(options.theme).filename().string();
  const std::string title = wqt::isValidUtf8(name) ? name : wqt::cp1251ToUtf8(name);
  const std::vector<wqt::CatalogueField> header = catalogueHeader(file, loaded.map.settings);
  const auto write = [&](const wqt::TextSink& sink) {
    try {
      wqt::writeCatalogue(loaded.map, file, title, header, sink);
    } catch (const wqt::Error& e) {
      throw Failure(kExitUsage, options.theme + ": " + russianError(e.what()));
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

int runThumbnail(const Options& options) {
  const fs::path target = targetPath(options.picture, "файл OUT");
  InPlaceOutput out(target);
  const LoadedMap loaded = loadMap(options.map);
  const auto broken = [&](const std::string& why) {
    return Failure(kExitProblems, options.theme + ": " + why);
  };
  std::optional<wqt::ThemeFileSlots> opened;
  try {
    opened.emplace(options.theme, loaded.map.settings);
  } catch (const wqt::Error& e) {
    // A file cut short is a broken theme; one that cannot be read is no theme.
    if (std::string_view(e.what()) != wqt::kStreamReadError) {
      throw Failure(kExitUsage, options.theme + ": " + russianError(e.what()));
    }
    throw broken(russianError(e.what()));
  }
  const wqt::ThemeFileSlots& file = *opened;
  if (file.status() != wqt::ParsedTheme::Status::Ok) throw broken(openStatusText(file));
  const std::optional<std::int32_t> entry = wqt::thumbnailEntry(loaded.map, file);
  if (!entry) throw broken("в теме нет рисунков JPG и RAW.");
  std::vector<std::uint8_t> png;
  try {
    std::vector<std::uint8_t> data;
    file.read(static_cast<std::size_t>(*entry) + 1, data);
    png = wqt::encodePng(wqt::thumbnailPicture(loaded.map.entries[static_cast<std::size_t>(*entry)],
                                               data, options.size));
  } catch (const wqt::Error& e) {
    throw broken(russianError(e.what()));
  }
  out.write(png);
  return kExitOk;
}

}  // namespace wqtcli
