#pragma once
// What fitting a picture to an embedded JPG or RAW file can be asked for: the target, the
// geometry, the background, the dithering of RAW and the quality of JPG.
#include <cstdint>
#include <optional>

#include "files/file_kind.h"
#include "map/theme_map.h"

namespace wqt {

// "crop to fill" covers the target and cuts what overflows; "fit inside" shows the whole picture
// with borders in the background colour; "stretch" scales each axis on its own.
enum class FitMode { Crop, Inside, Stretch };

// How RAW output reaches 16-bit colour: keep each channel's top bits, ordered (Bayer 8 × 8) or
// error diffusion (Floyd–Steinberg).
enum class Dither { None, Ordered, Diffusion };

// Where the crop window sits by default when the picture overflows the target.
enum class Gravity { Center, Top, Bottom, Left, Right };

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct FitOptions {
  FitMode mode = FitMode::Crop;
  // The crop window's position along each axis where the picture overflows: 0 at the left (top)
  // edge, 1 at the right (bottom) edge, 0.5 centred. Values outside 0..1 are clamped.
  double cropX = 0.5;
  double cropY = 0.5;
  // Under transparent pixels and in the borders of "fit inside".
  Rgb background{0, 0, 0};
  Dither dither = Dither::Diffusion;
  // JPG: the quality to encode with (1..100), or nullopt for the highest quality up to
  // kMaxAutoQuality whose file fits a slot.
  std::optional<int> quality;
};

// The crop window position of a gravity: Top is (0.5, 0), Left is (0, 0.5) and so on.
void applyGravity(FitOptions& options, Gravity gravity);

// What a picture is fitted to: the kind of file and its picture size.
struct FitTarget {
  FileKind kind = FileKind::Jpg;
  int width = 0;
  int height = 0;
};

// The target of an entry; nullopt when the entry's kind holds no picture to fit (only JPG and
// RAW do) or its size is zero.
std::optional<FitTarget> fitTarget(const FileEntry& entry);

// Whether a slot can hold any file of the target: a RAW picture's words, or the smallest baseline
// JPEG there is (a one-bit DC and a one-bit end-of-block code for every 8 × 8 block, at 4:2:0) of
// a picture the preview decodes (kMaxPreviewPixels). A target that fails is refused before a
// pixel of it is read or made.
bool slotCanHold(const FitTarget& target);

// The highest quality the automatic choice tries.
inline constexpr int kMaxAutoQuality = 95;

}  // namespace wqt
