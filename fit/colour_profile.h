#pragma once
// An embedded ICC profile applied with Little CMS: rows in the picture's own colours to 8-bit
// sRGB with alpha.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace wqt {

class ColourTransform {
 public:
  // The samples of one pixel as a decoder gives them. InvertedCmyk is the CMYK of JPEGs with an
  // Adobe marker, which store 255 for no ink.
  enum class Layout { Rgb, Rgba, Grey, GreyAlpha, Cmyk, InvertedCmyk };

  // A transform from the profile to sRGB; empty when the profile cannot be read or does not
  // describe samples of this layout. Such a profile is ignored, as browsers do: the picture is
  // still worth taking, in its colours read as sRGB.
  static ColourTransform fromProfile(std::span<const std::uint8_t> icc, Layout layout);

  explicit operator bool() const { return handle_ != nullptr; }

  // `width` pixels of the layout to R, G, B, A; alpha is copied, or 255 for layouts without it.
  void toRgba(const std::uint8_t* in, std::uint8_t* rgba, int width) const;

 private:
  std::shared_ptr<void> handle_;
  bool alpha_ = false;
};

// Profile-less CMYK to RGB, each ink taking its share of the light: what a print would look
// like with no profile to say better.
void cmykToRgba(const std::uint8_t* in, std::uint8_t* rgba, int width, bool inverted);

// The ICC profile of RGB primaries: the CIE xy of red, green, blue and white, with the sRGB
// curve (gamma 0) or a power curve; empty when Little CMS cannot make it.
std::vector<std::uint8_t> rgbProfile(const std::array<double, 8>& xy, double gamma);

}  // namespace wqt
