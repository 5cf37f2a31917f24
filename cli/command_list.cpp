// list: a theme's files, one line each or one JSON document.
#include <nlohmann/json.hpp>

#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "map/entry_paths.h"
#include "ops/entry_transfer.h"

namespace wqtcli {

namespace {

struct ListOptions {
  std::string theme;
  bool json = false;
};

bool hasDimensions(const wqt::FileEntry& entry) {
  return entry.kind != wqt::EntryKind::ColourTable && entry.kind != wqt::EntryKind::Other;
}

int run(const ListOptions& options, const ProgramOptions& program) {
  const wqt::ThemeMap map = loadMap(program.map);
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

}  // namespace

Command setupList(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<ListOptions>();
  CLI::App* sub = addCommand(app, "list", "Список файлов темы");
  addTheme(sub, options->theme);
  sub->add_flag("--json", options->json, "Вывести список одним документом JSON");
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
