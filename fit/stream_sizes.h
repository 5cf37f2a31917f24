#pragma once
// Picture sizes (width × height) the stream headers of HEVC and AV1 give; 0 where they are
// absent or unreadable.
#include <cstdint>
#include <span>

namespace wqt {

// An HEVC sequence parameter set NAL unit, its two-byte header included.
std::uint64_t hevcSpsPixels(std::span<const std::uint8_t> nal);
// The largest picture the sequence parameter sets of an hvcC box's body describe.
std::uint64_t hevcConfigPixels(std::span<const std::uint8_t> hvcC);
// The sequence header among AV1 OBUs (an av1C box's configuration OBUs, or the start of an
// item's data), if they carry one.
std::uint64_t av1ObuPixels(std::span<const std::uint8_t> obus);

}  // namespace wqt
