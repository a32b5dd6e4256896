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
    testing::Values(EndCase{"ExitCode", "exit 7", "/", Kind::kExited, 7},
                    EndCase{"ExitTwoIsACodeLikeAnyOther", "exit 2", "/", Kind::kExited, 2},
                    EndCase{"SigintIsCtrlC", "kill -INT $$", "/", Kind::kCtrlC, 2},
                    EndCase{"SigquitIsCtrlBreak", "kill -QUIT $$", "/", Kind::kCtrlBreak, 3},
                    EndCase{"OtherSignal", "kill -KILL $$", "/", Kind::kKilled, 9},
                    EndCase{"RunsInItsDirectory", "test \"$PWD\" = /tmp", "/tmp", Kind::kExited, 0},
                    EndCase{"DirectoryMissing", "exit 0", "/no/such/dir", Kind::kNoDirectory, 0}),
    [](const testing::TestParamInfo<EndCase>& param) { return param.param.name; });

// A background child: a process group of its own, no keyboard, its output
// kept; a limited wait that ends first, and a stop that waits for the
// child it kills, which no later wait answers.
TEST(ProcessTest, BackgroundChildren) {
  Platform& platform = SystemPlatform();
  std::string script =
      "echo out; echo err >&2; read x || echo no input; test $(ps -o pgid= -p $$) = $$";
  ChildStart quiet = platform.StartChild({{"sh"}, {"-c"}, {script}}, "/", true);
  platform.StartChild({{"sleep"}, {"30"}}, "/", true);
  std::optional<EndedChild> first = platform.WaitForChild(kWaitForever, true);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->id, quiet.id);
  EXPECT_EQ(first->outcome.kind, Kind::kExited);
  EXPECT_EQ(first->outcome.code, 0u);
  EXPECT_EQ(first->output, "out\nerr\nno input\n");
  EXPECT_FALSE(platform.WaitForChild(20, false).has_value());
  platform.StopChildren();
  std::optional<EndedChild> none = platform.WaitForChild(kWaitForever, false);
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(none->id, 0u);
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
