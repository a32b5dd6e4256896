#include "app/video_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "app/interrupt.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

TEST(VideoJobTest, ReplacementRule) {
  struct Case {
    const char* text;
    const char* placeholder;
    const char* value;
    const char* result;
  } cases[] = {
      {"a{X}b{X}", "{X}", "1", "a1b1"},
      {"{X}", "{X}", "{X}{X}", "{X}{X}"},  // inserted text is not searched again
      {"{x}", "{X}", "1", "{x}"},          // case matters
      {"{X", "{X}", "1", "{X"},
      {"", "{X}", "1", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.placeholder, c.value), c.result) << c.text;
  }
}

TEST(VideoJobTest, TitleTextIsOneCue) {
  EXPECT_EQ(BuildTitleText("Trip {MonthModified}/{DayModified}/{YearModified}{CRLF}Day 1",
                           "5", "6", "2009"),
            "1\r\n00:00:00,000 --> 99:00:00,000\r\nTrip 6/5/2009\r\nDay 1");
  // Only the exact placeholders are replaced; a date holding a placeholder
  // replaced earlier stays as it is.
  EXPECT_EQ(BuildTitleText("{crlf}{Dir}{DayModified}", "{CRLF}", "", ""),
            "1\r\n00:00:00,000 --> 99:00:00,000\r\n{crlf}{Dir}{CRLF}");
}

Settings DefaultSettings() {
  Settings s;
  s.SRTFilename = "_title.srt";
  s.SubtitleFontSize = 16;
  s.VideoFilename = "_movie.avi";
  s.VideoFramesPerSecond = 25;
  s.VideoCodec = "mjpeg";
  return s;
}

std::string Joined(const std::vector<CommandPiece>& pieces) {
  std::string text;
  for (const auto& piece : pieces) text += piece.text;
  return text;
}

TEST(VideoJobTest, CommandTemplates) {
  Settings s = DefaultSettings();
  EXPECT_EQ(Joined(BuildEncoderCommand(s, "mencoder.exe", "", "mf://*.jpg", "C:\\p")),
            "mencoder.exe \"mf://*.jpg\" -o \"_movie.avi\" -mf fps=25 -ovc lavc "
            "-lavcopts vcodec=mjpeg");
  s.SubtitleText = "Hi";
  s.SubtitleFontSize = 8;
  EXPECT_EQ(Joined(BuildEncoderCommand(s, "m", "C:\\f.ttf", "mf://*.jpg", "C:\\p")),
            "m \"mf://*.jpg\" -o \"_movie.avi\" -mf fps=25 -ovc lavc -lavcopts vcodec=mjpeg "
            "-font \"C:\\f.ttf\" -sub \"_title.srt\" -subalign 2 -subfont-autoscale 0 "
            "-subfont-text-scale 8");

  // A setting holding a placeholder replaced later is expanded; one replaced
  // earlier stays.
  s = DefaultSettings();
  s.VideoFilename = "{Dir}.{VideoCodec}";
  s.VideoCodec = "{0}";
  EXPECT_EQ(Joined(BuildEncoderCommand(s, "enc", "", "in", "/photos/trip")),
            "enc \"in\" -o \"/photos/trip.{0}\" -mf fps=25 -ovc lavc -lavcopts vcodec={0}");
}

TEST(VideoJobTest, DirectoryNamesNeverSplitTypedSettingsDo) {
  Settings s = DefaultSettings();
  s.VideoFilename = "{Dir}.avi";
  s.VideoCodec = "mjpeg -vf scale=64:48";
  std::string dir = "/p/a \"b\" c $(rm -rf x); & 'q'";
  std::vector<std::string> args =
      SplitCommandPieces(BuildEncoderCommand(s, "/opt/my tools/mencoder", "", "mf://*.jpg", dir));
  std::vector<std::string> expected = {
      "/opt/my tools/mencoder", "mf://*.jpg", "-o", dir + ".avi", "-mf", "fps=25", "-ovc", "lavc",
      "-lavcopts", "vcodec=mjpeg", "-vf", "scale=64:48"};
  EXPECT_EQ(args, expected);
}

// A photo directory on disk and a job over it with a recording platform.
class ProcessDirectoryTest : public testing::Test {
 protected:
  ProcessDirectoryTest() : output_(platform_), settings_(DefaultSettings()) {
    dir_ = scratch_.MakeDir("trip").string();
    log_ = (scratch_.path() / "run.log").string();
    output_.set_log_path(log_);
  }

  void AddJpg(const std::string& name, int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    fs::path jpg = scratch_.WriteFile("trip/" + name, "jpeg");
    sys_seconds noon = sys_days{std::chrono::year{year} / month / day} + hours{12};
    fs::last_write_time(jpg, file_clock::from_sys(noon));
  }

  bool RunJob() {
    VideoJob job(platform_, output_, settings_, error_);
    cFile file(platform_);
    return job.ProcessDirectory(dir_, file);
  }

  std::string Log() { return test::ReadFile(log_); }

  test::ScratchDir scratch_;
  test::FakePlatform platform_;
  Output output_;
  Settings settings_;
  JobError error_;
  std::string dir_;
  std::string log_;
};

TEST_F(ProcessDirectoryTest, NoJpgIsReportedAndSkipped) {
  scratch_.WriteFile("trip/notes.txt", "x");
  scratch_.WriteFile("trip/.hidden.jpg", "x");
  scratch_.MakeDir("trip/folder.jpg");
  EXPECT_FALSE(RunJob());
  EXPECT_EQ(platform_.transcript, "\r\n<10>Changing to this directory:\r\n\r\n<7>" + dir_ +
                                      "\r\n<7>\r\n<12>No JPG files found in this directory."
                                      "\r\n<7>");
  EXPECT_EQ(Log(), "12-05-2026 21:07:43 " + dir_ + "\r\n    No JPG files found in this directory.\r\n");
  EXPECT_TRUE(platform_.runs.empty());
  EXPECT_TRUE(platform_.sleeps.empty());  // no pause without a video
  EXPECT_FALSE(HasJobError(error_));
}

TEST_F(ProcessDirectoryTest, EncodesWithoutTitle) {
  AddJpg("IMG_0001.JPG", 2009, 6, 5);
  settings_.SleepTime = 250;
  EXPECT_FALSE(RunJob());
  ASSERT_EQ(platform_.runs.size(), 1u);
  EXPECT_EQ(platform_.runs[0].dir, dir_);
  EXPECT_EQ(platform_.runs[0].arguments[0], platform_.DefaultEncoderName());
  EXPECT_EQ(platform_.runs[0].arguments[1], platform_.EncoderInputPattern());
  EXPECT_FALSE(fs::exists(scratch_.path() / "trip" / "_title.srt"));
  EXPECT_NE(platform_.transcript.find("\r\n<10>Launching mencoder with this command:\r\n\r\n<15>" +
                                      platform_.runs[0].command_line + "\r\n<7>\r\n"),
            std::string::npos);
  EXPECT_NE(platform_.transcript.find(
                "\r\n<10>Movie encoding completed successfully.\r\n<7>"),
            std::string::npos);
  EXPECT_EQ(Log(), "12-05-2026 21:07:43 " + dir_ + "\r\n    Encoding complete.\r\n");
  EXPECT_EQ(platform_.sleeps, std::vector<uint32_t>{250});
}

TEST_F(ProcessDirectoryTest, TitleFileHoldsTheFirstJpgsDate) {
  AddJpg("a.jpg", 2009, 6, 5);
  AddJpg("b.jpg", 2015, 1, 2);  // only the first JPG's date counts
  settings_.SubtitleText = "Trip {MonthModified}/{DayModified}/{YearModified}{CRLF}Day 1";
  EXPECT_FALSE(RunJob());
  EXPECT_EQ(test::ReadFile(scratch_.path() / "trip" / "_title.srt"),
            "1\r\n00:00:00,000 --> 99:00:00,000\r\nTrip 6/5/2009\r\nDay 1\r\n");
  // Written again on the next run, not appended to.
  settings_.SubtitleText = "Again";
  EXPECT_FALSE(RunJob());
  EXPECT_EQ(test::ReadFile(scratch_.path() / "trip" / "_title.srt"),
            "1\r\n00:00:00,000 --> 99:00:00,000\r\nAgain\r\n");
  ASSERT_EQ(platform_.runs.size(), 2u);
  const std::vector<std::string>& args = platform_.runs[0].arguments;
  // No font: an empty argument, and the encoder takes its own font.
  EXPECT_EQ(std::vector<std::string>(args.end() - 10, args.end() - 7),
            (std::vector<std::string>{"-font", "", "-sub"}));
}

TEST_F(ProcessDirectoryTest, EncoderOutcomes) {
  struct Case {
    const char* what;
    CommandOutcome outcome;
    std::deque<std::string> keys;
    bool ends_run;
    int32_t error;
    const char* log_line;    // the indented line after the stamped one
    const char* console;     // expected after the command, "" for nothing
    size_t sleeps;
  } cases[] = {
      {"failure", {CommandOutcome::Status::kExited, 1, ""}, {}, false, 0,
       "Mencoder exited with an error code: 1", "", 1},
      {"large code", {CommandOutcome::Status::kExited, 4294967295u, ""}, {}, false, 0,
       "Mencoder exited with an error code: 4294967295", "", 1},
      {"Ctrl-C, go on", {CommandOutcome::Status::kExited, 2, ""}, {"n"}, false, 0,
       "Aborted by user.",
       "<15>\r\nCtrl-C has been pressed.\r\nWould you like to exit now? [y/N]: <7>", 1},
      {"Ctrl-C, exit", {CommandOutcome::Status::kExited, 2, ""}, {"y"}, true, 1,
       "Aborted by user.",
       "<15>\r\nCtrl-C has been pressed.\r\nWould you like to exit now? [y/N]: <7>", 0},
      {"Ctrl-Break", {CommandOutcome::Status::kExited, 3221225786u, ""}, {"Y"}, true, 1,
       "Aborted by user.",
       "<15>\r\n\r\nCtrl-Break has been pressed.\r\nWould you like to exit now? [y/N]: <7>", 0},
      {"cannot start", {CommandOutcome::Status::kCannotStart, 0, "No such file"}, {}, true, 5,
       "Error starting encoder: No such file", "", 0},
      {"directory gone", {CommandOutcome::Status::kNoDirectory, 0, "gone"}, {}, false, 0,
       "The encoder was not started: this directory cannot be entered (gone).",
       "\r\n<12>The encoder was not started: this directory cannot be entered (gone).\r\n<7>", 0},
  };
  AddJpg("a.jpg", 2009, 6, 5);
  settings_.SleepTime = 5;
  for (const Case& c : cases) {
    fs::remove(log_);
    platform_.transcript.clear();
    platform_.sleeps.clear();
    platform_.outcomes = {c.outcome};
    platform_.keys = c.keys;
    error_ = JobError{};
    EXPECT_EQ(RunJob(), c.ends_run) << c.what;
    EXPECT_EQ(error_.Code, c.error) << c.what;
    EXPECT_EQ(Log(), "12-05-2026 21:07:43 " + dir_ + "\r\n    " + c.log_line + "\r\n") << c.what;
    std::string after_command = platform_.transcript.substr(
        platform_.transcript.find(platform_.runs.back().command_line) +
        platform_.runs.back().command_line.size() + 7);
    EXPECT_EQ(after_command, c.console) << c.what;
    EXPECT_EQ(platform_.sleeps.size(), c.sleeps) << c.what;
  }
}

TEST(InterruptTest, OnlyYMeansYes) {
  struct Case {
    std::deque<std::string> keys;
    bool yes;
  } cases[] = {
      {{"y"}, true},         {{"Y"}, true},          {{"n"}, false},
      {{"\r"}, false},       {{"\x1b"}, false},      {{" "}, false},
      {{std::string("\0;", 2)}, false},  // F1
      {{"\x03"}, false},     // Ctrl-C at the prompt is a key, and means no
      {{"yes"}, false},
  };
  for (const Case& c : cases) {
    test::FakePlatform platform;
    platform.keys = c.keys;
    Output output(platform);
    EXPECT_EQ(AskToExit(output, "Ctrl-C has been pressed.", false), c.yes);
    EXPECT_EQ(platform.transcript,
              "<15>\r\nCtrl-C has been pressed.\r\nWould you like to exit now? [y/N]: <7>");
  }
  // No keyboard: the prompt is shown and answered with its default at once.
  test::FakePlatform platform;
  platform.has_keyboard = false;
  Output output(platform);
  EXPECT_FALSE(AskToExit(output, "Ctrl-C has been pressed.", true));
  EXPECT_EQ(platform.transcript,
            "<15>\r\n\r\nCtrl-C has been pressed.\r\nWould you like to exit now? [y/N]: <7>\r\n");
  EXPECT_EQ(CheckEncoderInterrupt(output, 1), 0);
  EXPECT_EQ(CheckEncoderInterrupt(output, 0xC000013Bu), 0);
}

}  // namespace
}  // namespace slidemill
