#include "ops/problem_text.h"

#include "base/shown_text.h"
#include "ops/picture_error_text.h"
#include "theme/theme_messages.h"

namespace wqt {

namespace {

// What was found and what is needed after a wrong size refusal: "8192 б, необходимо 2048 б
// (32 × 32 × 2)". Empty for a kind without an exact size.
std::string wrongSizeDetail(const FileEntry& entry, std::uint64_t found) {
  const std::optional<std::int64_t> needed = expectedImportSize(entry);
  if (!needed) return {};
  const std::string formula = importSizeFormula(entry);
  return sizeText(found) + ", необходимо " + sizeText(static_cast<std::uint64_t>(*needed)) +
         (formula.empty() ? "" : " (" + formula + ")");
}

}  // namespace

std::string openRefusalText(const OpenOutcome& outcome, ErrorText errorText) {
  if (const char* status = openStatusText(outcome.refusal)) return status;
  return outcome.error ? errorText(*outcome.error) : std::string();
}

std::string fieldRefusalText(const FieldOutcome& outcome, const HeaderField& field) {
  return std::string(kTooLongMessage) + " Текст занимает " + std::to_string(outcome.utf8Bytes) +
         " б в UTF-8, поле вмещает " + std::to_string(field.width) +
         " б (кириллическая буква — 2 б).";
}

std::string importRefusalText(const FileEntry& entry, const ImportOutcome& outcome, RawFormat as,
                              ErrorText errorText) {
  const bool png = as == RawFormat::Png && entry.kind == EntryKind::Raw;
  switch (outcome.refusal) {
    case ImportRefusal::PictureUnreadable:
      if (outcome.otherFormat != nullptr) return otherFormatText(outcome.otherFormat);
      return errorText(*outcome.error);
    case ImportRefusal::Dimensions:
      if (!png) break;
      return std::string(kWrongSizeMessage) + " Картинка " + std::to_string(outcome.pictureWidth) +
             " × " + std::to_string(outcome.pictureHeight) + ", необходимо " +
             std::to_string(entry.width) + " × " + std::to_string(entry.height) + ".";
    case ImportRefusal::WrongSize:
      if (png) break;
      return outcome.message + " " + wrongSizeDetail(entry, outcome.foundSize) + ".";
    default:
      break;
  }
  return outcome.message;
}

std::string problemText(const ThemeMap& map, const ThemeProblem& found,
                        const std::filesystem::path& folder, ErrorText errorText) {
  using Kind = ThemeProblem::Kind;
  switch (found.kind) {
    case Kind::NotOpened:
      return openRefusalText(found.open, errorText);
    case Kind::FieldTooLong:
      return fieldRefusalText(found.fieldOutcome, found.field->field);
    case Kind::LayoutOverlaps:
      return kLayoutOverlapMessage;
    case Kind::MissingFile:
      return kMissingFileText;
    case Kind::Refused:
      return importRefusalText(*map.entry(found.entry), found.import, offeredFormat(found.file),
                               errorText);
    case Kind::CorruptJpeg:
      return std::string("изображение JPEG повреждено") +
             (found.libraryText.empty() ? std::string() : " (libjpeg: " + found.libraryText + ")") +
             ".";
    case Kind::Unreadable:
      return errorText(*found.error);
    case Kind::OutsideFolder:
      return "путь «" + shortened(found.file) + "» ведёт за пределы папки «" +
             shortened(folder.string()) + "».";
    case Kind::UnknownKind:
      return kUnknownKindMessage;
    case Kind::FileAbsent:
      return "файла нет в папке «" + shortened(folder.string()) + "».";
    case Kind::WouldNotReopen:
      return "карта темы не откроет записанную тему: " + openRefusalText(found.open, errorText);
  }
  return {};
}

}  // namespace wqt
