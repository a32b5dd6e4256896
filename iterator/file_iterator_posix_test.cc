// Walks over what only a POSIX system makes with ordinary calls: symbolic
// links and the root "/".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "iterator/file_iterator.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> WalkBelow(cFileIterator& it, const fs::path& base) {
  std::vector<std::string> seen;
  for (int guard = 0; guard < 100; ++guard) {
    std::string dir = it.MOVETONEXTDIR();
    if (it.STATE() == it.STATE_COMPLETE()) break;
    seen.push_back(fs::path(dir).lexically_relative(base).string());
  }
  return seen;
}

TEST(FileIteratorPosixTest, LinksBackToAnAncestorAreNotFollowed) {
  test::ScratchDir scratch;
  fs::path r = scratch.MakeDir("R");
  scratch.MakeDir("R/A");
  scratch.MakeDir("R/B");
  ASSERT_EQ(symlink("..", (r / "A" / "up").c_str()), 0);
  ASSERT_EQ(symlink(".", (r / "A" / "self").c_str()), 0);
  ASSERT_EQ(symlink("../B", (r / "A" / "toB").c_str()), 0);  // no loop: followed
  cFileIterator it;
  it.ADDDIR(r.string(), 8);  // bounds the walk should a loop be followed
  EXPECT_EQ(WalkBelow(it, scratch.path()),
            (std::vector<std::string>{"R", "R/A", "R/A/toB", "R/B"}));
}

TEST(FileIteratorPosixTest, SeparatorsAloneNameTheRoot) {
  cFileIterator it;
  EXPECT_EQ(it.ADDDIR("///", 0), 1);
  EXPECT_EQ(it.MOVETONEXTDIR(), "/");
  EXPECT_EQ(it.DIRPATH(), "/");
}

}  // namespace
}  // namespace slidemill
