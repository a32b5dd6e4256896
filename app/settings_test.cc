#include "app/settings.h"

#include <gtest/gtest.h>

#include "app/options.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

class ValidateTest : public testing::Test {
 protected:
  // Validates options given as name and value.
  JobError Validate(std::vector<std::pair<std::string, std::string>> given) {
    RawOptions raw;
    for (const auto& [name, value] : given) FindOption(name)->raw(raw) = value;
    JobError error;
    ValidateSettings(raw, settings_, error, platform_);
    return error;
  }
  test::FakePlatform platform_;
  Settings settings_;
};

struct ValueCase {
  std::string name;
  std::string option, value;
  std::string info;  // the message; "" when the value passes
  std::string encoder = "mencoder";
};

class ValueTest : public ValidateTest, public testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, IsCheckedWithItsMessage) {
  const ValueCase& c = GetParam();
  JobError error = Validate({{"-encoder", c.encoder}, {c.option, c.value}});
  EXPECT_EQ(error.Info, c.info);
}

const std::string kFps = "'-video-frames-per-second' must be ";
const std::string kLog = "The log file specified by '-log-path' cannot be created.";
const std::string kSeconds =
    "'-photo-seconds' must be a positive number of seconds with at most three decimals, as 0.5 "
    "or 3.";
const std::string kSize = "'-video-size' must be two even numbers from 16 to 7680, as 1920x1080.";

// One case for each rule, and the edges of those with edges.
INSTANTIATE_TEST_SUITE_P(
    Settings, ValueTest,
    testing::Values(
        ValueCase{"FpsZero", "-video-frames-per-second", "0",
                  kFps + "between 1 and 100, inclusive."},
        ValueCase{"FpsDecimal", "-video-frames-per-second", "2.5", kFps + "an integer."},
        ValueCase{"FpsOnlySpacesIsNotGiven", "-video-frames-per-second", "   ", ""},
        ValueCase{"LogBareName", "-log-path", "run.log", kLog},
        ValueCase{"LogTooLong", "-log-path",
                  std::string(".") + NativePathRules().separator + std::string(kNameFieldSize, 'x'),
                  kLog},
        ValueCase{"MencoderPathIsADirectory", "-mencoder-path", ".",
                  "The file specified by '-mencoder-path' does not exist."},
        ValueCase{"DepthBelowMinusOne", "-r-depth", "-2", "'-r-depth' must be -1 or greater."},
        ValueCase{"SleepNegative", "-sleep-time", "-1", "'-sleep-time' must be zero or greater."},
        ValueCase{"FontMissing", "-subtitle-font-file", "nofont.ttf",
                  "The file specified by '-subtitle-font-file' does not exist."},
        ValueCase{"EncoderCaseMatters", "-encoder", "FFmpeg",
                  "The encoder specified by '-encoder' must be mencoder or ffmpeg."},
        ValueCase{"SizeNeedsFfmpeg", "-video-size", "640x480",
                  "'-video-size' needs '-encoder ffmpeg'."},
        ValueCase{"SizeAtItsBounds", "-video-size", "16x7680", "", "ffmpeg"},
        ValueCase{"SizeTooNarrow", "-video-size", "14x480", kSize, "ffmpeg"},
        ValueCase{"SizeOdd", "-video-size", "641x480", kSize, "ffmpeg"},
        ValueCase{"TitleNamedLikeAPhoto", "-srt-filename", "Title.JPEG",
                  "The title file specified by '-srt-filename' must not be named like a photo."},
        ValueCase{"FilterThatCannotMatch", "-dir-filter", "(ab)*",
                  "The pattern specified by '-dir-filter' is not valid."},
        ValueCase{"OrderCaseMatters", "-photo-order", "Natural",
                  "The order specified by '-photo-order' must be name, natural or taken."},
        ValueCase{"SecondsZero", "-photo-seconds", "0.000", kSeconds},
        ValueCase{"SecondsFourDecimals", "-photo-seconds", "1.0001", kSeconds},
        ValueCase{"SecondsOneFrameWithoutAWholePart", "-photo-seconds", ".04", ""},
        ValueCase{"SecondsUnderAFrame", "-photo-seconds", "0.039",
                  "'-photo-seconds' must show each photo for one frame or more: 0.04 or more at "
                  "25 frames per second."}),
    [](const testing::TestParamInfo<ValueCase>& param) { return param.param.name; });

// 32 bits, digits after an optional minus, nothing else.
TEST(IntegerTest, Rule) {
  for (const char* text : {"-", "2147483647", "-2147483648", "00000000000000000000042"}) {
    EXPECT_TRUE(IsInteger(text)) << text;
  }
  for (const char* text : {"2147483648", "-2147483649", "+5"}) {
    EXPECT_FALSE(IsInteger(text)) << text;
  }
}

// A check that reads what an earlier one checked comes after it: the
// seconds need a frame rate, the frame size an encoder.
TEST_F(ValidateTest, ChecksFollowThoseTheyNeed) {
  EXPECT_EQ(Validate({{"-video-frames-per-second", "0"}, {"-photo-seconds", "1"}}).Info,
            kFps + "between 1 and 100, inclusive.");
  EXPECT_EQ(Validate({{"-encoder", "vlc"}, {"-video-size", "640x480"}}).Info,
            "The encoder specified by '-encoder' must be mencoder or ffmpeg.");
}

TEST_F(ValidateTest, RootLosesItsTrailingSeparatorsAndShowsTheSystemsOwn) {
  std::string sep(1, NativePathRules().separator);
  Validate({{"-dir", " a b" + sep + sep}});
  EXPECT_EQ(settings_.Dir, " a b");
  Validate({});
  EXPECT_EQ(settings_.Dir, platform_.CurrentDirectory());
  RawOptions raw;
  raw.Dir = "z:/Photos/../d/";
  JobError error;
  ValidateSettings(raw, settings_, error, platform_, kWindowsPathRules);
  EXPECT_EQ(settings_.Dir, "z:\\Photos\\..\\d");
}

}  // namespace
}  // namespace slidemill
