// replace and set: the editor's import and header operations on a theme, then a save.
#include "base/file_io.h"
#include "base/paths.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "files/import_export.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

// Saves as the editor does: refused while a file is missing; -o OUT gets the ".wqt" extension
// the save dialog's name gets, the theme itself keeps its name.
int save(wqt::ThemeDocument& doc, const wqt::MapSettings& settings, const Options& options) {
  if (doc.hasEmptySlot(settings)) {
    printMessage(wqt::kEmptySlotMessage);
    return kExitProblems;
  }
  const std::string target =
      options.output
          ? wqt::replaceExtension(targetPath(*options.output, "файл для -o").string(), ".wqt")
          : options.theme;
  const wqt::ByteParts parts = doc.rebuildForSave(settings);
  std::vector<std::uint32_t> sizes;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    sizes.push_back(static_cast<std::uint32_t>(parts[i].size()));
  }
  if (const auto refusal = reopenRefusal(parts.front(), sizes, settings)) {
    printMessage("Тема не записана: карта темы не откроет записанную тему: " + *refusal);
    return kExitProblems;
  }
  const InterruptGuard interrupts;
  wqt::writeFileReplacing(target, parts);
  return kExitOk;
}

}  // namespace

int runReplace(const Options& options) {
  const LoadedMap loaded = loadMap(options.map);
  const wqt::ThemeMap& map = loaded.map;
  const auto [entry, slot] = resolveEntry(map, options.entry);
  wqt::ThemeDocument doc = openDocument(options.theme, map.settings());

  wqt::ImportCandidate candidate =
      checkFileForEntry(map.entries()[static_cast<std::size_t>(entry)], options.file);
  if (candidate.refusal) {
    printProblem(options.file, *candidate.refusal);
    return kExitProblems;
  }
  doc.replaceSlot(slot, std::move(candidate.bytes));
  return save(doc, map.settings(), options);
}

int runSet(const Options& options) {
  const LoadedMap loaded = loadMap(options.map);
  const wqt::MapSettings& settings = loaded.map.settings();
  if (options.type && !settings.hasTypeByte()) {
    throw Failure(kExitUsage, "Карта темы не задаёт тип темы: --type неприменим.");
  }
  wqt::ThemeDocument doc = openDocument(options.theme, settings);
  const std::optional<std::string>* values[3] = {&options.author, &options.name, &options.version};
  for (int i = 0; i < 3; ++i) {
    if (!*values[i]) continue;
    if (const auto refusal = storeField(doc, kNamedFields[i].field, **values[i])) {
      throw Failure(kExitUsage, std::string(kNamedFields[i].label) + ": " + *refusal);
    }
  }
  if (options.type) doc.setThemeType(settings, *options.type == "black" ? 0 : 1);
  return save(doc, settings, options);
}

}  // namespace wqtcli
