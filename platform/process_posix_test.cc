#include <gtest/gtest.h>

#include "platform/platform.h"

namespace slidemill {
namespace {

using Kind = ChildOutcome::Kind;
using namespace std::string_literals;

// What a real child's end becomes, started and waited for on this system.
TEST(ProcessTest, ChildOutcomes) {
  const std::tuple<const char*, const char*, Kind, uint32_t> cases[] = {
      {"exit 7", "/", Kind::kExited, 7},
      {"exit 2", "/", Kind::kExited, 2},
      {"kill -INT $$", "/", Kind::kCtrlC, 2},
      {"kill -QUIT $$", "/", Kind::kCtrlBreak, 3},
      {"kill -KILL $$", "/", Kind::kKilled, 9},
      {"test \"$PWD\" = /tmp", "/tmp", Kind::kExited, 0},
      {"exit 0", "/no/such/dir", Kind::kNoDirectory, 0}};
  Platform& platform = SystemPlatform();
  for (const auto& [script, dir, kind, code] : cases) {
    ChildStart start = platform.StartChild({{"sh"}, {"-c"}, {script}}, dir, false);
    EndedChild ended = start.id != 0 ? *platform.WaitForChild(kWaitForever, false)
                                     : EndedChild{0, start.outcome, ""};
    EXPECT_EQ(
        std::tuple(ended.id, ended.outcome.kind, ended.outcome.code, ended.outcome.error.empty()),
        std::tuple(start.id, kind, code, kind != Kind::kNoDirectory))
        << script;
  }
  ChildStart missing = platform.StartChild({{"/no/such/program"}}, "/", false);
  EXPECT_EQ(std::pair(missing.outcome.kind, missing.outcome.error),
            std::pair(Kind::kCannotStart, "No such file or directory"s));
}

// A background child: a process group of its own, no keyboard, its output
// kept; a limited wait that ends first, and a stop.
TEST(ProcessTest, BackgroundChildren) {
  Platform& platform = SystemPlatform();
  std::string script =
      "echo out; echo err >&2; read x || echo no input; test $(ps -o pgid= -p $$) = $$";
  ChildStart quiet = platform.StartChild({{"sh"}, {"-c"}, {script}}, "/", true);
  ChildStart slow = platform.StartChild({{"sleep"}, {"30"}}, "/", true);
  std::optional<EndedChild> first = platform.WaitForChild(kWaitForever, false);
  EXPECT_EQ(std::tuple(first->id, first->outcome.kind, first->outcome.code, first->output),
            std::tuple(quiet.id, Kind::kExited, 0u, "out\nerr\nno input\n"s));
  EXPECT_FALSE(platform.WaitForChild(20, false).has_value());
  platform.StopChildren();
  std::optional<EndedChild> stopped = platform.WaitForChild(kWaitForever, false);
  EXPECT_EQ(std::tuple(stopped->id, stopped->outcome.kind), std::tuple(slow.id, Kind::kKilled));
}

}  // namespace
}  // namespace slidemill
