#include "files/jpeg_verify.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace wqt {

namespace {

// What the library may allocate beyond a row; the pictures check meets are at most a slot.
constexpr long kLibraryMemoryLimit = 256L << 20;

struct Verifier {
  jpeg_error_mgr pub;  // first, so the library's pointer to it is a pointer to the whole
  std::jmp_buf jump;
  bool corrupt = false;
  char text[JMSG_LENGTH_MAX] = {};
};

void keepText(j_common_ptr cinfo) {
  auto* v = reinterpret_cast<Verifier*>(cinfo->err);
  if (v->text[0] == '\0') cinfo->err->format_message(cinfo, v->text);
}

[[noreturn]] void onFatal(j_common_ptr cinfo) {
  keepText(cinfo);
  std::longjmp(reinterpret_cast<Verifier*>(cinfo->err)->jump, 1);
}

// Level -1 is a warning about the data itself (a premature end, a missing marker, bad Huffman
// codes): the picture shown would be wrong, so it is a fault. Trace messages are not.
void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    keepText(cinfo);
    reinterpret_cast<Verifier*>(cinfo->err)->corrupt = true;
  }
}

void noOutput(j_common_ptr) {}

// Decodes every scanline into one row. No object with a destructor lives across the library's
// calls: a fatal error leaves them by longjmp.
bool decodesCleanly(jpeg_decompress_struct& cinfo, Verifier& v, const std::uint8_t* data,
                    std::size_t size, JSAMPLE* row, std::size_t rowBytes) {
  if (setjmp(v.jump) != 0) return false;
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kLibraryMemoryLimit;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  jpeg_calc_output_dimensions(&cinfo);
  if (std::size_t{cinfo.output_width} * static_cast<std::size_t>(cinfo.output_components) >
      rowBytes) {
    return false;
  }
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, &row, 1);
  jpeg_finish_decompress(&cinfo);
  return !v.corrupt;
}

}  // namespace

std::optional<std::string> jpegCorruption(std::span<const std::uint8_t> bytes) {
  jpeg_decompress_struct cinfo{};
  Verifier v;
  cinfo.err = jpeg_std_error(&v.pub);
  v.pub.error_exit = onFatal;
  v.pub.emit_message = onMessage;
  v.pub.output_message = noOutput;
  // The widest row a JPEG can have, in up to four components.
  std::vector<JSAMPLE> row(std::size_t{JPEG_MAX_DIMENSION} * 4);
  const bool sound = decodesCleanly(cinfo, v, bytes.data(), bytes.size(), row.data(), row.size());
  jpeg_destroy_decompress(&cinfo);
  if (sound) return std::nullopt;
  return std::string(v.text);
}

}  // namespace wqt
