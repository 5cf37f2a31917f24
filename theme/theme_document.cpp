#include "theme/theme_document.h"

#include <algorithm>
#include <stdexcept>

#include "base/codepage.h"
#include "base/core_error.h"

namespace wqt {

namespace {

// Whether exactly `length` bytes of the image at `offset` are the map's signature; one of another
// length never matches. The bytes are read first: a file too short for the signature is a read
// error even when the map's signature could never match.
bool signatureMatches(std::span<const std::uint8_t> image, std::size_t offset, std::size_t length,
                      std::string_view mapSignature) {
  const auto bytes = bytesAt(image, offset, length);
  return mapSignature.size() == length &&
         std::equal(bytes.begin(), bytes.end(), mapSignature.begin(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

void requireBytes(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t length) {
  if (offset + length > fileSize) throwStreamReadError();
}

void writeText(std::vector<std::uint8_t>& image, std::size_t offset, std::string_view bytes) {
  if (image.size() < offset + bytes.size()) image.resize(offset + bytes.size(), 0);
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

// The checks shared by parseThemeFile and ThemeFileSlots. parsed.image holds the file's first
// bytes, at least every byte the header, the type byte and the size table need when the file has
// them; fileSize is the whole file's length. Sets parsed.status, and for a file that passes, the
// size and the data offset of every slot, each proved to lie within the file.
void checkLayout(ParsedTheme& parsed, std::uint64_t fileSize, const MapSettings& settings,
                 std::vector<std::uint32_t>& sizes, std::vector<std::uint64_t>& offsets) {
  const std::vector<std::uint8_t>& image = parsed.image;

  // Signatures: each read fails before its comparison can.
  if (!signatureMatches(image, kSignature1Offset, kSignature1Length, settings.signature1)) {
    parsed.status = ParsedTheme::Status::Signature1Mismatch;
  } else if (!signatureMatches(image, kSignature2Offset, kSignature2Length, settings.signature2)) {
    parsed.status = ParsedTheme::Status::Signature2Mismatch;
  }
  if (parsed.status != ParsedTheme::Status::Ok) return;

  // The header's text fields, up to the end of the version field.
  requireBytes(fileSize, 0, kVersionField.offset + kVersionField.width);

  // The size table and the data region, slot by slot in table order. For each slot the size is
  // read first (a table past the file's end is a read error), then checked against the slot's
  // capacity, then its data against the file's end. So the first slot that fails decides, and a
  // slot that is both too large and past the end is reported as too large: its size alone makes
  // the file unusable, whatever follows it. An empty slot reads nothing and never fails.
  const std::size_t count = settings.fileCount;
  sizes.assign(count, 0);
  offsets.assign(count, 0);
  std::uint64_t dataPos = settings.dataOffset;
  for (std::size_t i = 0; i < count; ++i) {
    sizes[i] = readU32LE(image, settings.tableOffset + 4 * i);
    if (sizes[i] > kSlotCapacity) {
      parsed.status = ParsedTheme::Status::SlotTooLarge;
      parsed.tooLargeSlot = static_cast<std::uint32_t>(i + 1);
      return;
    }
    if (sizes[i] != 0) requireBytes(fileSize, dataPos, sizes[i]);
    offsets[i] = dataPos;
    dataPos += sizes[i];
  }

  if (settings.hasTypeByte()) requireBytes(fileSize, settings.typeByteOffset, 1);
}

// Bytes of the file that the document may read or write in place: the fixed header, the type
// byte, the size table and everything before the data offset. Whatever follows belongs to the
// data region, which lives in the slots, and a save cuts the image back to the data offset.
std::uint64_t headerRegionEnd(const MapSettings& settings) {
  return std::max<std::uint64_t>({settings.dataOffset, kHeaderFixedEnd,
                                  settings.tableOffset + std::uint64_t{4} * settings.fileCount,
                                  settings.hasTypeByte() ? settings.typeByteOffset + 1u : 0u});
}

}  // namespace

ParsedTheme parseThemeFile(std::vector<std::uint8_t> bytes, const MapSettings& settings) {
  ParsedTheme parsed;
  parsed.image = std::move(bytes);
  std::vector<std::uint32_t> sizes;
  std::vector<std::uint64_t> offsets;
  checkLayout(parsed, parsed.image.size(), settings, sizes, offsets);
  if (parsed.status != ParsedTheme::Status::Ok) return parsed;
  parsed.slots.resize(sizes.size() + 1);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const auto first = parsed.image.begin() + static_cast<std::ptrdiff_t>(offsets[i]);
    parsed.slots[i + 1].assign(first, first + sizes[i]);
  }
  return parsed;
}

ThemeFileSlots::ThemeFileSlots(const std::filesystem::path& path, const MapSettings& settings)
    : path_(path) {
  // Only a regular file is opened, so its size plans the reads.
  std::uint64_t fileSize = 0;
  fd_ = openForReading(path, &fileSize);
  parsed_.image.resize(static_cast<std::size_t>(std::min(fileSize, headerRegionEnd(settings))));
  if (readAt(fd_.get(), 0, parsed_.image, path) < parsed_.image.size()) throwStreamReadError();
  checkLayout(parsed_, fileSize, settings, sizes_, offsets_);
}

void ThemeFileSlots::readEntry(std::int32_t entry, std::vector<std::uint8_t>& out) const {
  const auto i = static_cast<std::size_t>(entry);
  out.resize(sizes_.at(i));
  if (readAt(fd_.get(), offsets_[i], out, path_) < out.size()) throwStreamReadError();
}

ParsedTheme readThemeFile(const std::filesystem::path& path, const MapSettings& settings) {
  ThemeFileSlots file(path, settings);
  ParsedTheme parsed = file.takeParsed();
  if (parsed.status != ParsedTheme::Status::Ok) return parsed;
  parsed.slots.resize(file.entryCount() + 1);
  for (std::size_t e = 0; e < file.entryCount(); ++e) {
    file.readEntry(static_cast<std::int32_t>(e), parsed.slots[e + 1]);
  }
  return parsed;
}

bool saveLayoutOverlaps(const MapSettings& settings) {
  const std::uint64_t table = settings.tableOffset;
  const std::uint64_t data = settings.dataOffset;
  const std::uint64_t tableEnd = table + std::uint64_t{4} * settings.fileCount;
  // A save keeps the image up to the data offset and zeroes it from the table offset on, so the
  // fixed header must end before both, and the sizes must fit between the table and the data.
  if (data < kHeaderFixedEnd || table < kHeaderFixedEnd) return true;
  if (settings.fileCount != 0 && tableEnd > data) return true;
  if (!settings.hasTypeByte()) return false;
  // The type byte must survive the cut and the zeroing, and must not share a fixed field's bytes
  // (the gaps between the fields are free).
  const std::uint64_t type = settings.typeByteOffset;
  if (type >= std::min(table, data)) return true;
  const std::pair<std::uint64_t, std::uint64_t> fields[] = {
      {kSignature1Offset, kSignature1Offset + kSignature1Length},
      {kSignature2Offset, kSignature2Offset + kSignature2Length},
      {kAuthorField.offset, kAuthorField.offset + kAuthorField.width},
      {kNameField.offset, kNameField.offset + kNameField.width},
      {kVersionField.offset, kVersionField.offset + kVersionField.width},
      {kFileCountOffset, kHeaderFixedEnd},
  };
  return std::any_of(std::begin(fields), std::end(fields), [type](const auto& field) {
    return type >= field.first && type < field.second;
  });
}

ParsedTheme::Status reopenStatus(std::span<const std::uint8_t> header,
                                 std::span<const std::uint32_t> sizes,
                                 const MapSettings& settings) {
  ParsedTheme parsed;
  parsed.image.assign(header.begin(), header.end());
  std::uint64_t fileSize = header.size();
  for (const std::uint32_t size : sizes) fileSize += size;
  std::vector<std::uint32_t> readSizes;
  std::vector<std::uint64_t> offsets;
  checkLayout(parsed, fileSize, settings, readSizes, offsets);
  // The table must give back the sizes written, or the files would be read at other places.
  if (parsed.status == ParsedTheme::Status::Ok &&
      !std::equal(readSizes.begin(), readSizes.end(), sizes.begin(), sizes.end())) {
    throwStreamReadError();
  }
  return parsed.status;
}

std::vector<std::uint8_t> headerForSave(std::span<const std::uint8_t> image,
                                        const MapSettings& settings,
                                        std::span<const std::uint32_t> sizes) {
  const std::size_t tableOffset = settings.tableOffset;
  const std::size_t dataOffset = settings.dataOffset;
  std::vector<std::uint8_t> header(dataOffset, 0);
  std::copy_n(image.begin(), std::min({image.size(), dataOffset, tableOffset}), header.begin());
  for (std::size_t i = 0; i < settings.fileCount; ++i)
    writeU32LE(header, tableOffset + 4 * i, sizes[i]);
  return header;
}

void ThemeDocument::adopt(ParsedTheme&& parsed) {
  if (parsed.status != ParsedTheme::Status::Ok || parsed.slots.empty()) {
    throw std::logic_error("ThemeDocument::adopt needs a theme that parsed without fault");
  }
  image_ = std::move(parsed.image);
  slots_ = std::move(parsed.slots);
  hasImage_ = true;
  modified_ = false;
}

void ThemeDocument::adoptHeader(std::vector<std::uint8_t> image, std::size_t fileCount) {
  adopt({.image = std::move(image), .slots = decltype(ParsedTheme::slots)(fileCount + 1)});
}

void ThemeDocument::create(const MapSettings& settings) {
  // The fixed header fields are always written, so the image reaches at least their end.
  std::vector<std::uint8_t> image(std::max<std::size_t>(settings.dataOffset, kHeaderFixedEnd), 0);
  // A signature longer than its field is cut; a shorter one leaves the field's zero bytes.
  writeText(image, kSignature1Offset, settings.signature1.substr(0, kSignature1Length));
  writeText(image, kSignature2Offset, settings.signature2.substr(0, kSignature2Length));
  writeText(image, kAuthorField.offset, cp1251ToUtf8(kNewAuthorCp1251));
  writeText(image, kNameField.offset, cp1251ToUtf8(kNewNameCp1251));
  writeText(image, kVersionField.offset, kNewVersion);
  writeU32LE(image, kFileCountOffset, settings.fileCount);
  adoptHeader(std::move(image), settings.fileCount);
}

ThemeDocument::FieldResult ThemeDocument::setHeaderField(const HeaderField& field,
                                                         std::string_view cp1251Text) {
  const std::string utf8 = cp1251ToUtf8(cp1251Text);
  if (utf8.size() > field.width) return FieldResult::TooLong;
  if (image_.size() < field.offset + field.width) image_.resize(field.offset + field.width, 0);
  const auto begin = image_.begin() + static_cast<std::ptrdiff_t>(field.offset);
  const std::vector<std::uint8_t> before(begin, begin + field.width);
  std::fill_n(begin, field.width, 0);
  writeText(image_, field.offset, utf8);
  // The boxes store their text on every change, also when it ends as the bytes it was.
  if (!std::equal(before.begin(), before.end(), begin)) modified_ = true;
  return FieldResult::Stored;
}

void ThemeDocument::setThemeType(const MapSettings& settings, std::uint8_t index) {
  if (image_.size() <= settings.typeByteOffset) image_.resize(settings.typeByteOffset + 1, 0);
  if (image_[settings.typeByteOffset] != index) modified_ = true;
  image_[settings.typeByteOffset] = index;
}

void ThemeDocument::replaceSlot(std::size_t i, std::vector<std::uint8_t> data) {
  if (i == 0 || i >= slots_.size()) throw std::out_of_range("ThemeDocument::replaceSlot");
  if (data.size() > kSlotCapacity) throw Error(kSlotCapacityMessage);
  slots_[i] = std::move(data);
  modified_ = true;
}

bool ThemeDocument::hasEmptySlot(const MapSettings& settings) const {
  // A slot the store lacks (the map's count changed since the theme was opened) counts as empty.
  return settings.fileCount >= slots_.size() ||
         std::any_of(slots_.begin() + 1, slots_.begin() + 1 + settings.fileCount,
                     [](const auto& slot) { return slot.empty(); });
}

std::span<const std::uint8_t> ThemeDocument::rebuildHeader(const MapSettings& settings,
                                                           std::span<const std::uint32_t> sizes) {
  if (saveLayoutOverlaps(settings)) throw Error(kLayoutOverlapMessage);
  if (sizes.size() < settings.fileCount) throw std::out_of_range("ThemeDocument::rebuildHeader");
  image_ = headerForSave(image_, settings, sizes);
  return image_;
}

ByteParts ThemeDocument::rebuildForSave(const MapSettings& settings) {
  const std::size_t count = settings.fileCount;
  if (saveLayoutOverlaps(settings)) throw Error(kLayoutOverlapMessage);
  if (count >= slots_.size()) throw std::out_of_range("ThemeDocument::rebuildForSave");
  ByteParts parts{rebuildHeader(settings, entrySizes(settings))};
  for (std::size_t i = 1; i <= count; ++i) parts.emplace_back(slots_[i]);
  return parts;
}

std::vector<std::uint32_t> ThemeDocument::entrySizes(const MapSettings& settings) const {
  std::vector<std::uint32_t> sizes(settings.fileCount, 0);
  for (std::size_t i = 0; i < sizes.size() && i + 1 < slots_.size(); ++i)
    sizes[i] = static_cast<std::uint32_t>(slots_[i + 1].size());
  return sizes;
}

std::size_t ThemeDocument::slotMemory() const {
  std::size_t sum = slots_.capacity() * sizeof(slots_[0]);
  for (const auto& slot : slots_) sum += slot.capacity();
  return sum;
}

}  // namespace wqt
