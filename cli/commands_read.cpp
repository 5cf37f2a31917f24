// info, list and check: reading a theme without changing it.
#include <nlohmann/json.hpp>

#include <vector>

#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/russian_text.h"
#include "files/import_export.h"
#include "map/entry_paths.h"
#include "ops/theme_check.h"

namespace wqtcli {

namespace {

// The theme opened for reading entry by entry; a refusal fails the command naming the file.
wqt::ThemeFileSlots openEntries(const std::string& theme, const wqt::ThemeMap& map) {
  std::optional<wqt::ThemeFileSlots> file;
  requireOpened(theme, wqt::openThemeEntries(theme, map, file));
  return std::move(*file);
}

bool hasDimensions(const wqt::FileEntry& entry) {
  return entry.kind != wqt::EntryKind::ColourTable && entry.kind != wqt::EntryKind::Other;
}

// The problems of one theme file, each printed; returns how many there were. Throws Failure
// (status 2) when the file cannot be read at all.
std::size_t checkTheme(const wqt::ThemeMap& map, const std::string& theme) {
  std::vector<wqt::ThemeProblem> problems;
  try {
    problems = wqt::checkTheme(map, theme);
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, russianError(e));
  }
  for (const wqt::ThemeProblem& found : problems) {
    printProblem(found.where.empty() ? theme : theme + ": " + found.where, problemText(map, found));
  }
  return problems.size();
}

}  // namespace

int runInfo(const Options& options) {
  const wqt::ThemeMap map = loadMap(options.map);
  const wqt::MapSettings& settings = map.settings();
  const wqt::ThemeFileSlots file = openEntries(options.theme, map);
  const wqt::HeaderView header = wqt::viewHeader(file.image(), settings);
  std::size_t present = 0;
  for (std::size_t e = 0; e < file.entryCount(); ++e)
    present += file.entrySize(static_cast<std::int32_t>(e)) != 0 ? 1 : 0;

  std::string out;
  for (std::size_t i = 0; i < wqt::kNamedFields.size(); ++i)
    out += std::string(wqt::kNamedFields[i].label) + ": " + wqt::escapeControls(header.fields[i]) +
           "\n";
  if (header.type.shown) {
    out += "Тип темы: " +
           (header.type.type ? std::string(wqt::themeTypeName(*header.type.type))
                             : "не задан (байт " + std::to_string(header.type.byte) + ")") +
           "\n";
  }
  out += "Файлов: " + std::to_string(file.entryCount()) + "\n";
  out += "Присутствует: " + std::to_string(present) + "\n";
  out += "Отсутствует: " + std::to_string(file.entryCount() - present) + "\n";
  printData(out);
  return kExitOk;
}

int runList(const Options& options) {
  const wqt::ThemeMap map = loadMap(options.map);
  const wqt::ThemeFileSlots file = openEntries(options.theme, map);
  const std::size_t count = std::min<std::size_t>(map.entries().size(), file.entryCount());

  if (!options.json) {
    std::string out;
    for (std::size_t e = 0; e < count; ++e) {
      const wqt::FileEntry& entry = map.entries()[e];
      const std::uint32_t stored = file.entrySize(static_cast<std::int32_t>(e));
      out +=
          std::to_string(e) + "\t" + wqt::escapeControls(wqt::entryPath(map, e)) + "\t" +
          wqt::escapeControls(map.kindText(entry)) + "\t" +
          (hasDimensions(entry) ? std::to_string(entry.width) + "×" + std::to_string(entry.height)
                                : wqt::sizeText(entry.expectedSize)) +
          "\t" + (stored != 0 ? wqt::sizeText(stored) : std::string("нет")) + "\n";
    }
    printData(out);
    return kExitOk;
  }

  using json = nlohmann::ordered_json;
  const wqt::HeaderView header = wqt::viewHeader(file.image(), map.settings());
  json doc;
  for (std::size_t i = 0; i < wqt::kNamedFields.size(); ++i)
    doc["header"][wqt::kNamedFields[i].key] = header.fields[i];
  doc["header"]["type"] =
      header.type.type ? json(wqt::themeTypeKey(*header.type.type)) : json(nullptr);
  doc["header"]["fileCount"] = file.entryCount();
  json files = json::array();
  for (std::size_t e = 0; e < count; ++e) {
    const wqt::FileEntry& entry = map.entries()[e];
    const std::uint32_t stored = file.entrySize(static_cast<std::int32_t>(e));
    json item = {{"index", e}, {"path", wqt::entryPath(map, e)}, {"kind", map.kindText(entry)}};
    if (hasDimensions(entry)) {
      item["width"] = entry.width;
      item["height"] = entry.height;
    } else {
      item["size"] = entry.expectedSize;
    }
    item["stored"] = stored != 0 ? json(stored) : json(nullptr);
    files.push_back(std::move(item));
  }
  doc["files"] = std::move(files);
  printData(wqt::escapeJsonControls(doc.dump(2, ' ', false, json::error_handler_t::replace)) +
            "\n");
  return kExitOk;
}

int runCheck(const Options& options) {
  const wqt::ThemeMap map = loadMap(options.map);
  int status = kExitOk;
  for (const std::string& theme : options.themes) {
    try {
      const std::size_t problems = checkTheme(map, theme);
      printData(
          wqt::escapeControls(theme) + ": " +
          (problems == 0 ? std::string("проблем нет") : "проблем: " + std::to_string(problems)) +
          "\n");
      if (problems != 0) status = std::max<int>(status, kExitProblems);
    } catch (const Failure& failure) {
      printMessage(failure.what());
      status = kExitUsage;
    }
  }
  return status;
}

}  // namespace wqtcli
