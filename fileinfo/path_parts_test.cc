#include "fileinfo/path_parts.h"

#include <gtest/gtest.h>

#include <array>

namespace slidemill {
namespace {

using Parts = std::array<std::string, 4>;  // dir, title, ext, name

Parts Split(const std::string& path, const PathRules& rules) {
  PathParts p = SplitPathParts(path, rules);
  return {p.dir, p.title, p.ext, p.name};
}

// The extension follows the name's last dot, never one in a directory; on
// POSIX only "/" separates, and an absolute directory stays absolute.
TEST(PathPartsTest, Split) {
  const PathRules &win = kWindowsPathRules, &posix = kPosixPathRules;
  const struct {
    const PathRules& rules;
    std::string path;
    Parts parts;
  } cases[] = {
      {win, "C:\\p\\archive.tar.gz", {"C:\\p", "archive.tar", "gz", "archive.tar.gz"}},
      {win, "C:\\p.d\\README", {"C:\\p.d", "README", "", "README"}},
      {posix, "/img.jpg", {"/", "img", "jpg", "img.jpg"}},
      {posix, "C:\\p\\img.jpg", {"", "C:\\p\\img", "jpg", "C:\\p\\img.jpg"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Split(c.path, c.rules), c.parts) << c.path;
}

TEST(PathPartsTest, PathsLongerThanTheRecordHaveNoParts) {
  for (const PathRules* rules : {&kWindowsPathRules, &kPosixPathRules}) {
    const std::string at_limit = std::string(rules->name_field_size - 4, 'd') + ".jpg";
    EXPECT_EQ(SplitPathParts(at_limit, *rules).ext, "jpg");
    EXPECT_EQ(Split(at_limit + "x", *rules), Parts{});
  }
}

}  // namespace
}  // namespace slidemill
