#include "fileinfo/path_parts.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

TEST(PathPartsTest, DirTitleExtAndNameOnBothSystems) {
  const struct {
    const PathRules& rules;
    const char* path;
    const char* parts;  // dir|title|ext|name
  } cases[] = {
      {kWindowsPathRules, "C:\\photos\\trip.2019\\img01.jpg",
       "C:\\photos\\trip.2019|img01|jpg|img01.jpg"},
      {kWindowsPathRules, "C:\\photos\\archive.tar.gz", "C:\\photos|archive.tar|gz|archive.tar.gz"},
      {kWindowsPathRules, "C:\\photos\\README", "C:\\photos|README||README"},
      {kWindowsPathRules, "C:\\photos\\.profile", "C:\\photos||profile|.profile"},
      {kWindowsPathRules, "C:\\photos\\name.", "C:\\photos|name||name."},
      {kWindowsPathRules, "C:\\photos\\", "C:\\photos|||"},
      {kWindowsPathRules, "img.jpg", "|img|jpg|img.jpg"},
      {kWindowsPathRules, "C:img.jpg", "C:|img|jpg|img.jpg"},
      {kWindowsPathRules, "\\\\host\\share\\img.jpg", "host\\share|img|jpg|img.jpg"},
      {kWindowsPathRules, "C:/photos/img.jpg", "C:|/photos/img|jpg|/photos/img.jpg"},
      {kWindowsPathRules, "", "|||"},
      {kPosixPathRules, "/photos/trip.2019/img01.jpg", "/photos/trip.2019|img01|jpg|img01.jpg"},
      {kPosixPathRules, "/photos/", "/photos|||"},
      {kPosixPathRules, "/img.jpg", "/|img|jpg|img.jpg"},  // an absolute path stays absolute
      {kPosixPathRules, "//host/share/img.jpg", "//host/share|img|jpg|img.jpg"},
      {kPosixPathRules, "C:\\photos\\img.jpg", "|C:\\photos\\img|jpg|C:\\photos\\img.jpg"},
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
