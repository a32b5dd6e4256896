#include "platform/path_rules.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

TEST(PathRulesTest, TrimKeepsRootsAndLeadingSeparators) {
  const PathRules &win = kWindowsPathRules, &posix = kPosixPathRules;
  const struct {
    const PathRules& rules;
    const char *path, *trimmed;
  } cases[] = {
      {win, "C:\\photos\\", "C:\\photos"}, {win, "C:\\photos/", "C:\\photos"},
      {win, "C:\\photos\\\\", "C:\\photos"}, {win, "C:\\photos", "C:\\photos"},
      {win, "\\\\host\\share\\", "\\\\host\\share"}, {win, "C:\\", "C:\\"}, {win, "c:/", "c:/"},
      {win, "C:", "C:"}, {win, "\\\\", "\\"}, {win, "", ""},
      {posix, "/home/me/", "/home/me"}, {posix, "/", "/"}, {posix, "///", "/"},
      {posix, "photos\\", "photos\\"},  // a backslash is a name byte
      {posix, "C:/", "C:"},             // and there are no drives
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimTrailingSeparators(c.path, c.rules), c.trimmed) << c.path;
  }
}

TEST(PathRulesTest, JoinUsesOneSeparator) {
  EXPECT_EQ(JoinPath("C:\\photos", "a.jpg", kWindowsPathRules), "C:\\photos\\a.jpg");
  EXPECT_EQ(JoinPath("C:\\", "a.jpg", kWindowsPathRules), "C:\\a.jpg");
  EXPECT_EQ(JoinPath("", "verdana.ttf", kWindowsPathRules), "\\verdana.ttf");
  EXPECT_EQ(JoinPath("/", "home", kPosixPathRules), "/home");
  EXPECT_EQ(JoinPath("a\\", "b", kPosixPathRules), "a\\/b");
}

}  // namespace
}  // namespace slidemill
