#include "app/video_job.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/interrupt.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using Kind = ChildOutcome::Kind;

TEST(VideoJobTest, TitleTextIsOneCueWithEveryPlaceholderReplacedOnce) {
  struct Case {
    const char* subtitle;
    const char* day;
    const char* title;
  } cases[] = {
      {"Trip {MonthModified}/{DayModified}/{YearModified}{CRLF}Day 1", "5", "Trip 6/5/2009\r\nDay 1"},
      {"{DayModified}{DayModified}", "5", "55"},
      // Inserted text is not searched again; near misses stay as they are.
      {"{crlf}{Dir}{DayModified}{YearModified", "{CRLF}", "{crlf}{Dir}{CRLF}{YearModified"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildTitleText(c.subtitle, c.day, "6", "2009"),
              std::string("1\r\n00:00:00,000 --> 99:00:00,000\r\n") + c.title);
  }
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

// The one-line form is the template's own text; the arguments are what the
// program's split rule makes of it, a directory's path always whole.
TEST(VideoJobTest, EncoderCommands) {
  struct Case {
    const char* subtitle;
    const char* video;
    const char* codec;
    const char* dir;
    const char* line;
    std::vector<std::string> arguments;
  } cases[] = {
      {"", "_movie.avi", "mjpeg", "/p", "enc \"in\" -o \"_movie.avi\" -mf fps=25 -ovc lavc -lavcopts vcodec=mjpeg",
       {"enc", "in", "-o", "_movie.avi", "-mf", "fps=25", "-ovc", "lavc", "-lavcopts", "vcodec=mjpeg"}},
      {"Hi", "_movie.avi", "mjpeg", "/p",
       "enc \"in\" -o \"_movie.avi\" -mf fps=25 -ovc lavc -lavcopts vcodec=mjpeg -font \"\" -sub "
       "\"_title.srt\" -subalign 2 -subfont-autoscale 0 -subfont-text-scale 16", {}},
      // A later placeholder in a setting is filled, an earlier one is not.
      {"", "{Dir}.{VideoCodec}", "{0}", "/p/trip", "enc \"in\" -o \"/p/trip.{0}\" -mf fps=25 -ovc lavc -lavcopts vcodec={0}", {}},
      {"", "{Dir}.avi", "mjpeg -vf s", "/p/a \"b\" c $(x); & 'q'",
       "enc \"in\" -o \"/p/a \"b\" c $(x); & 'q'.avi\" -mf fps=25 -ovc lavc -lavcopts vcodec=mjpeg -vf s",
       {"enc", "in", "-o", "/p/a \"b\" c $(x); & 'q'.avi", "-mf", "fps=25", "-ovc", "lavc",
        "-lavcopts", "vcodec=mjpeg", "-vf", "s"}},
  };
  for (const Case& c : cases) {
    Settings s = DefaultSettings();
    s.SubtitleText = c.subtitle;
    s.VideoFilename = c.video;
    s.VideoCodec = c.codec;
    std::vector<CommandArgument> command = BuildEncoderCommand(s, "enc", "", "in", c.dir);
    EXPECT_EQ(JoinCommandLine(command), c.line);
    std::vector<std::string> texts;
    for (const CommandArgument& argument : command) texts.push_back(argument.text);
    if (!c.arguments.empty()) {
      EXPECT_EQ(texts, c.arguments) << c.line;
    }
  }
}

// A photo directory on disk and a job over it with a recording platform.
class ProcessDirectoryTest : public testing::Test {
 protected:
  ProcessDirectoryTest() : output_(platform_), settings_(DefaultSettings()) {
    dir_ = scratch_.MakeDir("trip").string();
    output_.set_log_path((scratch_.path() / "run.log").string());
  }

  DirectoryResult RunJob() {
    fs::remove(scratch_.path() / "run.log");
    platform_.transcript.clear();
    VideoJob job(platform_, output_, settings_, error_);
    cFile file(platform_);
    DirectoryResult result = job.ProcessDirectory(dir_, file);
    failed_ = job.videos_failed();
    return result;
  }

  // The log's lines after the stamped directory line.
  std::string LogAfterDir() {
    std::string log = test::ReadFile(scratch_.path() / "run.log");
    EXPECT_EQ(log.rfind("12-05-2026 21:07:43 " + dir_ + "\r\n", 0), 0u) << log;
    return log.substr(log.find("\r\n") + 2);
  }

  test::ScratchDir scratch_;
  test::FakePlatform platform_;
  Output output_;
  Settings settings_;
  JobError error_;
  std::string dir_;
  int failed_ = 0;
};

TEST_F(ProcessDirectoryTest, DirectoryWithoutJpgIsSkipped) {
  scratch_.MakeTree({"trip/notes.txt", "trip/.hidden.jpg", "trip/folder.jpg/"});
  EXPECT_EQ(RunJob(), DirectoryResult::kContinue);
  EXPECT_EQ(platform_.transcript, "\r\n<10>Changing to this directory:\r\n\r\n<7>" + dir_ +
                                      "\r\n<7>\r\n<12>No JPG files found in this directory.\r\n<7>");
  EXPECT_EQ(LogAfterDir(), "    No JPG files found in this directory.\r\n");
  EXPECT_TRUE(platform_.runs.empty());
}

TEST_F(ProcessDirectoryTest, TitleFileHoldsTheFirstJpgsDateOrEndsTheRun) {
  scratch_.MakeTree({"trip/a.jpg", "trip/b.jpg"});
  test::SetModified(scratch_.path() / "trip/a.jpg", "2009-06-05");
  settings_.SubtitleText = "{MonthModified}/{DayModified}/{YearModified}";
  EXPECT_EQ(RunJob(), DirectoryResult::kContinue);
  EXPECT_EQ(test::ReadFile(scratch_.path() / "trip/_title.srt"),
            "1\r\n00:00:00,000 --> 99:00:00,000\r\n6/5/2009\r\n");
  ASSERT_EQ(platform_.runs.size(), 1u);
  EXPECT_EQ(platform_.runs[0].dir, dir_);

  settings_.SRTFilename = "folder";  // a name that is taken cannot be written
  scratch_.MakeDir("trip/folder");
  EXPECT_EQ(RunJob(), DirectoryResult::kEndRun);
  EXPECT_EQ(error_.Code, 3);
  EXPECT_EQ(LogAfterDir(), "    Error opening title file: " + error_.Info + "\r\n");
  EXPECT_FALSE(error_.Info.empty());
  EXPECT_EQ(platform_.runs.size(), 1u);
}

TEST_F(ProcessDirectoryTest, EncoderOutcomes) {
  struct Case {
    const char* what;
    ChildOutcome outcome;
    const char* key;
    bool video_blocked;
    DirectoryResult result;
    int32_t error;
    const char* log;      // after the directory's line
    const char* console;  // after the command
    bool paused;
    int failed;
  } cases[] = {
      {"success", {}, "", false, DirectoryResult::kContinue, 0, "Encoding complete.",
       "\r\n<10>Movie encoding completed successfully.\r\n<7>", true, 0},
      {"no video", {}, "", true, DirectoryResult::kContinue, 0,
       "The encoder reported success but made no video.",
       "\r\n<12>The encoder reported success but made no video.\r\n<7>", true, 1},
      {"failure", {Kind::kExited, 4294967295u, ""}, "", false, DirectoryResult::kContinue, 0,
       "Mencoder exited with an error code: 4294967295", "", true, 1},
      {"killed", {Kind::kKilled, 11, ""}, "", false, DirectoryResult::kContinue, 0,
       "Mencoder exited with an error code: 139", "", true, 1},
      {"Ctrl-C, go on", {Kind::kCtrlC, 0, ""}, "n", false, DirectoryResult::kContinue, 0, "Aborted by user.",
       "<15>\r\nCtrl-C has been pressed.\r\nWould you like to exit now? [y/N]: <7>", true, 1},
      {"Ctrl-C, exit", {Kind::kCtrlC, 0, ""}, "y", false, DirectoryResult::kEndRun, 1, "Aborted by user.",
       "<15>\r\nCtrl-C has been pressed.\r\nWould you like to exit now? [y/N]: <7>", false, 1},
      {"Ctrl-Break", {Kind::kCtrlBreak, 0, ""}, "Y", false, DirectoryResult::kEndRun, 1, "Aborted by user.",
       "<15>\r\n\r\nCtrl-Break has been pressed.\r\nWould you like to exit now? [y/N]: <7>", false, 1},
      {"cannot start", {Kind::kCannotStart, 0, "No such file"}, "", false, DirectoryResult::kEndRun,
       5, "Error starting encoder: No such file", "", false, 1},
      {"directory gone", {Kind::kNoDirectory, 0, "gone"}, "", false, DirectoryResult::kContinue, 0,
       "The encoder was not started: this directory cannot be entered (gone).",
       "\r\n<12>The encoder was not started: this directory cannot be entered (gone).\r\n<7>", false, 1},
  };
  scratch_.MakeTree({"trip/a.jpg"});
  settings_.SleepTime = 5;
  for (const Case& c : cases) {
    if (c.video_blocked) scratch_.MakeDir("trip/_movie.avi");
    platform_.sleeps.clear();
    platform_.outcomes = {c.outcome};
    platform_.keys.clear();
    if (*c.key != '\0') platform_.keys = {c.key};
    error_ = JobError{};
    EXPECT_EQ(RunJob(), c.result) << c.what;
    EXPECT_EQ(error_.Code, c.error) << c.what;
    EXPECT_EQ(LogAfterDir(), std::string("    ") + c.log + "\r\n") << c.what;
    std::string launch = "\r\n<10>Launching mencoder with this command:\r\n\r\n<15>" +
                         platform_.runs.back().command_line + "\r\n<7>\r\n";
    std::size_t at = platform_.transcript.find(launch);
    ASSERT_NE(at, std::string::npos) << c.what;
    EXPECT_EQ(platform_.transcript.substr(at + launch.size()), c.console) << c.what;
    EXPECT_EQ(platform_.sleeps, c.paused ? std::vector<uint32_t>{5} : std::vector<uint32_t>{})
        << c.what;
    EXPECT_EQ(failed_, c.failed) << c.what;
    fs::remove_all(scratch_.path() / "trip/_movie.avi");
  }
}

TEST(InterruptTest, OnlyYMeansYes) {
  struct Case {
    std::string key;  // "" for no keyboard
    bool yes;
  } cases[] = {{"y", true}, {"Y", true}, {"n", false}, {"\r", false}, {"\x1b", false},
               {std::string("\0;", 2), false}, {"\x03", false}, {"yes", false}, {"", false}};
  for (const Case& c : cases) {
    test::FakePlatform platform;
    if (!c.key.empty()) platform.keys = {c.key};
    Output output(platform);
    EXPECT_EQ(AskToExit(output, "Ctrl-C has been pressed.", false), c.yes);
    // Without a keyboard the prompt takes its default at once, and ends its line.
    EXPECT_EQ(platform.transcript, "<15>\r\nCtrl-C has been pressed.\r\nWould you like to exit now? "
                                   "[y/N]: <7>" + std::string(c.key.empty() ? "\r\n" : ""));
  }
}

}  // namespace
}  // namespace slidemill
