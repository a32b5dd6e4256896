#include <gtest/gtest.h>
#include <sys/resource.h>

#include "platform/platform.h"

namespace slidemill {
namespace {

using Kind = ChildOutcome::Kind;

struct EndCase {
  std::string name;
  std::string script, dir;
  Kind kind;
  uint32_t code;
};

class ChildEndTest : public testing::TestWithParam<EndCase> {};

// How a real child ended, started and waited for on this system. An exit
// code is only a code: what it means is the program's business.
TEST_P(ChildEndTest, IsReported) {
  const EndCase& c = GetParam();
  Platform& platform = SystemPlatform();
  ChildStart start = platform.StartChild({{"sh"}, {"-c"}, {c.script}}, c.dir, false);
  EndedChild ended = start.id != 0 ? *platform.WaitForChild(kWaitForever, false)
                                   : EndedChild{0, start.outcome, ""};
  EXPECT_EQ(ended.id, start.id);
  EXPECT_EQ(ended.outcome.kind, c.kind);
  EXPECT_EQ(ended.outcome.code, c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Process, ChildEndTest,
    testing::Values(EndCase{"SigintIsCtrlC", "kill -INT $$", "/", Kind::kCtrlC, 2},
                    EndCase{"SigquitIsCtrlBreak", "kill -QUIT $$", "/", Kind::kCtrlBreak, 3},
                    EndCase{"OtherSignal", "kill -KILL $$", "/", Kind::kKilled, 9},
                    EndCase{"DirectoryMissing", "exit 0", "/no/such/dir", Kind::kNoDirectory, 0}),
    [](const testing::TestParamInfo<EndCase>& param) { return param.param.name; });

// A background child's output is kept, both streams. (Its own process group,
// no keyboard, and a stop that takes every child along show in whole runs.)
TEST(ProcessTest, BackgroundChildKeepsBothStreams) {
  Platform& platform = SystemPlatform();
  ChildStart child = platform.StartChild({{"sh"}, {"-c"}, {"echo out; echo err >&2"}}, "/", true);
  std::optional<EndedChild> ended = platform.WaitForChild(kWaitForever, true);
  ASSERT_TRUE(ended.has_value());
  EXPECT_EQ(ended->id, child.id);
  EXPECT_EQ(ended->output, "out\nerr\n");
}

double ProcessorSeconds() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Waiting for a child blocks in the system instead of looking again and
// again: half a second of waiting costs next to no processor time.
TEST(ProcessTest, WaitingTakesNoProcessorTime) {
  Platform& platform = SystemPlatform();
  platform.StartChild({{"sleep"}, {"0.5"}}, "/", true);
  double before = ProcessorSeconds();
  ASSERT_TRUE(platform.WaitForChild(kWaitForever, true).has_value());
  EXPECT_LT(ProcessorSeconds() - before, 0.05);
}

}  // namespace
}  // namespace slidemill
