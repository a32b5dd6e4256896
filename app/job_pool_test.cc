#include "app/job_pool.h"

#include <gtest/gtest.h>

#include "app/ffmpeg_encoder.h"
#include "app/mencoder_encoder.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using Kind = ChildOutcome::Kind;

// A tree of photo directories, the pool over them on the fake platform, and
// what came of it: the log without its stamps, the last line shown.
class PoolTest : public testing::Test {
 protected:
  PoolTest() {
    settings_.SleepTime = 5, settings_.SRTFilename = "_title.srt";
    settings_.VideoFilename = "_movie.avi", settings_.VideoCodec = "mjpeg";
    settings_.VideoFramesPerSecond = 25, settings_.Encoder = "mencoder";
    output_.set_log_path((scratch_.path() / "run.log").string());
  }

  std::string Dir(const std::string& name) { return (scratch_.path() / name).string(); }

  // Runs the pool over the directories; answers the result of the last.
  DirectoryResult Run(std::vector<std::string> dirs, std::size_t slots = 1,
                      const Encoder& encoder = Mencoder()) {
    RunContext context{platform_, output_, settings_, encoder, error_};
    JobPool pool(context, slots);
    DirectoryResult result = DirectoryResult::kContinue;
    for (const std::string& dir : dirs) {
      result = pool.Process(Dir(dir), file_);
      if (result == DirectoryResult::kEndRun) break;
    }
    if (result == DirectoryResult::kContinue) pool.Finish();
    pool.Stop();
    tried_ = pool.videos_tried(), failed_ = pool.videos_failed();
    return result;
  }

  // The log's lines, stamps taken off the directories' lines.
  std::vector<std::string> Log() {
    std::vector<std::string> lines;
    std::string text = test::ReadFile(scratch_.path() / "run.log");
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
      std::string line = text.substr(at, end - at);
      lines.push_back(line.starts_with("    ") ? line.substr(4) : line.substr(20));
    }
    return lines;
  }

  // The last line the console showed.
  std::string LastShown() {
    std::string out = platform_.out;
    while (out.ends_with("\r\n")) out.resize(out.size() - 2);
    std::size_t at = out.rfind("\r\n");
    return at == std::string::npos ? out : out.substr(at + 2);
  }

  test::ScratchDir scratch_;
  test::FakePlatform platform_;
  Output output_{platform_};
  Settings settings_;
  JobError error_;
  cFile file_{platform_};
  int tried_ = 0, failed_ = 0;
};

struct EndCase {
  std::string name;
  ChildOutcome outcome;
  std::string answer;  // typed at the question, if one is asked
  std::string logged;
  std::string shown;  // the last line shown; "" for the command's own line
  int32_t error = 0;
  bool made = false;  // the encoder leaves a video
  bool paused = true;
};

class EncoderEndTest : public PoolTest, public testing::WithParamInterface<EndCase> {};

// What one encoder's end becomes: log, console, status, video, pause, count.
TEST_P(EncoderEndTest, IsJudged) {
  const EndCase& c = GetParam();
  scratch_.MakeTree({"trip/a.jpg"});
  if (c.made) platform_.video = test::TestVideo(".avi");
  platform_.outcomes = {c.outcome};
  if (!c.answer.empty()) platform_.keys = {c.answer};
  Run({"trip"});
  EXPECT_EQ(Log(), (std::vector<std::string>{Dir("trip"), c.logged}));
  EXPECT_EQ(LastShown(), c.shown.empty() ? platform_.runs.at(0).command_line : c.shown);
  EXPECT_EQ(error_.Code, c.error);
  EXPECT_EQ(fs::exists(scratch_.path() / "trip/_movie.avi"), c.made);
  EXPECT_FALSE(fs::exists(scratch_.path() / "trip/_movie.slidemill-part.avi"));
  EXPECT_EQ(platform_.sleeps, c.paused ? std::vector<uint32_t>{5} : std::vector<uint32_t>{});
  EXPECT_EQ(tried_, 1);
  EXPECT_EQ(failed_, c.made ? 0 : 1);
}

const std::string kNoVideo = "The encoder reported success but made no video.";
const std::string kQuestion = "Would you like to exit now? [y/N]: ";

INSTANTIATE_TEST_SUITE_P(
    Pool, EncoderEndTest,
    testing::Values(
        EndCase{"Completed",
                {},
                "",
                "Encoding complete.",
                "Movie encoding completed successfully.",
                0,
                true},
        EndCase{"NoVideo", {}, "", kNoVideo, kNoVideo},
        EndCase{"ErrorCode",
                {Kind::kExited, 4294967295u, ""},
                "",
                "Mencoder exited with an error code: 4294967295",
                ""},
        EndCase{"KilledBySignal",
                {Kind::kKilled, 11, ""},
                "",
                "Mencoder exited with an error code: 139",
                ""},
        // Only Y or y means yes; Ctrl-C at the question is a key like any other.
        EndCase{"CtrlCThenGoOn", {Kind::kCtrlC, 0, ""}, "\x03", "Aborted by user.", kQuestion},
        EndCase{"MencodersTwoIsCtrlC",
                {Kind::kExited, 2, ""},
                "y",
                "Aborted by user.",
                kQuestion,
                kErrorAborted,
                false,
                false},
        EndCase{"CtrlBreakThenExit",
                {Kind::kCtrlBreak, 0, ""},
                "Y",
                "Aborted by user.",
                kQuestion,
                kErrorAborted,
                false,
                false},
        EndCase{"CannotStart",
                {Kind::kCannotStart, 0, "No file"},
                "",
                "Error starting encoder: No file",
                "",
                kErrorStartingEncoder,
                false,
                false},
        EndCase{"DirectoryGone",
                {Kind::kNoDirectory, 0, "gone"},
                "",
                "The encoder was not started: this directory cannot be entered (gone).",
                "The encoder was not started: this directory cannot be entered (gone).",
                0,
                false,
                false},
        EndCase{"EndCannotBeLearnt",
                {Kind::kLost, 0, "lost"},
                "",
                "How the encoder ended cannot be learnt (lost).",
                "How the encoder ended cannot be learnt (lost).",
                0}),
    [](const testing::TestParamInfo<EndCase>& param) { return param.param.name; });

// A video whose name is taken by a directory cannot be put in place; the
// finished part goes rather than stay under a name no one looks for.
TEST_F(PoolTest, VideoThatCannotBePutInPlace) {
  scratch_.MakeTree({"trip/a.jpg", "trip/_movie.avi/x"});
  platform_.video = test::TestVideo(".avi");
  Run({"trip"});
  ASSERT_EQ(Log().size(), 2u);
  EXPECT_TRUE(Log()[1].starts_with("The video cannot be put in place: ")) << Log()[1];
  EXPECT_FALSE(fs::exists(scratch_.path() / "trip/_movie.slidemill-part.avi"));
  EXPECT_EQ(failed_, 1);
}

// The part is made afresh: a link planted under its name is taken away,
// never written through.
TEST_F(PoolTest, PartNameTakenByALinkIsNotWrittenThrough) {
  scratch_.MakeTree({"trip/a.jpg"});
  scratch_.WriteFile("mine", "mine");
  std::error_code error;
  fs::create_symlink("../mine", scratch_.path() / "trip/_movie.slidemill-part.avi", error);
  if (error) GTEST_SKIP() << "no links here: " << error.message();
  platform_.video = test::TestVideo(".avi");
  Run({"trip"});
  EXPECT_EQ(test::ReadFile(scratch_.path() / "mine"), "mine");
  EXPECT_EQ(test::ReadFile(scratch_.path() / "trip/_movie.avi"), platform_.video);
}

// Made, but short of the frames planned: said as a warning.
TEST_F(PoolTest, VideoShortOfFramesIsMadeWithAWarning) {
  scratch_.MakeTree({"trip/a.jpg", "trip/b.jpg"});
  platform_.video = test::TestVideo(".avi", 1);
  Run({"trip"});
  EXPECT_EQ(Log(), (std::vector<std::string>{Dir("trip"), "Encoding complete.",
                                             "The video holds only 1 of 2 frames."}));
  EXPECT_EQ(LastShown(), "The video holds only 1 of 2 frames.");
  EXPECT_EQ(failed_, 0);
}

// The list of photos cannot be written: a failed video, and the run goes on.
TEST_F(PoolTest, PhotoListThatCannotBeWritten) {
  scratch_.MakeTree({"trip/a.jpg"});
  settings_.VideoFilename = "_movie.mp4";
  platform_.temporary_files_fail = true;
  EXPECT_EQ(Run({"trip"}, 1, Ffmpeg()), DirectoryResult::kContinue);
  EXPECT_TRUE(platform_.runs.empty());
  EXPECT_EQ(Log().at(1), "The list of photos for the encoder cannot be written: Disk full.");
  EXPECT_EQ(failed_, 1);
}

// With two slots the encoders run side by side, apart from the console;
// each directory's log lines stay together, written when its encoder ends.
TEST_F(PoolTest, SideBySideLogsStayTogether) {
  scratch_.MakeTree({"a/p.jpg", "b/p.jpg"});
  platform_.video = test::TestVideo(".avi");
  platform_.outcomes = {{}, {Kind::kExited, 3, ""}};
  Run({"a", "b"}, 2);
  EXPECT_EQ(Log(), (std::vector<std::string>{Dir("a"), "Encoding complete.", Dir("b"),
                                             "Mencoder exited with an error code: 3"}));
  EXPECT_EQ(LastShown(), Dir("b") + ": Mencoder exited with an error code: 3");
}

// Ctrl-C while every slot is busy: the question, and yes stops them all,
// leaving no part behind.
TEST_F(PoolTest, CtrlCWhileSideBySideStopsThemAll) {
  scratch_.MakeTree({"a/p.jpg", "b/p.jpg"});
  scratch_.WriteFile("a/_movie.slidemill-part.avi", "half");
  platform_.keys = {"x", "\x03", "y"};
  EXPECT_EQ(Run({"a", "b"}, 2), DirectoryResult::kEndRun);
  EXPECT_EQ(error_.Code, kErrorAborted);
  EXPECT_EQ(Log(),
            (std::vector<std::string>{Dir("a"), "Aborted by user.", Dir("b"), "Aborted by user."}));
  EXPECT_FALSE(fs::exists(scratch_.path() / "a/_movie.slidemill-part.avi"));
  EXPECT_FALSE(fs::exists(scratch_.path() / "a/_movie.avi"));
  EXPECT_EQ(failed_, 2);
}

// A single encoder is not held back; several share the processors (shown
// by the whole program's runs).
TEST(EncoderThreadsTest, OneEncoderMayUseEveryProcessor) { EXPECT_EQ(EncoderThreads(1), 0u); }

}  // namespace
}  // namespace slidemill
