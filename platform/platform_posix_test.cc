// What the POSIX platform answers where Windows has its own rules.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

// Only the pattern given to FindAll is a wildcard; every path, and every
// name found, is just bytes.
TEST(PosixPlatformTest, WildcardsOnlyWhereAPatternIsAskedFor) {
  test::ScratchDir scratch;
  scratch.MakeTree(
      {"c.jpg", "B.JPG", "a.txt", ".hidden.jpg", "a?b[1].jpg", "st*r", "Best?[1]/x.jpg"});
  Platform& platform = SystemPlatform();
  // Byte order; case ignored; "." and ".." never match.
  for (auto [dir, pattern, found] : {std::tuple{"", "*.jpg", ".hidden.jpg B.JPG a?b[1].jpg c.jpg "},
                                     {"", "?.jpg", "B.JPG c.jpg "},
                                     {"", ".*", ".hidden.jpg "},
                                     {"", "*.png", ""},
                                     {"/Best?[1]", "*.jpg", "x.jpg "},
                                     {"/B*", "*.jpg", ""}}) {
    std::vector<FileEntry> entries;
    std::string names;
    EXPECT_EQ(platform.FindAll(scratch.str() + dir, pattern, &entries), *found != '\0');
    for (const FileEntry& entry : entries) names += entry.name + " ";
    EXPECT_EQ(names, found) << dir << " " << pattern;
  }
  for (auto [name, found] : {std::pair{"st*r", true},
                             {"a?b[1].jpg", true},
                             {"Best?[1]", true},
                             {"s*", false},
                             {"?.jpg", false},
                             {"a?b[1]*", false}}) {
    FileEntry entry;
    EXPECT_EQ(platform.FindFirst(scratch.str() + "/" + name, &entry), found) << name;
    EXPECT_EQ(entry.name, found ? name : "") << name;
  }
}

TEST(PosixPlatformTest, AttributesAndTimesOfAnEntry) {
  test::ScratchDir scratch;
  auto file = scratch.WriteFile("photo.jpg", "12345");
  scratch.MakeDir("dir");
  chmod(file.c_str(), 0444);
  ASSERT_EQ(symlink("dir", (scratch.path() / "link").c_str()), 0);
  struct timespec times[2] = {{1000000000, 500}, {1234567890, 123456700}};
  utimensat(AT_FDCWD, file.c_str(), times, 0);
  FileEntry entry, dir, link;
  ASSERT_TRUE(SystemPlatform().FindFirst(file.string(), &entry) &&
              SystemPlatform().FindFirst(scratch.str() + "/dir", &dir) &&
              SystemPlatform().FindFirst(scratch.str() + "/link", &link));
  // 100 ns units since 1601: 11644473600 s before the Unix epoch.
  EXPECT_EQ((std::vector<uint64_t>{entry.attributes, entry.size, entry.last_write_time,
                                   entry.last_access_time, dir.attributes, link.attributes}),
            (std::vector<uint64_t>{
                kAttributeReadOnly, 5, (1234567890ULL + 11644473600ULL) * 10000000ULL + 1234567,
                (1000000000ULL + 11644473600ULL) * 10000000ULL + 5, kAttributeDirectory,
                kAttributeDirectory | kAttributeReparsePoint}));
  EXPECT_NE(entry.creation_time, 0u);
}

TEST(PosixPlatformTest, LocalTimeFollowsTheZoneInForceAtTheCall) {
  std::string saved = getenv("TZ") ? getenv("TZ") : "", got;
  uint64_t time = (1704074400ULL + 11644473600ULL) * 10000000ULL;  // 2024-01-01 02:00 UTC, a Monday
  for (const char* zone : {"EST5", "UTC0"}) {
    CalendarTime c;
    setenv("TZ", zone, 1);
    ASSERT_TRUE(SystemPlatform().FileTimeToCalendar(time, true, &c));
    got += std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day) +
           " " + std::to_string(c.hour) + " " + std::to_string(c.day_of_week) + ";";
  }
  EXPECT_EQ(got, "2023-12-31 21 0;2024-1-1 2 1;");
  saved.empty() ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1);
  tzset();
}

}  // namespace
}  // namespace slidemill
