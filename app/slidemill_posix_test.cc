// The whole program on Linux: the built binary on real photo trees, the
// real encoder, ffprobe to check its videos, and a real pseudo-terminal for
// key presses and signals.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/program_posix.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using test::Binary;
using test::Count;
using test::MakeJpgs;
using test::Probe;
using test::Result;
using test::RunProgram;
using test::Terminal;

class RunTest : public testing::Test {
 protected:
  fs::path root() const { return scratch_.path() / "photos"; }
  test::ScratchDir scratch_;
};

TEST_F(RunTest, EncodesEveryPhotoDirectoryWithTitles) {
  MakeJpgs(root() / "2019 Trip", 3, "jpg", "2019-06-05");
  MakeJpgs(root() / "2019 Trip", 1, "JPG", "2019-06-07");  // photo_001.JPG
  MakeJpgs(root() / "2019 Trip" / "Day 2", 2, "JPG", "2019-06-06");
  fs::create_directories(root() / "Notes");
  // A relative root, and videos named after their directories beside them.
  Result run = RunProgram({Binary("slidemill"), "-dir", "photos", "-r", "-video-frames-per-second", "5",
                    "-subtitle-text", "Trip {MonthModified}/{DayModified}/{YearModified}",
                    "-log-path", "./run.log", "-video-filename", "{Dir}.avi"},
                   scratch_.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\nJob complete.\n"), std::string::npos);

  struct Expected {
    fs::path dir;
    const char* frames;
    const char* title;
  } videos[] = {
      {root() / "2019 Trip", "4", "Trip 6/7/2019"},  // photo_001.JPG sorts first
      {root() / "2019 Trip" / "Day 2", "2", "Trip 6/6/2019"},
  };
  for (const Expected& v : videos) {
    fs::path video = v.dir.string() + ".avi";
    ASSERT_TRUE(fs::exists(video)) << video;
    EXPECT_EQ(Probe(video, "nb_read_frames"), v.frames) << video;
    EXPECT_EQ(Probe(video, "codec_name"), "mjpeg") << video;
    EXPECT_EQ(Probe(video, "r_frame_rate"), "5/1") << video;
    EXPECT_EQ(test::ReadFile(v.dir / "_title.srt"),
              std::string("1\r\n00:00:00,000 --> 99:00:00,000\r\n") + v.title + "\r\n");
  }
  EXPECT_FALSE(fs::exists(root() / "Notes.avi"));
  EXPECT_FALSE(fs::exists(root() / "Notes" / "_title.srt"));

  // The log sits where it was asked for, not in a photo directory; one
  // stamped line per directory, indented lines for the rest.
  std::string log = test::ReadFile(scratch_.path() / "run.log");
  EXPECT_EQ(test::MaskStamps(log),
            "<stamp> photos\n    No JPG files found in this directory.\n"
            "<stamp> photos/2019 Trip\n    Encoding complete.\n"
            "<stamp> photos/2019 Trip/Day 2\n    Encoding complete.\n"
            "<stamp> photos/Notes\n    No JPG files found in this directory.\n");
}

TEST_F(RunTest, TitleIsBurnedIntoTheFrames) {
  MakeJpgs(root(), 4, "jpg", "2020-01-02");
  Result run = RunProgram({Binary("slidemill"), "-dir", root().string(), "-subtitle-text", "TITLE",
                    "-subtitle-font-size", "12"},
                   scratch_.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  fs::path frame = scratch_.path() / "frame.gray";
  // The encoder draws titles from the third frame on; the fourth is the last.
  Result extracted =
      RunProgram({"ffmpeg", "-loglevel", "error", "-i", (root() / "_movie.avi").string(), "-vf",
                  "select=eq(n\\,3)", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray",
                  frame.string()},
                 scratch_.path());
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  std::string pixels = test::ReadFile(frame);
  ASSERT_EQ(pixels.size(), 160u * 120u);
  // Bright text at the bottom of a dark frame, nothing bright at the top.
  int bottom = 0, top = 0;
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) {
      bool bright = static_cast<unsigned char>(pixels[y * 160 + x]) > 180;
      if (bright && y >= 80) ++bottom;
      if (bright && y < 40) ++top;
    }
  }
  EXPECT_GT(bottom, 30);
  EXPECT_EQ(top, 0);
}

TEST_F(RunTest, AnEncoderThatCannotStartEndsTheRun) {
  MakeJpgs(root() / "a", 1, "jpg", "2021-03-04");
  MakeJpgs(root() / "b", 1, "jpg", "2021-03-04");
  Result run = RunProgram({Binary("slidemill"), "-dir", root().string(), "-r"}, scratch_.path(),
                          {"PATH=/nonexistent"});
  EXPECT_EQ(run.status, 5) << run.out;
  EXPECT_EQ(run.err, "\nError starting encoder: No such file or directory\n");
  EXPECT_EQ(Count(run.out, "Launching mencoder"), 1);  // not tried again in "b"
}

TEST_F(RunTest, ADirectoryThatVanishesIsSkippedCleanly) {
  MakeJpgs(root() / "a", 1, "jpg", "2021-03-04");
  MakeJpgs(root() / "b", 1, "jpg", "2021-03-04");
  std::string records = (scratch_.path() / "records").string();
  // The encoder in "a" removes "b" before the walk reaches it.
  Result run = RunProgram({Binary("slidemill"), "-dir", root().string(), "-r", "-mencoder-path",
                    Binary("test_encoder")},
                   scratch_.path(),
                   {"SLIDEMILL_TEST_ENCODER_REMOVE=" + (root() / "b").string(),
                    "SLIDEMILL_TEST_ENCODER_LOG=" + records});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Count(test::ReadFile(records), "dir="), 1);
  EXPECT_NE(run.out.find("Job complete."), std::string::npos);
}

TEST_F(RunTest, CtrlCBetweenDirectoriesAsksAndGoesOnOrStops) {
  for (const char* name : {"a", "b", "c"}) MakeJpgs(root() / name, 1, "jpg", "2021-03-04");
  std::string records = (scratch_.path() / "records").string();
  std::vector<std::string> args = {Binary("slidemill"), "-dir", root().string(), "-r",
                                   "-mencoder-path", Binary("test_encoder"), "-sleep-time",
                                   "1500"};
  std::vector<std::string> env = {"SLIDEMILL_TEST_ENCODER_LOG=" + records};
  {
    Terminal terminal(args, scratch_.path(), env);
    ASSERT_TRUE(terminal.WaitFor("Movie encoding completed successfully."));
    terminal.Type("\x03");  // waits in the input until the walk looks
    ASSERT_TRUE(terminal.WaitFor("Ctrl-C has been pressed.\r\nWould you like to exit now? [y/N]: "))
        << terminal.screen();
    terminal.Type("n");
    EXPECT_EQ(terminal.Wait(), 0) << terminal.screen();
    // Every directory once, in order: none skipped, none repeated.
    std::string screen = terminal.screen();
    EXPECT_EQ(Count(screen, "Changing to this directory:"), 4);
    std::string order;
    for (const char* name : {"/a\r", "/b\r", "/c\r"}) {
      order += screen.find(root().string() + name) != std::string::npos ? "x" : "-";
    }
    EXPECT_EQ(order, "xxx");
    EXPECT_EQ(Count(test::ReadFile(records), "dir="), 3);
    EXPECT_TRUE(terminal.SettingsRestored());
  }
  {
    fs::remove(records);
    Terminal terminal(args, scratch_.path(), env);
    ASSERT_TRUE(terminal.WaitFor("Movie encoding completed successfully."));
    terminal.Type("\x03");
    ASSERT_TRUE(terminal.WaitFor("Would you like to exit now? [y/N]: ")) << terminal.screen();
    terminal.Type("y");
    EXPECT_EQ(terminal.Wait(), 1);
    EXPECT_NE(terminal.screen().find("Aborted by user"), std::string::npos);
    EXPECT_EQ(Count(test::ReadFile(records), "dir="), 1);
    EXPECT_TRUE(terminal.SettingsRestored());
  }
}

TEST_F(RunTest, CtrlCWhileTheEncoderRunsInterruptsIt) {
  for (const char* name : {"a", "b"}) MakeJpgs(root() / name, 1, "jpg", "2021-03-04");
  std::string log = (scratch_.path() / "run.log").string();
  Terminal terminal({Binary("slidemill"), "-dir", root().string(), "-r", "-mencoder-path",
                     Binary("test_encoder"), "-log-path", log},
                    scratch_.path(), {"SLIDEMILL_TEST_ENCODER_SLEEP=20000"});
  ASSERT_TRUE(terminal.WaitFor("Launching mencoder with this command:"));
  usleep(300000);  // the encoder is running
  auto started = std::chrono::steady_clock::now();
  terminal.Type("\x03");
  ASSERT_TRUE(terminal.WaitFor("Ctrl-C has been pressed.\r\nWould you like to exit now? [y/N]: "))
      << terminal.screen();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  terminal.Type("y");
  EXPECT_EQ(terminal.Wait(), 1);
  EXPECT_NE(test::ReadFile(log).find("\n    Aborted by user.\n"), std::string::npos);
  EXPECT_TRUE(terminal.SettingsRestored());
}

TEST_F(RunTest, TerminalIsRestoredWhenTerminated) {
  MakeJpgs(root() / "a", 1, "jpg", "2021-03-04");
  for (bool during_encoder : {false, true}) {
    std::vector<std::string> args = {Binary("slidemill"), "-dir", root().string(), "-r",
                                     "-mencoder-path", Binary("test_encoder")};
    std::vector<std::string> env;
    if (during_encoder) {
      env.push_back("SLIDEMILL_TEST_ENCODER_SLEEP=20000");
    } else {
      args.insert(args.end(), {"-sleep-time", "20000"});
    }
    Terminal terminal(args, scratch_.path(), env);
    ASSERT_TRUE(terminal.WaitFor(during_encoder ? "Launching mencoder" : "completed successfully"));
    usleep(300000);
    terminal.Signal(SIGTERM);
    EXPECT_EQ(terminal.Wait(), 128 + SIGTERM);
    EXPECT_TRUE(terminal.SettingsRestored()) << during_encoder;
  }
}

TEST_F(RunTest, HangUpDoesNotStopTheRun) {
  for (const char* name : {"a", "b"}) MakeJpgs(root() / name, 1, "jpg", "2021-03-04");
  std::string records = (scratch_.path() / "records").string();
  Terminal terminal({Binary("slidemill"), "-dir", root().string(), "-r", "-mencoder-path",
                     Binary("test_encoder"), "-sleep-time", "700"},
                    scratch_.path(),
                    {"SLIDEMILL_TEST_ENCODER_SLEEP=700", "SLIDEMILL_TEST_ENCODER_LOG=" + records});
  ASSERT_TRUE(terminal.WaitFor("Launching mencoder"));
  usleep(200000);
  terminal.Signal(SIGHUP);  // while the encoder runs
  ASSERT_TRUE(terminal.WaitFor("completed successfully"));
  usleep(200000);
  terminal.Signal(SIGHUP);  // during the pause between directories
  EXPECT_EQ(terminal.Wait(), 0) << terminal.screen();
  EXPECT_EQ(Count(test::ReadFile(records), "end\n"), 2);
  EXPECT_TRUE(terminal.SettingsRestored());
}

}  // namespace
}  // namespace slidemill
