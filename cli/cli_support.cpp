#include "cli/cli_support.h"

#include <cerrno>
#include <cstdio>

#include "base/core_error.h"
#include "base/shown_text.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "map/entry_paths.h"
#include "map/map_location.h"
#include "ops/theme_save.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

std::string oneLine(std::string_view text) {
  std::string line(text);
  for (std::size_t pos; (pos = line.find("\r\n")) != std::string::npos;) line.replace(pos, 2, " ");
  return line;
}

// The entries whose caption path ends with the text as its last parts ("Замок" for
// "Экран блокировки/Замок"), below a group at least. Captions are compared from the file up, so
// a deep tree costs what the text names, not its depth.
std::vector<std::int32_t> entriesEndingWith(const wqt::ThemeMap& map, std::string_view text) {
  std::vector<std::int32_t> found;
  if (text.empty()) return found;
  std::vector<std::string_view> parts;
  for (std::size_t start = 0, slash = 0; slash != std::string_view::npos; start = slash + 1) {
    slash = text.find('/', start);
    parts.push_back(text.substr(start, slash - start));
  }
  for (std::size_t e = 0; e < map.entries().size(); ++e) {
    int at = map.entryNode(static_cast<std::int32_t>(e));
    auto part = parts.rbegin();
    for (; part != parts.rend() && at >= 0 && map.captionIs(at, *part); ++part)
      at = map.tree()[static_cast<std::size_t>(at)].parent;
    if (part == parts.rend() && at >= 0) found.push_back(static_cast<std::int32_t>(e));
  }
  return found;
}

}  // namespace

void printMessage(std::string_view message) {
  std::fprintf(stderr, "orvalen-wqt: %s\n", wqt::escapeControls(oneLine(message), true).c_str());
}

void printProblem(std::string_view where, std::string_view message) {
  std::fprintf(stderr, "%s: %s\n", wqt::escapeControls(where).c_str(),
               wqt::escapeControls(oneLine(message), true).c_str());
}

void printData(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
    throw Failure(kExitUsage, "Не удалось вывести данные: " + systemErrorText(errno) + ".");
  }
}

wqt::ThemeMap loadMap(const std::optional<std::filesystem::path>& mapOption) {
  wqt::ThemeMap map;
  const std::filesystem::path path = mapOption ? *mapOption : wqt::defaultMapPath();
  const std::string named = "Карта темы «" + path.string() + "»";
  wqt::xml::ValueTable values;
  try {
    if (map.load(path, values) == wqt::ThemeMap::LoadResult::MapMissing) {
      if (mapOption) throw Failure(kExitUsage, named + " не найдена.");
      std::string message = "Карта темы theme.rxt не найдена. Искали в:";
      for (const auto& place : wqt::mapSearchPlaces()) message += "\n  " + place.string();
      message += "\nУкажите карту темы параметром --map FILE.";
      throw Failure(kExitUsage, message);
    }
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, named + " не читается: " + russianError(e));
  }
  return map;
}

void requireOpened(const std::filesystem::path& theme, const wqt::OpenOutcome& outcome) {
  if (!outcome.opened())
    throw Failure(kExitUsage, theme.string() + ": " + wqt::openRefusalText(outcome, russianError));
}

wqt::ThemeFileSlots openEntries(const std::string& theme, const wqt::ThemeMap& map) {
  std::optional<wqt::ThemeFileSlots> file;
  requireOpened(theme, wqt::openThemeEntries(theme, map, file));
  return std::move(*file);
}

wqt::ThemeDocument openDocument(const std::string& theme, const wqt::ThemeMap& map) {
  wqt::ThemeDocument doc;
  requireOpened(theme, wqt::openTheme(theme, map, doc));
  return doc;
}

int saveDocument(wqt::ThemeDocument& doc, const wqt::MapSettings& settings,
                 const std::string& theme, const std::optional<std::string>& output) {
  const wqt::SaveOutcome checked = wqt::checkSave(doc, settings);
  if (checked.refusal == wqt::SaveRefusal::MissingFile) {
    printMessage(wqt::kEmptySlotMessage);
    return kExitProblems;
  }
  const std::filesystem::path target =
      output ? targetPath(*output, "файл для -o") : std::filesystem::path(theme);
  if (checked.refusal == wqt::SaveRefusal::LayoutOverlaps) {
    printMessage(wqt::kLayoutOverlapMessage);
    return kExitUsage;
  }
  if (checked.refusal == wqt::SaveRefusal::WouldNotReopen) {
    printMessage("Тема не записана: карта темы не откроет записанную тему: " +
                 wqt::openRefusalText(checked.reopen, russianError));
    return kExitProblems;
  }
  const InterruptGuard interrupts;
  wqt::saveTheme(doc, settings, target);
  return kExitOk;
}

std::int32_t resolveEntry(const wqt::ThemeMap& map, std::string_view text) {
  wqt::EntryMatch match = wqt::findEntry(map, text);
  if (match.entry < 0 && !match.ambiguous) {
    const std::vector<std::int32_t> ending = entriesEndingWith(map, text);
    if (ending.size() == 1) {
      match.entry = ending.front();
    } else if (ending.size() > 1) {
      match.ambiguous = true;
      match.candidates.clear();
      for (const std::int32_t e : ending) {
        if (match.candidates.size() == wqt::kMaxCandidates) break;
        match.candidates.push_back(std::to_string(e) + " " +
                                   wqt::entryPath(map, static_cast<std::size_t>(e)));
      }
      match.unnamed = ending.size() - match.candidates.size();
    }
  }
  if (match.entry >= 0) {
    if (static_cast<std::size_t>(match.entry) >= map.settings().fileCount) {
      throw Failure(kExitUsage, "Файл номер " + std::to_string(match.entry) +
                                    " лежит за числом файлов темы, заданным в карте темы.");
    }
    return match.entry;
  }
  std::string message = "«" + wqt::shortened(text) + "» ";
  message += match.ambiguous ? "называет не один файл; варианты:" : "не найден в карте темы.";
  // A number past the last entry: the range is what helps, not the captions.
  const bool number =
      !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
  if (number && !match.ambiguous && !map.entries().empty()) {
    throw Failure(kExitUsage,
                  message + " Номера файлов: 0–" + std::to_string(map.entries().size() - 1) + ".");
  }
  if (!match.ambiguous && !match.candidates.empty()) message += " Есть:";
  for (const std::string& candidate : match.candidates) message += "\n  " + candidate;
  if (match.unnamed != 0) message += "\n  … и ещё " + std::to_string(match.unnamed);
  throw Failure(kExitUsage, message);
}

std::filesystem::path targetPath(const std::string& text, const char* what) {
  if (text.empty()) throw Failure(kExitUsage, std::string("Путь пуст: укажите ") + what + ".");
  std::string trimmed = text;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return trimmed;
}

}  // namespace wqtcli
