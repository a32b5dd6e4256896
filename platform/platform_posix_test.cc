// What the POSIX platform answers where Windows has its own rules.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

TEST(PosixPlatformTest, FindFirstTakesTheFirstNameAndIgnoresCase) {
  test::ScratchDir scratch;
  for (const char* name : {"c.jpg", "B.JPG", "a.txt", ".hidden.jpg"}) scratch.WriteFile(name);
  Platform& platform = SystemPlatform();
  FileEntry entry;
  // Byte order puts ".hidden.jpg" and "B.JPG" before "c.jpg".
  ASSERT_TRUE(platform.FindFirst(scratch.str() + "/*.jpg", &entry));
  EXPECT_EQ(entry.name, ".hidden.jpg");
  EXPECT_EQ(entry.attributes, kAttributeHidden);
  ASSERT_TRUE(platform.FindFirst(scratch.str() + "/?.jpg", &entry));
  EXPECT_EQ(entry.name, "B.JPG");
  EXPECT_FALSE(platform.FindFirst(scratch.str() + "/*.png", &entry));
  EXPECT_FALSE(platform.FindFirst(scratch.str() + "/nothing", &entry));
  // "." and ".." never match a wildcard.
  ASSERT_TRUE(platform.FindFirst(scratch.str() + "/.*", &entry));
  EXPECT_EQ(entry.name, ".hidden.jpg");
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
  const char* saved = getenv("TZ");
  std::string saved_zone = saved ? saved : "";
  Platform& platform = SystemPlatform();
  // 2024-01-01 02:00 UTC.
  uint64_t time = (1704074400ULL + 11644473600ULL) * 10000000ULL;
  CalendarTime calendar;
  setenv("TZ", "EST5", 1);
  ASSERT_TRUE(platform.FileTimeToCalendar(time, true, &calendar));
  EXPECT_EQ(calendar.year, 2023);
  EXPECT_EQ(calendar.month, 12);
  EXPECT_EQ(calendar.day, 31);
  EXPECT_EQ(calendar.hour, 21);
  setenv("TZ", "UTC0", 1);
  ASSERT_TRUE(platform.FileTimeToCalendar(time, true, &calendar));
  EXPECT_EQ(calendar.hour, 2);
  ASSERT_TRUE(platform.FileTimeToCalendar(time, false, &calendar));
  EXPECT_EQ(calendar.day_of_week, 1);  // a Monday
  if (saved) {
    setenv("TZ", saved_zone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace slidemill
