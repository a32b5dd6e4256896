#include "app/video_job.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

using Kind = ChildOutcome::Kind;

TEST(VideoJobTest, TitleTextIsOneCueWithEachPlaceholderReplacedOnce) {
  EXPECT_EQ(
      BuildTitleText("{MonthModified}/{DayModified}/{YearModified}{CRLF}{DayModified}{Dir}"
                     "{crlf}{YearModified",
                     "{CRLF}", "6", "2009"),
      "1\r\n00:00:00,000 --> 99:00:00,000\r\n6/{CRLF}/2009\r\n{CRLF}{Dir}{crlf}{YearModified");
}

// The one-line form is the template's text; the arguments are what the
// program's split rule makes of it, the directory's path never split.
TEST(VideoJobTest, EncoderCommands) {
  Settings s;
  s.SRTFilename = "_title.srt", s.SubtitleFontSize = 16, s.VideoFramesPerSecond = 25;
  s.VideoFilename = "{Dir}.{VideoCodec}", s.VideoCodec = "{0} -vf s";  // {0} came earlier
  std::string plain =
      "enc \"in\" -o \"/p/a \"b\" & c.{0} -vf s\" -mf fps=25 -ovc lavc -lavcopts "
      "vcodec={0} -vf s";
  EXPECT_EQ(JoinCommandLine(BuildEncoderCommand(s, "enc", "", "in", "/p/a \"b\" & c")), plain);
  s.SubtitleText = "Hi";
  std::vector<CommandArgument> command = BuildEncoderCommand(s, "enc", "", "in", "/p/a \"b\" & c");
  EXPECT_EQ(JoinCommandLine(command), plain +
                                          " -font \"\" -sub \"_title.srt\" -subalign 2 "
                                          "-subfont-autoscale 0 -subfont-text-scale 16");
  std::string split;
  for (const CommandArgument& argument : command) split += argument.text + "|";
  EXPECT_EQ(split,
            "enc|in|-o|/p/a \"b\" & c.{0} -vf s|-mf|fps=25|-ovc|lavc|-lavcopts|vcodec={0}|-vf|"
            "s|-font||-sub|_title.srt|-subalign|2|-subfont-autoscale|0|-subfont-text-scale|16|");
}

// The part name keeps the extension, which only the last name can hold;
// the log gets what an encoder's progress line showed last.
TEST(VideoJobTest, PartNamesAndLastLines) {
  for (auto [video, part] : {std::pair{"_movie.avi", "_movie.slidemill-part.avi"},
                             {"{Dir}.mp4", "{Dir}.slidemill-part.mp4"},
                             {"{Dir}", "{Dir}.slidemill-part"},
                             {"a.d/movie", "a.d/movie.slidemill-part"},
                             {"movie", "movie.slidemill-part"}}) {
    EXPECT_EQ(PartName(video), part);
  }
  EXPECT_EQ(LastLines("one\ntwo\n10%\r20%\r\nthree", 3),
            (std::vector<std::string>{"two", "20%", "three"}));
  EXPECT_EQ(LastLines("", 20), std::vector<std::string>{});
}

// What the job makes of each end of the encoder: console, log, pause, status.
TEST(VideoJobTest, EncoderOutcomes) {
  auto red = [](std::string text) { return "\r\n<12>" + text + "\r\n<7>"; };
  auto ask = [](std::string blank, std::string notice) {
    return "<15>\r\n" + blank + notice +
           " has been pressed.\r\nWould you like to exit now? [y/N]: <7>";
  };
  const std::string no_video = "The encoder reported success but made no video.",
                    gone = "The encoder was not started: this directory cannot be entered (gone).";
  struct Case {
    ChildOutcome outcome;
    std::string key, log, console;
    int32_t error;
    bool paused = false, made = false;
  } cases[] = {
      {{},
       "",
       "Encoding complete.",
       "\r\n<10>Movie encoding completed successfully.\r\n<7>",
       0,
       true,
       true},
      {{}, "", no_video, red(no_video), 0, true},
      {{Kind::kExited, 4294967295u, ""},
       "",
       "Mencoder exited with an error code: 4294967295",
       "",
       0,
       true},
      {{Kind::kKilled, 11, ""}, "", "Mencoder exited with an error code: 139", "", 0, true},
      // Only Y or y at the prompt means yes; Ctrl-C there is a key like any other.
      {{Kind::kCtrlC, 0, ""}, "\x03", "Aborted by user.", ask("", "Ctrl-C"), 0, true},
      {{Kind::kCtrlC, 0, ""}, "y", "Aborted by user.", ask("", "Ctrl-C"), 1},
      {{Kind::kCtrlBreak, 0, ""}, "Y", "Aborted by user.", ask("\r\n", "Ctrl-Break"), 1},
      {{Kind::kCannotStart, 0, "No file"}, "", "Error starting encoder: No file", "", 5},
      {{Kind::kNoDirectory, 0, "gone"}, "", gone, red(gone), 0},
      // A title file that cannot be written ends the run before the encoder.
      {{}, "", "Error opening title file: ", "", 3},
  };
  for (const Case& c : cases) {
    bool titled = c.error == kErrorTitleFile;
    test::ScratchDir scratch;
    scratch.MakeTree({"trip/a.jpg", "trip/taken/"});
    if (c.made) scratch.WriteFile("trip/_movie.slidemill-part.avi", "video");
    test::FakePlatform platform;
    platform.outcomes = {c.outcome};
    if (!c.key.empty()) platform.keys = {c.key};
    Output output(platform);
    output.set_log_path((scratch.path() / "run.log").string());
    Settings settings;  // the title file's name is taken
    settings.SleepTime = 5, settings.SRTFilename = "taken", settings.VideoFilename = "_movie.avi";
    settings.SubtitleText = titled ? "x" : "";
    JobError error;
    VideoJob job(platform, output, settings, error);
    cFile file(platform);
    std::string dir = (scratch.path() / "trip").string();
    EXPECT_EQ(job.ProcessDirectory(dir, file),
              c.error != 0 ? DirectoryResult::kEndRun : DirectoryResult::kContinue);
    EXPECT_EQ(error.Code, c.error);
    EXPECT_EQ(
        test::ReadFile(scratch.path() / "run.log"),
        "12-05-2026 21:07:43 " + dir + "\r\n    " + c.log + (titled ? error.Info : "") + "\r\n");
    // Only a finished video has the video's name; no part is left.
    EXPECT_EQ(std::pair(std::filesystem::exists(scratch.path() / "trip/_movie.avi"),
                        std::filesystem::exists(scratch.path() / "trip/_movie.slidemill-part.avi")),
              std::pair(c.made, false));
    EXPECT_EQ(platform.sleeps, c.paused ? std::vector<uint32_t>{5} : std::vector<uint32_t>{});
    EXPECT_EQ(std::pair(job.videos_tried(), job.videos_failed()),
              std::pair(titled ? 0 : 1, c.made || titled ? 0 : 1));
    // The console shows the command as the platform runs it.
    std::string launch =
        titled ? "\r\n<7>" : "<15>" + platform.runs[0].command_line + "\r\n<7>\r\n";
    EXPECT_TRUE(platform.transcript.ends_with(launch + c.console)) << platform.transcript;
  }
}

}  // namespace
}  // namespace slidemill
