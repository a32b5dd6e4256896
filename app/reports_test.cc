#include "app/reports.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"

namespace slidemill {
namespace {

TEST(ReportsTest, SettingsReportByteForByteWithItsColours) {
  test::FakePlatform platform;
  Output output(platform);
  Settings s;
  s.Dir = "C:\\photos", s.DirFilter = "say \"cheese\"";  // shown without escaping
  s.Recurse = true, s.RDepth = -1, s.SubtitleFontSize = 16, s.VideoCodec = "mjpeg";
  s.Encoder = "ffmpeg", s.VideoWidth = 640, s.VideoHeight = 480, s.Jobs = 3, s.List0 = true;
  PrintSettings(s, output);
  std::string expected = "\r\n<10>Settings\r\n<7>\r\n";
  const char* lines[][2] = {{"dir", "\"C:\\photos\""},
                            {"dir-filter", "\"say \"cheese\"\""},
                            {"dry-run", "False"},
                            {"encoder", "\"ffmpeg\""},
                            {"ffmpeg-path", "\"\""},
                            {"jobs", "3"},
                            {"list", "False"},
                            {"list0", "True"},
                            {"log-path", "\"\""},
                            {"mencoder-path", "\"\""},
                            {"r", "True"},
                            {"r-depth", "-1"},
                            {"say-settings", "False"},
                            {"skip-existing", "False"},
                            {"sleep-time", "0"},
                            {"srt-filename", "\"\""},
                            {"subtitle-font-file", "\"\""},
                            {"subtitle-font-size", "16"},
                            {"subtitle-text", "\"\""},
                            {"usage", "False"},
                            {"version", "False"},
                            {"video-filename", "\"\""},
                            {"video-frames-per-second", "0"},
                            {"video-codec", "\"mjpeg\""},
                            {"video-size", "\"640x480\""}};
  for (auto& [name, value] : lines) {
    expected += std::string("-") + name + ": <15>" + value + "\r\n<7>";
  }
  EXPECT_EQ(platform.transcript, expected);
  EXPECT_EQ(platform.err, "");
}

// The usage text's frame and colours: each option on its own line, its name
// in the emphasis colour; then the version, the number alone.
TEST(ReportsTest, UsageShapeAndVersion) {
  test::FakePlatform platform;
  Output output(platform);
  PrintUsage(output);
  PrintVersion(output);
  const std::string& text = platform.transcript;
  int options = 0;
  for (std::size_t at = 0; (at = text.find("\r\n<15>-", at)) != std::string::npos; ++at) ++options;
  EXPECT_EQ(options, 25);
  EXPECT_TRUE(
      text.starts_with("\r\n<10>Purpose\r\n\r\n<7>This utility assembles JPG images into "
                       "videos.\r\n\r\n<10>Usage\r\n\r\n<7>Slidemill [options...]\r\n\r\n"
                       "<7>Options:\r\n\r\n<15>-dir <7>Root directory."));
  EXPECT_NE(text.find("1080).\r\n\r\n<10>About\r\n\r\n<7>Slidemill Version 1.00 "),
            std::string::npos);
  EXPECT_NE(text.find("\r\n\r\n<11>Has this program helped you?\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with(
      "\r\n<7>Visit: the Slidemill repository and its issue tracker\r\n<7>1.00\r\n"));
  EXPECT_EQ(platform.err, "");
}

}  // namespace
}  // namespace slidemill
