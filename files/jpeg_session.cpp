#include "files/jpeg_session.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

// After jpeglib.h: the library's message codes.
#include <jerror.h>

#include "files/jpeg_decoder.h"

namespace wqt {

namespace {

JpegSession& sessionOf(j_common_ptr cinfo) {
  return *static_cast<JpegSession*>(cinfo->client_data);
}

// The sources here never suspend: at the end they supply an end-of-image marker.
void fillIfEmpty(j_decompress_ptr cinfo) {
  jpeg_source_mgr* src = cinfo->src;
  if (src->bytes_in_buffer == 0 && !(*src->fill_input_buffer)(cinfo)) {
    ERREXIT(cinfo, JERR_CANT_SUSPEND);
  }
}

void readBytes(j_decompress_ptr cinfo, std::uint8_t* out, std::size_t count) {
  jpeg_source_mgr* src = cinfo->src;
  while (count > 0) {
    fillIfEmpty(cinfo);
    const std::size_t n = std::min(count, src->bytes_in_buffer);
    std::memcpy(out, src->next_input_byte, n);
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
    out += n;
    count -= n;
  }
}

void skipBytes(j_decompress_ptr cinfo, std::size_t count) {
  if (count > 0) (*cinfo->src->skip_input_data)(cinfo, static_cast<long>(count));
}

// The length of a marker's data after its two length bytes.
std::size_t markerLength(j_decompress_ptr cinfo) {
  std::array<std::uint8_t, 2> bytes{};
  readBytes(cinfo, bytes.data(), bytes.size());
  const unsigned length = bytes[0] << 8 | bytes[1];
  if (length < 2) ERREXIT(cinfo, JERR_BAD_LENGTH);
  return length - 2;
}

// A vector of `size` bytes; the library is stopped rather than crossed by bad_alloc.
bool sized(std::vector<std::uint8_t>& bytes, std::size_t size) {
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The work of a block visited by a scan, besides one step a coefficient of its band: what it costs
// to reach (an arithmetic decoder spends three times as long on a block without data), and the
// work of a restart marker looked for and of a warning about the data.
constexpr int kBlockSteps = 16;
constexpr int kArithmeticBlockSteps = 48;
constexpr std::uint64_t kRestartSteps = 48;
constexpr std::uint64_t kWarningSteps = 128;

// Whether a progressive file's scans so far have brought every coefficient to its last bit (the
// library keeps each one's remaining bits, -1 for one never sent). A sequential file has no such
// record.
bool progressionComplete(j_decompress_ptr cinfo) {
  if (!cinfo->progressive_mode || cinfo->coef_bits == nullptr) return true;
  for (int c = 0; c < cinfo->num_components; ++c) {
    for (int k = 0; k < DCTSIZE2; ++k)
      if (cinfo->coef_bits[c][k] != 0) return false;
  }
  return true;
}

constexpr std::array<std::uint8_t, 6> kExifHeader = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::array<std::uint8_t, 12> kIccHeader = {'I', 'C', 'C', '_', 'P', 'R',
                                                     'O', 'F', 'I', 'L', 'E', 0};

}  // namespace

// The library's callbacks, with access to the session they report to.
struct JpegSessionHooks {
  static void keepText(j_common_ptr cinfo) {
    JpegSession& s = sessionOf(cinfo);
    if (s.text_[0] == '\0') cinfo->err->format_message(cinfo, s.text_);
  }

  [[noreturn]] static void onFatal(j_common_ptr cinfo) {
    keepText(cinfo);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
  }

  // Level -1 is a warning about the data; trace messages are not. Data that ran out shows as an
  // end-of-file warning and the library's end-of-image marker in its place; the picture is cut
  // short only when a scan then needed more bits (a missing end-of-image marker alone is not).
  static void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    JpegSession& s = sessionOf(cinfo);
    keepText(cinfo);
    s.warned_ = true;
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF) {
      s.endReached_ = true;
      // No scan can follow: a progressive file is whole only if every coefficient's passes came.
      if (!progressionComplete(reinterpret_cast<j_decompress_ptr>(cinfo))) s.cutShort_ = true;
    }
    if (code == JWRN_HIT_MARKER && s.endReached_) s.cutShort_ = true;
    if (s.cutShort_ && s.reading_.wholeData) ERREXIT(cinfo, JWRN_JPEG_EOF);
    // Each warning costs the reader too: a damaged file may give one at every block.
    s.steps_ += kWarningSteps;
    if (s.allowedSteps_ != 0 && s.steps_ > s.allowedSteps_) ERREXIT(cinfo, JERR_BAD_SCAN_SCRIPT);
  }

  // Called before every piece of input the library decodes. Each row of a scan's blocks is
  // counted once, as it comes, against the work the picture may take.
  static void onProgress(j_common_ptr common) {
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    JpegSession& s = sessionOf(common);
    const int scan = cinfo->input_scan_number;
    if (scan > kMaxJpegScans) ERREXIT(cinfo, JERR_BAD_SCAN_SCRIPT);
    const unsigned row = cinfo->input_iMCU_row;
    if (scan == 0 || cinfo->comps_in_scan == 0 || row >= cinfo->total_iMCU_rows ||
        (scan == s.countedScan_ && row == s.countedRow_)) {
      return;
    }
    s.countedScan_ = scan;
    s.countedRow_ = row;
    // A scan of one component takes its block rows v_samp_factor at a time, one block an MCU;
    // an interleaved one a row of whole MCUs.
    const bool single = cinfo->comps_in_scan == 1;
    const std::uint64_t mcus =
        std::uint64_t{cinfo->MCUs_per_row} * (single ? cinfo->cur_comp_info[0]->v_samp_factor : 1);
    const std::uint64_t blocks = mcus * std::uint64_t(single ? 1 : cinfo->blocks_in_MCU);
    const int band = std::clamp(cinfo->Se - cinfo->Ss + 1, 1, DCTSIZE2);
    s.steps_ +=
        blocks * std::uint64_t((cinfo->arith_code ? kArithmeticBlockSteps : kBlockSteps) + band);
    if (cinfo->restart_interval > 0)
      s.steps_ += (mcus / cinfo->restart_interval + 1) * kRestartSteps;
    if (s.steps_ > s.allowedSteps_) ERREXIT(cinfo, JERR_BAD_SCAN_SCRIPT);
  }

  // APP1: the first block that begins as EXIF does is kept, any other skipped.
  static boolean onApp1(j_decompress_ptr cinfo) {
    JpegSession& s = sessionOf(reinterpret_cast<j_common_ptr>(cinfo));
    const std::size_t length = markerLength(cinfo);
    if (!s.exif_.empty() || length < kExifHeader.size() ||
        s.savedBytes_ + length > kMaxSavedMarkerBytes) {
      skipBytes(cinfo, length);
      return TRUE;
    }
    std::array<std::uint8_t, kExifHeader.size()> head{};
    readBytes(cinfo, head.data(), head.size());
    if (head != kExifHeader) {
      skipBytes(cinfo, length - head.size());
      return TRUE;
    }
    if (!sized(s.exif_, length)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    std::copy(head.begin(), head.end(), s.exif_.begin());
    readBytes(cinfo, s.exif_.data() + head.size(), length - head.size());
    s.savedBytes_ += length;
    return TRUE;
  }

  // APP2: the chunks of an ICC profile are kept while they fit the byte cap; past it the profile
  // is dropped whole and its further chunks skipped.
  static boolean onApp2(j_decompress_ptr cinfo) {
    JpegSession& s = sessionOf(reinterpret_cast<j_common_ptr>(cinfo));
    const std::size_t length = markerLength(cinfo);
    constexpr std::size_t kHead = kIccHeader.size() + 2;
    if (length < kHead || s.iccDropped_) {
      skipBytes(cinfo, length);
      return TRUE;
    }
    std::array<std::uint8_t, kHead> head{};
    readBytes(cinfo, head.data(), head.size());
    const std::size_t size = length - kHead;
    if (!std::equal(kIccHeader.begin(), kIccHeader.end(), head.begin())) {
      skipBytes(cinfo, size);
      return TRUE;
    }
    if (s.savedBytes_ + size > kMaxSavedMarkerBytes) {
      s.iccDropped_ = true;
      s.icc_.clear();
      skipBytes(cinfo, size);
      return TRUE;
    }
    JpegSession::IccChunk chunk{head[kHead - 2], head[kHead - 1], {}};
    bool stored = sized(chunk.data, size);
    if (stored) {
      try {
        s.icc_.push_back(std::move(chunk));
      } catch (const std::bad_alloc&) {
        stored = false;
      }
    }
    if (!stored) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    readBytes(cinfo, s.icc_.back().data.data(), size);
    s.savedBytes_ += size;
    return TRUE;
  }
};

JpegSession::JpegSession(const JpegReading& reading) : reading_(reading) {
  cinfo.err = jpegErrorManager(err_);
  err_.pub.error_exit = JpegSessionHooks::onFatal;
  err_.pub.emit_message = JpegSessionHooks::onMessage;
  // Kept by the object's creation, which clears everything else.
  cinfo.client_data = this;
  progress_.progress_monitor = JpegSessionHooks::onProgress;
}

// The object starts zeroed, which the library destroys as one never or half created.
JpegSession::~JpegSession() {
  jpeg_destroy_decompress(&cinfo);
}

template <typename SetSource>
bool JpegSession::createAndRead(SetSource&& setSource) {
  return guarded([&] {
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = reading_.memoryLimit;
    cinfo.progress = &progress_;
    setSource();
    if (reading_.metadata) {
      jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 1, JpegSessionHooks::onApp1);
      jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 2, JpegSessionHooks::onApp2);
    }
    jpeg_read_header(&cinfo, TRUE);
    const std::uint64_t pixels = std::uint64_t{cinfo.image_width} * cinfo.image_height;
    allowedSteps_ = kJpegStepsPerPixel * std::max(pixels, kMinJpegWorkPixels);
  });
}

bool JpegSession::readHeader(std::span<const std::uint8_t> bytes) {
  return createAndRead(
      [&] { jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size())); });
}

bool JpegSession::readHeader(std::function<std::size_t(std::span<std::uint8_t>)> read) {
  source_.read = std::move(read);
  return createAndRead([&] { useJpegReaderSource(&cinfo, source_); });
}

void JpegSession::fail(bool afterHeader) const {
  if (source_.readError) std::rethrow_exception(source_.readError);
  throw JpegError(err_.pub.msg_code, afterHeader);
}

std::uint64_t JpegSession::coefficientBytes() {
  if (!jpeg_has_multiple_scans(&cinfo)) return 0;
  // 64 coefficients of 2 bytes a block, kept for the whole picture until its last scan.
  std::uint64_t bytes = 0;
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info& info = cinfo.comp_info[c];
    bytes += std::uint64_t{info.width_in_blocks} * info.height_in_blocks * 128;
  }
  return bytes;
}

void JpegSession::setMemoryLimit(long bytes) {
  reading_.memoryLimit = bytes;
  cinfo.mem->max_memory_to_use = bytes;
}

std::vector<std::uint8_t> JpegSession::iccProfile() const {
  if (iccDropped_ || icc_.empty()) return {};
  // Chunks numbered 1 to their count, each once, in any order.
  const int count = icc_.front().count;
  if (count == 0 || static_cast<std::size_t>(count) != icc_.size()) return {};
  std::vector<const IccChunk*> ordered(icc_.size(), nullptr);
  for (const IccChunk& chunk : icc_) {
    if (chunk.count != count || chunk.number < 1 || chunk.number > count ||
        ordered[chunk.number - 1] != nullptr) {
      return {};
    }
    ordered[chunk.number - 1] = &chunk;
  }
  std::vector<std::uint8_t> profile;
  for (const IccChunk* chunk : ordered) {
    profile.insert(profile.end(), chunk->data.begin(), chunk->data.end());
  }
  return profile;
}

}  // namespace wqt
