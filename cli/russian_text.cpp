#include "cli/russian_text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/core_error.h"
#include "base/shown_text.h"
#include "ops/picture_error_text.h"

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

// The Russian text of an errno the table knows.
const char* knownErrnoText(int err) {
  for (const ErrnoText& known : kErrnoTexts)
    if (known.err == err) return known.text;
  return nullptr;
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

// What a write that failed for want of room says: the disk and the file; empty for another error.
std::string fullDiskText(const fs::path& file, int err) {
  if (err != ENOSPC && err != EDQUOT) return {};
  return "На диске «" + wqt::shortened(diskOf(file).string()) + "» " +
         (err == ENOSPC ? "нет места" : "превышена дисковая квота") + ": файл «" +
         wqt::shortened(file.string()) + "» не записан.";
}

}  // namespace

std::string systemErrorText(int err) {
  if (const char* text = knownErrnoText(err)) return text;
  return "системная ошибка " + std::to_string(err) + " (" + std::strerror(err) + ")";
}

std::string russianError(const wqt::Error& e) {
  const std::string text = e.what();
  switch (e.code()) {
    case wqt::ErrorCode::StreamRead:
      return "файл обрывается раньше, чем сказано в его заголовке (" + text + ").";
    case wqt::ErrorCode::FileOpen:
    case wqt::ErrorCode::FileCreate: {
      const bool open = e.code() == wqt::ErrorCode::FileOpen;
      const int err = e.systemError();
      if (std::string full = fullDiskText(e.path(), err); !open && !full.empty()) return full;
      // A reason of the system's we have no words for stays as the system gives it.
      const char* known = knownErrnoText(err);
      return std::string(open ? "Не удалось открыть файл «" : "Не удалось записать файл «") +
             wqt::shortened(e.path().string()) + "»: " + (known != nullptr ? known : e.detail()) +
             ".";
    }
    case wqt::ErrorCode::Jpeg:
      return wqt::pictureErrorText(e);
    case wqt::ErrorCode::Png:
      return "изображение PNG не читается (" + text + ").";
    case wqt::ErrorCode::NotInteger:
      return "«" + wqt::shortened(e.detail()) + "» не является целым числом (" +
             wqt::shortened(text) + ").";
    case wqt::ErrorCode::RangeCheck:
      return "число вне допустимых пределов (" + text + ").";
    case wqt::ErrorCode::FileNotFound:
      return "файл не найден (" + text + ").";
    case wqt::ErrorCode::FileAccess:
      return "доступ к файлу запрещён (" + text + ").";
    case wqt::ErrorCode::InputOutput:
      return "ошибка ввода-вывода (" + text + ").";
    case wqt::ErrorCode::Other:
      break;
  }
  return text;
}

std::string russianError(const fs::filesystem_error& e) {
  const int err = e.code().value();
  if (std::string full = fullDiskText(e.path1(), err); !full.empty()) return full;
  return "Ошибка файловой системы с «" + wqt::shortened(e.path1().string()) +
         "»: " + systemErrorText(err) + ".";
}

}  // namespace wqtcli
