#pragma once
// The one way the core decodes a JPEG: a decompression object with every bound of ours set on it,
// whichever road (header size, preview, check, fitting) reads the file.
//
// - The library's memory for whole-picture coefficient buffers is capped (a parameter of the road).
// - A file of more than kMaxJpegScans scans, or whose scans together would take more than
//   kJpegStepsPerPixel steps a pixel, fails with the library's "invalid scan script" error.
// - Markers are saved only on a road that asks for them: the first EXIF block and the ICC
//   profile's chunks, at most kMaxSavedMarkerBytes in all; everything else is skipped unread.
// - A road may ask for the whole data: a file whose data runs out while the picture still needs
//   it then fails, where the library would fill the rest with grey.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "files/jpeg_library.h"

namespace wqt {

// What the library may allocate for one decode beyond our picture (whole-image coefficient
// buffers of progressive or multi-scan files). Without a backing store the library fails with
// its own error when a picture would need more, instead of taking whatever the header asks for.
inline constexpr long kJpegMemoryLimit = 256L << 20;

// The most scans a file may have (a real picture needs a dozen or so).
inline constexpr int kMaxJpegScans = 256;

// The decoding work all scans of a file may take, in steps per pixel of its frame (counted as at
// least kMinJpegWorkPixels). A block visited by a scan costs one step for each coefficient of the
// scan's band (a refinement pass looks at every one) and 16 to reach it (48 with arithmetic
// coding), a restart marker 48 and a warning about the data 128. A real progressive photo takes
// 4 to 12, a baseline one 2 to 5; the bound keeps a small file of empty or repeated scans over a
// large frame from taking seconds (at most about 12 ns a pixel as measured on the benchmarks'
// machine).
inline constexpr std::uint64_t kJpegStepsPerPixel = 24;
inline constexpr std::uint64_t kMinJpegWorkPixels = 256 * 256;

// The most marker bytes a road that keeps metadata saves: the EXIF block (at most one marker) and
// the ICC profile's chunks. A profile that does not fit is dropped whole.
inline constexpr std::size_t kMaxSavedMarkerBytes = 4u << 20;

// What a road asks of the reader.
struct JpegReading {
  long memoryLimit = kJpegMemoryLimit;
  // Keep the EXIF block and the ICC profile.
  bool metadata = false;
  // Fail when the data runs out before the picture is complete.
  bool wholeData = false;
};

class JpegSession {
 public:
  explicit JpegSession(const JpegReading& reading = {});
  ~JpegSession();
  JpegSession(const JpegSession&) = delete;
  JpegSession& operator=(const JpegSession&) = delete;

  // Creates the object, points it at the bytes or at `read` (which fills the span as far as it
  // can and returns how much, 0 at the end) and reads the header, requiring an image. False when
  // the library failed.
  bool readHeader(std::span<const std::uint8_t> bytes);
  bool readHeader(std::function<std::size_t(std::span<std::uint8_t>)> read);

  // Further library calls, with the jump target set; false when the library failed. The steps
  // must not own objects with destructors nor throw.
  template <typename Steps>
  bool guarded(Steps&& steps) {
    return jpegGuarded(err_, std::forward<Steps>(steps));
  }

  // The library's failure as the error to throw: JpegError with its message code, or the read
  // function's own exception when reading failed.
  [[noreturn]] void fail(bool afterHeader) const;

  // The bytes of the whole-picture coefficient buffer a multi-scan file needs (0 for a one-scan
  // file), once the header is read.
  std::uint64_t coefficientBytes();
  // A road that accepts that buffer raises the library's limit for it, before decoding starts.
  void setMemoryLimit(long bytes);

  // Whether the data ran out while the picture still needed it: a scan wanted more bits, or a
  // progressive file ended before every coefficient was complete. (A header the data ends in
  // fails as the library says: it cannot tell a file cut short from one that holds no image.) On a
  // wholeData road this is what failed.
  bool cutShort() const { return cutShort_; }

  // Whether the library warned about the data (corrupt or missing data, a bad marker), and its
  // first text about it or about the fatal error; empty when it gave none.
  bool warned() const { return warned_; }
  std::string firstText() const { return std::string(text_); }

  // The first APP1 marker's data that begins "Exif\0\0"; empty when there was none.
  std::span<const std::uint8_t> exif() const { return exif_; }
  // The ICC profile its APP2 chunks make up; empty when there is none, it is damaged or too large.
  std::vector<std::uint8_t> iccProfile() const;

  jpeg_decompress_struct cinfo{};

 private:
  friend struct JpegSessionHooks;

  struct IccChunk {
    int number = 0;
    int count = 0;
    std::vector<std::uint8_t> data;
  };

  template <typename SetSource>
  bool createAndRead(SetSource&& setSource);

  JpegReading reading_;
  JpegErrorManager err_{};
  jpeg_progress_mgr progress_{};
  JpegReaderSource source_;
  bool created_ = false;
  bool cutShort_ = false;
  bool endReached_ = false;
  bool warned_ = false;
  char text_[JMSG_LENGTH_MAX] = {};
  // The work spent so far and allowed, and the scan row last counted.
  std::uint64_t steps_ = 0;
  std::uint64_t allowedSteps_ = 0;
  int countedScan_ = 0;
  unsigned countedRow_ = 0;
  std::vector<std::uint8_t> exif_;
  std::vector<IccChunk> icc_;
  std::size_t savedBytes_ = 0;
  bool iccDropped_ = false;
};

}  // namespace wqt
