#include "ops/theme_check.h"

#include "files/jpeg_decoder.h"
#include "map/entry_paths.h"

namespace wqt {

ThemeProblem& addProblem(std::vector<ThemeProblem>& problems, ThemeProblem::Kind kind,
                         std::string where) {
  ThemeProblem& found = problems.emplace_back();
  found.kind = kind;
  found.where = std::move(where);
  return found;
}

std::vector<ThemeProblem> checkTheme(const ThemeMap& map, const std::filesystem::path& theme) {
  using Kind = ThemeProblem::Kind;
  std::vector<ThemeProblem> problems;

  std::optional<ThemeFileSlots> opened;
  const OpenOutcome open = openThemeEntries(theme, map, opened);
  // A file that ends too early is a broken theme; one that cannot be opened is not a theme.
  if (open.refusal == OpenRefusal::Unreadable) throw *open.error;
  if (!open.opened()) {
    const std::int32_t e = open.tooLargeEntry;
    const bool named = map.entry(e) != nullptr;
    addProblem(problems, Kind::NotOpened, named ? entryPath(map, static_cast<std::size_t>(e)) : "")
        .open = open;
    return problems;
  }
  const ThemeFileSlots& file = *opened;

  // The header as the editor shows and stores it when it opens the theme.
  ThemeDocument doc;
  doc.adoptHeader(file.image(), file.entryCount());
  for (const NamedField& named : kNamedFields) {
    const FieldOutcome stored =
        setFieldUtf8(doc, named.field, fieldText(doc.image(), named.field).shown);
    if (!stored.stored) {
      ThemeProblem& found = addProblem(problems, Kind::FieldTooLong, named.label);
      found.field = &named;
      found.fieldOutcome = stored;
    }
  }
  if (saveLayoutOverlaps(map.settings())) addProblem(problems, Kind::LayoutOverlaps, "");

  std::vector<std::uint8_t> bytes;
  for (std::size_t e = 0; e < file.entryCount(); ++e) {
    const auto entry = static_cast<std::int32_t>(e);
    if (file.entrySize(entry) == 0) {
      addProblem(problems, Kind::MissingFile, entryPath(map, e)).entry = entry;
      continue;
    }
    const FileEntry* known = map.entry(entry);
    if (known == nullptr) continue;  // no entry, no rules: the map has fewer files
    try {
      file.readEntry(entry, bytes);
    } catch (const Error& error) {
      addProblem(problems, Kind::Unreadable, entryPath(map, e)).error = error;
      continue;
    }
    ImportOutcome checked = checkBytesImport(*known, bytes);
    if (!checked.stored()) {
      ThemeProblem& found = addProblem(problems, Kind::Refused, entryPath(map, e));
      found.entry = entry;
      found.import = std::move(checked);
    } else if (known->kind == EntryKind::Jpg) {
      // The import reads only the header; a picture cut short or damaged shows only decoded.
      if (auto corrupt = jpegCorruption(bytes)) {
        addProblem(problems, Kind::CorruptJpeg, entryPath(map, e)).libraryText =
            std::move(*corrupt);
      }
    }
  }
  return problems;
}

}  // namespace wqt
