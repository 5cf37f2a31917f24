// Whole-file reads, replacing writes and the extension rule.
#include "theme/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "error_of.h"
#include "map/core_error.h"
#include "temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FileIo, ReplaceExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"Main", "Main.wqt"},       {"a.b/c", "a.b/c.wqt"},           {"x.txt", "x.wqt"},
      {"Icon 1.2", "Icon 1.wqt"}, {"/t/theme.WQT", "/t/theme.wqt"}, {"/t/a.tar.gz", "/t/a.tar.wqt"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(wqt::replaceExtension(in, ".wqt"), out) << in;
}

TEST(FileIo, WriteThenReadBack) {
  wqt::test::TempDir dir;
  const auto path = dir / "t.wqt";
  const Bytes first{1, 2, 3}, second{9};
  wqt::writeFileReplacing(path, first);
  EXPECT_EQ(wqt::readWholeFile(path), first);
  wqt::writeFileReplacing(path, second);
  EXPECT_EQ(wqt::readWholeFile(path), second);
  EXPECT_EQ(wqt::diskFileSize(path), 1);
  EXPECT_EQ(wqt::diskFileSize(dir / "none"), -1);
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileIo, WriteThroughSymlinkKeepsTheLink) {
  wqt::test::TempDir dir;
  const auto real = dir.write("real.wqt", "old");
  std::filesystem::create_symlink(real, dir / "link.wqt");
  wqt::writeFileReplacing(dir / "link.wqt", Bytes{'n', 'e', 'w'});
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.wqt"));
  EXPECT_EQ(wqt::readWholeFile(real), (Bytes{'n', 'e', 'w'}));
}

TEST(FileIo, FailedWriteNamesThePath) {
  wqt::test::TempDir dir;
  // A folder that does not exist fails for every user, root included.
  const auto missing = dir / "no-such-folder" / "t.wqt";
  const std::string msg = wqt::test::errorOf([&] { wqt::writeFileReplacing(missing, Bytes{1}); });
  EXPECT_NE(msg.find("Cannot create file \"" + missing.string() + "\""), std::string::npos) << msg;
  EXPECT_NE(msg.find("No such file or directory"), std::string::npos) << msg;
}

TEST(FileIo, UnwritableTargetKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  wqt::test::TempDir dir;
  const auto path = dir.write("t.wqt", "old");
  ::chmod(dir.path().c_str(), 0555);  // no new file can be made here
  EXPECT_NE(
      wqt::test::errorOf([&] { wqt::writeFileReplacing(path, Bytes{1}); }).find(path.string()),
      std::string::npos);
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(path.c_str(), 0444);  // a read-only file is not replaced either
  EXPECT_NE(wqt::test::errorOf([&] { wqt::writeFileReplacing(path, Bytes{1}); }), "(no error)");
  EXPECT_EQ(wqt::readWholeFile(path), (Bytes{'o', 'l', 'd'}));
}

}  // namespace
