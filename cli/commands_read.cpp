// info, list and check: reading a theme without changing it.
#include <nlohmann/json.hpp>

#include <vector>

#include "base/core_error.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/picture_check.h"
#include "cli/russian_text.h"
#include "cli/theme_json.h"
#include "files/file_kind.h"
#include "files/import_export.h"
#include "files/import_rules.h"
#include "files/jpeg_decoder.h"
#include "map/entry_paths.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

// What info and list show of a theme's header.
struct HeaderView {
  std::string fields[3];
  std::optional<std::string> type;  // the editor's type name; none without a type byte
  std::optional<int> typeByte;
  std::optional<std::string> typeKey;  // "black" or "white", as theme.json and set --type
};

HeaderView viewHeader(const wqt::ThemeFileSlots& file, const wqt::MapSettings& settings) {
  const wqt::ThemeDocument doc = headerDocument(file.image(), file.count());
  HeaderView view;
  for (int i = 0; i < 3; ++i) view.fields[i] = shownField(doc, kNamedFields[i].field);
  if (settings.hasTypeByte()) {
    const std::uint8_t type = doc.typeByte(settings);
    view.typeByte = type;
    // A byte other than 0 or 1 selects no type in the editor.
    if (type < wqt::kThemeTypeNames.size()) {
      view.type = wqt::kThemeTypeNames[type];
      view.typeKey = kThemeTypeKeys[type];
    }
  }
  return view;
}

std::string mapText(const wqt::ThemeMap& map, const std::string& bytes) {
  return map.textUtf8(bytes);
}

bool hasDimensions(const wqt::FileEntry& entry) {
  const auto info = wqt::kindInfo(entry.kind);
  return info && info->kind != wqt::FileKind::ColourTable;
}

}  // namespace

int runInfo(const Options& options) {
  const LoadedMap loaded = loadMap(options.map);
  const wqt::MapSettings& settings = loaded.map.settings();
  const wqt::ThemeFileSlots file = openSlots(options.theme, settings);
  const HeaderView header = viewHeader(file, settings);
  std::size_t present = 0;
  for (std::size_t i = 1; i <= file.count(); ++i) present += file.size(i) != 0 ? 1 : 0;

  std::string out;
  for (int i = 0; i < 3; ++i)
    out += std::string(kNamedFields[i].label) + ": " + escapeControls(header.fields[i]) + "\n";
  if (settings.hasTypeByte()) {
    out += "Тип темы: " +
           header.type.value_or("не задан (байт " + std::to_string(*header.typeByte) + ")") + "\n";
  }
  out += "Файлов: " + std::to_string(file.count()) + "\n";
  out += "Присутствует: " + std::to_string(present) + "\n";
  out += "Отсутствует: " + std::to_string(file.count() - present) + "\n";
  printData(out);
  return kExitOk;
}

int runList(const Options& options) {
  const LoadedMap loaded = loadMap(options.map);
  const wqt::ThemeMap& map = loaded.map;
  const wqt::ThemeFileSlots file = openSlots(options.theme, map.settings());
  const std::vector<int> nodes = wqt::entryNodes(map);
  const std::size_t count = std::min<std::size_t>(map.entries().size(), file.count());

  if (!options.json) {
    std::string out;
    for (std::size_t e = 0; e < count; ++e) {
      const wqt::FileEntry& entry = map.entries()[e];
      const std::uint32_t stored = file.size(e + 1);
      out +=
          std::to_string(e) + "\t" + escapeControls(wqt::captionPath(map, nodes[e])) + "\t" +
          escapeControls(mapText(map, entry.kindName)) + "\t" +
          (hasDimensions(entry) ? std::to_string(entry.width) + "×" + std::to_string(entry.height)
                                : wqt::sizeText(entry.expectedSize)) +
          "\t" + (stored != 0 ? wqt::sizeText(stored) : std::string("нет")) + "\n";
    }
    printData(out);
    return kExitOk;
  }

  using json = nlohmann::ordered_json;
  const HeaderView header = viewHeader(file, map.settings());
  json doc;
  for (int i = 0; i < 3; ++i) doc["header"][kNamedFields[i].jsonKey] = header.fields[i];
  doc["header"]["type"] = header.typeKey ? json(*header.typeKey) : json(nullptr);
  doc["header"]["fileCount"] = file.count();
  json files = json::array();
  for (std::size_t e = 0; e < count; ++e) {
    const wqt::FileEntry& entry = map.entries()[e];
    const std::uint32_t stored = file.size(e + 1);
    json item = {{"index", e},
                 {"path", wqt::captionPath(map, nodes[e])},
                 {"kind", mapText(map, entry.kindName)}};
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
  printData(doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n");
  return kExitOk;
}

namespace {

// The problems of one theme file, each printed as it is found; returns how many there were.
// Throws Failure (status 2) when the file cannot be read at all.
std::size_t checkTheme(const wqt::ThemeMap& map, const std::string& theme) {
  std::size_t problems = 0;
  const auto problem = [&](const std::string& where, const std::string& message) {
    printProblem(where.empty() ? theme : theme + ": " + where, message);
    ++problems;
  };
  std::optional<wqt::ThemeFileSlots> opened;
  try {
    opened.emplace(theme, map.settings());
  } catch (const wqt::Error& e) {
    // A file that ends too early is a broken theme; one that cannot be opened is not a theme.
    if (std::string_view(e.what()) != wqt::kStreamReadError) {
      throw Failure(kExitUsage, russianError(e.what()));
    }
    problem("", russianError(e.what()));
    return problems;
  }
  const wqt::ThemeFileSlots& file = *opened;
  const std::vector<int> nodes = wqt::entryNodes(map);
  if (file.status() != wqt::ParsedTheme::Status::Ok) {
    const std::uint32_t slot = file.tooLargeSlot();
    const bool named = slot != 0 && slot <= nodes.size();
    problem(named ? wqt::captionPath(map, nodes[slot - 1]) : "", openStatusText(file));
    return problems;
  }

  // The header as the editor shows and stores it when it opens the theme.
  wqt::ThemeDocument doc = headerDocument(file.image(), file.count());
  for (const NamedField& named : kNamedFields) {
    if (const auto refusal = storeField(doc, named.field, shownField(doc, named.field))) {
      problem(named.label, *refusal);
    }
  }
  if (wqt::saveLayoutOverlaps(map.settings())) problem("", wqt::kLayoutOverlapMessage);

  std::vector<std::uint8_t> bytes;
  for (std::size_t slot = 1; slot <= file.count(); ++slot) {
    const std::string where = slot <= nodes.size() ? wqt::captionPath(map, nodes[slot - 1])
                                                   : "#" + std::to_string(slot - 1);
    if (file.size(slot) == 0) {
      problem(where, wqt::kMissingFileText);
      continue;
    }
    if (slot > map.entries().size()) continue;  // no entry, no rules: the map has fewer files
    try {
      file.read(slot, bytes);
      const wqt::FileEntry& entry = map.entries()[slot - 1];
      if (wqt::ImportCandidate refused = wqt::importRefusal(entry, bytes); refused.refusal) {
        if (refused.code == wqt::ImportRefusal::WrongSize)
          *refused.refusal += " " + wrongSizeDetail(entry, bytes.size()) + ".";
        problem(where, *refused.refusal);
      } else if (const auto kind = wqt::kindInfo(entry.kind);
                 kind && kind->kind == wqt::FileKind::Jpg) {
        // The import reads only the header; a picture cut short or damaged shows only decoded.
        if (const auto corrupt = jpegCorruption(bytes)) problem(where, *corrupt);
      }
    } catch (const wqt::Error& e) {
      problem(where, russianError(e.what()));
    }
  }
  return problems;
}

}  // namespace

int runCheck(const Options& options) {
  const LoadedMap loaded = loadMap(options.map);
  int status = kExitOk;
  for (const std::string& theme : options.themes) {
    try {
      const std::size_t problems = checkTheme(loaded.map, theme);
      printData(
          escapeControls(theme) + ": " +
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
