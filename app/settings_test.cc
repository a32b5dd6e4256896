#include "app/settings.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

TEST(SettingsTest, IsIntegerHoldsToThe32BitRange) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"25", true, 25}, {"-", true, 0}, {"007", true, 7}, {"-2147483648", true, INT32_MIN},
      {"2147483647", true, INT32_MAX}, {"00000000000000000000042", true, 42},
      {"2147483648", false, 0}, {"-2147483649", false, 0}, {"", false, 0}, {"+5", false, 0},
      {" 5", false, 0}, {"2.5", false, 0}, {"5-", false, 0}, {"--5", false, 0},
  };
  for (const Case& c : cases) {
    int32_t value = -99;
    EXPECT_EQ(IsInteger(c.text, &value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

class ValidateTest : public testing::Test {
 protected:
  // Validates `raw` with the scratch directory as the current directory.
  JobError Validate(const RawOptions& raw) {
    JobError error;
    platform_.current_directory = scratch_.str();
    ValidateSettings(raw, settings_, error, platform_);
    return error;
  }
  std::string Native(const std::string& path) {
    std::string native = path;
    for (char& c : native) {
      if (c == '/') c = NativePathRules().separator;
    }
    return native;
  }

  test::ScratchDir scratch_;
  test::FakePlatform platform_;
  Settings settings_;
};

TEST_F(ValidateTest, EachBadValueHasItsMessage) {
  scratch_.MakeDir("adir");
  struct Case {
    std::string RawOptions::*field;
    std::string value;
    const char* message;  // nullptr: passes
  } cases[] = {
      {&RawOptions::VideoFramesPerSecond, "0",
       "'-video-frames-per-second' must be between 1 and 100, inclusive."},
      {&RawOptions::VideoFramesPerSecond, "1", nullptr},
      {&RawOptions::VideoFramesPerSecond, "100", nullptr},
      {&RawOptions::VideoFramesPerSecond, "2.5",
       "'-video-frames-per-second' must be an integer."},
      {&RawOptions::VideoFramesPerSecond, "   ", nullptr},  // spaces only: not given
      {&RawOptions::LogPath, "run.log",
       "The log file specified by '-log-path' cannot be created."},
      {&RawOptions::LogPath, Native("./run.log"), nullptr},
      {&RawOptions::LogPath, Native("missing/run.log"),
       "The log file specified by '-log-path' cannot be created."},
      {&RawOptions::LogPath, Native(scratch_.str() + "/adir/run.log"), nullptr},
      {&RawOptions::LogPath, Native("a*/run.log"),
       "The log file specified by '-log-path' cannot be created."},
      {&RawOptions::LogPath, Native("./") + std::string(kNameFieldSize, 'x'),
       "The log file specified by '-log-path' cannot be created."},
      {&RawOptions::MencoderPath, scratch_.str(),
       "The file specified by '-mencoder-path' does not exist."},
      {&RawOptions::MencoderPath, "*",
       "The file specified by '-mencoder-path' does not exist."},
      {&RawOptions::RDepth, "-2", "'-r-depth' must be -1 or greater."},
      {&RawOptions::RDepth, "-1", nullptr},
      {&RawOptions::RDepth, "x", "'-r-depth' must be an integer."},
      {&RawOptions::SleepTime, "-", nullptr},
      {&RawOptions::SleepTime, "+5", "'-sleep-time' must be an integer."},
      {&RawOptions::SleepTime, "-1", "'-sleep-time' must be zero or greater."},
      {&RawOptions::SubtitleFontFile, "nofont.ttf",
       "The file specified by '-subtitle-font-file' does not exist."},
      {&RawOptions::SubtitleFontSize, "0", nullptr},
      {&RawOptions::SubtitleFontSize, "-1",
       "'-subtitle-font-size' must be zero or greater."},
      {&RawOptions::SubtitleFontSize, "big",
       "'-subtitle-font-size' must be an integer."},
      {&RawOptions::DirFilter, "^20[0-9]+ trip", nullptr},
      {&RawOptions::DirFilter, "(ab)*", "The pattern specified by '-dir-filter' is not valid."},
  };
  for (const Case& c : cases) {
    RawOptions raw;
    raw.*(c.field) = c.value;
    JobError error = Validate(raw);
    if (c.message == nullptr) {
      EXPECT_FALSE(HasJobError(error)) << c.value << ": " << error.Info;
    } else {
      EXPECT_EQ(error.Code, 2) << c.value;
      EXPECT_EQ(error.Message, "Invalid argument");
      EXPECT_EQ(error.Info, c.message) << c.value;
    }
  }
}

// With several bad values only the earliest in check order is reported.
TEST_F(ValidateTest, OnlyTheEarliestFailureInCheckOrderIsReported) {
  std::pair<std::string RawOptions::*, const char*> in_order[] = {
      {&RawOptions::VideoFramesPerSecond, "abc"}, {&RawOptions::LogPath, "bare.log"},
      {&RawOptions::MencoderPath, "missing"},     {&RawOptions::RDepth, "-5"},
      {&RawOptions::SleepTime, "x"},              {&RawOptions::SubtitleFontSize, "-1"},
      {&RawOptions::DirFilter, "(x)+"}};
  RawOptions all;
  for (auto [field, bad] : in_order) all.*field = bad;
  for (auto [field, bad] : in_order) {
    RawOptions alone;
    alone.*field = bad;
    std::string expected = Validate(alone).Info;
    EXPECT_EQ(Validate(all).Info, expected);
    EXPECT_FALSE(expected.empty());
    all.*field = "";  // mend it and look for the next one
  }
  EXPECT_FALSE(HasJobError(Validate(all)));
}

TEST_F(ValidateTest, DepthFollowsRecurseUnlessGiven) {
  struct Case {
    const char* recurse;
    const char* depth;
    int32_t expected;
  } cases[] = {
      {"", "", 0}, {"TRUE", "", -1}, {"TRUE", "0", 0}, {"TRUE", "2", 2}, {"", "3", 3},
  };
  for (const Case& c : cases) {
    RawOptions raw;
    raw.Recurse = c.recurse;
    raw.RDepth = c.depth;
    ASSERT_FALSE(HasJobError(Validate(raw)));
    EXPECT_EQ(settings_.RDepth, c.expected);
    EXPECT_EQ(settings_.Recurse, *c.recurse != '\0');
  }
}

TEST_F(ValidateTest, DirLosesTrailingSeparatorsOnly) {
  std::string sep(1, NativePathRules().separator);
  for (auto [given, expected] : {std::pair{" a b" + sep + sep, std::string(" a b")},
                                 std::pair{sep + sep, sep}}) {
    RawOptions raw;
    raw.Dir = given;
    ASSERT_FALSE(HasJobError(Validate(raw)));
    EXPECT_EQ(settings_.Dir, expected);
  }
  ASSERT_FALSE(HasJobError(Validate(RawOptions{})));
  EXPECT_EQ(settings_.Dir, scratch_.str());  // not given: the current directory
}

TEST_F(ValidateTest, DefaultFontIsTheFirstOfFourThatExists) {
  platform_.fonts_folder = scratch_.str() + NativePathRules().separator;
  EXPECT_FALSE(HasJobError(Validate(RawOptions{})));
  EXPECT_EQ(settings_.SubtitleFontFile, "");  // none there: empty, no error

  scratch_.WriteFile("cour.ttf");
  scratch_.WriteFile("times.ttf");
  Validate(RawOptions{});
  EXPECT_EQ(settings_.SubtitleFontFile, (scratch_.path() / "times.ttf").string());
  scratch_.WriteFile("verdana.ttf");
  Validate(RawOptions{});
  EXPECT_EQ(settings_.SubtitleFontFile, (scratch_.path() / "verdana.ttf").string());

  // A given font wins and is kept as typed.
  RawOptions raw;
  raw.SubtitleFontFile = (scratch_.path() / "cour.ttf").string();
  Validate(raw);
  EXPECT_EQ(settings_.SubtitleFontFile, raw.SubtitleFontFile);
}

}  // namespace
}  // namespace slidemill
