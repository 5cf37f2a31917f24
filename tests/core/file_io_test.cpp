// Whole-file reads, replacing writes and the extension rule.
#include "base/file_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

#include "base/core_error.h"
#include "base/paths.h"
#include "error_of.h"
#include "temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wqt::test::TempDir;

TEST(FileIo, ReplaceExtension) {
  const std::pair<const char*, const char*> rows[] = {
      {"Main", "Main.wqt"},       {"a.b/c", "a.b/c.wqt"},           {"x.txt", "x.wqt"},
      {"Icon 1.2", "Icon 1.wqt"}, {"/t/theme.WQT", "/t/theme.wqt"}, {"/t/a.tar.gz", "/t/a.tar.wqt"},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(wqt::replaceExtension(in, ".wqt"), out) << in;
}

// The program's caches are the user's alone: new and existing folders 0700, copies asked 0600.
TEST(FileIo, PrivateFoldersAndFiles) {
  namespace fs = std::filesystem;
  TempDir dir;
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
// which stays a link); anything else is refused with the reason naming what it is, untouched,
// and a failed write leaves the old file and nothing beside it.
TEST(FileIo, WritesOnlyRegularFilesOrNewNames) {
  const auto bindSocket = [](const std::filesystem::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    return path;
  };
  const auto linkTo = [](const TempDir& d, const std::filesystem::path& to) {
    std::filesystem::create_symlink(to, d / "t.wqt");
    return d / "t.wqt";
  };
  const struct {
    const char* name;
    std::function<std::filesystem::path(const TempDir&)> make;
    const char* error;  // after the quoted target; nullptr: written
    std::size_t size = 3;
  } rows[] = {
      {"regular", [](auto& d) { return d.write("t.wqt", "old"); }, nullptr},
      {"new name", [](auto& d) { return d / "t.wqt"; }, nullptr},
      {"link to regular", [&](auto& d) { return linkTo(d, d.write("real.wqt", "old")); }, nullptr},
      {"dangling link", [&](auto& d) { return linkTo(d, d / "real.wqt"); }, nullptr},
      {"folder",
       [](auto& d) {
         std::filesystem::create_directory(d / "t.wqt");
         return d / "t.wqt";
       },
       "Cannot open file \"%\". Is a directory"},
      {"fifo",
       [](auto& d) {
         ::mkfifo((d / "t.wqt").c_str(), 0600);
         return d / "t.wqt";
       },
       "Cannot open file \"%\". Is a pipe, not a regular file"},
      {"socket", [&](auto& d) { return bindSocket(d / "s"); },
       "Cannot open file \"%\". Is a socket, not a regular file"},
      {"link to a device",
       [&](auto& d) {
         // Root may make a device node of its own, so that a fault here never replaces the
         // system's; anyone else may not replace /dev/null anyway.
         const bool own = ::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
         return linkTo(d, own ? d / "null" : "/dev/null");
       },
       "Cannot open file \"%\". Is a device, not a regular file"},
      {"missing folder", [](auto& d) { return d / "missing" / "t.wqt"; },
       "Cannot create file \"%\". No such file or directory"},
      {"empty name", [](auto&) { return std::filesystem::path(); },
       "Cannot create file \"%\". No such file or directory"},
      // A file size limit gives the short write of a full disk.
      {"no room for all of it", [](auto& d) { return d.write("t.wqt", "old"); },
       "Cannot create file \"%\". File too large", 5000},
  };
  const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const auto target = row.make(dir);
    const auto before = std::filesystem::symlink_status(target).type();
    const Bytes content(row.size, 'n');
    rlimit old{}, small{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    small = old;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string msg = wqt::test::errorOf([&] { wqt::writeFileReplacing(target, content); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }
    if (row.error) {
      std::string expected = row.error;
      expected.replace(expected.find('%'), 1, target.string());
      EXPECT_EQ(msg, expected);
      EXPECT_EQ(std::filesystem::symlink_status(target).type(), before);
      if (before == std::filesystem::file_type::regular) {
        EXPECT_EQ(wqt::readWholeFile(target), (Bytes{'o', 'l', 'd'}));
      }
      continue;
    }
    EXPECT_EQ(msg, "(no error)");
    EXPECT_EQ(wqt::readWholeFile(target), content);
    if (before == std::filesystem::file_type::symlink) {
      EXPECT_TRUE(std::filesystem::is_symlink(target));
      EXPECT_EQ(wqt::readWholeFile(dir / "real.wqt"), content);
    }
  }
  std::signal(SIGXFSZ, savedHandler);
}

TEST(FileIo, UnwritableTargetKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  TempDir dir;
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
