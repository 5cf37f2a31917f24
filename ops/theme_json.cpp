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

// theme.json nests three deep (the object, "files", an entry). A deeper text is no description,
// nor is one with a string longer than any the description holds (the header's hex digits are
// the longest); both are refused before parsing, so the parser never holds them.
constexpr int kMaxDepth = 16;
constexpr std::size_t kMaxStringBytes = std::size_t{256} << 10;
// No path the file system takes is longer.
constexpr std::size_t kMaxFileBytes = 4095;

void refuseOutsizedText(std::string_view text) {
  int depth = 0;
  std::size_t stringStart = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;  // an escaped character, a quote among them
      inString = c != '"';
      if (i - stringStart > kMaxStringBytes) {
        bad("строка длиннее " + std::to_string(kMaxStringBytes >> 10) +
            " КиБ — это не описание темы.");
      }
    } else if (c == '"') {
      inString = true;
      stringStart = i;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxDepth) {
        bad("вложенность глубже " + std::to_string(kMaxDepth) + " уровней — это не описание темы.");
      }
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
}

// A member's value as the description needs it: absent, null, a string, or anything else.
struct Member {
  enum class Kind { Absent, Null, Text, Other };
  Kind kind = Kind::Absent;
  std::string text;

  static std::string notAString(const char* key) {
    return std::string("«") + key + "» должно быть строкой.";
  }
  // The string, absent or null for none; anything else is refused naming the key.
  std::optional<std::string> take(const char* key) {
    if (kind == Kind::Other) bad(notAString(key));
    if (kind != Kind::Text) return std::nullopt;
    return std::move(text);
  }
};

// Reads the description as the parser meets it, keeping only what it uses: memory follows the
// description, not the text (a document tree of a few megabytes of "{}" takes hundreds). What
// is wrong is noted and said once the text has parsed, in the order the members are checked, so
// a text that is no JSON is said to be so first.
class DescriptionReader {
 public:
  ThemeFolder finish() {
    if (!rootIsObject_) bad("ожидался объект JSON.");
    ThemeFolder folder;
    for (std::size_t i = 0; i < kNamedFields.size(); ++i)
      folder.fields[i] = fields_[i].take(kNamedFields[i].key);
    folder.type = type_.take("type");
    if (folder.type && !themeTypeOfKey(*folder.type)) {
      bad("«type» может быть только \"black\" или \"white\".");
    }
    if (const auto header = header_.take("header")) folder.header = fromHex(*header);
    if (!filesIsArray_) bad("нет массива «files».");
    if (filesError_) bad(*filesError_);
    folder.entries = std::move(entries_);
    return folder;
  }

  bool parseError() const { return parseError_.has_value(); }
  std::string parseErrorText() const { return *parseError_; }

  // The parser's events.
  bool null() { return value(Member::Kind::Null, {}, std::nullopt); }
  bool boolean(bool) { return value(Member::Kind::Other, {}, std::nullopt); }
  bool number_integer(std::int64_t n) { return value(Member::Kind::Other, {}, index(n)); }
  bool number_unsigned(std::uint64_t n) {
    return value(Member::Kind::Other, {}, n <= 0xFFFF ? index(static_cast<std::int64_t>(n)) : -1);
  }
  bool number_float(double, const std::string&) {
    return value(Member::Kind::Other, {}, std::nullopt);
  }
  bool string(std::string& text) {
    return value(Member::Kind::Text, std::move(text), std::nullopt);
  }
  bool binary(std::vector<std::uint8_t>&) { return value(Member::Kind::Other, {}, std::nullopt); }
  bool key(std::string& name) {
    key_ = std::move(name);
    return true;
  }
  bool start_object(std::size_t) { return open(true); }
  bool start_array(std::size_t) { return open(false); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
    // Ids below 200 are syntax errors; the others a number too large for any type, and the like.
    parseError_ = e.id < 200
                      ? "не читается как JSON (байт " + std::to_string(position) + ")."
                      : std::string("не читается как JSON: значение вне допустимых пределов.");
    return false;
  }

 private:
  // What the container being read is to the description.
  enum class Level { Root, Files, Item, Ignored };

  struct Item {
    std::optional<std::int32_t> index;
    std::array<Member, 3> texts;  // path, kind, file
  };
  static constexpr std::array<const char*, 3> kItemTexts = {"path", "kind", "file"};

  // An integer that may be an entry's number: -1 for any other.
  static std::int64_t index(std::int64_t n) { return n >= 0 && n <= 0xFFFF ? n : -1; }

  Member* rootMember() {
    for (std::size_t i = 0; i < kNamedFields.size(); ++i)
      if (key_ == kNamedFields[i].key) return &fields_[i];
    if (key_ == "type") return &type_;
    if (key_ == "header") return &header_;
    return nullptr;
  }

  // A scalar, or a container starting (kind Other), in the innermost container.
  bool value(Member::Kind kind, std::string text, std::optional<std::int64_t> number) {
    if (levels_.empty()) return true;  // a root that is no object; said once parsed
    switch (levels_.back()) {
      case Level::Root:
        if (Member* member = rootMember()) *member = {kind, std::move(text)};
        if (key_ == "files") filesIsArray_ = false;
        break;
      case Level::Files:
        noteFilesError("элементы «files» должны быть объектами.");
        break;
      case Level::Item:
        if (key_ == "index") {
          item_.index = number && *number >= 0 ? std::optional(static_cast<std::int32_t>(*number))
                                               : std::nullopt;
        }
        for (std::size_t i = 0; i < kItemTexts.size(); ++i)
          if (key_ == kItemTexts[i]) item_.texts[i] = {kind, std::move(text)};
        break;
      case Level::Ignored:
        break;
    }
    return true;
  }

  bool open(bool object) {
    Level level = Level::Ignored;
    if (levels_.empty()) {
      rootIsObject_ = object;
      level = object ? Level::Root : Level::Ignored;
    } else if (levels_.back() == Level::Root && key_ == "files" && !object) {
      // A later "files" stands for the earlier one, as a later member does.
      filesIsArray_ = true;
      entries_.clear();
      seen_.clear();
      filesError_.reset();
      level = Level::Files;
    } else if (levels_.back() == Level::Files && object) {
      item_ = {};
      level = Level::Item;
    } else {
      value(Member::Kind::Other, {}, std::nullopt);
    }
    levels_.push_back(level);
    return true;
  }

  bool close() {
    if (levels_.back() == Level::Item) endItem();
    levels_.pop_back();
    return true;
  }

  void endItem() {
    if (filesError_) return;
    if (!item_.index) {
      noteFilesError("у каждого элемента «files» должен быть номер «index» от 0 до 65535.");
      return;
    }
    if (!seen_.insert(*item_.index).second) {
      noteFilesError("номер " + std::to_string(*item_.index) + " встречается в «files» дважды.");
      return;
    }
    for (std::size_t i = 0; i < kItemTexts.size(); ++i) {
      if (item_.texts[i].kind == Member::Kind::Other) {
        noteFilesError(Member::notAString(kItemTexts[i]));
        return;
      }
    }
    FolderEntry entry{*item_.index, item_.texts[0].take("path").value_or(""),
                      item_.texts[1].take("kind").value_or(""), item_.texts[2].take("file")};
    if (entry.file && entry.file->size() > kMaxFileBytes) {
      noteFilesError("путь «file» длиннее " + std::to_string(kMaxFileBytes) +
                     " байт, такого пути файловая система не допускает.");
      return;
    }
    entries_.push_back(std::move(entry));
  }

  void noteFilesError(std::string text) {
    if (!filesError_) filesError_ = std::move(text);
  }

  std::vector<Level> levels_;
  std::string key_;
  bool rootIsObject_ = false;
  std::array<Member, 3> fields_;
  Member type_;
  Member header_;
  bool filesIsArray_ = false;
  std::vector<FolderEntry> entries_;
  std::set<std::int32_t> seen_;
  std::optional<std::string> filesError_;
  Item item_;
  std::optional<std::string> parseError_;
};

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
  refuseOutsizedText(text);
  DescriptionReader reader;
  if (!json::sax_parse(text.begin(), text.end(), &reader) && reader.parseError()) {
    bad(reader.parseErrorText());
  }
  return reader.finish();
}

}  // namespace wqt
