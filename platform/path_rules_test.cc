#include "platform/path_rules.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

TEST(PathRulesTest, TrimKeepsRootsAndLeadingSeparators) {
  struct Case {
    const PathRules* rules;
    const char* path;
    const char* trimmed;
  } cases[] = {
      {&kWindowsPathRules, "C:\\photos\\", "C:\\photos"},
      {&kWindowsPathRules, "C:\\photos/", "C:\\photos"},
      {&kWindowsPathRules, "C:\\photos\\\\", "C:\\photos"},
      {&kWindowsPathRules, "C:\\photos", "C:\\photos"},
      {&kWindowsPathRules, "\\\\host\\share\\", "\\\\host\\share"},
      {&kWindowsPathRules, "\\\\host\\share", "\\\\host\\share"},
      {&kWindowsPathRules, "C:\\", "C:\\"},
      {&kWindowsPathRules, "c:/", "c:/"},
      {&kWindowsPathRules, "C:", "C:"},
      {&kWindowsPathRules, "\\", "\\"},
      {&kWindowsPathRules, "\\\\", "\\"},
      {&kWindowsPathRules, "", ""},
      {&kPosixPathRules, "/home/me/photos/", "/home/me/photos"},
      {&kPosixPathRules, "/home/me/photos", "/home/me/photos"},
      {&kPosixPathRules, "/", "/"},
      {&kPosixPathRules, "///", "/"},
      {&kPosixPathRules, "photos\\", "photos\\"},  // a backslash is a name byte
      {&kPosixPathRules, "C:/", "C:"},             // and there are no drives
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimTrailingSeparators(c.path, *c.rules), c.trimmed) << c.path;
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
