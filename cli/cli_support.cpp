#include "cli/cli_support.h"

#include <unistd.h>

#include <cstdio>

#include "files/file_kind.h"
#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "map/codepage.h"
#include "map/core_error.h"
#include "map/entry_paths.h"
#include "map/map_location.h"
#include "theme/file_io.h"
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
  std::fprintf(stderr, "orvalen-wqt: %s\n", oneLine(message).c_str());
}

void printProblem(std::string_view where, std::string_view message) {
  std::fprintf(stderr, "%s: %s\n", std::string(where).c_str(), oneLine(message).c_str());
}

void printData(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
    throw Failure(kExitUsage, "Не удалось вывести данные.");
  }
}

LoadedMap loadMap(const std::optional<std::filesystem::path>& mapOption) {
  LoadedMap loaded;
  loaded.path = mapOption ? *mapOption : wqt::defaultMapPath();
  const std::string named = "Карта темы «" + loaded.path.string() + "»";
  wqt::xml::ValueTable values;
  try {
    if (loaded.map.load(loaded.path, values) == wqt::ThemeMap::LoadResult::MapMissing) {
      throw Failure(kExitUsage, named + " не найдена. Дальнейшая работа невозможна.");
    }
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, named + " не читается: " + e.what());
  }
  return loaded;
}

std::string openStatusText(const wqt::ThemeFileSlots& file) {
  switch (file.status()) {
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
    throw Failure(kExitUsage, theme.string() + ": " + e.what());
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
    throw Failure(kExitUsage, theme.string() + ": " + e.what());
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
  if (doc.setHeaderField(field, wqt::utf8ToCp1251(utf8)) ==
      wqt::ThemeDocument::FieldResult::TooLong) {
    return wqt::kTooLongMessage;
  }
  return std::nullopt;
}

NamedEntry resolveEntry(const wqt::ThemeMap& map, std::string_view text) {
  const wqt::EntryMatch match = wqt::findEntry(map, text);
  if (match.entry >= 0) {
    if (static_cast<std::size_t>(match.entry) >= map.settings.fileCount) {
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

wqt::ImportCandidate checkFileForEntry(const wqt::FileEntry& entry,
                                       const std::filesystem::path& file) {
  const auto kind = wqt::kindInfo(entry.kind);
  if (kind && kind->kind == wqt::FileKind::Raw && file.extension() == ".png") {
    try {
      return wqt::checkPngImport(entry, file);
    } catch (const wqt::PngError& e) {
      return {e.what(), {}};
    }
  }
  try {
    return wqt::checkImport(entry, file);
  } catch (const wqt::JpegError& e) {
    return {e.what(), {}};
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
