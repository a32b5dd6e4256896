#include "iterator/file_iterator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "platform/keys.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;
using It = cFileIterator;
const std::string kCtrlC(kCtrlCKey), kF4(kF4Key);
const std::string kNoKey;  // a check that finds nothing pending

// The shared fake, with listings that can be refused and a stamp on what
// find-first finds (a directory's time cannot be set everywhere).
class WalkPlatform : public test::FakePlatform {
 public:
  std::set<std::string> refused;
  bool ctrl_c_on_refusal = false;  // pressed while a refused listing is tried
  std::optional<uint64_t> found_time;
  bool find_fails = false;  // as Windows answers for a root such as "C:\"

  bool FindFirst(const std::string& path, FileEntry* entry) override {
    bool found = !find_fails && target().FindFirst(path, entry);
    if (found_time) entry->last_write_time = *found_time;
    return found;
  }
  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries,
                           std::string* error) override {
    if (refused.count(fs::path(dir).generic_string()) == 0) {
      return target().ListDirectory(dir, entries, error);
    }
    if (ctrl_c_on_refusal) keys.push_back(kCtrlC);
    *error = "refused";
    return ListResult::kFailed;
  }
};

// In a scratch directory holding R, so that paths stay as short as given:
// R holds a.jpg, z.txt, A and B; A holds A1 and A2 (with b.JPG); B holds Ba,
// jpg (with c.txt) and jpg-list.txt. Each listing gives names in that order.
// Paths are compared with "/" on every system.
class FileIteratorTest : public testing::Test {
 protected:
  void SetUp() override {
    scratch_.MakeTree({"R/a.jpg", "R/z.txt", "R/A/A1/", "R/A/A2/b.JPG", "R/B/Ba/", "R/B/jpg/c.txt",
                       "R/B/jpg-list.txt"});
    fs::current_path(scratch_.path());
  }
  void TearDown() override { fs::current_path(saved_); }

  static std::string Slashed(const std::string& path) { return fs::path(path).generic_string(); }
  std::string NextDir(std::optional<int32_t> count = {}) {
    return Slashed(it_.MOVETONEXTDIR(count));
  }
  std::string NextFile(std::optional<int32_t> count = {}) {
    return Slashed(it_.MOVETONEXTFILE(count));
  }
  std::string Here() const { return Slashed(it_.DIRPATH()); }
  // What the moves answer to the end of the walk, where nothing is current.
  Paths Walk(bool files = false) {
    Paths seen;
    for (std::string path; seen.size() < 50 && !(path = files ? NextFile() : NextDir()).empty();) {
      seen.push_back(path);
    }
    EXPECT_EQ(it_.STATE(), It::STATE_COMPLETE());
    EXPECT_EQ(it_.ERRCODE(), 0);
    EXPECT_EQ(Here(), "");
    EXPECT_EQ(it_.FILEPATH(), "");
    return seen;
  }
  void Press(const Paths& keys) {
    platform_.keys.insert(platform_.keys.end(), keys.begin(), keys.end());
  }
  Paths PendingKeys() const { return {platform_.keys.begin(), platform_.keys.end()}; }

  const fs::path saved_ = fs::current_path();
  test::ScratchDir scratch_;
  WalkPlatform platform_;
  It it_{platform_};
};

TEST_F(FileIteratorTest, SteepIsDepthFirst) {
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(), (Paths{"R", "R/A", "R/A/A1", "R/A/A2", "R/B", "R/B/Ba", "R/B/jpg"}));
}

TEST_F(FileIteratorTest, GradualIsLevelByLevel) {
  it_.SLOPE(It::SLOPE_GRADUAL());
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(), (Paths{"R", "R/A", "R/B", "R/A/A1", "R/A/A2", "R/B/Ba", "R/B/jpg"}));
}

TEST_F(FileIteratorTest, DepthLimitZeroIsTheGivenDirectoryAlone) {
  it_.ADDDIR("R", 0);
  EXPECT_EQ(Walk(), Paths{"R"});
}

TEST_F(FileIteratorTest, DepthLimitOneAddsItsSubdirectories) {
  it_.ADDDIR("R", 1);
  EXPECT_EQ(Walk(), (Paths{"R", "R/A", "R/B"}));
}

TEST_F(FileIteratorTest, DepthCountsLevelsBelowTheGivenDirectory) {
  it_.ADDDIR("R");
  std::vector<int32_t> depths = {it_.DEPTH()};
  for (int move = 0; move < 8; ++move) NextDir(), depths.push_back(it_.DEPTH());
  EXPECT_EQ(depths, (std::vector<int32_t>{-1, 0, 1, 2, 2, 1, 2, 2, -1}));
}

// Bare names in any letter case; R itself is never filtered, and B's refusal
// keeps Ba out.
TEST_F(FileIteratorTest, DirFilterAdmitsNamesHoldingAMatch) {
  it_.FILTER_DIR("a");
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(), (Paths{"R", "R/A", "R/A/A1", "R/A/A2"}));
}

TEST_F(FileIteratorTest, InvalidDirFilterAdmitsNoSubdirectory) {
  it_.FILTER_DIR("(a)+");
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(), Paths{"R"});
}

TEST_F(FileIteratorTest, EveryFileInQueueOrder) {
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(true),
            (Paths{"R/a.jpg", "R/z.txt", "R/A/A2/b.JPG", "R/B/jpg-list.txt", "R/B/jpg/c.txt"}));
}

TEST_F(FileIteratorTest, FileFilterAdmitsNamesHoldingAMatch) {
  it_.FILTER_FILE("jpg");
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(true), (Paths{"R/a.jpg", "R/A/A2/b.JPG", "R/B/jpg-list.txt"}));
}

TEST_F(FileIteratorTest, DirectoryMoveByCountListsTheDirectoriesItPasses) {
  it_.ADDDIR("R");
  EXPECT_EQ(NextDir(0), "");  // nothing current yet
  EXPECT_EQ(NextDir(3), "R/A/A1");
  EXPECT_EQ(NextDir(0), "R/A/A1");
}

TEST_F(FileIteratorTest, FileMovesGoOnThroughTheDirectoryQueue) {
  it_.ADDDIR("R");
  EXPECT_EQ(NextFile(), "R/a.jpg");
  EXPECT_EQ(NextFile(0), "R/a.jpg");
  EXPECT_EQ(NextDir(), "R/A");  // leaves z.txt behind
  EXPECT_EQ(it_.FILEPATH(), "");
  EXPECT_EQ(it_.FILEDIRDATA(), nullptr);
  EXPECT_EQ(NextFile(2), "R/B/jpg-list.txt");  // through A1, and past A2's b.JPG
  EXPECT_EQ(it_.DEPTH(), 1);
}

TEST_F(FileIteratorTest, RecordsOfTheCurrentFileAndDirectory) {
  std::error_code error;
  fs::resize_file("R/a.jpg", 5000000000ULL, error);  // sparse: no real space used
  it_.ADDDIR("R");
  NextFile();
  EXPECT_EQ(it_.FILESIZE(), error ? 4 : 5000000000LL);
  EXPECT_EQ(Slashed(it_.FILEDIRDATA()->name), "R/a.jpg");
}

TEST_F(FileIteratorTest, AddDirQueuesWhatExistsTrimmedAndNamesWhatIsMissing) {
  const std::string r = std::string("R") + NativePathRules().separator + "/";
  EXPECT_EQ(it_.ADDDIR(Paths{r, "gone/", "lost"}), 1);
  EXPECT_EQ(it_.ERRCODE(), It::ERR_DIRINVALID());
  EXPECT_EQ(it_.ERRINFO(), "gone;lost");
  EXPECT_EQ(it_.MOVETONEXTDIR(), "R");
}

TEST_F(FileIteratorTest, AddDirTakesADirectoryFindFirstCannotDescribe) {
  platform_.find_fails = true;
  EXPECT_EQ(it_.ADDDIR("R"), 1);
  EXPECT_EQ(it_.ADDDIR("gone"), 0);
}

TEST_F(FileIteratorTest, DirectoryThatCannotBeListedIsPassedOver) {
  platform_.refused.insert("R/A");
  it_.ADDDIR("R");
  EXPECT_EQ(Walk(), (Paths{"R", "R/B", "R/B/Ba", "R/B/jpg"}));
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

TEST_F(FileIteratorTest, BadArgumentsAreRefusedByName) {
  EXPECT_EQ(it_.ADDDIR(7), 0);
  EXPECT_EQ(it_.ERRCODE(), It::ERR_ARGINVALIDTYPE());
  EXPECT_EQ(it_.ERRMSG(), "Invalid argument type");  // the code's own text
  EXPECT_EQ(it_.ERRINFO(), "DirPath");
  EXPECT_EQ(it_.ADDDIR("R", -2), 0);
  EXPECT_EQ(it_.ERRINFO(), "MaxDepth");
  EXPECT_EQ(NextDir(-1), "");
  EXPECT_EQ(it_.ERRCODE(), It::ERR_ARGOUTOFRANGE());
  EXPECT_EQ(it_.ERRINFO(), "IterateCount");
  it_.SLOPE(2);
  EXPECT_EQ(it_.SLOPE(), It::SLOPE_STEEP());
  EXPECT_EQ(it_.ERRCODE(), It::ERR_PROPERTYINVALID());
  EXPECT_EQ(it_.ERRINFO(), "Slope");
  it_.FILTER_DIR("a");  // succeeds, and leaves the error
  EXPECT_EQ(it_.ERR_IS(), -1);
  it_.SLOPE(It::SLOPE_GRADUAL());
  EXPECT_EQ(it_.ERR_IS(), 0);
  EXPECT_EQ(NextDir(), "");  // nothing was queued
}

TEST_F(FileIteratorTest, FiltersAreSetBeforeTheWalkDirectoriesAddedBeforeItsEnd) {
  it_.ADDDIR("R", 0);
  NextDir();
  it_.FILTER_DIR("x");
  EXPECT_EQ(it_.FILTER_DIR(), "");
  EXPECT_EQ(it_.ERRCODE(), It::ERR_STATEINVALID());
  it_.FILTER_FILE("x");
  EXPECT_EQ(it_.FILTER_FILE(), "");
  EXPECT_EQ(NextDir(), "");  // the end
  EXPECT_EQ(it_.ADDDIR("R"), 0);
  EXPECT_EQ(it_.ERRCODE(), It::ERR_STATEINVALID());
  EXPECT_EQ(it_.DIRDIRDATA(), nullptr);
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
    Press(keys);
    return NextDir();
  }
};

TEST_F(BreakKeyTest, KeysAreNotReadWithoutTheHandler) {
  it_.BREAKHANDLER(0);
  EXPECT_EQ(MoveAfter({kCtrlC}), "R");
  EXPECT_EQ(PendingKeys(), Paths{kCtrlC});
}

TEST_F(BreakKeyTest, CtrlCStopsTheMoveAndLeavesWhatFollows) {
  EXPECT_EQ(MoveAfter({"a", kCtrlC, "b"}), "");
  EXPECT_EQ(it_.ERRCODE(), It::ERR_BREAKKEYPRESSED());
  EXPECT_EQ(it_.BREAKKEY_LAST(), It::BREAKKEYS_CTRL_C());
  EXPECT_EQ(PendingKeys(), Paths{"b"});
}

TEST_F(BreakKeyTest, KeyNotEnabledIsTakenAndIgnored) {
  EXPECT_EQ(MoveAfter({kF4}), "R");
  EXPECT_EQ(it_.BREAKKEY_LAST(), It::BREAKKEYS_NONE());
  EXPECT_EQ(PendingKeys(), Paths{});
}

TEST_F(BreakKeyTest, FirstEnabledKeyWins) {
  it_.BREAKKEYS(It::BREAKKEYS_CTRL_C() + It::BREAKKEYS_ALT_F4());
  EXPECT_EQ(MoveAfter({kF4, kCtrlC}), "");
  EXPECT_EQ(it_.BREAKKEY_LAST(), It::BREAKKEYS_ALT_F4());
  EXPECT_EQ(PendingKeys(), Paths{kCtrlC});
}

TEST_F(BreakKeyTest, BreakStopsTheRestOfACountAndTheNextMoveGoesOn) {
  Press({kNoKey, kCtrlC});
  EXPECT_EQ(NextDir(3), "");
  EXPECT_EQ(it_.ERRCODE(), It::ERR_BREAKKEYPRESSED());
  EXPECT_EQ(Here(), "R");  // the step taken stays taken
  EXPECT_EQ(NextDir(), "R/A");
  EXPECT_EQ(it_.BREAKKEY_LAST(), It::BREAKKEYS_NONE());
}

TEST_F(BreakKeyTest, BreakRightAfterAPassedOverDirectoryLeavesItCurrent) {
  platform_.refused.insert("R/A");
  platform_.ctrl_c_on_refusal = true;
  NextDir();
  EXPECT_EQ(NextDir(), "");
  EXPECT_EQ(Here(), "R/A");
  EXPECT_EQ(it_.DEPTH(), 1);
  EXPECT_EQ(NextDir(), "R/B");
}

}  // namespace
}  // namespace slidemill
