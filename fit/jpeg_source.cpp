// JPEG sources: libjpeg reads the file piece by piece from a ByteReader, decodes at the smallest
// DCT scale that keeps twice what the target needs, and hands rows to SourceRows.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>
#include <vector>

#include "files/jpeg_decoder.h"
#include "files/jpeg_library.h"
#include "fit/colour_profile.h"
#include "fit/fit_geometry.h"
#include "fit/source_decoders.h"
#include "fit/source_rows.h"

namespace wqt {

namespace {

// What the library may allocate beyond our rows: the whole-picture coefficients of a progressive
// file. A file needing more is refused by the library ("JPEG error #N"), which keeps any
// accepted file within the memory bound.
constexpr std::uint64_t kLibraryMemoryLimit = 40u << 20;

struct Session {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager err{};
  jpeg_progress_mgr progress{};
  JpegReaderSource source;
  bool created = false;
  JOCTET* icc = nullptr;
  unsigned iccLength = 0;

  explicit Session(ByteReader& reader) {
    cinfo.err = jpegErrorManager(err);
    limitJpegScans(progress);
    source.read = [&reader](std::span<std::uint8_t> out) { return reader.read(out); };
  }
  ~Session() {
    std::free(icc);
    if (created) jpeg_destroy_decompress(&cinfo);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The library's failure as the error to throw: a read error of the file as itself.
  [[noreturn]] void fail(bool afterHeader) const {
    if (source.readError) std::rethrow_exception(source.readError);
    throw JpegError(err.pub.msg_code, afterHeader);
  }
};

template <typename Steps>
bool guarded(Session& s, Steps&& steps) {
  return jpegGuarded(s.err, std::forward<Steps>(steps));
}

int orientationOf(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1) {
      const int value = exifOrientation({m->data, m->data_length});
      if (value != 1) return normalOrientation(value);
    }
  }
  return 1;
}

}  // namespace

SourcePicture decodeJpegSource(ByteReader& reader, const SourceRequest& request) {
  Session s(reader);
  const bool header = guarded(s, [&] {
    s.created = true;  // the object is zeroed, so destroying a half-created one is safe
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = static_cast<long>(kLibraryMemoryLimit);
    s.cinfo.progress = &s.progress;
    useJpegReaderSource(&s.cinfo, s.source);
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&s.cinfo, TRUE);
  });
  if (!header) s.fail(false);
  const int width = static_cast<int>(s.cinfo.image_width);
  const int height = static_cast<int>(s.cinfo.image_height);
  if (std::uint64_t(width) * std::uint64_t(height) > kMaxSourcePixels) {
    throw SourceError(kPictureTooLargeMessage);
  }

  // A file of several scans keeps every coefficient of the picture (64 of 2 bytes a block) until
  // its last scan: refused here with a message of its own rather than the library's failure.
  if (jpeg_has_multiple_scans(&s.cinfo)) {
    std::uint64_t coefficients = 0;
    for (int c = 0; c < s.cinfo.num_components; ++c) {
      const jpeg_component_info& info = s.cinfo.comp_info[c];
      coefficients += std::uint64_t{info.width_in_blocks} * info.height_in_blocks * 128;
    }
    if (coefficients > kLibraryMemoryLimit) throw SourceError(kProgressiveTooLargeMessage);
  }

  const int orientation = orientationOf(&s.cinfo);
  const bool swap = swapsAxes(orientation);
  const double minScale =
      minimumReadScale(swap ? height : width, swap ? width : height, request.target);
  if (!guarded(s, [&] { jpeg_read_icc_profile(&s.cinfo, &s.icc, &s.iccLength); })) s.fail(true);

  using Layout = ColourTransform::Layout;
  const J_COLOR_SPACE stored = s.cinfo.jpeg_color_space;
  const bool cmyk = stored == JCS_CMYK || stored == JCS_YCCK;
  const bool grey = stored == JCS_GRAYSCALE;
  const bool inverted = cmyk && s.cinfo.saw_Adobe_marker;
  const Layout layout = cmyk   ? (inverted ? Layout::InvertedCmyk : Layout::Cmyk)
                        : grey ? Layout::Grey
                               : Layout::Rgb;
  const ColourTransform profile = ColourTransform::fromProfile({s.icc, s.iccLength}, layout);
  // The library gives R, G, B, A itself unless a profile or CMYK needs the samples as stored.
  const J_COLOR_SPACE out = cmyk       ? JCS_CMYK
                            : !profile ? JCS_EXT_RGBA
                            : grey     ? JCS_GRAYSCALE
                                       : JCS_RGB;

  // The smallest scale of n/8 at or above the minimum, made smaller while over the budget.
  int scale = std::clamp(static_cast<int>(std::ceil(minScale * 8 - 1e-9)), 1, 8);
  const bool started = guarded(s, [&] {
    s.cinfo.out_color_space = out;
    s.cinfo.scale_denom = 8;
    for (;;) {
      s.cinfo.scale_num = static_cast<unsigned>(scale);
      jpeg_calc_output_dimensions(&s.cinfo);
      if (scale == 1 ||
          std::uint64_t{s.cinfo.output_width} * s.cinfo.output_height <= kSourcePixelBudget) {
        break;
      }
      --scale;
    }
    jpeg_start_decompress(&s.cinfo);
  });
  if (!started) s.fail(true);

  const int outWidth = static_cast<int>(s.cinfo.output_width);
  const int outHeight = static_cast<int>(s.cinfo.output_height);
  const int factor = reductionFactor(outWidth, outHeight, std::min(1.0, minScale * 8 / scale));
  SourceRows rows(outWidth, outHeight, factor, orientation, request.background);
  std::vector<JSAMPLE> samples(std::size_t(outWidth) * std::size_t(s.cinfo.output_components));
  std::vector<std::uint8_t> rgba(out == JCS_EXT_RGBA ? 0 : std::size_t(outWidth) * 4);
  JSAMPROW row = samples.data();
  for (int y = 0; y < outHeight; ++y) {
    if (!guarded(s, [&] { jpeg_read_scanlines(&s.cinfo, &row, 1); })) s.fail(true);
    if (out == JCS_EXT_RGBA) {
      rows.push(samples.data());
      continue;
    }
    if (profile) {
      profile.toRgba(samples.data(), rgba.data(), outWidth);
    } else {
      cmykToRgba(samples.data(), rgba.data(), outWidth, inverted);
    }
    rows.push(rgba.data());
  }
  if (!guarded(s, [&] { jpeg_finish_decompress(&s.cinfo); })) s.fail(true);
  return {rows.finish(), swap ? height : width, swap ? width : height};
}

}  // namespace wqt
