#pragma once
// Builds theme file bytes for the tests, the benchmarks and the fuzz seeds: one builder for every
// theme they make by hand, broken ones included (the editor's own code writes only sound ones).
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "theme/theme_layout.h"

namespace wqt::sample {

inline constexpr const char* kSign1 = "ORVALEN-THEME";      // 13 bytes
inline constexpr const char* kSign2 = "WQT-THEME-FORMAT1";  // 17 bytes

struct ThemeRecipe {
  std::string sign1 = kSign1;
  std::string sign2 = kSign2;
  std::string author;  // bytes as the field holds them (UTF-8)
  std::string name;
  std::string version = "1.0";
  std::size_t tableOffset = 0x9C;
  std::size_t dataOffset = 0x100;
  std::size_t typeOffset = 0x98;
  int type = 1;                 // the type byte; -1 leaves it
  bool writeFileCount = true;   // the count at 148, which nothing reads
  std::uint8_t headerFill = 0;  // the bytes before the data that no field covers
  std::size_t surplus = 0;      // bytes after the data region
  std::uint8_t surplusByte = 0x77;
};

// The header, the size table of the files' lengths, then the files back to back.
inline std::vector<std::uint8_t> themeFile(const ThemeRecipe& recipe,
                                           const std::vector<std::vector<std::uint8_t>>& files) {
  std::vector<std::uint8_t> b(recipe.dataOffset, recipe.headerFill);
  const auto put = [&](std::size_t at, const std::string& text) {
    if (b.size() < at + text.size()) b.resize(at + text.size(), 0);
    std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  };
  std::fill(b.begin() + 32, b.begin() + std::min<std::size_t>(b.size(), kHeaderFixedEnd), 0);
  put(kSignature1Offset, recipe.sign1);
  put(kSignature2Offset, recipe.sign2);
  put(kAuthorField.offset, recipe.author);
  put(kNameField.offset, recipe.name);
  put(kVersionField.offset, recipe.version);
  if (b.size() < kHeaderFixedEnd) b.resize(kHeaderFixedEnd, 0);
  if (recipe.writeFileCount)
    writeU32LE(b, kFileCountOffset, static_cast<std::uint32_t>(files.size()));
  if (recipe.type >= 0) b[recipe.typeOffset] = static_cast<std::uint8_t>(recipe.type);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (b.size() < recipe.tableOffset + 4 * i + 4) b.resize(recipe.tableOffset + 4 * i + 4, 0);
    writeU32LE(b, recipe.tableOffset + 4 * i, static_cast<std::uint32_t>(files[i].size()));
  }
  for (const auto& f : files) b.insert(b.end(), f.begin(), f.end());
  b.insert(b.end(), recipe.surplus, recipe.surplusByte);
  return b;
}

}  // namespace wqt::sample
