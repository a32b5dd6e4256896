// What the POSIX platform answers where Windows has its own rules.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

std::vector<std::string> Found(const std::string& dir, const std::string& pattern) {
  std::vector<FileEntry> entries;
  SystemPlatform().FindAll(dir, pattern, &entries);
  std::vector<std::string> names;
  for (const FileEntry& entry : entries) names.push_back(entry.name);
  return names;
}

// Only the pattern given to FindAll is a wildcard, ignoring case, in byte
// order; every path, and every name found, is just bytes.
TEST(PosixPlatformTest, WildcardsOnlyWhereAPatternIsAskedFor) {
  test::ScratchDir s;
  s.MakeTree({"c.jpg", "B.JPG", "a.txt", ".hidden.jpg", "a?b[1].jpg", "st*r", "Best?[1]/x.jpg"});
  using Names = std::vector<std::string>;
  EXPECT_EQ(Found(s.str(), "*.jpg"), (Names{".hidden.jpg", "B.JPG", "a?b[1].jpg", "c.jpg"}));
  EXPECT_EQ(Found(s.str(), "?.jpg"), (Names{"B.JPG", "c.jpg"}));
  EXPECT_EQ(Found(s.str() + "/Best?[1]", "*.jpg"), Names{"x.jpg"});
  EXPECT_EQ(Found(s.str() + "/B*", "*.jpg"), Names{});
  FileEntry entry;
  EXPECT_TRUE(SystemPlatform().FindFirst(s.str() + "/st*r", &entry));
  EXPECT_EQ(entry.name, "st*r");
  EXPECT_FALSE(SystemPlatform().FindFirst(s.str() + "/s*", &entry));
}

constexpr uint64_t kUnixEpoch = 11644473600ULL * 10000000ULL;  // in 100 ns since 1601

TEST(PosixPlatformTest, AttributesAndTimesOfAnEntry) {
  test::ScratchDir s;
  auto file = s.WriteFile("photo.jpg", "12345");
  s.MakeDir("dir");
  chmod(file.c_str(), 0444);
  ASSERT_EQ(symlink("dir", (s.path() / "link").c_str()), 0);
  struct timespec times[2] = {{1000000000, 500}, {1234567890, 123456700}};
  utimensat(AT_FDCWD, file.c_str(), times, 0);
  FileEntry entry, link;
  ASSERT_TRUE(SystemPlatform().FindFirst(file.string(), &entry));
  ASSERT_TRUE(SystemPlatform().FindFirst(s.str() + "/link", &link));
  EXPECT_EQ(entry.attributes, kAttributeReadOnly);
  EXPECT_EQ(entry.size, 5u);
  EXPECT_EQ(entry.last_write_time, kUnixEpoch + 12345678901234567ULL);
  EXPECT_EQ(entry.last_access_time, kUnixEpoch + 10000000000000005ULL);
  EXPECT_EQ(link.attributes, kAttributeDirectory | kAttributeReparsePoint);
}

// The zone in force at the moment of the call, not at start-up.
TEST(PosixPlatformTest, LocalTimeFollowsTheZoneInForceAtTheCall) {
  std::string saved = getenv("TZ") ? getenv("TZ") : "";
  uint64_t time = kUnixEpoch + 1704074400ULL * 10000000ULL;  // 2024-01-01 02:00 UTC, a Monday
  CalendarTime c;
  setenv("TZ", "EST5", 1);
  ASSERT_TRUE(SystemPlatform().FileTimeToCalendar(time, true, &c));
  EXPECT_EQ(c.year, 2023);
  EXPECT_EQ(c.hour, 21);
  EXPECT_EQ(c.day_of_week, 0);
  setenv("TZ", "UTC0", 1);
  ASSERT_TRUE(SystemPlatform().FileTimeToCalendar(time, true, &c));
  EXPECT_EQ(c.day, 1);
  EXPECT_EQ(c.hour, 2);
  saved.empty() ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1);
  tzset();
}

}  // namespace
}  // namespace slidemill
