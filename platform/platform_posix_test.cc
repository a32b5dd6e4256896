// What the POSIX platform answers where Windows has its own rules.
#include <gtest/gtest.h>
#include <fcntl.h>
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
  scratch.MakeTree({"c.jpg", "B.JPG", "a.txt", ".hidden.jpg", "a?b[1].jpg", "st*r", "Best?[1]/x.jpg"});
  Platform& platform = SystemPlatform();
  // Byte order; case ignored; "." and ".." never match.
  for (auto [dir, pattern, found] : {std::tuple{"", "*.jpg", ".hidden.jpg B.JPG a?b[1].jpg c.jpg "},
                                     {"", "?.jpg", "B.JPG c.jpg "}, {"", ".*", ".hidden.jpg "},
                                     {"", "*.png", ""}, {"/Best?[1]", "*.jpg", "x.jpg "},
                                     {"/B*", "*.jpg", ""}}) {
    std::vector<FileEntry> entries;
    std::string names;
    EXPECT_EQ(platform.FindAll(scratch.str() + dir, pattern, &entries), *found != '\0');
    for (const FileEntry& entry : entries) names += entry.name + " ";
    EXPECT_EQ(names, found) << dir << " " << pattern;
  }
  for (auto [name, found] : {std::pair{"st*r", true}, {"a?b[1].jpg", true}, {"Best?[1]", true},
                             {"s*", false}, {"?.jpg", false}, {"a?b[1]*", false}}) {
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

  Platform& platform = SystemPlatform();
  FileEntry entry;
  ASSERT_TRUE(platform.FindFirst(file.string(), &entry));
  EXPECT_EQ(entry.attributes, kAttributeReadOnly);
  EXPECT_EQ(entry.size, 5u);
  // 100 ns units since 1601: 11644473600 s before the Unix epoch.
  EXPECT_EQ(entry.last_write_time, (1234567890ULL + 11644473600ULL) * 10000000ULL + 1234567);
  EXPECT_EQ(entry.last_access_time, (1000000000ULL + 11644473600ULL) * 10000000ULL + 5);
  EXPECT_NE(entry.creation_time, 0u);

  ASSERT_TRUE(platform.FindFirst(scratch.str() + "/dir", &entry));
  EXPECT_EQ(entry.attributes, kAttributeDirectory);
  ASSERT_TRUE(platform.FindFirst(scratch.str() + "/link", &entry));
  EXPECT_EQ(entry.attributes, kAttributeDirectory | kAttributeReparsePoint);
}

TEST(PosixPlatformTest, LocalTimeFollowsTheZoneInForceAtTheCall) {
  std::string saved = getenv("TZ") ? getenv("TZ") : "";
  Platform& platform = SystemPlatform();
  uint64_t time = (1704074400ULL + 11644473600ULL) * 10000000ULL;  // 2024-01-01 02:00 UTC
  CalendarTime calendar;
  setenv("TZ", "EST5", 1);
  ASSERT_TRUE(platform.FileTimeToCalendar(time, true, &calendar));
  EXPECT_EQ((std::vector<int>{calendar.year, calendar.month, calendar.day, calendar.hour}),
            (std::vector<int>{2023, 12, 31, 21}));
  setenv("TZ", "UTC0", 1);
  ASSERT_TRUE(platform.FileTimeToCalendar(time, true, &calendar));
  EXPECT_EQ(calendar.hour, 2);
  EXPECT_EQ(calendar.day_of_week, 1);  // a Monday
  saved.empty() ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1);
  tzset();
}

}  // namespace
}  // namespace slidemill
