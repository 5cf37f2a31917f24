#include "ops/picture_error_text.h"

#include <charconv>
#include <cstddef>
#include <cstdio>

// After cstdio and cstddef: jpeglib.h needs FILE and size_t; jerror.h the library's codes.
#include <jerror.h>
#include <jpeglib.h>

namespace wqt {

namespace {

struct CodeText {
  int code;
  const char* text;
};

constexpr const char* kNotJpeg = "Файл не является рисунком JPEG или повреждён";
constexpr const char* kTooLarge = "Рисунок JPEG слишком велик";
constexpr const char* kTooManyScans =
    "Рисунок JPEG состоит из слишком многих или слишком долгих проходов (сканов)";
constexpr const char* kUnsupported = "Такой вид рисунка JPEG не поддерживается";
constexpr const char* kDamaged = "Рисунок JPEG повреждён";

constexpr CodeText kTexts[] = {
    {JERR_NO_SOI, kNotJpeg},
    {JERR_NO_IMAGE, kNotJpeg},
    {JERR_INPUT_EMPTY, kNotJpeg},
    {JERR_IMAGE_TOO_BIG, kTooLarge},
    {JERR_WIDTH_OVERFLOW, kTooLarge},
    {JERR_NO_BACKING_STORE, kTooLarge},
    {JERR_OUT_OF_MEMORY, kTooLarge},
    {JERR_BAD_SCAN_SCRIPT, kTooManyScans},
    {JERR_CONVERSION_NOTIMPL, kUnsupported},
    {JERR_SOF_UNSUPPORTED, kUnsupported},
    {JERR_BAD_PRECISION, kUnsupported},
    {JERR_ARITH_NOTIMPL, kUnsupported},
    {JERR_NOT_COMPILED, kUnsupported},
    {JERR_NOTIMPL, kUnsupported},
    {JERR_COMPONENT_COUNT, kUnsupported},
    {JERR_CCIR601_NOTIMPL, kUnsupported},
    {JERR_FRACT_SAMPLE_NOTIMPL, kUnsupported},
};

}  // namespace

std::string pictureErrorText(const Error& error) {
  if (error.code() != ErrorCode::Jpeg) return error.what();
  const std::string& detail = error.detail();
  int code = -1;
  std::from_chars(detail.data(), detail.data() + detail.size(), code);
  const char* text = kDamaged;
  for (const CodeText& known : kTexts)
    if (known.code == code) text = known.text;
  return std::string(text) + " (" + error.what() + ").";
}

std::string otherFormatText(const char* format) {
  return std::string("Это рисунок ") + format + ", а файл темы — JPG.";
}

}  // namespace wqt
