#include "fit/colour_profile.h"

#include <lcms2.h>

namespace wqt {

namespace {

struct Layoutinfo {
  cmsUInt32Number format;
  cmsColorSpaceSignature space;
  bool alpha;
};

Layoutinfo layoutInfo(ColourTransform::Layout layout) {
  using L = ColourTransform::Layout;
  switch (layout) {
    case L::Rgb:
      return {TYPE_RGB_8, cmsSigRgbData, false};
    case L::Rgba:
      return {TYPE_RGBA_8, cmsSigRgbData, true};
    case L::Grey:
      return {TYPE_GRAY_8, cmsSigGrayData, false};
    case L::GreyAlpha:
      return {TYPE_GRAYA_8, cmsSigGrayData, true};
    case L::Cmyk:
      return {TYPE_CMYK_8, cmsSigCmykData, false};
    case L::InvertedCmyk:
      return {TYPE_CMYK_8_REV, cmsSigCmykData, false};
  }
  return {TYPE_RGB_8, cmsSigRgbData, false};
}

using Profile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

}  // namespace

ColourTransform ColourTransform::fromProfile(std::span<const std::uint8_t> icc, Layout layout) {
  ColourTransform result;
  if (icc.empty()) return result;
  const Layoutinfo info = layoutInfo(layout);
  Profile in(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())),
             cmsCloseProfile);
  if (!in || cmsGetColorSpace(in.get()) != info.space) return result;
  Profile srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
  if (!srgb) return result;
  const cmsHTRANSFORM transform =
      cmsCreateTransform(in.get(), info.format, srgb.get(), TYPE_RGBA_8, INTENT_PERCEPTUAL,
                         info.alpha ? cmsFLAGS_COPY_ALPHA : 0);
  if (transform == nullptr) return result;
  result.handle_ = std::shared_ptr<void>(transform, cmsDeleteTransform);
  result.alpha_ = info.alpha;
  return result;
}

void ColourTransform::toRgba(const std::uint8_t* in, std::uint8_t* rgba, int width) const {
  cmsDoTransform(handle_.get(), in, rgba, static_cast<cmsUInt32Number>(width));
  if (!alpha_) {
    for (int x = 0; x < width; ++x) rgba[4 * x + 3] = 255;
  }
}

void cmykToRgba(const std::uint8_t* in, std::uint8_t* rgba, int width, bool inverted) {
  for (int x = 0; x < width; ++x, in += 4, rgba += 4) {
    // The light left: 255 - ink, or the stored value itself when it is stored inverted.
    const unsigned k = inverted ? in[3] : 255u - in[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned light = inverted ? in[c] : 255u - in[c];
      rgba[c] = static_cast<std::uint8_t>((light * k + 127) / 255);
    }
    rgba[3] = 255;
  }
}

std::vector<std::uint8_t> rgbProfile(const std::array<double, 8>& xy, double gamma) {
  const cmsCIExyY white{xy[6], xy[7], 1.0};
  const cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1.0}, {xy[2], xy[3], 1.0}, {xy[4], xy[5], 1.0}};
  // The sRGB curve as Little CMS's parametric type 4: gamma, a, b, c, d.
  static constexpr double kSrgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
  using Curve = std::unique_ptr<cmsToneCurve, decltype(&cmsFreeToneCurve)>;
  const Curve curve(
      gamma > 0 ? cmsBuildGamma(nullptr, gamma) : cmsBuildParametricToneCurve(nullptr, 4, kSrgb),
      cmsFreeToneCurve);
  if (!curve) return {};
  cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
  const Profile profile(cmsCreateRGBProfile(&white, &primaries, curves), cmsCloseProfile);
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) return {};
  std::vector<std::uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
  return bytes;
}

}  // namespace wqt
