// Broken maps: the sample map cut at every line and mid-line, and with bytes that are not text.
// A load either succeeds or ends with a wqt::Error; its tables stay consistent and the map file
// is never written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/core_error.h"
#include "base/file_io.h"
#include "map/theme_map.h"
#include "temp_dir.h"

namespace {

void expectConsistent(const wqt::ThemeMap& map) {
  for (std::size_t i = 0; i < map.tree().size(); ++i) {
    const int e = map.entryOfNode(static_cast<int>(i));
    EXPECT_GE(e, -1);
    EXPECT_LT(e, static_cast<int>(map.entries().size()));
    EXPECT_LT(map.tree()[i].parent, static_cast<int>(i));
  }
  EXPECT_EQ(map.entryOfNode(static_cast<int>(map.tree().size())), -1);
}

TEST(BrokenMap, SampleCutAnywhereLoadsOrFailsCleanly) {
  const std::vector<std::uint8_t> sample = wqt::readWholeFile(WQT_SAMPLE_MAP);
  wqt::test::TempDir dir;
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < sample.size(); ++i) {
    if (sample[i] == '\n' || sample[i] == '"' || i % 7 == 0) cuts.push_back(i);
  }
  for (const std::size_t cut : cuts) {
    const std::string text(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(cut));
    const auto path = dir.write("theme.rxt", text);
    wqt::ThemeMap map;
    wqt::xml::ValueTable values;
    try {
      map.load(path, values);
    } catch (const wqt::Error& e) {
      // Only the scanner's own failures: a bad decimal number or an unbalanced "/group".
      const std::string msg = e.what();
      EXPECT_TRUE(msg == "Range check error" ||
                  msg.find("is not a valid integer value") != std::string::npos)
          << msg;
    }
    expectConsistent(map);
    EXPECT_EQ(wqt::readWholeFile(path), std::vector<std::uint8_t>(text.begin(), text.end()));
  }
}

TEST(BrokenMap, BinaryAndMalformedTextGiveValidCaptions) {
  wqt::test::TempDir dir;
  const std::string lines[] = {
      std::string("<file name=\"\xFF\xFE\xD0\" id=\"0\" type=\"RAW\" width=\"1\" height=\"1\">\n"),
      std::string("<group name=\"\xEF\xBB\xBF\x80\x80\">\n<file n=\"\0\x1b\" i=\"\" t=\"X\">\n",
                  46),
      std::string(1000, '"') + "\n<" + std::string(5000, 'a') + " \"v\"\n",
  };
  for (const std::string& text : lines) {
    const auto path = dir.write("theme.rxt", text);
    wqt::ThemeMap map;
    wqt::xml::ValueTable values;
    map.load(path, values);
    expectConsistent(map);
    for (std::size_t i = 0; i < map.tree().size(); ++i) {
      const std::string caption = map.captionUtf8(static_cast<int>(i));
      EXPECT_TRUE(wqt::isValidUtf8(caption)) << caption;
    }
  }
}

}  // namespace
