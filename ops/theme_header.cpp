#include "ops/theme_header.h"

#include "base/codepage.h"
#include "theme/header_text.h"
#include "theme/theme_messages.h"

namespace wqt {

const std::array<NamedField, 3> kNamedFields = {{
    {"Автор темы", "author", kAuthorField},
    {"Название темы", "name", kNameField},
    {"Версия темы", "version", kVersionField},
}};

FieldText fieldText(std::span<const std::uint8_t> image, const HeaderField& field) {
  FieldText text;
  text.decoded = decodeHeaderField(bytesAt(image, field.offset, field.width));
  text.shown = cp1251ToUtf8(visibleText(text.decoded));
  return text;
}

std::size_t fieldBytes(std::string_view cp1251) {
  return cp1251ToUtf8(cp1251).size();
}

FieldOutcome setFieldCp1251(ThemeDocument& doc, const HeaderField& field, std::string_view cp1251) {
  const bool stored = doc.setHeaderField(field, cp1251) == ThemeDocument::FieldResult::Stored;
  // The field holds UTF-8, where a Cyrillic letter takes two bytes.
  return {stored, fieldBytes(cp1251)};
}

FieldOutcome setFieldUtf8(ThemeDocument& doc, const HeaderField& field, std::string_view utf8) {
  return setFieldCp1251(doc, field, utf8ToCp1251(utf8));
}

const char* themeTypeName(ThemeType type) {
  return kThemeTypeNames[static_cast<std::size_t>(type)];
}

const char* themeTypeKey(ThemeType type) {
  return type == ThemeType::White ? "white" : "black";
}

std::optional<ThemeType> themeTypeOfKey(std::string_view key) {
  for (const ThemeType type : kThemeTypes)
    if (key == themeTypeKey(type)) return type;
  return std::nullopt;
}

TypeView themeTypeOf(std::span<const std::uint8_t> image, const MapSettings& settings) {
  if (!settings.hasTypeByte()) return {};
  TypeView view{true, bytesAt(image, settings.typeByteOffset, 1)[0], std::nullopt};
  // A byte other than 0 or 1 selects no type in the editor.
  if (view.byte < kThemeTypes.size()) view.type = kThemeTypes[view.byte];
  return view;
}

void setThemeType(ThemeDocument& doc, const MapSettings& settings, ThemeType type) {
  doc.setThemeType(settings, static_cast<std::uint8_t>(type));
}

void setThemeTypeByte(ThemeDocument& doc, const MapSettings& settings, std::uint8_t byte) {
  doc.setThemeType(settings, byte);
}

HeaderView viewHeader(std::span<const std::uint8_t> image, const MapSettings& settings) {
  HeaderView view;
  for (std::size_t i = 0; i < kNamedFields.size(); ++i)
    view.fields[i] = fieldText(image, kNamedFields[i].field).shown;
  view.type = themeTypeOf(image, settings);
  return view;
}

}  // namespace wqt
