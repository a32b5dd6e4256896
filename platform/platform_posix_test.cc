// What the POSIX platform answers where Windows has its own rules.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

// Only the pattern given to FindAll is a wildcard, ignoring case, in byte
// order; every path, and every name found, is just bytes.
TEST(PosixPlatformTest, WildcardsOnlyWhereAPatternIsAskedFor) {
  test::ScratchDir s;
  s.MakeTree({"c.jpg", "B.JPG", "a.txt", ".hidden.jpg", "a?b[1].jpg", "st*r"});
  std::vector<FileEntry> found;
  SystemPlatform().FindAll(s.str(), "*.jpg", &found);
  std::vector<std::string> names;
  for (const FileEntry& entry : found) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{".hidden.jpg", "B.JPG", "a?b[1].jpg", "c.jpg"}));
  FileEntry entry;
  EXPECT_TRUE(SystemPlatform().FindFirst(s.str() + "/st*r", &entry));
  EXPECT_EQ(entry.name, "st*r");
  EXPECT_FALSE(SystemPlatform().FindFirst(s.str() + "/s*", &entry));
}

constexpr uint64_t kUnixEpoch = 11644473600ULL * 10000000ULL;  // in 100 ns since 1601

TEST(PosixPlatformTest, AttributesAndTimesOfAnEntry) {
  test::ScratchDir s;
  auto file = s.WriteFile("photo.jpg", "12345");
  chmod(file.c_str(), 0444);
  struct timespec times[2] = {{1000000000, 500}, {1234567890, 123456700}};
  utimensat(AT_FDCWD, file.c_str(), times, 0);
  FileEntry entry;
  ASSERT_TRUE(SystemPlatform().FindFirst(file.string(), &entry));
  EXPECT_EQ(entry.attributes, kAttributeReadOnly);
  EXPECT_EQ(entry.last_write_time, kUnixEpoch + 12345678901234567ULL);
}

}  // namespace
}  // namespace slidemill
