// catalogue and thumbnail: a whole theme at a glance, as a page and as a file manager's picture.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/codepage.h"
#include "base/core_error.h"
#include "base/file_descriptor.h"
#include "base/file_io.h"
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

// Writes the thumbnail, once it is made, so a failure leaves OUT as it was. A thumbnail service
// creates an empty file and reads back that same file: an empty regular file (not a link) is
// written in place. Any other OUT is replaced whole, or made, as every output of ours is.
void writeThumbnail(const fs::path& path, std::span<const std::uint8_t> png) {
  struct stat named {};
  if (::lstat(path.c_str(), &named) == 0 && S_ISREG(named.st_mode) && named.st_size == 0) {
    wqt::FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) wqt::throwFileCreateError(path, errno);
    struct stat opened {};
    // Another file put in its place since it was looked at is replaced as any other OUT.
    if (::fstat(fd.get(), &opened) == 0 && opened.st_ino == named.st_ino &&
        opened.st_dev == named.st_dev && S_ISREG(opened.st_mode) && opened.st_size == 0) {
      if (const int err = wqt::writeAllAt(fd.get(), 0, png); err != 0) {
        wqt::throwFileCreateError(path, err);
      }
      if (const int err = fd.close(); err != 0) wqt::throwFileCreateError(path, err);
      return;
    }
  }
  wqt::writeFileReplacing(path, png);
}

// The same file by another name (a link, "./"): OUT may not be the theme it is made from.
bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

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
  if (sameFile(target, options.theme)) {
    throw Failure(kExitUsage,
                  "Файл OUT «" + target.string() + "» — это сама тема; укажите другой.");
  }
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
  writeThumbnail(target, png);
  return kExitOk;
}

}  // namespace wqtcli
