#include "app/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
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

// The options a document describes: the names that `entry` finds, with
// "\-" read as "-".
std::set<std::string> DocumentedNames(const std::string& file, const std::string& entry) {
  std::ifstream in(std::string(SLIDEMILL_SOURCE_DIR) + "/" + file);
  std::stringstream text;
  text << in.rdbuf();
  std::set<std::string> names;
  std::string all = text.str();
  std::regex pattern(entry);
  for (std::sregex_iterator it(all.begin(), all.end(), pattern), end; it != end; ++it) {
    names.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
  }
  return names;
}

// Each option is documented, and nothing else is, so a new option cannot
// be forgotten by the README's table or the manual page.
TEST(OptionDocsTest, ReadmeTableHasEveryOption) {
  EXPECT_EQ(DocumentedNames("README.md", R"(\n\| `(-[a-z0-9-]+)` \|)"), TableNames());
}

TEST(OptionDocsTest, ManualPageHasEveryOption) {
  EXPECT_EQ(DocumentedNames("slidemill.1", R"(\n\.TP\n\.BR? ?I? ((?:\\-[a-z0-9]+)+))"),
            TableNames());
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
