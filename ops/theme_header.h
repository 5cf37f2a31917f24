#pragma once
// The header fields and the theme type as the editor shows and stores them: the texts of the
// header page, the command line's info, list, set and theme.json.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "map/theme_map.h"
#include "theme/theme_document.h"
#include "theme/theme_layout.h"

namespace wqt {

struct NamedField {
  const char* label;  // as the header page labels it
  const char* key;    // as theme.json and list --json name it
  HeaderField field;
};
// Author, name, version, in that order.
extern const std::array<NamedField, 3> kNamedFields;

// A field as the image holds it.
struct FieldText {
  std::string decoded;  // Windows-1251 with the field's zero bytes: what an edit box compares
  std::string shown;    // UTF-8 up to the first zero byte: what the editor shows
};
// Throws "Stream read error" past the image's end.
FieldText fieldText(std::span<const std::uint8_t> image, const HeaderField& field);

struct FieldOutcome {
  bool stored = true;         // false: kTooLongMessage, the image unchanged
  std::size_t utf8Bytes = 0;  // the text's length as the field would hold it (UTF-8)
};
// The bytes a field's Windows-1251 text takes in the file, which holds it as UTF-8.
std::size_t fieldBytes(std::string_view cp1251);

// Stores an edit box's Windows-1251 text, or UTF-8 text as the box would hold it (a character
// Windows-1251 lacks becomes "?").
FieldOutcome setFieldCp1251(ThemeDocument& doc, const HeaderField& field, std::string_view cp1251);
FieldOutcome setFieldUtf8(ThemeDocument& doc, const HeaderField& field, std::string_view utf8);

enum class ThemeType : std::uint8_t { Black = 0, White = 1 };
inline constexpr std::array<ThemeType, 2> kThemeTypes{ThemeType::Black, ThemeType::White};

// "Черная тема", "Белая тема": the type selector's items and info's text.
const char* themeTypeName(ThemeType type);
// "black", "white": theme.json, list --json and set --type.
const char* themeTypeKey(ThemeType type);
std::optional<ThemeType> themeTypeOfKey(std::string_view key);

// The type byte as the editor reads it.
struct TypeView {
  bool shown = false;             // the map gives theme files a type byte
  std::uint8_t byte = 0;          // when shown
  std::optional<ThemeType> type;  // none for a byte other than 0 or 1: no item selected
};
// Throws "Stream read error" when the byte lies past the image's end.
TypeView themeTypeOf(std::span<const std::uint8_t> image, const MapSettings& settings);
void setThemeType(ThemeDocument& doc, const MapSettings& settings, ThemeType type);
// Writes the type byte as the file held it, any value: a byte put back by the edit history.
void setThemeTypeByte(ThemeDocument& doc, const MapSettings& settings, std::uint8_t byte);

// Every header field and the type, as shown.
struct HeaderView {
  std::array<std::string, 3> fields;  // UTF-8, in kNamedFields' order
  TypeView type;
};
HeaderView viewHeader(std::span<const std::uint8_t> image, const MapSettings& settings);

}  // namespace wqt
