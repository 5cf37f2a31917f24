#include "ops/theme_catalogue.h"

#include "base/core_error.h"
#include "files/import_export.h"
#include "files/png_picture.h"
#include "map/entry_paths.h"
#include "ops/html_text.h"
#include "ops/theme_header.h"
#include "theme/theme_messages.h"

namespace wqt {

namespace {

// Cards as wide as a phone's screen allows, several a row on a wide one; pictures at their own
// size, scaled down only to fit their card.
constexpr std::string_view kStyle = R"(
:root { color-scheme: light dark; font-family: system-ui, sans-serif; line-height: 1.4; }
body { margin: 0 auto; max-width: 80rem; padding: 1rem; }
h1 { font-size: 1.5rem; margin: 0 0 .5rem; overflow-wrap: anywhere; }
h2 { font-size: 1.15rem; margin: 1.5rem 0 .5rem; overflow-wrap: anywhere; }
dl { display: grid; grid-template-columns: max-content minmax(0, 1fr); gap: .1rem .75rem;
     margin: 0; }
dt { opacity: .7; }
dd { margin: 0; overflow-wrap: anywhere; white-space: pre-wrap; }
header { margin-bottom: 1.5rem; }
ul { list-style: none; margin: 0; padding: 0; display: grid; gap: .75rem; align-items: start;
     grid-template-columns: repeat(auto-fill, minmax(min(100%, 17rem), 1fr)); }
li { border: 1px solid #8886; border-radius: .5rem; padding: .5rem; min-width: 0; }
img { display: block; max-width: 100%; height: auto; margin-bottom: .5rem; }
.path { font-weight: bold; margin: 0 0 .25rem; overflow-wrap: anywhere; }
.missing, .note { margin: 0 0 .5rem; padding: .5rem; border: 1px dashed currentColor;
                  border-radius: .25rem; }
.missing { color: #c00; }
@media (prefers-color-scheme: dark) { .missing { color: #f66; } }
)";

void appendImage(std::string& out, const char* type, std::span<const std::uint8_t> bytes,
                 const FileEntry& entry, const std::string& alt) {
  out += "<img src=\"data:";
  out += type;
  out += ";base64,";
  appendBase64(out, bytes);
  out += "\" width=\"" + std::to_string(entry.width) + "\" height=\"" +
         std::to_string(entry.height) + "\" alt=\"";
  appendHtmlText(out, alt);
  out += "\">";
}

void appendRow(std::string& out, std::string_view label, std::string_view text) {
  out += "<dt>";
  appendHtmlText(out, label);
  out += "</dt><dd>";
  appendHtmlText(out, text);
  out += "</dd>";
}

bool hasDimensions(const FileEntry& entry) {
  return entry.kind != EntryKind::ColourTable && entry.kind != EntryKind::Other;
}

// The header as info shows it: the fields, the type when the map gives themes one, the count.
void appendHeader(std::string& out, const ThemeMap& map, const ThemeFileSlots& file) {
  const HeaderView header = viewHeader(file.image(), map.settings());
  for (std::size_t i = 0; i < kNamedFields.size(); ++i) {
    appendRow(out, kNamedFields[i].label, header.fields[i]);
  }
  if (header.type.shown) {
    appendRow(out, "Тип темы",
              header.type.type ? std::string(themeTypeName(*header.type.type))
                               : "не задан (байт " + std::to_string(header.type.byte) + ")");
  }
  appendRow(out, "Файлов", std::to_string(file.entryCount()));
}

// One file's card: its picture (or why there is none), then what the tree and the list say of it.
void appendCard(std::string& out, const ThemeMap& map, const ThemeFileSlots& file, int node,
                std::vector<std::uint8_t>& data) {
  const std::int32_t e = map.tree()[static_cast<std::size_t>(node)].entry;
  const FileEntry& entry = *map.entry(e);
  const std::uint32_t stored = file.entrySize(e);
  const std::string path = captionPath(map, node);
  out += "<li>";
  if (stored == 0) {
    out += "<p class=\"missing\">";
    appendHtmlText(out, kMissingFileText);
    out += "</p>";
  } else if (entry.kind == EntryKind::Jpg) {
    file.readEntry(e, data);
    appendImage(out, "image/jpeg", data, entry, path);
  } else if (entry.kind == EntryKind::Raw) {
    file.readEntry(e, data);
    if (data.size() >= std::size_t{2} * entry.width * entry.height) {
      appendImage(out, "image/png", rawToPng(entry, data), entry, path);
    } else {
      out += "<p class=\"note\">";
      appendHtmlText(out, kShortRawNote);
      out += "</p>";
    }
  }
  out += "<p class=\"path\">";
  appendHtmlText(out, path);
  out += "</p><dl>";
  appendRow(out, "Формат", map.kindText(entry));
  if (hasDimensions(entry)) {
    appendRow(out, "Ширина × высота",
              std::to_string(entry.width) + "\u00A0×\u00A0" + std::to_string(entry.height));
  } else {
    appendRow(out, "Размер по карте", sizeText(entry.expectedSize));
  }
  appendRow(out, "Размер", stored != 0 ? sizeText(stored) : std::string("нет"));
  out += "</dl></li>\n";
}

}  // namespace

void writeCatalogue(const ThemeMap& map, const ThemeFileSlots& file, std::string_view title,
                    const TextSink& out) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  appendHtmlText(page, title);
  page += "</title>\n<style>";
  page += kStyle;
  page += "</style>\n</head>\n<body>\n<header>\n<h1>";
  appendHtmlText(page, title);
  page += "</h1>\n<dl>";
  appendHeader(page, map, file);
  page += "</dl>\n</header>\n<main>\n";
  out(page);

  // The tree lists a group before what it holds, so walking it in display order meets each
  // group's files in runs: a run of files with the same parent is one section, headed by the
  // parent's path. Sections stay flat however deep the groups go.
  std::vector<std::uint8_t> data;
  int parent = -2;  // the current section's group; -2 before the first
  for (std::size_t i = 0; i < map.tree().size(); ++i) {
    const TreeNode& node = map.tree()[i];
    if (!node.isFile() || map.entry(node.entry) == nullptr) continue;
    std::string card;
    if (node.parent != parent) {
      if (parent != -2) card += "</ul>\n</section>\n";
      card += "<section>\n";
      if (node.parent >= 0) {
        card += "<h2>";
        appendHtmlText(card, captionPath(map, node.parent));
        card += "</h2>\n";
      }
      card += "<ul>\n";
      parent = node.parent;
    }
    appendCard(card, map, file, static_cast<int>(i), data);
    out(card);
  }
  out(std::string(parent != -2 ? "</ul>\n</section>\n" : "") + "</main>\n</body>\n</html>\n");
}

}  // namespace wqt
