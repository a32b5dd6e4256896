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

// The photo directory "trip" of one pool slot on the fake platform, and
// what came of it: the log without its stamps, the last line shown. How
// encoders end that a real run on this system can give is the whole
// program's to show; these are the ends it cannot give.
class PoolTest : public testing::Test {
 protected:
  PoolTest() {
    scratch_.MakeTree({"trip/a.jpg"});
    settings_.SleepTime = 5, settings_.VideoFilename = "_movie.avi";
    output_.set_log_path((scratch_.path() / "run.log").string());
  }

  DirectoryResult Run(const Encoder& encoder = Mencoder()) {
    RunContext context{platform_, output_, settings_, encoder, error_};
    JobPool pool(context, 1);
    DirectoryResult result = pool.Process(Dir(), file_);
    if (result == DirectoryResult::kContinue) pool.Finish();
    pool.Stop();
    failed_ = pool.videos_failed();
    return result;
  }
  std::string Dir() { return (scratch_.path() / "trip").string(); }
  fs::path Path(const std::string& name) { return scratch_.path() / "trip" / name; }

  // The log's lines after the stamped directory's line (the whole program
  // shows that one).
  std::string Log() {
    return test::ReadFile(scratch_.path() / "run.log").substr(22 + Dir().size());
  }

  std::string LastShown() {
    std::string out = platform_.out;
    while (out.ends_with("\r\n")) out.resize(out.size() - 2);
    return out.substr(out.rfind("\r\n") + 2);
  }

  test::ScratchDir scratch_;
  test::FakePlatform platform_;
  Output output_{platform_};
  Settings settings_;
  JobError error_;
  cFile file_{platform_};
  int failed_ = 0;
};

struct EndCase {
  std::string name;
  ChildOutcome outcome;
  std::string logged;
  std::string shown = "";   // the last line shown; "" for the command's own line
  std::string answer = "";  // typed at the question, if one is asked
  int32_t error = 0;
  bool paused = true;
};

class EncoderEndTest : public PoolTest, public testing::WithParamInterface<EndCase> {};

// What one encoder's end becomes: log, console, status, pause, no video.
TEST_P(EncoderEndTest, IsJudged) {
  const EndCase& c = GetParam();
  platform_.outcomes = {c.outcome};
  if (!c.answer.empty()) platform_.keys = {c.answer};
  Run();
  EXPECT_EQ(Log(), "    " + c.logged + "\r\n");
  EXPECT_EQ(LastShown(), c.shown.empty() ? platform_.runs.at(0) : c.shown);
  EXPECT_EQ(error_.Code, c.error);
  EXPECT_EQ(platform_.sleeps, c.paused ? std::vector<uint32_t>{5} : std::vector<uint32_t>{});
  EXPECT_EQ(failed_, 1);
}

const std::string kExited = "Mencoder exited with an error code: ";
const std::string kNoVideo = "The encoder reported success but made no video.";
const std::string kAborted = "Aborted by user.";
const std::string kQuestion = "Would you like to exit now? [y/N]: ";
const std::string kGone = "The encoder was not started: this directory cannot be entered (gone).";
const std::string kLost = "How the encoder ended cannot be learnt (lost).";

INSTANTIATE_TEST_SUITE_P(
    Pool, EncoderEndTest,
    testing::Values(
        EndCase{"NoVideo", {}, kNoVideo, kNoVideo},
        // Windows' codes are unsigned.
        EndCase{"ErrorCode", {Kind::kExited, 4294967295u, ""}, kExited + "4294967295"},
        EndCase{"KilledBySignal", {Kind::kKilled, 11, ""}, kExited + "139"},
        // Only Y or y means yes; Ctrl-C at the question is a key like any other.
        EndCase{"CtrlCThenGoOn", {Kind::kCtrlC, 0, ""}, kAborted, kQuestion, "\x03"},
        EndCase{"CtrlBreakThenExit",
                {Kind::kCtrlBreak, 0, ""},
                kAborted,
                kQuestion,
                "Y",
                kErrorAborted,
                false},
        EndCase{"DirectoryGone", {Kind::kNoDirectory, 0, "gone"}, kGone, kGone, "", 0, false},
        EndCase{"EndCannotBeLearnt", {Kind::kLost, 0, "lost"}, kLost, kLost}),
    [](const testing::TestParamInfo<EndCase>& param) { return param.param.name; });

// A video whose name is taken by a directory cannot be put in place; the
// finished part goes rather than stay under a name no one looks for.
TEST_F(PoolTest, VideoThatCannotBePutInPlace) {
  fs::create_directory(Path("_movie.avi"));
  platform_.video = test::TestVideo(".avi");
  Run();
  EXPECT_TRUE(Log().starts_with("    The video cannot be put in place: ")) << Log();
  EXPECT_FALSE(fs::exists(Path("_movie.slidemill-part.avi")));
  EXPECT_EQ(failed_, 1);
}

// The part is made afresh: a link planted under its name is taken away,
// never written through.
TEST_F(PoolTest, PartNameTakenByALinkIsNotWrittenThrough) {
  scratch_.WriteFile("mine", "mine");
  std::error_code error;
  fs::create_symlink("../mine", Path("_movie.slidemill-part.avi"), error);
  if (error) GTEST_SKIP() << "no links here: " << error.message();
  platform_.video = test::TestVideo(".avi");
  Run();
  EXPECT_EQ(test::ReadFile(scratch_.path() / "mine"), "mine");
  EXPECT_EQ(test::ReadFile(Path("_movie.avi")), platform_.video);
}

// Made, but short of the frames planned: said as a warning.
TEST_F(PoolTest, VideoShortOfFramesIsMadeWithAWarning) {
  scratch_.MakeTree({"trip/b.jpg"});
  platform_.video = test::TestVideo(".avi", 1);
  Run();
  EXPECT_EQ(Log(), "    Encoding complete.\r\n    The video holds only 1 of 2 frames.\r\n");
  EXPECT_EQ(failed_, 0);
}

// The list of photos cannot be written: a failed video, and the run goes on.
TEST_F(PoolTest, PhotoListThatCannotBeWritten) {
  settings_.VideoFilename = "_movie.mp4";
  platform_.temporary_files_fail = true;
  EXPECT_EQ(Run(Ffmpeg()), DirectoryResult::kContinue);
  EXPECT_TRUE(platform_.runs.empty());
  EXPECT_EQ(Log(), "    The list of photos for the encoder cannot be written: Disk full.\r\n");
  EXPECT_EQ(failed_, 1);
}

}  // namespace
}  // namespace slidemill
