#include "app/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

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

// The report's lines: the table's order (its last lines follow the
// settings record), texts quoted as they are, numbers, True and False.
TEST(SettingsReportTest, LinesFollowTheTable) {
  test::FakePlatform platform;
  Output output(platform);
  Settings s;
  s.Encoder = "mencoder", s.DirFilter = "say \"cheese\"", s.RDepth = -1, s.Recurse = true;
  s.VideoFilename = "_movie.avi", s.VideoFramesPerSecond = 25, s.VideoCodec = "mjpeg";
  PrintSettings(s, output);
  std::string out = platform.out;
  EXPECT_TRUE(out.starts_with("\r\nSettings\r\n\r\n-dir: \"\"\r\n")) << out;
  EXPECT_NE(out.find("\r\n-dir-filter: \"say \"cheese\"\"\r\n"), std::string::npos);
  EXPECT_NE(out.find("\r\n-r: True\r\n-r-depth: -1\r\n"), std::string::npos);
  EXPECT_NE(out.find("\r\n-mencoder-path: \"\"\r\n"), std::string::npos);
  EXPECT_TRUE(out.ends_with(
      "\r\n-video-filename: \"_movie.avi\"\r\n-video-frames-per-second: 25\r\n-video-codec: "
      "\"mjpeg\"\r\n"))
      << out;
  EXPECT_NE(platform.transcript.find("-dir: <15>\"\"\r\n<7>"), std::string::npos);
}

// The frame is only shown for the encoder that uses it.
TEST(SettingsReportTest, FrameOnlyForFfmpeg) {
  test::FakePlatform platform;
  Output output(platform);
  Settings s;
  s.Encoder = "ffmpeg", s.VideoWidth = 640, s.VideoHeight = 480;
  s.EncoderPaths["ffmpeg"] = "/x/ff";
  PrintSettings(s, output);
  EXPECT_TRUE(platform.out.ends_with("\r\n-video-size: \"640x480\"\r\n"));
  EXPECT_NE(platform.out.find("\r\n-ffmpeg-path: \"/x/ff\"\r\n"), std::string::npos);
}

// The usage lists every option once, by name, its name in white.
TEST(UsageTest, ListsEveryOptionByName) {
  test::FakePlatform platform;
  Output output(platform);
  PrintUsage(output);
  std::vector<std::string> listed;
  std::istringstream lines(platform.transcript);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("<15>-")) listed.push_back(line.substr(4, line.find(' ') - 4));
  }
  std::set<std::string> table = TableNames();
  std::vector<std::string> names(table.begin(), table.end());
  EXPECT_EQ(listed, names);
  EXPECT_TRUE(platform.out.starts_with(
      "\r\nPurpose\r\n\r\nThis utility assembles JPG images into videos.\r\n\r\nUsage\r\n\r\n"
      "Slidemill [options...]\r\n\r\nOptions:\r\n\r\n-dir Root directory. All processing takes "
      "place below this directory.\r\n"));
  EXPECT_TRUE(
      platform.out.ends_with("\r\nVisit: the Slidemill repository and its issue tracker\r\n"));
}

TEST(UsageTest, VersionIsTheNumberAlone) {
  test::FakePlatform platform;
  Output output(platform);
  PrintVersion(output);
  EXPECT_EQ(platform.out, "1.00\r\n");
}

}  // namespace
}  // namespace slidemill
