#include "app/settings.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

class ValidateTest : public testing::Test {
 protected:
  // Validates `raw` with the scratch directory as the current directory.
  JobError Validate(const RawOptions& raw) {
    JobError error;
    platform_.current_directory = scratch_.str();
    ValidateSettings(raw, settings_, error, platform_);
    return error;
  }
  std::string Native(std::string path) {
    for (char& c : path) c = c == '/' ? NativePathRules().separator : c;
    return path;
  }

  test::ScratchDir scratch_;
  test::FakePlatform platform_;
  Settings settings_;
};

TEST_F(ValidateTest, EachBadValueHasItsMessage) {
  scratch_.MakeDir("adir");
  const std::string fps = "'-video-frames-per-second' must be ";
  const std::string log = "The log file specified by '-log-path' cannot be created.";
  const std::string file = "The file specified by '-";
  const std::string sleep = "'-sleep-time' must be an integer.";
  const std::string size = "'-video-size' must be two even numbers from 16 to 7680, as 1920x1080.";
  struct Case {
    std::string RawOptions::*field;
    std::string value;
    std::string info;  // "": passes
    std::string encoder = "";
  } cases[] = {
      {&RawOptions::VideoFramesPerSecond, "0", fps + "between 1 and 100, inclusive."},
      {&RawOptions::VideoFramesPerSecond, "100", ""},
      {&RawOptions::VideoFramesPerSecond, "2.5", fps + "an integer."},
      {&RawOptions::VideoFramesPerSecond, "   ", ""},  // spaces only: not given
      {&RawOptions::LogPath, "run.log", log},
      {&RawOptions::LogPath, Native("./run.log"), ""},
      {&RawOptions::LogPath, Native("missing/run.log"), log},
      {&RawOptions::LogPath, Native(scratch_.str() + "/adir/run.log"), ""},
      {&RawOptions::LogPath, Native("./") + std::string(kNameFieldSize, 'x'), log},
      {&RawOptions::RDepth, "-2", "'-r-depth' must be -1 or greater."},
      {&RawOptions::RDepth, "x", "'-r-depth' must be an integer."},
      // Integers: 32 bits, digits after an optional minus, nothing else.
      {&RawOptions::SleepTime, "-", ""},
      {&RawOptions::SleepTime, "2147483647", ""},
      {&RawOptions::SleepTime, "00000000000000000000042", ""},
      {&RawOptions::SleepTime, "-1", "'-sleep-time' must be zero or greater."},
      {&RawOptions::RDepth, "-2147483648", "'-r-depth' must be -1 or greater."},
      {&RawOptions::SleepTime, "2147483648", sleep},
      {&RawOptions::SleepTime, "-2147483649", sleep},
      {&RawOptions::SleepTime, "+5", sleep},
      {&RawOptions::SleepTime, " 5", sleep},
      {&RawOptions::SleepTime, "5-", sleep},
      {&RawOptions::SleepTime, "--5", sleep},
      {&RawOptions::SubtitleFontFile, "nofont.ttf", file + "subtitle-font-file' does not exist."},
      {&RawOptions::SubtitleFontSize, "-1", "'-subtitle-font-size' must be zero or greater."},
      {&RawOptions::SubtitleFontSize, "big", "'-subtitle-font-size' must be an integer."},
      {&RawOptions::Encoder, "ffmpeg", ""},
      {&RawOptions::Encoder, "mencoder", ""},
      {&RawOptions::Encoder, "FFmpeg",
       "The encoder specified by '-encoder' must be mencoder or ffmpeg."},
      {&RawOptions::VideoSize, "640x480", "'-video-size' needs '-encoder ffmpeg'."},
      {&RawOptions::VideoSize, "16x7680", "", "ffmpeg"},
      {&RawOptions::VideoSize, "14x480", size, "ffmpeg"},
      {&RawOptions::VideoSize, "640x7682", size, "ffmpeg"},
      {&RawOptions::VideoSize, "641x480", size, "ffmpeg"},
      {&RawOptions::VideoSize, "640X480", size, "ffmpeg"},
      {&RawOptions::VideoSize, "640x", size, "ffmpeg"},
      {&RawOptions::VideoSize, "-640x-480", size, "ffmpeg"},
      {&RawOptions::Jobs, "0", ""},
      {&RawOptions::Jobs, "64", ""},
      {&RawOptions::Jobs, "65", "'-jobs' must be between 0 and 64, inclusive."},
      {&RawOptions::Jobs, "two", "'-jobs' must be an integer."},
      {&RawOptions::DirFilter, "^20[0-9]+ trip", ""},
      {&RawOptions::DirFilter, "(ab)*", "The pattern specified by '-dir-filter' is not valid."},
  };
  for (const Case& c : cases) {
    RawOptions raw;
    raw.*(c.field) = c.value;
    if (!c.encoder.empty()) raw.Encoder = c.encoder;
    JobError error = Validate(raw);
    EXPECT_EQ(error.Code, c.info.empty() ? 0 : 2) << c.value;
    EXPECT_EQ(error.Info, c.info) << c.value;
  }
}

// With several bad values only the earliest in check order is reported.
TEST_F(ValidateTest, OnlyTheEarliestFailureInCheckOrderIsReported) {
  std::pair<std::string RawOptions::*, const char*> in_order[] = {
      {&RawOptions::VideoFramesPerSecond, "abc"},
      {&RawOptions::LogPath, "bare.log"},
      {&RawOptions::RDepth, "-5"},
      {&RawOptions::SleepTime, "x"},
      {&RawOptions::SubtitleFontSize, "-1"},
      {&RawOptions::DirFilter, "(x)+"}};
  RawOptions all;
  for (auto [field, bad] : in_order) all.*field = bad;
  for (auto [field, bad] : in_order) {
    RawOptions alone;
    alone.*field = bad;
    std::string expected = Validate(alone).Info;
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(Validate(all).Info, expected);
    all.*field = "";  // mend it and look for the next one
  }
  EXPECT_FALSE(HasJobError(Validate(all)));
}

// The settings that validation derives: depth from -r unless given, -dir
// without trailing separators (the current directory when not given), and
// the first of four default fonts that exists unless one is given.
TEST_F(ValidateTest, DerivedValues) {
  for (auto [recurse, depth, expected] :
       {std::tuple{"", "", 0}, {"TRUE", "", -1}, {"TRUE", "2", 2}, {"", "3", 3}}) {
    RawOptions raw;
    raw.Recurse = recurse;
    raw.RDepth = depth;
    ASSERT_FALSE(HasJobError(Validate(raw)));
    EXPECT_EQ(settings_.RDepth, expected);
  }
  std::string sep(1, NativePathRules().separator);
  RawOptions raw;
  for (auto [given, trimmed] :
       {std::pair{" a b" + sep + sep, std::string(" a b")}, {sep + sep, sep}}) {
    raw.Dir = given;
    Validate(raw);
    EXPECT_EQ(settings_.Dir, trimmed);
  }

  platform_.fonts_folder = scratch_.str() + sep;
  ASSERT_FALSE(HasJobError(Validate(RawOptions{})));
  EXPECT_EQ(settings_.Dir, scratch_.str());
  EXPECT_EQ(settings_.SubtitleFontFile, "");  // no font there: empty, no error
  for (auto [made, font] : {std::pair{"cour.ttf", "cour.ttf"},
                            {"times.ttf", "times.ttf"},
                            {"verdana.ttf", "verdana.ttf"},
                            {"arial.ttf", "verdana.ttf"}}) {
    scratch_.MakeTree({made});
    Validate(RawOptions{});
    EXPECT_EQ(settings_.SubtitleFontFile, (scratch_.path() / font).string());
  }
  raw = RawOptions{};
  raw.Encoder = "ffmpeg", raw.VideoSize = "640x480";  // ffmpeg's own defaults and frame
  Validate(raw);
  EXPECT_EQ(settings_.VideoCodec + settings_.VideoFilename, "libx264_movie.mp4");
  EXPECT_EQ(std::pair(settings_.VideoWidth, settings_.VideoHeight), std::pair(640, 480));
  raw = RawOptions{};
  raw.SubtitleFontFile = (scratch_.path() / "cour.ttf").string();  // given: kept as typed
  Validate(raw);
  EXPECT_EQ(settings_.SubtitleFontFile, raw.SubtitleFontFile);
}

}  // namespace
}  // namespace slidemill
