// Writes the seed corpus of every fuzz target: make_seeds <folder> creates <folder>/<target>/
// with small, valid and nearly valid inputs of our own making.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/inputs.h"
#include "files/png_picture.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

void put(const fs::path& dir, const std::string& name, const Bytes& b) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A theme for the sample map (table 9Ch, data 100h, 15 files, type byte 98h) with small slots.
Bytes sampleTheme(std::uint32_t slotSize) {
  wqt::sample::ThemeRecipe recipe;
  recipe.author = "\xD0\x90\xD0\xB2\xD1\x82\xD0\xBE\xD1\x80";  // UTF-8 Cyrillic
  recipe.name = "N";
  std::vector<Bytes> files(15);
  for (std::uint32_t i = 0; i < 15 * slotSize; ++i) {
    files[i / slotSize].push_back(static_cast<std::uint8_t>(i));
  }
  return wqt::sample::themeFile(recipe, files);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds <corpus folder> <sample map>\n");
    return 2;
  }
  const fs::path root = argv[1];
  const Bytes sampleMap = readFile(argv[2]);

  // Maps: the sample, a generated nested one, and line-ending and scanner corner cases.
  put(root / "map_load", "sample.rxt", sampleMap);
  put(root / "map_load", "nested.rxt", bytesOf(wqt::gen::nestedMap(40)));
  put(root / "map_load", "crlf_ctrlz.rxt",
      bytesOf("<ThemeSign a=\"A\" b=\"B\">\r\n<group name=\"G\">\r\n<file n=\"F\" i=\"0\" "
              "t=\"RAW\" w=\"$10\" h=\"0x10\">\x1a rest\n</group e=\"\">\n\x1a<file>\n"));
  put(root / "map_load", "unbalanced.rxt",
      bytesOf("<group n=\"A\">\n</group e=\"\">\n</group e=\"\">\n"));
  put(root / "map_load", "bad_number.rxt",
      bytesOf("<file n=\"F\" i=\"0\" t=\"JPG\" w=\"12a\" h=\"1\">\n"));
  put(root / "map_load", "odd_quotes.rxt", bytesOf("<file n=\"F i=\"0\">\n; <x \"a\">\n"));

  // Themes for the sample map.
  put(root / "theme_open", "valid.wqt", sampleTheme(4));
  put(root / "theme_open", "empty_slots.wqt", sampleTheme(0));
  Bytes cut = sampleTheme(4);
  cut.resize(cut.size() - 3);
  put(root / "theme_open", "truncated.wqt", cut);
  Bytes big = sampleTheme(0);
  wqt::writeU32LE(big, 0x9C, 524289);
  put(root / "theme_open", "too_large.wqt", big);
  Bytes sig = sampleTheme(1);
  sig[20] ^= 0xFF;
  put(root / "theme_open", "bad_signature2.wqt", sig);

  // JPEGs: baseline colour, grey, progressive, and one cut short.
  const Bytes rgb = wqt::gen::jpeg(16, 16);
  put(root / "jpeg_header", "rgb.jpg", rgb);
  put(root / "jpeg_header", "grey.jpg", wqt::gen::jpeg(8, 24, true));
  put(root / "jpeg_header", "progressive.jpg", wqt::gen::jpeg(24, 8, false, 75, true));
  for (const char* target : {"jpeg_preview"}) {
    put(root / target, "rgb.jpg", rgb);
    put(root / target, "grey.jpg", wqt::gen::jpeg(8, 24, true));
    put(root / target, "progressive.jpg", wqt::gen::jpeg(24, 8, false, 75, true));
    Bytes shortJpeg = wqt::gen::jpeg(32, 32);
    shortJpeg.resize(shortJpeg.size() / 2);
    put(root / target, "truncated.jpg", shortJpeg);
  }

  // RAW: width and height words, then the pixels.
  for (int w : {1, 2, 7}) {
    Bytes raw = {static_cast<std::uint8_t>(w), 0, 3, 0};
    const Bytes px = wqt::gen::rawPicture(w, 3);
    raw.insert(raw.end(), px.begin(), px.end());
    put(root / "raw_preview", "raw" + std::to_string(w) + ".bin", raw);
  }

  // PNG imports: the RAW entry's width and height words, then a PNG of that size (one of
  // another size too).
  for (const auto& [w, h] : {std::pair{3, 2}, std::pair{16, 1}, std::pair{1, 9}}) {
    wqt::RgbPicture picture{w, h, Bytes(static_cast<std::size_t>(w * h * 3))};
    for (std::size_t i = 0; i < picture.rgb.size(); ++i) {
      picture.rgb[i] = static_cast<std::uint8_t>(i * 37);
    }
    Bytes input = {static_cast<std::uint8_t>(w), 0, static_cast<std::uint8_t>(h), 0};
    const Bytes png = wqt::encodePng(picture);
    input.insert(input.end(), png.begin(), png.end());
    put(root / "png_import", "rgb" + std::to_string(w) + "x" + std::to_string(h) + ".bin", input);
    input[0] = static_cast<std::uint8_t>(w + 1);
    put(root / "png_import", "other" + std::to_string(w) + "x" + std::to_string(h) + ".bin", input);
  }

  // Header fields: ASCII, Cyrillic UTF-8 with padding, a sequence cut by the field's end.
  Bytes author(52, 0);
  const std::string cyr = "\xD0\x9E\xD1\x80\xD0\xB2\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xBD";
  std::copy(cyr.begin(), cyr.end(), author.begin());
  put(root / "header_text", "cyrillic.bin", author);
  put(root / "header_text", "ascii.bin", bytesOf("1.0\0\0"));
  put(root / "header_text", "cut.bin", bytesOf("ab\xD0"));
  put(root / "header_text", "three_byte.bin", bytesOf("\xE2\x82\xAC x"));

  // theme.json as unpack writes it, one without a header, and near misses.
  put(root / "theme_json", "unpacked.json",
      bytesOf("{\n  \"author\": \"\u0410\u0432\u0442\u043e\u0440\",\n  \"name\": \"N\",\n"
              "  \"version\": \"1.0\",\n  \"type\": \"white\",\n  \"header\": \"4f52564100ff\",\n"
              "  \"files\": [\n    {\"index\": 0, \"path\": \"G/A\", \"kind\": \"JPG\", "
              "\"file\": \"G/A.jpg\"},\n    {\"index\": 1, \"path\": \"B\", \"kind\": \"RAW\", "
              "\"file\": null}\n  ]\n}\n"));
  put(root / "theme_json", "minimal.json",
      bytesOf("{\"files\": [{\"index\": 3, \"file\": \"x.tab\"}]}"));
  put(root / "theme_json", "odd_header.json", bytesOf("{\"header\": \"abc\", \"files\": []}"));
  put(root / "theme_json", "twice.json",
      bytesOf("{\"type\": \"grey\", \"files\": [{\"index\": 1}, {\"index\": 1}]}"));
  return 0;
}
