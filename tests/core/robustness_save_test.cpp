// Saving and exporting onto targets that cannot take the file: the error names the target, the
// previous file stays byte for byte, and no temporary file is left behind.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "base/core_error.h"
#include "base/file_io.h"
#include "error_of.h"
#include "files/import_export.h"
#include "temp_dir.h"
#include "theme/theme_document.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A document of `count` slots of `slotSize` bytes, ready to save.
Bytes savedImage(wqt::ThemeDocument& doc, std::size_t slotSize) {
  wqt::MapSettings s;
  s.signature1 = "ORVALEN-THEME";
  s.signature2 = "WQT-THEME-FORMAT1";
  s.tableOffset = 0x9C;
  s.dataOffset = 0x100;
  s.fileCount = 4;
  doc.create(s);
  for (std::size_t i = 1; i <= 4; ++i) doc.replaceSlot(i, Bytes(slotSize, 0x5A));
  return wqt::joinParts(doc.rebuildForSave(s));
}

std::size_t entriesIn(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(UnwritableTarget, MissingFolder) {
  wqt::test::TempDir dir;
  wqt::ThemeDocument doc;
  const Bytes& image = savedImage(doc, 100);
  const auto target = dir / "missing" / "t.wqt";
  for (const auto& write :
       std::vector<std::function<void()>>{[&] { wqt::writeFileReplacing(target, image); },
                                          [&] { wqt::writeFileReplacing(target, doc.slot(1)); }}) {
    const std::string msg = wqt::test::errorOf(write);
    EXPECT_NE(msg.find(target.string()), std::string::npos) << msg;
    EXPECT_NE(msg.find(std::strerror(ENOENT)), std::string::npos) << msg;
  }
  EXPECT_EQ(entriesIn(dir.path()), 0u);
}

TEST(UnwritableTarget, ReadOnlyFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root, which writes into read-only folders";
  wqt::test::TempDir dir;
  const auto target = dir.write("t.wqt", std::string("previous"));
  ::chmod(dir.path().c_str(), 0555);
  wqt::ThemeDocument doc;
  const Bytes& image = savedImage(doc, 100);
  EXPECT_NE(
      wqt::test::errorOf([&] { wqt::writeFileReplacing(target, image); }).find(target.string()),
      std::string::npos);
  EXPECT_NE(wqt::test::errorOf([&] { wqt::writeFileReplacing(target, doc.slot(1)); }),
            "(no error)");
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(wqt::readWholeFile(target), Bytes({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// A tmpfs of 64 KiB holding the previous file; the new theme does not fit.
class FullDisk : public testing::Test {
 protected:
  void SetUp() override {
    if (::mount("wqt-full", dir_.path().c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
      GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << ")";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
  }
  wqt::test::TempDir dir_;
  bool mounted_ = false;
};

TEST_F(FullDisk, SaveAndExportLeaveThePreviousFile) {
  const auto target = dir_.write("t.wqt", std::string("previous"));
  wqt::ThemeDocument doc;
  const Bytes& image = savedImage(doc, 40000);  // 160 KB: more than the disk holds
  const std::string msg = wqt::test::errorOf([&] { wqt::writeFileReplacing(target, image); });
  EXPECT_NE(msg.find(target.string()), std::string::npos) << msg;
  EXPECT_NE(msg.find(std::strerror(ENOSPC)), std::string::npos) << msg;
  EXPECT_EQ(wqt::readWholeFile(target), Bytes({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));

  // Export of a slot too large for what is left.
  wqt::ThemeDocument big;
  savedImage(big, 70000);
  EXPECT_NE(wqt::test::errorOf([&] { wqt::writeFileReplacing(target, big.slot(1)); }),
            "(no error)");
  EXPECT_EQ(wqt::readWholeFile(target), Bytes({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
  EXPECT_EQ(entriesIn(dir_.path()), 1u);  // no temporary file left behind

  // Once there is room, the same save goes through.
  wqt::ThemeDocument small;
  const Bytes& fits = savedImage(small, 100);
  wqt::writeFileReplacing(target, fits);
  EXPECT_EQ(wqt::readWholeFile(target), fits);
}

}  // namespace
