#include <libexif/exif-data.h>

#include <memory>

#include "fit/source_decoders.h"

namespace wqt {

int exifOrientation(std::span<const std::uint8_t> app1) {
  static constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
  if (app1.size() < sizeof kExifHeader ||
      !std::equal(std::begin(kExifHeader), std::end(kExifHeader), app1.begin())) {
    return 1;
  }
  std::unique_ptr<ExifData, decltype(&exif_data_unref)> data(exif_data_new(), exif_data_unref);
  if (!data) return 1;
  // Only reading: the library must not add or correct entries, nor parse makers' notes.
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_set_option(data.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
  exif_data_load_data(data.get(), app1.data(), static_cast<unsigned>(app1.size()));
  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (entry == nullptr || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 ||
      entry->size < 2) {
    return 1;
  }
  return exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
}

}  // namespace wqt
