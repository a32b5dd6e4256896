#include "fileinfo/path_parts.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

TEST(PathPartsTest, DirTitleExtAndNameOnBothSystems) {
  const PathRules &win = kWindowsPathRules, &posix = kPosixPathRules;
  const struct {
    const PathRules& rules;
    const char *path, *parts;  // dir|title|ext|name
  } cases[] = {
      {win, "C:\\photos\\trip.2019\\img01.jpg", "C:\\photos\\trip.2019|img01|jpg|img01.jpg"},
      {win, "C:\\p\\archive.tar.gz", "C:\\p|archive.tar|gz|archive.tar.gz"},
      {win, "C:\\p\\README", "C:\\p|README||README"},
      {win, "C:\\p\\.profile", "C:\\p||profile|.profile"},
      {win, "C:\\p\\name.", "C:\\p|name||name."},
      {win, "C:\\p\\", "C:\\p|||"},
      {win, "img.jpg", "|img|jpg|img.jpg"},
      {win, "C:img.jpg", "C:|img|jpg|img.jpg"},
      {win, "\\\\host\\share\\img.jpg", "host\\share|img|jpg|img.jpg"},
      {win, "", "|||"},
      {win, "C:/p/img.jpg", "C:|/p/img|jpg|/p/img.jpg"},
      {posix, "/p/", "/p|||"},
      {posix, "/photos/trip.2019/img01.jpg", "/photos/trip.2019|img01|jpg|img01.jpg"},
      {posix, "//host/share/img.jpg", "//host/share|img|jpg|img.jpg"},
      {posix, "/img.jpg", "/|img|jpg|img.jpg"},
      {posix, "C:\\p\\img.jpg", "|C:\\p\\img|jpg|C:\\p\\img.jpg"},
  };
  for (const auto& c : cases) {
    PathParts p = SplitPathParts(c.path, c.rules);
    EXPECT_EQ(p.dir + "|" + p.title + "|" + p.ext + "|" + p.name, c.parts) << c.path;
  }
}

TEST(PathPartsTest, PathsLongerThanTheRecordHaveNoParts) {
  for (const PathRules* rules : {&kWindowsPathRules, &kPosixPathRules}) {
    const std::string at_limit = std::string(rules->name_field_size - 4, 'd') + ".jpg";
    EXPECT_EQ(SplitPathParts(at_limit, *rules).ext, "jpg");
    EXPECT_EQ(SplitPathParts(at_limit + "x", *rules).name, "");
  }
}

}  // namespace
}  // namespace slidemill
