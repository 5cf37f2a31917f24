// The folder layout of a theme's files and its writer; RAW pictures as PNG and back.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>

#include "base/core_error.h"
#include "base/file_io.h"
#include "error_of.h"
#include "files/png_picture.h"
#include "files/unpack_layout.h"
#include "temp_dir.h"

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
  // Numbers go on where the last left off: 30,000 files of one caption, each searching from
  // " (2)", would take a minute.
  std::string same;
  for (int i = 0; i < 30000; ++i) same += file("f");
  wqt::ThemeMap many;
  many.load(dir.write("many.rxt", same), values);
  EXPECT_EQ(wqt::unpackLayout(many, -1, all).back().path, "f (30000).jpg");
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

// Sets a resource limit for the scope of a test and puts the old one back.
class ScopedLimit {
 public:
  ScopedLimit(int resource, rlim_t soft) : resource_(resource) {
    ::getrlimit(resource_, &old_);
    rlimit next = old_;
    next.rlim_cur = soft;
    ::setrlimit(resource_, &next);
  }
  ~ScopedLimit() { ::setrlimit(resource_, &old_); }
  ScopedLimit(const ScopedLimit&) = delete;
  ScopedLimit& operator=(const ScopedLimit&) = delete;

 private:
  int resource_;
  rlimit old_{};
};

TEST(LayoutWriter, NeverWritesThroughPlantedNamesNorLeavesAPartFile) {
  TempDir out, elsewhere;
  const Bytes fresh(5000, 7);
  const auto content = [&](const LayoutItem&) { return std::span<const std::uint8_t>(fresh); };
  const auto yes = [](const auto&) { return true; };
  const std::string old = "old";
  out.write("a.bin", old);

  // What someone else left at the names a replacement might take is passed by, not written
  // through, and a pipe does not hang the write.
  const auto outside = elsewhere.write("outside", old);
  const std::string stem = ".a.bin.new" + std::to_string(::getpid()) + "-";
  std::filesystem::create_hard_link(outside, out / (stem + "0"));
  ASSERT_EQ(::mkfifo((out / (stem + "1")).c_str(), 0600), 0);
  std::filesystem::create_symlink(outside, out / (stem + "2"));
  wqt::WriteHooks hooks{yes, {}};
  EXPECT_EQ(wqt::writeLayoutFiles(out.path(), {{0, "a.bin"}}, content, hooks).written, 1u);
  EXPECT_EQ(wqt::readWholeFile(out / "a.bin"), fresh);
  EXPECT_EQ(wqt::readWholeFile(outside), Bytes(old.begin(), old.end()));

  // A full disk (a file size limit gives the same short write): neither a new file nor a
  // replacement leaves a part of itself, and the old file stays.
  out.write("b.bin", old);
  const auto before = std::distance(std::filesystem::directory_iterator(out.path()), {});
  const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
  for (const char* name : {"new.bin", "b.bin"}) {
    SCOPED_TRACE(name);
    ScopedLimit limit(RLIMIT_FSIZE, 1000);
    EXPECT_THROW(wqt::writeLayoutFiles(out.path(), {{0, name}}, content, hooks), wqt::Error);
  }
  std::signal(SIGXFSZ, savedHandler);
  EXPECT_FALSE(std::filesystem::exists(out / "new.bin"));
  EXPECT_EQ(wqt::readWholeFile(out / "b.bin"), Bytes(old.begin(), old.end()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), before);
}

// Groups nested `depth` deep, with a file at every level after its subgroup, so the writer
// climbs back through every folder.
std::string nestedMap(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<group \"g\">\n";
  for (int i = 0; i < depth; ++i) text += file("f") + "</group \"\">\n";
  return text;
}

TEST(LayoutWriter, DeepGroupsWithFewDescriptorsOrRefusedBeforeAnything) {
  const auto all = [](std::int32_t) { return true; };
  const Bytes one{1};
  const auto content = [&](const LayoutItem&) { return std::span<const std::uint8_t>(one); };
  TempDir dir;
  wqt::xml::ValueTable values;
  for (const int depth : {600, 20000}) {
    SCOPED_TRACE(depth);
    wqt::ThemeMap map;
    map.load(dir.write("deep.rxt", nestedMap(depth)), values);
    TempDir out;
    if (depth * 2 >= 4096) {
      EXPECT_EQ(wqt::test::errorOf([&] { wqt::unpackLayout(map, -1, all); }),
                wqt::kLayoutTooDeepMessage);
      continue;
    }
    const auto items = wqt::unpackLayout(map, -1, all);
    ASSERT_EQ(items.size(), static_cast<std::size_t>(depth));
    ScopedLimit fewFiles(RLIMIT_NOFILE, 64);
    EXPECT_EQ(wqt::writeLayoutFiles(out.path(), items, content).written, items.size());
    EXPECT_EQ(wqt::readWholeFile(out / items.front().path), one);
    EXPECT_EQ(wqt::readWholeFile(out / "g/f.jpg"), one);
    // The same layout below a folder whose name takes the rest of the path is refused whole.
    const auto deeper = out / std::string(4096 - depth * 2, 'x');
    EXPECT_EQ(wqt::test::errorOf([&] { wqt::writeLayoutFiles(deeper, items, content); }),
              wqt::kLayoutTooDeepMessage);
  }
}

// A PNG goes back into a RAW slot only whole and of the entry's size; the round trip itself is
// the operations' unpack and pack.
TEST(PngPicture, ImportTakesOnlyAWholePictureOfTheEntrysSize) {
  const wqt::FileEntry entry{wqt::EntryKind::Raw, "RAW", 3, 2, 0};
  const Bytes png = wqt::rawToPng(entry, Bytes(12, 0x5A));
  EXPECT_TRUE(wqt::importPng(entry, png).stored());
  EXPECT_EQ(wqt::importPng(wqt::FileEntry{wqt::EntryKind::Raw, "RAW", 2, 3, 0}, png).message,
            wqt::kWrongSizeMessage);
  // Cut inside the rows: reading ends with the last row, so what follows it is never missed.
  EXPECT_THROW(wqt::importPng(entry, Bytes(png.begin(), png.begin() + 45)), wqt::Error);
}

}  // namespace
