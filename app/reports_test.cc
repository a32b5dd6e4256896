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

TEST(ReportsTest, UsageByteForByte) {
  test::FakePlatform platform;
  Output output(platform);
  PrintUsage(output);
  std::string expected =
      "\r\n<10>Purpose\r\n\r\n"
      "<7>This utility assembles JPG images into videos.\r\n\r\n"
      "<10>Usage\r\n\r\n"
      "<7>Slidemill [options...]\r\n\r\n"
      "<7>Options:\r\n\r\n";
  const char* lines[][2] = {
      {"-dir", "Root directory. All processing takes place below this directory."},
      {"-dir-filter", "Only directories matching this regular expression are processed."},
      {"-log-path", "Path to the log file. If omitted, no log file is used."},
      {"-mencoder-path", "Path to mencoder.exe. If omitted, it must be in a PATHed dir."},
      {"-r", "Recurse directories. This is a shortcut for '-r-depth -1'."},
      {"-r-depth", "Determine how deeply we recurse the directory specified in '-dir'."},
      {"-say-settings", "Displays all normalized settings and then exits."},
      {"-sleep-time", "We pause this many milliseconds after each movie is created."},
      {"-srt-filename", "Name of SRT title file created in each directory containing JPGs."},
      {"-subtitle-font-file", "Path to font file containing the font used for titles."},
      {"-subtitle-font-size", "Size of the title font as a percentage of movie height."},
      {"-subtitle-text", "The subtitle added to the bottom of the movie."},
      {"-usage", "Displays usage information and then exits."},
      {"-version", "Displays version information and then exits."},
      {"-video-codec", "The video codec we will use to encode the video."},
      {"-video-filename", "Name of the video created in each directory containing JPGs."},
      {"-video-frames-per-second", "Frames-per-second of the encoded video file."},
  };
  for (auto& line : lines) {
    expected += std::string("<15>") + line[0] + " <7>" + line[1] + "\r\n";
  }
  // The about block: credit, address, warranty and rights, the support
  // request in light cyan and the "Visit: " line, each in its place.
  expected +=
      "\r\n<10>About\r\n\r\n"
      "<7>Slidemill Version 1.00 by the Slidemill developers "
      "(see the README that comes with it) \r\n"
      "Website: the Slidemill project's own repository\r\n\r\n"
      "<7>No warranty is expressed or implied. Use at your own risk.\r\n"
      "Copyright (c) 2026 the Slidemill developers.\r\n\r\n"
      "<11>Has this program helped you?\r\n\r\n"
      "Tell us what worked and what did not: a report with the command\r\n"
      "line and the log file helps us make Slidemill better.\r\n\r\n"
      "<7>Visit: the Slidemill repository and its issue tracker\r\n<7>";
  EXPECT_EQ(platform.transcript, expected);
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
