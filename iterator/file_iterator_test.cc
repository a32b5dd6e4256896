#include "iterator/file_iterator.h"

#include <gtest/gtest.h>

#include "platform/keys.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;
using It = cFileIterator;
const std::string kCtrlC(kCtrlCKey), kF4(kF4Key);

// The shared fake, with a listing that can be refused.
class WalkPlatform : public test::FakePlatform {
 public:
  std::string refused;
  bool ctrl_c_on_refusal = false;  // pressed while a refused listing is tried
  bool find_fails = false;         // as Windows answers for a root such as "C:\"

  bool FindFirst(const std::string& path, FileEntry* entry) override {
    return !find_fails && target().FindFirst(path, entry);
  }
  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries,
                           std::string* error) override {
    if (fs::path(dir).generic_string() != refused) {
      return target().ListDirectory(dir, entries, error);
    }
    if (ctrl_c_on_refusal) keys.push_back(kCtrlC);
    *error = "refused";
    return ListResult::kFailed;
  }
};

// In a scratch directory holding R, so that paths stay as short as given:
// R holds a.jpg, A and B; A holds A1 and A2; B holds Ba and jpg. Each listing
// gives names in that order. Paths are compared with "/" on every system.
class FileIteratorTest : public testing::Test {
 protected:
  void SetUp() override {
    scratch_.MakeTree({"R/a.jpg", "R/A/A1/", "R/A/A2/", "R/B/Ba/", "R/B/jpg/"});
    fs::current_path(scratch_.path());
  }
  void TearDown() override { fs::current_path(saved_); }

  static std::string Slashed(const std::string& path) { return fs::path(path).generic_string(); }
  std::string NextDir() { return Slashed(it_.MOVETONEXTDIR()); }
  std::string Here() const { return Slashed(it_.DIRPATH()); }
  // What the moves answer to the end of the walk, where nothing is current.
  Paths Walk() {
    Paths seen;
    for (std::string path; seen.size() < 50 && !(path = NextDir()).empty();) seen.push_back(path);
    EXPECT_EQ(it_.STATE(), It::STATE_COMPLETE());
    EXPECT_EQ(Here(), "");
    return seen;
  }
  Paths PendingKeys() const { return {platform_.keys.begin(), platform_.keys.end()}; }

  const fs::path saved_ = fs::current_path();
  test::ScratchDir scratch_;
  WalkPlatform platform_;
  It it_{platform_};
};

// Each directory added keeps its limit; 0, the program's default without -r,
// is the directory alone.
TEST_F(FileIteratorTest, DepthLimitCountsLevelsBelowTheGivenDirectory) {
  it_.ADDDIR("R/A", 0);
  it_.ADDDIR("R/B", 1);
  EXPECT_EQ(Walk(), (Paths{"R/A", "R/B", "R/B/Ba", "R/B/jpg"}));
}

// Bare names in any letter case; R itself is never filtered, and B's refusal
// keeps Ba out.
TEST_F(FileIteratorTest, DirFilterAdmitsNamesHoldingAMatch) {
  it_.FILTER_DIR("a");
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(), (Paths{"R", "R/A", "R/A/A1", "R/A/A2"}));
}

TEST_F(FileIteratorTest, AddDirQueuesWhatExistsTrimmedAndNamesWhatIsMissing) {
  EXPECT_EQ(it_.ADDDIR("gone/"), 0);
  EXPECT_EQ(it_.ERRCODE(), It::ERR_DIRINVALID());
  EXPECT_EQ(it_.ERRINFO(), "gone");
  EXPECT_EQ(it_.ADDDIR(std::string("R") + NativePathRules().separator + "/"), 1);
  EXPECT_EQ(it_.MOVETONEXTDIR(), "R");
}

TEST_F(FileIteratorTest, AddDirTakesADirectoryFindFirstCannotDescribe) {
  platform_.find_fails = true;
  EXPECT_EQ(it_.ADDDIR("R"), 1);
  EXPECT_EQ(it_.ADDDIR("gone"), 0);
}

// Depth first, with no depth limit (-1, as -r gives it).
TEST_F(FileIteratorTest, DirectoryThatCannotBeListedIsPassedOver) {
  platform_.refused = "R/A/A1";
  it_.ADDDIR("R", -1);
  EXPECT_EQ(Walk(), (Paths{"R", "R/A", "R/A/A2", "R/B", "R/B/Ba", "R/B/jpg"}));
}

// A directory is walked once, however many links lead to it.
TEST_F(FileIteratorTest, LinkToADirectoryWalkedAlreadyIsNotFollowed) {
  scratch_.MakeTree({"L/A/", "L/B/"});
  const fs::path l = fs::absolute("L");
  std::error_code error;
  fs::create_directory_symlink(l, "L/A/up", error);
  if (!error) fs::create_directory_symlink(l / "A", "L/A/self", error);
  if (!error) fs::create_directory_symlink(l / "B", "L/A/toB", error);  // no loop
  if (error) GTEST_SKIP() << "no directory links here: " << error.message();
  it_.ADDDIR("L", 6);  // bounds the walk should a loop be followed
  EXPECT_EQ(Walk(), (Paths{"L", "L/A", "L/B"}));
}

// Break checks on, for Ctrl-C.
class BreakKeyTest : public FileIteratorTest {
 protected:
  void SetUp() override {
    FileIteratorTest::SetUp();
    it_.BREAKHANDLER(1);
    it_.BREAKKEYS(It::BREAKKEYS_CTRL_C());
    it_.ADDDIR("R");
  }
  // Presses the keys, then moves to the next directory: what the move answered.
  std::string MoveAfter(const Paths& keys) {
    platform_.keys.insert(platform_.keys.end(), keys.begin(), keys.end());
    return NextDir();
  }
};

TEST_F(BreakKeyTest, KeysAreNotReadWithoutTheHandler) {
  it_.BREAKHANDLER(0);
  EXPECT_EQ(MoveAfter({kCtrlC}), "R");
  EXPECT_EQ(PendingKeys(), Paths{kCtrlC});
}

// Other keys, and F4 where it is not enabled, are taken and ignored.
TEST_F(BreakKeyTest, CtrlCStopsTheMoveAndLeavesWhatFollows) {
  EXPECT_EQ(MoveAfter({"a", kF4, kCtrlC, "b"}), "");
  EXPECT_EQ(it_.ERRCODE(), It::ERR_BREAKKEYPRESSED());
  EXPECT_EQ(it_.BREAKKEY_LAST(), It::BREAKKEYS_CTRL_C());
  EXPECT_EQ(PendingKeys(), Paths{"b"});
}

TEST_F(BreakKeyTest, BreakRightAfterAPassedOverDirectoryLeavesItCurrent) {
  platform_.refused = "R/A";
  platform_.ctrl_c_on_refusal = true;
  NextDir();
  EXPECT_EQ(NextDir(), "");
  EXPECT_EQ(Here(), "R/A");
  EXPECT_EQ(it_.DEPTH(), 1);
  EXPECT_EQ(NextDir(), "R/B");
}

}  // namespace
}  // namespace slidemill
