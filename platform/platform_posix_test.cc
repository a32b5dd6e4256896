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
  for (const char* name : {"c.jpg", "B.JPG", "a.txt", ".hidden.jpg", "a?b[1].jpg", "st*r",
                           "Best?[1]/x.jpg"}) {
    scratch.WriteFile(name);
  }
  Platform& platform = SystemPlatform();
  struct Case {
    std::string dir, pattern;
    std::vector<std::string> found;  // in order
  } cases[] = {
      // Byte order; case ignored; "." and ".." never match.
      {"", "*.jpg", {".hidden.jpg", "B.JPG", "a?b[1].jpg", "c.jpg"}},
      {"", "?.jpg", {"B.JPG", "c.jpg"}},
      {"", ".*", {".hidden.jpg"}},
      {"", "*.png", {}},
      {"/Best?[1]", "*.jpg", {"x.jpg"}},
      {"/B*", "*.jpg", {}},
  };
  for (const Case& c : cases) {
    std::vector<FileEntry> entries;
    EXPECT_EQ(platform.FindAll(scratch.str() + c.dir, c.pattern, &entries), !c.found.empty());
    std::vector<std::string> names;
    for (const FileEntry& entry : entries) names.push_back(entry.name);
    EXPECT_EQ(names, c.found) << c.dir << " " << c.pattern;
  }
  FileEntry entry;
  for (const char* name : {"st*r", "a?b[1].jpg", "Best?[1]"}) {
    ASSERT_TRUE(platform.FindFirst(scratch.str() + "/" + name, &entry)) << name;
    EXPECT_EQ(entry.name, name);
  }
  for (const char* name : {"s*", "?.jpg", "a?b[1]*", "nothing"}) {
    EXPECT_FALSE(platform.FindFirst(scratch.str() + "/" + name, &entry)) << name;
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
