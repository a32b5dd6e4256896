#include "app/reports.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"

namespace slidemill {
namespace {

TEST(ReportsTest, SettingsReportByteForByteWithItsColours) {
  test::FakePlatform platform;
  Output output(platform);
  Settings s;
  s.Dir = "C:\\photos";
  s.DirFilter = "say \"cheese\"";  // shown without escaping
  s.Recurse = true;
  s.RDepth = -1;
  s.SaySettings = true;
  s.SRTFilename = "_title.srt";
  s.SubtitleFontSize = 16;
  s.VideoFilename = "_movie.avi";
  s.VideoFramesPerSecond = 25;
  s.VideoCodec = "mjpeg";
  PrintSettings(s, output);

  const char* expected =
      "\r\n<10>Settings\r\n<7>\r\n"
      "-dir: <15>\"C:\\photos\"\r\n<7>"
      "-dir-filter: <15>\"say \"cheese\"\"\r\n<7>"
      "-log-path: <15>\"\"\r\n<7>"
      "-mencoder-path: <15>\"\"\r\n<7>"
      "-r: <15>True\r\n<7>"
      "-r-depth: <15>-1\r\n<7>"
      "-say-settings: <15>True\r\n<7>"
      "-sleep-time: <15>0\r\n<7>"
      "-srt-filename: <15>\"_title.srt\"\r\n<7>"
      "-subtitle-font-file: <15>\"\"\r\n<7>"
      "-subtitle-font-size: <15>16\r\n<7>"
      "-subtitle-text: <15>\"\"\r\n<7>"
      "-usage: <15>False\r\n<7>"
      "-version: <15>False\r\n<7>"
      "-video-filename: <15>\"_movie.avi\"\r\n<7>"
      "-video-frames-per-second: <15>25\r\n<7>"
      "-video-codec: <15>\"mjpeg\"\r\n<7>";
  EXPECT_EQ(platform.transcript, expected);
  EXPECT_EQ(platform.err, "");
}

// The usage text's frame and colours; each option is one line, its name in
// the emphasis colour and its description in normal text.
TEST(ReportsTest, UsageShape) {
  test::FakePlatform platform;
  Output output(platform);
  PrintUsage(output);
  const std::string& text = platform.transcript;
  EXPECT_EQ(text.rfind("\r\n<10>Purpose\r\n\r\n<7>This utility assembles JPG images into videos."
                       "\r\n\r\n<10>Usage\r\n\r\n<7>Slidemill [options...]\r\n\r\n<7>Options:"
                       "\r\n\r\n<15>-dir <7>Root directory.",
                       0),
            0u);
  int options = 0;
  for (std::size_t at = 0; (at = text.find("\r\n<15>-", at)) != std::string::npos; ++at) ++options;
  EXPECT_EQ(options, 17);
  EXPECT_NE(text.find("\r\n<15>-video-frames-per-second <7>Frames-per-second of the encoded "
                      "video file.\r\n\r\n<10>About\r\n\r\n<7>Slidemill Version 1.00 "),
            std::string::npos);
  EXPECT_NE(text.find("\r\n\r\n<11>Has this program helped you?\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\r\n<7>Visit: the Slidemill repository and its issue tracker\r\n<7>"));
  EXPECT_EQ(platform.err, "");
}

TEST(ReportsTest, VersionIsTheNumberAlone) {
  test::FakePlatform platform;
  platform.line_end = "\n";
  Output output(platform);
  PrintVersion(output);
  EXPECT_EQ(platform.transcript, "1.00\n");
}

}  // namespace
}  // namespace slidemill
