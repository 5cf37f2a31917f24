// replace and set: the editor's import and header operations on a theme, then a save.
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "ops/entry_fit.h"
#include "ops/theme_save.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

// The whole theme as the editor opens it; a refusal fails the command naming the file.
wqt::ThemeDocument openDocument(const std::string& theme, const wqt::ThemeMap& map) {
  wqt::ThemeDocument doc;
  requireOpened(theme, wqt::openTheme(theme, map, doc));
  return doc;
}

// Saves as the editor does: refused while a file is missing. The file written is exactly the one
// named: -o OUT, or the theme itself.
int save(wqt::ThemeDocument& doc, const wqt::MapSettings& settings, const Options& options) {
  const wqt::SaveOutcome checked = wqt::checkSave(doc, settings);
  if (checked.refusal == wqt::SaveRefusal::MissingFile) {
    printMessage(wqt::kEmptySlotMessage);
    return kExitProblems;
  }
  const std::filesystem::path target = options.output ? targetPath(*options.output, "файл для -o")
                                                      : std::filesystem::path(options.theme);
  if (checked.refusal == wqt::SaveRefusal::LayoutOverlaps) {
    printMessage(wqt::kLayoutOverlapMessage);
    return kExitUsage;
  }
  if (checked.refusal == wqt::SaveRefusal::WouldNotReopen) {
    printMessage("Тема не записана: карта темы не откроет записанную тему: " +
                 openRefusalText(checked.reopen));
    return kExitProblems;
  }
  const InterruptGuard interrupts;
  wqt::saveTheme(doc, settings, target);
  return kExitOk;
}

}  // namespace

int runReplace(const Options& options) {
  const wqt::ThemeMap map = loadMap(options.map);
  const std::int32_t entry = resolveEntry(map, options.entry);
  wqt::ThemeDocument doc = openDocument(options.theme, map);

  const wqt::RawFormat as = wqt::offeredFormat(options.file);
  const std::optional<wqt::FitOptions> fit = requestedFit(options.fit);
  const wqt::ImportOutcome imported =
      fit ? wqt::importFittedFile(doc, map, entry, options.file, as, *fit)
          : wqt::importFile(doc, map, entry, options.file, as);
  if (!imported.stored()) {
    const wqt::FileEntry& known = *map.entry(entry);
    printProblem(options.file, importRefusalText(known, imported, as));
    if (!fit && wqt::fittingWouldStore(known, options.file, as)) {
      printMessage("Рисунок подгоняется к файлу с --fit crop, inside или stretch.");
    }
    return kExitProblems;
  }
  return save(doc, map.settings(), options);
}

int runSet(const Options& options) {
  const wqt::ThemeMap map = loadMap(options.map);
  const wqt::MapSettings& settings = map.settings();
  if (options.type && !settings.hasTypeByte()) {
    throw Failure(kExitUsage, "Карта темы не задаёт тип темы: --type неприменим.");
  }
  wqt::ThemeDocument doc = openDocument(options.theme, map);
  for (std::size_t i = 0; i < wqt::kNamedFields.size(); ++i) {
    if (!options.fields[i]) continue;
    const wqt::NamedField& named = wqt::kNamedFields[i];
    const wqt::FieldOutcome stored = wqt::setFieldUtf8(doc, named.field, *options.fields[i]);
    if (!stored.stored) {
      throw Failure(kExitUsage,
                    std::string(named.label) + ": " + fieldRefusalText(stored, named.field));
    }
  }
  if (options.type) wqt::setThemeType(doc, settings, *wqt::themeTypeOfKey(*options.type));
  return save(doc, settings, options);
}

}  // namespace wqtcli
