#include "platform/path_rules.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

// Trimming keeps roots and leading separators; joining a name adds one
// separator only where none ends the directory.
TEST(PathRulesTest, TrimAndJoin) {
  const PathRules &win = kWindowsPathRules, &posix = kPosixPathRules;
  const struct {
    const PathRules& rules;
    const char *path, *trimmed, *joined;
  } cases[] = {
      {win, "C:\\", "C:\\", "C:\\x"},
      {win, "C:\\photos/", "C:\\photos", "C:\\photos/x"},
      {win, "C:", "C:", "C:\\x"},
      {posix, "///", "/", "///x"},
      {posix, "C:/", "C:", "C:/x"},                   // no drives on POSIX
      {posix, "photos\\", "photos\\", "photos\\/x"},  // and a backslash is a name byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimTrailingSeparators(c.path, c.rules), c.trimmed) << c.path;
    EXPECT_EQ(JoinPath(c.path, "x", c.rules), c.joined) << c.path;
  }
}

}  // namespace
}  // namespace slidemill
