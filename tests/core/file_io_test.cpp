// Whole-file reads, replacing writes and the extension rule.
#include "base/file_io.h"
#include "base/paths.h"
#include "files/import_export.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "base/core_error.h"
#include "error_of.h"
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
  EXPECT_EQ(std::filesystem::file_size(path), 1u);
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// The program's caches are the user's alone: new and existing folders 0700, copies asked 0600.
TEST(FileIo, PrivateFoldersAndFiles) {
  namespace fs = std::filesystem;
  wqt::test::TempDir dir;
  fs::create_directory(dir / "old");
  fs::permissions(dir / "old", fs::perms::all);
  wqt::makePrivateFolders(dir / "new" / "inner");
  wqt::makePrivateFolders(dir / "old");
  for (const char* folder : {"new", "new/inner", "old"})
    EXPECT_EQ(fs::status(dir / folder).permissions(), fs::perms::owner_all) << folder;
  wqt::writeFileReplacing(dir / "copy.png", Bytes{1}, 0600);
  EXPECT_EQ(fs::status(dir / "copy.png").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

// What each kind of target becomes: a regular file or a new name is written (through a link,
// which stays a link); anything else is refused with the reason naming what it is, untouched.
TEST(FileIo, WritesOnlyRegularFilesOrNewNames) {
  struct Row {
    const char* name;
    std::function<std::filesystem::path(const wqt::test::TempDir&)> make;
    const char* refusal;  // nullptr: written
  };
  const auto bindSocket = [](const std::filesystem::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    return path;
  };
  const Row rows[] = {
      {"regular", [](auto& d) { return d.write("t.wqt", "old"); }, nullptr},
      {"new name", [](auto& d) { return d / "t.wqt"; }, nullptr},
      {"link to regular",
       [](auto& d) {
         std::filesystem::create_symlink(d.write("real.wqt", "old"), d / "t.wqt");
         return d / "t.wqt";
       },
       nullptr},
      {"dangling link",
       [](auto& d) {
         std::filesystem::create_symlink(d / "real.wqt", d / "t.wqt");
         return d / "t.wqt";
       },
       nullptr},
      {"folder",
       [](auto& d) {
         std::filesystem::create_directory(d / "t.wqt");
         return d / "t.wqt";
       },
       "Is a directory"},
      {"fifo",
       [](auto& d) {
         ::mkfifo((d / "t.wqt").c_str(), 0600);
         return d / "t.wqt";
       },
       "Is a pipe, not a regular file"},
      {"link to fifo",
       [](auto& d) {
         ::mkfifo((d / "p").c_str(), 0600);
         std::filesystem::create_symlink(d / "p", d / "t.wqt");
         return d / "t.wqt";
       },
       "Is a pipe, not a regular file"},
      {"socket", [&](auto& d) { return bindSocket(d / "s"); }, "Is a socket, not a regular file"},
      {"link to a device",
       [](auto& d) {
         // Root may make a device node of its own, so that a fault here never replaces the
         // system's; anyone else may not replace /dev/null anyway.
         const bool own = ::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
         std::filesystem::create_symlink(own ? d / "null" : "/dev/null", d / "t.wqt");
         return d / "t.wqt";
       },
       "Is a device, not a regular file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    wqt::test::TempDir dir;
    const auto target = row.make(dir);
    const auto before = std::filesystem::symlink_status(target).type();
    const std::string msg = wqt::test::errorOf([&] {
      wqt::writeFileReplacing(target, Bytes{'n', 'e', 'w'});
    });
    if (row.refusal) {
      EXPECT_EQ(msg, "Cannot open file \"" + target.string() + "\". " + row.refusal);
      EXPECT_EQ(std::filesystem::symlink_status(target).type(), before);
      continue;
    }
    EXPECT_EQ(msg, "(no error)");
    EXPECT_EQ(wqt::readWholeFile(target), (Bytes{'n', 'e', 'w'}));
    if (before == std::filesystem::file_type::symlink) {
      EXPECT_TRUE(std::filesystem::is_symlink(target));
      EXPECT_EQ(wqt::readWholeFile(dir / "real.wqt"), (Bytes{'n', 'e', 'w'}));
    }
  }
}

TEST(FileIo, EmptyTargetIsAnOrdinaryError) {
  EXPECT_EQ(wqt::test::errorOf([] { wqt::writeFileReplacing("", Bytes{1}); }),
            "Cannot create file \"\". No such file or directory");
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
