#include "cli/russian_text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/core_error.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct ErrnoText {
  int err;
  const char* text;
};

constexpr ErrnoText kErrnoTexts[] = {
    {ENOENT, "нет такого файла или папки"},
    {EACCES, "доступ запрещён"},
    {EPERM, "операция не разрешена"},
    {EISDIR, "это папка"},
    {ENOTDIR, "часть пути не является папкой"},
    {ENOSPC, "на диске нет места"},
    {EDQUOT, "превышена дисковая квота"},
    {EFBIG, "файл слишком велик"},
    {EROFS, "файловая система только для чтения"},
    {EEXIST, "файл уже существует"},
    {ENOTEMPTY, "папка не пуста"},
    {ENAMETOOLONG, "слишком длинное имя файла"},
    {ELOOP, "слишком много символических ссылок"},
    {EIO, "ошибка ввода-вывода"},
    {EMFILE, "открыто слишком много файлов"},
    {ENFILE, "в системе открыто слишком много файлов"},
    {ENOMEM, "недостаточно памяти"},
    {EINVAL, "недопустимый аргумент"},
    {EBUSY, "устройство или ресурс занят"},
    {EXDEV, "ссылка между разными файловыми системами"},
    {ETXTBSY, "файл занят"},
    {ENXIO, "нет такого устройства или адреса"},
    {ENODEV, "нет такого устройства"},
    {EAGAIN, "ресурс временно недоступен"},
    {EPIPE, "канал закрыт читающей стороной"},
};

// The errno whose system text the core put in a message (in the locale the program runs in).
int errnoOfText(std::string_view reason) {
  for (const ErrnoText& known : kErrnoTexts) {
    if (reason == std::strerror(known.err)) return known.err;
  }
  return 0;
}

// The mount point holding `path` (or its nearest existing folder): the disk a full-disk message
// names.
fs::path diskOf(const fs::path& path) {
  std::error_code ec;
  fs::path at = fs::absolute(path, ec);
  struct stat st {};
  while (::stat(at.c_str(), &st) != 0 && at.has_relative_path()) at = at.parent_path();
  const dev_t device = st.st_dev;
  while (at.has_relative_path()) {
    const fs::path up = at.parent_path();
    struct stat above {};
    if (::stat(up.c_str(), &above) != 0 || above.st_dev != device) break;
    at = up;
  }
  return at;
}

std::string reasonText(std::string_view reason) {
  const int err = errnoOfText(reason);
  return err != 0 ? systemErrorText(err) : std::string(reason);
}

bool isFullDisk(int err) {
  return err == ENOSPC || err == EDQUOT;
}

std::string fullDiskText(const fs::path& file, int err) {
  return "На диске «" + diskOf(file).string() + "» " +
         (err == ENOSPC ? "нет места" : "превышена дисковая квота") + ": файл «" + file.string() +
         "» не записан.";
}

}  // namespace

std::string systemErrorText(int err) {
  for (const ErrnoText& known : kErrnoTexts) {
    if (known.err == err) return known.text;
  }
  return "системная ошибка " + std::to_string(err) + " (" + std::strerror(err) + ")";
}

std::string russianError(std::string_view what) {
  const std::string text(what);
  if (text == wqt::kStreamReadError) {
    return "файл обрывается раньше, чем сказано в его заголовке (" + text + ").";
  }
  // The runtime's file errors: 'Cannot open file "PATH". REASON' and the create variant. The
  // reason is the system's text, so the last '". ' ends the path.
  for (const bool open : {true, false}) {
    const std::string start = open ? "Cannot open file \"" : "Cannot create file \"";
    const std::size_t end = text.rfind("\". ");
    if (!text.starts_with(start) || end == std::string::npos || end < start.size()) continue;
    const fs::path path = text.substr(start.size(), end - start.size());
    const std::string reason = text.substr(end + 3);
    const int err = errnoOfText(reason);
    if (!open && isFullDisk(err)) return fullDiskText(path, err);
    return std::string(open ? "Не удалось открыть файл «" : "Не удалось записать файл «") +
           path.string() + "»: " + reasonText(reason) + ".";
  }
  if (text.starts_with("JPEG error #")) return "изображение JPEG не читается (" + text + ").";
  if (text.starts_with("PNG error: ")) return "изображение PNG не читается (" + text + ").";
  const std::string notInteger = "' is not a valid integer value";
  if (text.size() > notInteger.size() && text.starts_with("'") && text.ends_with(notInteger)) {
    return "«" + text.substr(1, text.size() - 1 - notInteger.size()) +
           "» не является целым числом (" + text + ").";
  }
  if (text == "Range check error") return "число вне допустимых пределов (" + text + ").";
  if (text == "File not found") return "файл не найден (" + text + ").";
  if (text == "File access denied") return "доступ к файлу запрещён (" + text + ").";
  if (text.starts_with("I/O error ")) return "ошибка ввода-вывода (" + text + ").";
  return text;
}

std::string russianError(const fs::filesystem_error& e) {
  const int err = e.code().value();
  if (isFullDisk(err)) return fullDiskText(e.path1(), err);
  return "Ошибка файловой системы с «" + e.path1().string() + "»: " + systemErrorText(err) + ".";
}

std::string escapeControls(std::string_view text, bool keepLineFeeds) {
  std::string out;
  out.reserve(text.size());
  const auto hex = [&](unsigned char c) {
    char buf[5];
    std::snprintf(buf, sizeof buf, "\\x%02x", c);
    out += buf;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' && keepLineFeeds) {
      out += '\n';
    } else if (c < 0x20 || c == 0x7F) {
      hex(c);
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // A C1 control in UTF-8 (U+0080..U+009F), which some terminals obey as ESC sequences.
      hex(c);
      hex(static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace wqtcli
