// thumbnail: a theme's picture for file managers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "base/core_error.h"
#include "base/file_descriptor.h"
#include "base/file_io.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/russian_text.h"
#include "ops/theme_thumbnail.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct ThumbnailOptions {
  std::string theme;
  std::string out;  // the PNG file to write
  int size = 256;   // the square it fits inside
};

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

int run(const ThumbnailOptions& options, const ProgramOptions& program) {
  const fs::path target = targetPath(options.out, "файл OUT");
  if (wqt::sameFile(target, options.theme)) {
    throw Failure(kExitUsage,
                  "Файл OUT «" + target.string() + "» — это сама тема; укажите другой.");
  }
  const wqt::ThemeMap map = loadMap(program.map);
  const auto broken = [&](const std::string& why) {
    return Failure(kExitProblems, options.theme + ": " + why);
  };
  std::optional<wqt::ThemeFileSlots> opened;
  const wqt::OpenOutcome open = wqt::openThemeEntries(options.theme, map, opened);
  // A file that cannot be read is no theme; any other refusal is a broken one.
  if (open.refusal == wqt::OpenRefusal::Unreadable) requireOpened(options.theme, open);
  if (!open.opened()) throw broken(wqt::openRefusalText(open, russianError));
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

}  // namespace

Command setupThumbnail(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<ThumbnailOptions>();
  CLI::App* sub = addCommand(app, "thumbnail", "Миниатюра темы в PNG для файловых менеджеров");
  sub->add_option("-s", options->size, "Наибольшая сторона миниатюры (по умолчанию 256)")
      ->check(
          [](const std::string& value) {
            int size = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), size);
            return error == std::errc() && end == value.data() + value.size() && size >= 1 &&
                           size <= 4096
                       ? ""
                       : "ожидается число от 1 до 4096";
          },
          "")
      ->type_name("SIZE");
  addTheme(sub, options->theme);
  addPositional(sub, "OUT", options->out, "Файл PNG, который записать");
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
