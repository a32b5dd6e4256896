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

TEST(PathPartsTest, OnWindows) {
  for (const auto& [path, parts] : std::vector<std::pair<std::string, Parts>>{
           {"C:\\p\\archive.tar.gz", {"C:\\p", "archive.tar", "gz", "archive.tar.gz"}},
           {"C:\\p.d\\README",
            {"C:\\p.d", "README", "", "README"}},  // a dot in a directory never counts
           {"C:\\p\\.profile", {"C:\\p", "", "profile", ".profile"}},
           {"C:\\p\\name.", {"C:\\p", "name", "", "name."}},
           {"C:\\p\\", {"C:\\p", "", "", ""}},
           {"img.jpg", {"", "img", "jpg", "img.jpg"}},
           {"C:img.jpg", {"C:", "img", "jpg", "img.jpg"}},
           {"\\\\host\\share\\img.jpg", {"host\\share", "img", "jpg", "img.jpg"}},
           {"C:/p/img.jpg", {"C:", "/p/img", "jpg", "/p/img.jpg"}}}) {
    EXPECT_EQ(Split(path, kWindowsPathRules), parts) << path;
  }
}

// Only "/" separates, and an absolute directory stays absolute.
TEST(PathPartsTest, OnPosix) {
  for (const auto& [path, parts] : std::vector<std::pair<std::string, Parts>>{
           {"//host/share/img.jpg", {"//host/share", "img", "jpg", "img.jpg"}},
           {"/img.jpg", {"/", "img", "jpg", "img.jpg"}},
           {"C:\\p\\img.jpg", {"", "C:\\p\\img", "jpg", "C:\\p\\img.jpg"}}}) {
    EXPECT_EQ(Split(path, kPosixPathRules), parts) << path;
  }
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
