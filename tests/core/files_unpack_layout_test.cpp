// The folder layout of a theme's files and its writer; RAW pictures as PNG and back.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "files/png_picture.h"
#include "files/unpack_layout.h"
#include "map/core_error.h"
#include "temp_dir.h"
#include "theme/file_io.h"

namespace {

using wqt::LayoutItem;
using wqt::test::TempDir;
using Bytes = std::vector<std::uint8_t>;

std::string file(const std::string& caption, const char* kind = "JPG") {
  return "<file \"" + caption + "\" \"0\" \"" + kind + "\" \"1\" \"1\">\n";
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string longCaption(300, 'x');
    const std::string text =
        "<group \"Меню\">\n" + file("Камера") + file("Камера") + file("Камера", "RAW") +
        "<group \"a/b\\c\">\n" + file("..") + file(".") + file("") + file("tab\tbell\x07") +
        "</group \"\">\n</group \"\">\n<group \"Меню\">\n" + file("Камера") + file(longCaption) +
        "</group \"\">\n<group \"Меню.jpg\">\n</group \"\">\n" + file("Меню", "XYZ");
    map.load(dir.write("theme.rxt", text), values);
  }
  TempDir dir;
  wqt::xml::ValueTable values;
  wqt::ThemeMap map;
};

TEST_F(Layout, SafeStableUniqueNames) {
  const auto all = [](std::int32_t) { return true; };
  const std::vector<LayoutItem> items = wqt::unpackLayout(map, -1, all);
  const std::string cut = std::string(255 - 10 - 4, 'x') + ".jpg";
  const std::vector<LayoutItem> expected = {
      {0, "Меню/Камера.jpg"},          {1, "Меню/Камера (2).jpg"},
      {2, "Меню/Камера.raw"},          {3, "Меню/a_b_c/__.jpg"},
      {4, "Меню/a_b_c/_.jpg"},         {5, "Меню/a_b_c/_ (2).jpg"},
      {6, "Меню/a_b_c/tab_bell_.jpg"}, {7, "Меню (2)/Камера.jpg"},
      {8, "Меню (2)/" + cut},          {9, "Меню.bin"},
  };
  ASSERT_EQ(items.size(), expected.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].entry, expected[i].entry);
    EXPECT_EQ(items[i].path, expected[i].path);
  }
  // Names do not depend on what is present; a group's layout is relative to it; PNG for RAW.
  const auto odd = [](std::int32_t e) { return e % 2 == 1; };
  const auto some = wqt::unpackLayout(map, -1, odd);
  ASSERT_EQ(some.size(), 5u);
  EXPECT_EQ(some[0].path, "Меню/Камера (2).jpg");
  const auto group = wqt::unpackLayout(map, 0, all, wqt::RawFormat::Png);
  ASSERT_EQ(group.size(), 7u);
  EXPECT_EQ(group[2].path, "Камера.png");
  EXPECT_EQ(group[3].path, "a_b_c/__.jpg");
}

TEST_F(Layout, WriterCreatesFoldersAsksOnceBeforeReplacingAndStops) {
  const auto items = wqt::unpackLayout(map, -1, [](std::int32_t e) { return e < 4; });
  const auto content = [](const LayoutItem& item) {
    static Bytes bytes;
    bytes.assign(static_cast<std::size_t>(item.entry) + 1, static_cast<std::uint8_t>(item.entry));
    return std::span<const std::uint8_t>(bytes);
  };
  TempDir out;
  EXPECT_EQ(wqt::writeLayoutFiles(out.path(), items, content).written, 4u);
  EXPECT_EQ(wqt::readWholeFile(out / "Меню/a_b_c/__.jpg"), Bytes(4, 3));

  // Existing files: an error without a question; a "no" writes nothing; a "yes" replaces.
  EXPECT_THROW(wqt::writeLayoutFiles(out.path(), items, content), wqt::Error);
  int asked = 0;
  wqt::WriteHooks hooks;
  hooks.confirmReplace = [&](const std::vector<std::filesystem::path>& existing) {
    ++asked;
    return existing.size() == 4 && false;
  };
  EXPECT_TRUE(wqt::writeLayoutFiles(out.path(), items, content, hooks).stopped);
  hooks.confirmReplace = [&](const auto&) { return ++asked > 0; };
  hooks.progress = [](std::size_t written, std::size_t) { return written < 2; };
  const wqt::WriteResult result = wqt::writeLayoutFiles(out.path(), items, content, hooks);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(result.written, 2u);
  EXPECT_TRUE(result.stopped);

  // A link in place of a folder is not followed.
  TempDir elsewhere;
  TempDir linked;
  std::filesystem::create_directory_symlink(elsewhere.path(), linked / "Меню");
  EXPECT_THROW(wqt::writeLayoutFiles(linked.path(), items, content), wqt::Error);
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
}

TEST(PngPicture, RawRoundTripKeepsWordsAndShowsPreviewColours) {
  const wqt::FileEntry entry{"RAW", 3, 2, 0};
  const Bytes raw = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF, 0x10, 0x84, 0x21, 0x08};
  const Bytes png = wqt::rawToPng(entry, raw);
  const wqt::RgbPicture rgb = wqt::decodePng(png, 6);
  EXPECT_EQ(rgb.rgb, (Bytes{0xF8, 0, 0, 0, 0xFC, 0, 0, 0, 0xF8, 0xF8, 0xFC, 0xF8, 0x80, 0x80, 0x80,
                            0x08, 0x04, 0x08}));
  const wqt::ImportCandidate back = wqt::importPng(entry, png);
  EXPECT_FALSE(back.refusal);
  EXPECT_EQ(back.bytes, raw);

  // Other dimensions: the size message; not a PNG: the library's error.
  EXPECT_EQ(wqt::importPng(wqt::FileEntry{"RAW", 2, 3, 0}, png).refusal, wqt::kWrongSizeMessage);
  EXPECT_THROW(wqt::importPng(entry, raw), wqt::Error);
  Bytes cut = png;
  cut.resize(cut.size() - 20);
  EXPECT_THROW(wqt::importPng(entry, cut), wqt::Error);
}

}  // namespace
