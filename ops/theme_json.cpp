// theme.json: written by unpack, read by pack.
#include <nlohmann/json.hpp>

#include <set>

#include "map/xml_lib.h"
#include "ops/theme_folder.h"

namespace wqt {

namespace {

using json = nlohmann::ordered_json;

[[noreturn]] void bad(const std::string& what) {
  throw Error(std::string(kThemeJsonName) + ": " + what);
}

std::string toHex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::vector<std::uint8_t> fromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) bad("«header» должен содержать чётное число шестнадцатеричных цифр.");
  std::vector<std::uint8_t> bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int hi = xml::hexDigit(hex[2 * i]);
    const int lo = xml::hexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) bad("«header» должен состоять из шестнадцатеричных цифр.");
    bytes[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return bytes;
}

json optionalText(const std::optional<std::string>& text) {
  return text ? json(*text) : json(nullptr);
}

// A string member, absent or null for none.
std::optional<std::string> textMember(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  if (!it->is_string()) bad(std::string("«") + key + "» должно быть строкой.");
  return it->get<std::string>();
}

// theme.json nests three deep (the object, "files", an entry). A deeper text is no description;
// refused before parsing, as the parser holds every open level in memory.
constexpr int kMaxDepth = 16;

bool nestsTooDeep(std::string_view text) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;  // an escaped character, a quote among them
      inString = c != '"';
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

}  // namespace

std::string toThemeJson(const ThemeFolder& folder) {
  json root = json::object();
  for (std::size_t i = 0; i < kNamedFields.size(); ++i)
    root[kNamedFields[i].key] = optionalText(folder.fields[i]);
  root["type"] = optionalText(folder.type);
  root["header"] = folder.header ? json(toHex(*folder.header)) : json(nullptr);
  json files = json::array();
  for (const FolderEntry& entry : folder.entries) {
    files.push_back({{"index", entry.index},
                     {"path", entry.path},
                     {"kind", entry.kind},
                     {"file", optionalText(entry.file)}});
  }
  root["files"] = std::move(files);
  return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

ThemeFolder fromThemeJson(std::string_view text) {
  if (nestsTooDeep(text)) {
    bad("вложенность глубже " + std::to_string(kMaxDepth) + " уровней — это не описание темы.");
  }
  json root;
  try {
    root = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    bad("не читается как JSON (байт " + std::to_string(e.byte) + ").");
  } catch (const json::exception&) {
    // A number too large for any type, among others: the text is JSON that cannot be held.
    bad("не читается как JSON: значение вне допустимых пределов.");
  }
  if (!root.is_object()) bad("ожидался объект JSON.");

  ThemeFolder folder;
  for (std::size_t i = 0; i < kNamedFields.size(); ++i)
    folder.fields[i] = textMember(root, kNamedFields[i].key);
  folder.type = textMember(root, "type");
  if (folder.type && !themeTypeOfKey(*folder.type)) {
    bad("«type» может быть только \"black\" или \"white\".");
  }
  if (const auto header = textMember(root, "header")) folder.header = fromHex(*header);

  const auto files = root.find("files");
  if (files == root.end() || !files->is_array()) bad("нет массива «files».");
  std::set<std::int32_t> seen;
  for (const json& item : *files) {
    if (!item.is_object()) bad("элементы «files» должны быть объектами.");
    const auto index = item.find("index");
    if (index == item.end() || !index->is_number_integer() || index->get<std::int64_t>() < 0 ||
        index->get<std::int64_t>() > 0xFFFF) {
      bad("у каждого элемента «files» должен быть номер «index» от 0 до 65535.");
    }
    const auto number = static_cast<std::int32_t>(index->get<std::int64_t>());
    if (!seen.insert(number).second) {
      bad("номер " + std::to_string(number) + " встречается в «files» дважды.");
    }
    // Braces read the members in order: the first wrong one is named.
    folder.entries.push_back({number, textMember(item, "path").value_or(""),
                              textMember(item, "kind").value_or(""), textMember(item, "file")});
  }
  return folder;
}

}  // namespace wqt
