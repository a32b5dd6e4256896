#include "fileinfo/path_parts.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

struct Row {
  std::string path, dir, title, ext, name;
};

void ExpectRows(const std::vector<Row>& rows, const PathRules& rules) {
  for (const Row& row : rows) {
    PathParts parts = SplitPathParts(row.path, rules);
    EXPECT_EQ(parts.dir, row.dir) << row.path;
    EXPECT_EQ(parts.title, row.title) << row.path;
    EXPECT_EQ(parts.ext, row.ext) << row.path;
    EXPECT_EQ(parts.name, row.name) << row.path;
  }
}

TEST(PathPartsTest, WindowsPaths) {
  ExpectRows(
      {
          {"C:\\photos\\trip.2019\\img01.jpg", "C:\\photos\\trip.2019", "img01", "jpg", "img01.jpg"},
          {"C:\\photos\\archive.tar.gz", "C:\\photos", "archive.tar", "gz", "archive.tar.gz"},
          {"C:\\photos\\README", "C:\\photos", "README", "", "README"},
          {"C:\\photos\\.profile", "C:\\photos", "", "profile", ".profile"},
          {"C:\\photos\\name.", "C:\\photos", "name", "", "name."},
          {"C:\\photos\\", "C:\\photos", "", "", ""},
          {"img.jpg", "", "img", "jpg", "img.jpg"},
          {"C:img.jpg", "C:", "img", "jpg", "img.jpg"},
          {"\\\\host\\share\\img.jpg", "host\\share", "img", "jpg", "img.jpg"},
          {"C:/photos/img.jpg", "C:", "/photos/img", "jpg", "/photos/img.jpg"},
          {"", "", "", "", ""},
      },
      kWindowsPathRules);
}

TEST(PathPartsTest, PosixPaths) {
  ExpectRows(
      {
          {"/photos/trip.2019/img01.jpg", "/photos/trip.2019", "img01", "jpg", "img01.jpg"},
          {"/photos/archive.tar.gz", "/photos", "archive.tar", "gz", "archive.tar.gz"},
          {"/photos/README", "/photos", "README", "", "README"},
          {"/photos/.profile", "/photos", "", "profile", ".profile"},
          {"/photos/name.", "/photos", "name", "", "name."},
          {"/photos/", "/photos", "", "", ""},
          {"img.jpg", "", "img", "jpg", "img.jpg"},
          {"/img.jpg", "/", "img", "jpg", "img.jpg"},  // an absolute path stays absolute
          {"//host/share/img.jpg", "//host/share", "img", "jpg", "img.jpg"},
          {"C:\\photos\\img.jpg", "", "C:\\photos\\img", "jpg", "C:\\photos\\img.jpg"},
      },
      kPosixPathRules);
}

TEST(PathPartsTest, PathsLongerThanTheRecordHaveNoParts) {
  for (const PathRules* rules : {&kWindowsPathRules, &kPosixPathRules}) {
    std::string dir(1, rules->separator);
    std::string at_limit = dir + std::string(rules->name_field_size - 5, 'd') + dir + "a.jpg";
    at_limit.resize(rules->name_field_size - 4);
    at_limit += ".jpg";
    ASSERT_EQ(at_limit.size(), rules->name_field_size);
    EXPECT_EQ(SplitPathParts(at_limit, *rules).ext, "jpg");
    EXPECT_EQ(SplitPathParts(at_limit + "x", *rules).ext, "");
    EXPECT_EQ(SplitPathParts(at_limit + "x", *rules).name, "");
  }
}

}  // namespace
}  // namespace slidemill
