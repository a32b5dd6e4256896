#include "app/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "app/reports.h"
#include "tests/fake_platform.h"

namespace slidemill {
namespace {

std::set<std::string> TableNames() {
  std::set<std::string> names;
  for (const OptionInfo& option : Options()) names.insert(option.name);
  return names;
}

std::vector<std::string> Lines(const std::string& file) {
  std::ifstream in(std::string(SLIDEMILL_SOURCE_DIR) + "/" + file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Each option is documented, and nothing else is, so a new option cannot
// be forgotten by the README's table or the manual page.
TEST(OptionDocsTest, ReadmeTableHasEveryOption) {
  std::set<std::string> names;
  for (const std::string& line : Lines("README.md")) {
    if (line.starts_with("| `-")) names.insert(line.substr(3, line.find('`', 3) - 3));
  }
  EXPECT_EQ(names, TableNames());
}

// An option's entry: ".TP", then its name first on a bold line, "\-" for "-".
TEST(OptionDocsTest, ManualPageHasEveryOption) {
  std::set<std::string> names;
  std::vector<std::string> lines = Lines("slidemill.1");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::size_t name = lines[i].find(" \\-");
    if (lines[i - 1] != ".TP" || !lines[i].starts_with(".B") || name == std::string::npos) continue;
    std::string entry = lines[i].substr(name + 1, lines[i].find(' ', name + 1) - name - 1);
    for (std::size_t at; (at = entry.find("\\-")) != std::string::npos;) entry.erase(at, 1);
    names.insert(entry);
  }
  EXPECT_EQ(names, TableNames());
}

// The frame is only shown for the encoder that uses it; each encoder's
// path under its own option.
TEST(SettingsReportTest, FrameOnlyForFfmpeg) {
  Settings s;
  s.Encoder = "mencoder";
  auto report = [&s] {
    test::FakePlatform platform;
    Output output(platform);
    PrintSettings(s, output);
    return platform.out;
  };
  EXPECT_EQ(report().find("-video-size"), std::string::npos);
  s.Encoder = "ffmpeg", s.VideoWidth = 640, s.VideoHeight = 480;
  s.EncoderPaths["ffmpeg"] = "/x/ff";
  EXPECT_TRUE(report().ends_with("\r\n-video-size: \"640x480\"\r\n"));
  EXPECT_NE(report().find("\r\n-ffmpeg-path: \"/x/ff\"\r\n"), std::string::npos);
}

}  // namespace
}  // namespace slidemill
