#include "files/jpeg_verify.h"

#include <vector>

#include "files/jpeg_library.h"

namespace wqt {

namespace {

struct Verifier {
  JpegErrorManager manager;  // first, so the library's pointer to it is a pointer to the whole
  bool corrupt = false;
  char text[JMSG_LENGTH_MAX] = {};
};

void keepText(j_common_ptr cinfo) {
  auto* v = reinterpret_cast<Verifier*>(cinfo->err);
  if (v->text[0] == '\0') cinfo->err->format_message(cinfo, v->text);
}

[[noreturn]] void onFatal(j_common_ptr cinfo) {
  keepText(cinfo);
  std::longjmp(reinterpret_cast<Verifier*>(cinfo->err)->manager.jump, 1);
}

// Level -1 is a warning about the data itself (a premature end, a missing marker, bad Huffman
// codes): the picture shown would be wrong, so it is a fault. Trace messages are not.
void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    keepText(cinfo);
    reinterpret_cast<Verifier*>(cinfo->err)->corrupt = true;
  }
}

}  // namespace

std::optional<std::string> jpegCorruption(std::span<const std::uint8_t> bytes) {
  jpeg_decompress_struct cinfo{};
  Verifier v;
  cinfo.err = jpegErrorManager(v.manager);
  // A few kilobytes of empty scans would otherwise each decode the whole picture again.
  jpeg_progress_mgr progress{};
  limitJpegScans(progress);
  v.manager.pub.error_exit = onFatal;
  v.manager.pub.emit_message = onMessage;
  // Every scanline is decoded into one row, the widest a JPEG can have, in up to four components.
  std::vector<JSAMPLE> row(std::size_t{JPEG_MAX_DIMENSION} * 4);
  JSAMPLE* rowStart = row.data();
  bool fits = false;
  const bool decoded = jpegGuarded(v.manager, [&] {
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kJpegMemoryLimit;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_calc_output_dimensions(&cinfo);
    fits = std::size_t{cinfo.output_width} * static_cast<std::size_t>(cinfo.output_components) <=
           row.size();
    if (!fits) return;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, &rowStart, 1);
    jpeg_finish_decompress(&cinfo);
  });
  jpeg_destroy_decompress(&cinfo);
  if (decoded && fits && !v.corrupt) return std::nullopt;
  return std::string(v.text);
}

}  // namespace wqt
