#include "ops/entry_fit.h"

namespace wqt {

bool fittingMayHelp(ImportRefusal refusal) {
  return refusal != ImportRefusal::None && refusal != ImportRefusal::NoSlot &&
         refusal != ImportRefusal::UnknownKind;
}

bool offersFitting(const FileEntry& entry, ImportRefusal refusal,
                   const std::filesystem::path& file) {
  return fittingMayHelp(refusal) && fitTarget(entry) && readsAsPicture(file);
}

SourcePicture readPictureToFit(const std::filesystem::path& file, const FitTarget& target,
                               const FitOptions& options) {
  return readSourceFile(file, {target, options.background});
}

void moveCropWindow(FitOptions& options, const SourcePicture& source, const FitTarget& target,
                    double x, double y) {
  const Placement placed = placePicture(source.width, source.height, target, options);
  const double roomX = source.width - placed.source.width;
  const double roomY = source.height - placed.source.height;
  options.cropX = roomX > 0 ? x / roomX : 0.5;
  options.cropY = roomY > 0 ? y / roomY : 0.5;
}

ImportOutcome checkFittedImport(const FileEntry& entry, const std::filesystem::path& file,
                                RawFormat as, const FitOptions& options,
                                std::vector<std::uint8_t>& bytes) {
  ImportOutcome plain = checkFileImport(entry, file, as, bytes);
  const std::optional<FitTarget> target = fitTarget(entry);
  if (!fittingMayHelp(plain.refusal) || !target || !isSourceFile(file)) return plain;
  // A picture the slot can never hold is not read: refused as the plain import refuses one.
  if (!slotCanHold(*target)) return refusedImport(ImportRefusal::TooLarge, kTooLargeMessage);
  const SourcePicture source = readPictureToFit(file, *target, options);
  bytes = fitPicture(source, *target, options).bytes;
  return checkBytesImport(entry, bytes);
}

bool fittingWouldStore(const FileEntry& entry, const std::filesystem::path& file, RawFormat as) {
  try {
    std::vector<std::uint8_t> bytes;
    return checkFittedImport(entry, file, as, FitOptions{}, bytes).stored();
  } catch (const Error&) {
    return false;
  }
}

bool readsAsPicture(const std::filesystem::path& file) {
  try {
    return isSourceFile(file);
  } catch (const Error&) {
    return false;  // the import that follows reports why it cannot be read
  }
}

ImportOutcome importFittedFile(ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                               const std::filesystem::path& file, RawFormat as,
                               const FitOptions& options) {
  const FileEntry* known = map.entry(entry);
  // importFile refuses it as having no slot before the file is looked at.
  if (known == nullptr || !doc.hasEntrySlot(entry)) return importFile(doc, map, entry, file, as);
  std::vector<std::uint8_t> bytes;
  ImportOutcome outcome = checkFittedImport(*known, file, as, options, bytes);
  if (outcome.stored()) doc.replaceEntryData(entry, std::move(bytes));
  return outcome;
}

}  // namespace wqt
