// PNG sources: the shared PNG reader pulls the file from a ByteReader and gives 8-bit R, G, B, A
// rows (grey and alpha for a grey profile), which are put in sRGB and go to SourceRows as they
// come; an interlaced picture's passes go to SourceBlocks, which holds only the reduced picture.
#include <optional>
#include <vector>

#include "files/png_reader.h"
#include "fit/colour_profile.h"
#include "fit/fit_geometry.h"
#include "fit/source_blocks.h"
#include "fit/source_decoders.h"
#include "fit/source_rows.h"

namespace wqt {

namespace {

// The library's own default: a row of it in the widest form (16-bit RGBA) takes 8 MB.
constexpr std::uint32_t kMaxSide = 1'000'000;

class FitSink : public PngSink {
 public:
  explicit FitSink(const SourceRequest& request) : request_(request) {}

  std::optional<PngRows> start(const PngHeader& header) override {
    if (std::uint64_t{header.width} * header.height > kMaxSourcePixels) {
      throw SourceError(kPictureTooLargeMessage);
    }
    using Layout = ColourTransform::Layout;
    const ColourTransform greyProfile =
        header.grey ? ColourTransform::fromProfile(header.profile, Layout::GreyAlpha)
                    : ColourTransform();
    profile_ = greyProfile   ? greyProfile
               : header.grey ? ColourTransform()
                             : ColourTransform::fromProfile(header.profile, Layout::Rgba);
    width_ = static_cast<int>(header.width);
    height_ = static_cast<int>(header.height);
    const int factor =
        reductionFactor(width_, height_, minimumReadScale(width_, height_, request_.target));
    if (header.interlaced) {
      blocks_.emplace(width_, height_, factor, request_.background);
    } else {
      rows_.emplace(width_, height_, factor, 1, request_.background);
    }
    if (profile_) converted_.resize(std::size_t(width_) * 4);
    return greyProfile ? PngRows::GreyAlpha : PngRows::Rgba;
  }

  void row(const PngRow& row) override {
    const std::uint8_t* rgba = row.pixels;
    if (profile_) {
      profile_.toRgba(row.pixels, converted_.data(), width_);
      rgba = converted_.data();
    }
    if (blocks_) {
      blocks_->add(static_cast<int>(row.y), static_cast<int>(row.first), static_cast<int>(row.step),
                   rgba);
    } else {
      rows_->push(rgba);
    }
  }

  SourcePicture finish() {
    return {blocks_ ? blocks_->finish() : rows_->finish(), width_, height_};
  }

 private:
  const SourceRequest& request_;
  ColourTransform profile_;
  int width_ = 0, height_ = 0;
  std::optional<SourceRows> rows_;
  std::optional<SourceBlocks> blocks_;
  std::vector<std::uint8_t> converted_;
};

}  // namespace

SourcePicture decodePngSource(ByteReader& reader, const SourceRequest& request) {
  FitSink sink(request);
  readPng([&](std::span<std::uint8_t> out) { return reader.read(out); }, {kMaxSide, true}, sink);
  return sink.finish();
}

}  // namespace wqt
