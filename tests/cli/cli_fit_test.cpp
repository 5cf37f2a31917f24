// orvalen-wqt fit: the file it writes is the core's fit of the picture with the options the
// command line names, and it passes the editor's import checks; wrong arguments and pictures end
// it with the usage status and a Russian message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../core/fit_test_util.h"
#include "../core/temp_dir.h"
#include "cli_run.h"
#include "files/import_export.h"
#include "fit/fit_picture.h"

namespace {

namespace fs = std::filesystem;
using wqt::test::TempDir;

TEST(CliFit, WritesTheCoresFitOfThePictureAsTheOptionsSay) {
  TempDir dir;
  const fs::path photo = dir.write("photo.jpg", wqt::test::quadrantJpeg(300, 200));
  const auto withDither = [](wqt::Dither d) {
    wqt::FitOptions o;
    o.dither = d;
    return o;
  };
  wqt::FitOptions inside;
  inside.mode = wqt::FitMode::Inside;
  inside.background = {0xFF, 0x80, 0x00};
  wqt::FitOptions top;
  wqt::applyGravity(top, wqt::Gravity::Left);
  top.quality = 40;
  wqt::FitOptions stretch;
  stretch.mode = wqt::FitMode::Stretch;
  const struct {
    const char* name;
    std::vector<std::string> args;
    wqt::FitTarget target;
    wqt::FitOptions options;
  } cases[] = {
      {"jpg, defaults", {}, {wqt::FileKind::Jpg, 24, 32}, {}},
      {"jpg, left, quality 40",
       {"--gravity", "left", "--quality", "40"},
       {wqt::FileKind::Jpg, 24, 32},
       top},
      {"raw inside an orange border",
       {"--fit", "inside", "--background", "ff8000"},
       {wqt::FileKind::Raw, 20, 20},
       inside},
      {"raw stretched", {"--fit", "stretch"}, {wqt::FileKind::Raw, 16, 8}, stretch},
      {"raw ordered",
       {"--dither", "ordered"},
       {wqt::FileKind::Raw, 16, 8},
       withDither(wqt::Dither::Ordered)},
      {"raw undithered",
       {"--dither", "none"},
       {wqt::FileKind::Raw, 16, 8},
       withDither(wqt::Dither::None)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool jpg = c.target.kind == wqt::FileKind::Jpg;
    const std::string size = std::to_string(c.target.width) + "x" + std::to_string(c.target.height);
    std::vector<std::string> args = {
        "fit", photo, "--size", size, "--kind", jpg ? "jpg" : "raw", "-o", dir / "out"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const wqt::test::Outcome outcome = wqt::test::run(dir, args);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");

    const wqt::SourcePicture source = wqt::readSourceFile(photo, {c.target, c.options.background});
    const wqt::FitResult expected = wqt::fitPicture(source, c.target, c.options);
    const std::string written = wqt::test::text(dir / "out");
    EXPECT_EQ(written, std::string(expected.bytes.begin(), expected.bytes.end()));
    const wqt::FileEntry entry{c.target.kind, jpg ? "JPG" : "RAW",
                               static_cast<std::uint16_t>(c.target.width),
                               static_cast<std::uint16_t>(c.target.height), 0};
    EXPECT_TRUE(wqt::checkImport(entry, dir / "out").stored());

    // The same file on stdout.
    args[7] = "-";
    EXPECT_EQ(wqt::test::run(dir, args).out, written);
  }
}

TEST(CliFit, RefusesWrongArgumentsAndPicturesWithTheUsageStatus) {
  TempDir dir;
  const std::string photo = dir.write("photo.jpg", wqt::test::quadrantJpeg(64, 64));
  const std::string notes = dir.write("notes.txt", std::string("not a picture"));
  const std::string out = dir / "out";
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {"size without x", {"fit", photo, "--size", "240", "--kind", "jpg", "-o", out}, "--size"},
      {"zero width", {"fit", photo, "--size", "0x10", "--kind", "raw", "-o", out}, "--size"},
      {"kind of no picture",
       {"fit", photo, "--size", "8x8", "--kind", "ani2", "-o", out},
       "--kind"},
      {"unknown mode",
       {"fit", photo, "--size", "8x8", "--kind", "raw", "--fit", "zoom", "-o", out},
       "crop, inside или stretch"},
      {"quality above 95",
       {"fit", photo, "--size", "8x8", "--kind", "jpg", "--quality", "96", "-o", out},
       "от 1 до 95 или auto"},
      {"colour of five digits",
       {"fit", photo, "--size", "8x8", "--kind", "raw", "--background", "12345", "-o", out},
       "RRGGBB"},
      {"no output", {"fit", photo, "--size", "8x8", "--kind", "raw"}, "-o"},
      {"not a picture",
       {"fit", notes, "--size", "8x8", "--kind", "raw", "-o", out},
       wqt::kUnknownPictureMessage},
      {"missing picture",
       {"fit", dir / "none.png", "--size", "8x8", "--kind", "raw", "-o", out},
       "none.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const wqt::test::Outcome outcome = wqt::test::run(dir, c.args);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find(c.said), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(out));
  }
}

}  // namespace
