#include "cli/cli_support.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/codepage.h"
#include "base/core_error.h"
#include "base/file_io.h"
#include "cli/russian_text.h"
#include "files/file_kind.h"
#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "map/entry_paths.h"
#include "map/map_location.h"
#include "theme/header_text.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

constexpr std::size_t kProgressFrom = 100;  // files; fewer finish before a line would help

std::string oneLine(std::string_view text) {
  std::string line(text);
  for (std::size_t pos; (pos = line.find("\r\n")) != std::string::npos;) line.replace(pos, 2, " ");
  return line;
}

}  // namespace

const NamedField kNamedFields[3] = {
    {"Автор темы", "author", wqt::kAuthorField},
    {"Название темы", "name", wqt::kNameField},
    {"Версия темы", "version", wqt::kVersionField},
};

void printMessage(std::string_view message) {
  std::fprintf(stderr, "orvalen-wqt: %s\n", escapeControls(oneLine(message), true).c_str());
}

void printProblem(std::string_view where, std::string_view message) {
  std::fprintf(stderr, "%s: %s\n", escapeControls(where).c_str(),
               escapeControls(oneLine(message), true).c_str());
}

void printData(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
    throw Failure(kExitUsage, "Не удалось вывести данные: " + systemErrorText(errno) + ".");
  }
}

LoadedMap loadMap(const std::optional<std::filesystem::path>& mapOption) {
  LoadedMap loaded;
  loaded.path = mapOption ? *mapOption : wqt::defaultMapPath();
  const std::string named = "Карта темы «" + loaded.path.string() + "»";
  wqt::xml::ValueTable values;
  try {
    if (loaded.map.load(loaded.path, values) == wqt::ThemeMap::LoadResult::MapMissing) {
      if (mapOption) throw Failure(kExitUsage, named + " не найдена.");
      std::string message = "Карта темы theme.rxt не найдена. Искали в:";
      for (const auto& place : wqt::mapSearchPlaces()) message += "\n  " + place.string();
      message += "\nУкажите карту темы параметром --map FILE.";
      throw Failure(kExitUsage, message);
    }
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, named + " не читается: " + russianError(e.what()));
  }
  return loaded;
}

std::string openStatusText(const wqt::ThemeFileSlots& file) {
  return statusText(file.status());
}

std::string statusText(wqt::ParsedTheme::Status status) {
  switch (status) {
    case wqt::ParsedTheme::Status::Signature1Mismatch:
      return wqt::kSignature1Status;
    case wqt::ParsedTheme::Status::Signature2Mismatch:
      return wqt::kSignature2Status;
    case wqt::ParsedTheme::Status::SlotTooLarge:
      return wqt::kSlotTooLargeStatus;
    case wqt::ParsedTheme::Status::Ok:
      break;
  }
  return {};
}

wqt::ThemeFileSlots openSlots(const std::filesystem::path& theme,
                              const wqt::MapSettings& settings) {
  try {
    wqt::ThemeFileSlots file(theme, settings);
    if (file.status() != wqt::ParsedTheme::Status::Ok) {
      throw Failure(kExitUsage, theme.string() + ": " + openStatusText(file));
    }
    return file;
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, theme.string() + ": " + russianError(e.what()));
  }
}

wqt::ThemeDocument openDocument(const std::filesystem::path& theme,
                                const wqt::MapSettings& settings) {
  wqt::ThemeFileSlots file = openSlots(theme, settings);
  wqt::ParsedTheme parsed = file.takeParsed();
  parsed.slots.resize(file.count() + 1);
  try {
    for (std::size_t i = 1; i <= file.count(); ++i) file.read(i, parsed.slots[i]);
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, theme.string() + ": " + russianError(e.what()));
  }
  wqt::ThemeDocument doc;
  doc.adopt(std::move(parsed));
  return doc;
}

wqt::ThemeDocument headerDocument(std::vector<std::uint8_t> image, std::size_t fileCount) {
  wqt::ParsedTheme parsed;
  parsed.image = std::move(image);
  parsed.slots.resize(fileCount + 1);
  wqt::ThemeDocument doc;
  doc.adopt(std::move(parsed));
  return doc;
}

std::string shownField(const wqt::ThemeDocument& doc, const wqt::HeaderField& field) {
  const std::string decoded = wqt::decodeHeaderField(doc.fieldBytes(field));
  return wqt::cp1251ToUtf8(wqt::visibleText(decoded));
}

std::optional<std::string> storeField(wqt::ThemeDocument& doc, const wqt::HeaderField& field,
                                      std::string_view utf8) {
  const std::string cp1251 = wqt::utf8ToCp1251(utf8);
  if (doc.setHeaderField(field, cp1251) == wqt::ThemeDocument::FieldResult::TooLong) {
    // The field holds UTF-8, where a Cyrillic letter takes two bytes.
    return std::string(wqt::kTooLongMessage) + " Текст занимает " +
           std::to_string(wqt::cp1251ToUtf8(cp1251).size()) + " б в UTF-8, поле вмещает " +
           std::to_string(field.width) + " б (кириллическая буква — 2 б).";
  }
  return std::nullopt;
}

namespace {

// The entries whose caption path ends with the text as its last parts ("Замок" for
// "Экран блокировки/Замок").
std::vector<std::int32_t> entriesEndingWith(const wqt::ThemeMap& map, std::string_view text) {
  std::vector<std::int32_t> found;
  if (text.empty()) return found;
  const std::string suffix = "/" + std::string(text);
  const std::vector<int> nodes = wqt::entryNodes(map);
  for (std::size_t e = 0; e < nodes.size(); ++e) {
    if (wqt::captionPath(map, nodes[e]).ends_with(suffix)) {
      found.push_back(static_cast<std::int32_t>(e));
    }
  }
  return found;
}

}  // namespace

NamedEntry resolveEntry(const wqt::ThemeMap& map, std::string_view text) {
  wqt::EntryMatch match = wqt::findEntry(map, text);
  if (match.entry < 0 && !match.ambiguous) {
    const std::vector<std::int32_t> ending = entriesEndingWith(map, text);
    if (ending.size() == 1) {
      match.entry = ending.front();
    } else if (ending.size() > 1) {
      match.ambiguous = true;
      match.candidates.clear();
      const std::vector<int> nodes = wqt::entryNodes(map);
      for (const std::int32_t e : ending) {
        match.candidates.push_back(std::to_string(e) + " " +
                                   wqt::captionPath(map, nodes[static_cast<std::size_t>(e)]));
      }
    }
  }
  if (match.entry >= 0) {
    if (static_cast<std::size_t>(match.entry) >= map.settings().fileCount) {
      throw Failure(kExitUsage, "Файл номер " + std::to_string(match.entry) +
                                    " лежит за числом файлов темы, заданным в карте темы.");
    }
    return {match.entry, static_cast<std::size_t>(match.entry) + 1};
  }
  std::string message = "«" + std::string(text) + "» ";
  message += match.ambiguous ? "называет не один файл; варианты:" : "не найден в карте темы.";
  if (!match.ambiguous && !match.candidates.empty()) message += " Есть:";
  for (const std::string& candidate : match.candidates) message += "\n  " + candidate;
  throw Failure(kExitUsage, message);
}

std::string wrongSizeDetail(const wqt::FileEntry& entry, std::uint64_t found) {
  const std::optional<std::int64_t> needed = wqt::expectedImportSize(entry);
  if (!needed) return {};
  std::string detail =
      wqt::sizeText(found) + ", необходимо " + wqt::sizeText(static_cast<std::uint64_t>(*needed));
  const auto kind = wqt::kindInfo(entry.kind);
  const std::string w = std::to_string(entry.width), h = std::to_string(entry.height);
  if (kind && kind->kind == wqt::FileKind::Raw) detail += " (" + w + " × " + h + " × 2)";
  if (kind && kind->kind == wqt::FileKind::Ani2) detail += " (" + w + " × " + h + " × 3 + 8)";
  return detail;
}

wqt::ImportCandidate checkFileForEntry(const wqt::FileEntry& entry,
                                       const std::filesystem::path& file) {
  // The import's size check would take a missing file for one of the wrong size.
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) wqt::throwFileOpenError(file, ENOENT);
  wqt::ImportCandidate candidate;
  const bool png = entry.kind == wqt::FileKind::Raw && file.extension() == ".png";
  try {
    candidate = png ? wqt::checkPngImport(entry, file) : wqt::checkImport(entry, file);
  } catch (const wqt::JpegError& e) {
    return wqt::refusedImport(wqt::ImportRefusal::PictureUnreadable, russianError(e.what()));
  }
  if (png && candidate.code == wqt::ImportRefusal::PictureUnreadable) {
    candidate.refusal = russianError(candidate.error->what());
  }
  if (png && candidate.code == wqt::ImportRefusal::Dimensions) {
    candidate.refusal = std::string(wqt::kWrongSizeMessage) + " Картинка " +
                        std::to_string(candidate.pictureWidth) + " × " +
                        std::to_string(candidate.pictureHeight) + ", необходимо " +
                        std::to_string(entry.width) + " × " + std::to_string(entry.height) + ".";
  }
  if (candidate.code != wqt::ImportRefusal::WrongSize) return candidate;
  if (!png) {
    std::error_code ec;
    const std::uintmax_t found = std::filesystem::file_size(file, ec);
    if (!ec) *candidate.refusal += " " + wrongSizeDetail(entry, found) + ".";
  }
  return candidate;
}

std::filesystem::path targetPath(const std::string& text, const char* what) {
  if (text.empty()) throw Failure(kExitUsage, std::string("Путь пуст: укажите ") + what + ".");
  std::string trimmed = text;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return trimmed;
}

std::optional<std::string> reopenRefusal(std::span<const std::uint8_t> header,
                                         std::span<const std::uint32_t> sizes,
                                         const wqt::MapSettings& settings) {
  try {
    wqt::requireReopens(header, sizes, settings);
    return std::nullopt;
  } catch (const wqt::Error& e) {
    return russianError(e.what());
  }
}

Progress::Progress(const char* verb, std::size_t total)
    : verb_(verb), total_(total), shown_(total >= kProgressFrom && ::isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
  if (shown_) std::fputs("\n", stderr);
}

void Progress::update(std::size_t done) {
  if (shown_ && (done % 16 == 0 || done == total_)) {
    std::fprintf(stderr, "\r%s: %zu из %zu", verb_, done, total_);
  }
}

}  // namespace wqtcli
