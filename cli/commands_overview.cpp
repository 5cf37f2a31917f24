// catalogue and thumbnail: a whole theme at a glance, as a page and as a file manager's picture.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/codepage.h"
#include "base/core_error.h"
#include "base/file_descriptor.h"
#include "base/replacing_file.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "ops/theme_catalogue.h"
#include "ops/theme_open.h"
#include "ops/theme_thumbnail.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

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
  const wqt::ThemeMap map = loadMap(options.map);
  std::optional<wqt::ThemeFileSlots> opened;
  requireOpened(options.theme, wqt::openThemeEntries(options.theme, map, opened));
  const wqt::ThemeFileSlots& file = *opened;
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

int runThumbnail(const Options& options) {
  const fs::path target = targetPath(options.picture, "файл OUT");
  InPlaceOutput out(target);
  const wqt::ThemeMap map = loadMap(options.map);
  const auto broken = [&](const std::string& why) {
    return Failure(kExitProblems, options.theme + ": " + why);
  };
  std::optional<wqt::ThemeFileSlots> opened;
  const wqt::OpenOutcome open = wqt::openThemeEntries(options.theme, map, opened);
  // A file that cannot be read is no theme; any other refusal is a broken one.
  if (open.refusal == wqt::OpenRefusal::Unreadable) requireOpened(options.theme, open);
  if (!open.opened()) throw broken(openRefusalText(open));
  const wqt::ThemeFileSlots& file = *opened;
  const std::optional<std::int32_t> entry = wqt::thumbnailEntry(map, file);
  if (!entry) throw broken("в теме нет рисунков JPG и RAW.");
  std::vector<std::uint8_t> png;
  try {
    std::vector<std::uint8_t> data;
    file.readEntry(*entry, data);
    png = wqt::encodePng(wqt::thumbnailPicture(*map.entry(*entry), data, options.size));
  } catch (const wqt::Error& e) {
    throw broken(russianError(e));
  }
  out.write(png);
  return kExitOk;
}

}  // namespace wqtcli
