#include <gtest/gtest.h>

#include "platform/platform.h"

namespace slidemill {
namespace {

using Kind = ChildOutcome::Kind;

// What a real child's end becomes, started and waited for on this system.
TEST(ProcessTest, ChildOutcomes) {
  struct Case {
    const char* script;
    const char* dir;
    Kind kind;
    uint32_t code;
  } cases[] = {
      {"exit 7", "/", Kind::kExited, 7},     {"exit 2", "/", Kind::kCtrlC, 2},
      {"kill -INT $$", "/", Kind::kCtrlC, 2}, {"kill -QUIT $$", "/", Kind::kCtrlBreak, 3},
      {"kill -KILL $$", "/", Kind::kKilled, 9}, {"test \"$PWD\" = /tmp", "/tmp", Kind::kExited, 0},
      {"exit 0", "/no/such/dir", Kind::kNoDirectory, 0},
  };
  Platform& platform = SystemPlatform();
  for (const Case& c : cases) {
    ChildStart start = platform.StartChild({{"sh"}, {"-c"}, {c.script}}, c.dir);
    EndedChild ended = start.id != 0 ? platform.WaitForChild() : EndedChild{0, start.outcome};
    EXPECT_EQ(ended.id, start.id) << c.script;
    EXPECT_EQ(ended.outcome.kind, c.kind) << c.script;
    EXPECT_EQ(ended.outcome.code, c.code) << c.script;
    EXPECT_EQ(ended.outcome.error.empty(), c.kind != Kind::kNoDirectory) << c.script;
  }
  ChildStart missing = platform.StartChild({{"/no/such/program"}}, "/");
  EXPECT_EQ(missing.outcome.kind, Kind::kCannotStart);
  EXPECT_EQ(missing.outcome.error, "No such file or directory");
}

}  // namespace
}  // namespace slidemill
