#include "iterator/file_iterator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
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

// The shared fake, with listings that can be refused and a stamp on what
// find-first finds (a directory's time cannot be set everywhere).
class WalkPlatform : public test::FakePlatform {
 public:
  std::set<std::string> refused;
  std::function<void()> on_refused = [] {};
  std::optional<uint64_t> found_time;
  bool find_fails = false;  // as Windows answers for a root such as "C:\"

  bool FindFirst(const std::string& path, FileEntry* entry) override {
    bool found = !find_fails && target().FindFirst(path, entry);
    if (found_time) entry->last_write_time = *found_time;
    return found;
  }
  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries) override {
    if (refused.count(dir) != 0) return on_refused(), ListResult::kFailed;
    return target().ListDirectory(dir, entries);
  }
};

class FileIteratorTest : public testing::Test {
 protected:
  std::string Path(const std::string& relative) const {
    return (scratch_.path() / fs::path(relative).make_preferred()).string();
  }
  std::string Rel(const std::string& path) const {
    return path.empty() ? "" : fs::path(path).lexically_relative(scratch_.path()).generic_string();
  }
  // Every directory to the end of the walk, with its depth: "R 0,R/A 1".
  std::string Walk(It& it) const {
    std::string seen;
    for (std::string dir; (dir = it.MOVETONEXTDIR()) != "" && seen.size() < 500;) {
      EXPECT_EQ(it.DIRPATH(), dir);
      seen += (seen.empty() ? "" : ",") + Rel(dir) + " " + std::to_string(it.DEPTH());
    }
    EXPECT_EQ(it.STATE(), It::STATE_COMPLETE());
    return seen;
  }
  // The state, current directory and file, and the error code and info (the
  // message and ERR_IS must agree with the code).
  std::string At(It& it) const {
    EXPECT_EQ(it.ERR_IS() + it.ERRMSG().empty(), it.ERRCODE() == 0 ? 1 : -1);
    return std::to_string(it.STATE()) + " " + Rel(it.DIRPATH()) + "|" + Rel(it.FILEPATH()) + " " +
           std::to_string(it.ERRCODE()) + ":" + it.ERRINFO();
  }
  // The answer of a move, then where it left the iterator.
  std::string Move(It& it, bool files, std::optional<int32_t> count = {}) const {
    std::string answer = Rel(files ? it.MOVETONEXTFILE(count) : it.MOVETONEXTDIR(count));
    return answer + " = " + At(it);
  }

  test::ScratchDir scratch_;
  WalkPlatform platform_;
};

TEST_F(FileIteratorTest, WalkOrdersAndDepthLimits) {
  scratch_.MakeTree({"R/A/A1/", "R/A/A2/", "R/B/B1/"});
  for (auto [slope, max_depth, walk] : std::vector<std::tuple<int32_t, int32_t, std::string>>{
           {1, -1, "R 0,R/A 1,R/A/A1 2,R/A/A2 2,R/B 1,R/B/B1 2"},
           {0, -1, "R 0,R/A 1,R/B 1,R/A/A1 2,R/A/A2 2,R/B/B1 2"},
           {1, 1, "R 0,R/A 1,R/B 1"}, {0, 0, "R 0"}}) {
    It it;
    it.SLOPE(slope);
    ASSERT_EQ(it.ADDDIR(Path("R"), max_depth), 1);
    EXPECT_EQ(Walk(it), walk);
    EXPECT_EQ(Move(it, false), " = 2 | 0:");
    EXPECT_EQ(it.DEPTH(), -1);
    EXPECT_EQ(it.DIRDIRDATA(), nullptr);
  }
}

TEST_F(FileIteratorTest, MovesByCountOverDirectoriesAndFiles) {
  scratch_.MakeTree({"R/A/A1/", "R/B/", "R/S/a.jpg", "R/S/b.txt", "R/S/c.jpg", "R/T/t.jpg"});
  It it;
  EXPECT_EQ(Move(it, false, 0), " = 0 | 0:");
  it.ADDDIR(Path("R"));
  EXPECT_EQ(Move(it, false, 3), "R/A/A1 = 1 R/A/A1| 0:");
  EXPECT_EQ(Move(it, false, 0), "R/A/A1 = 1 R/A/A1| 0:");
  // Directories without files are passed through within one file step.
  EXPECT_EQ(Move(it, true), "R/S/a.jpg = 1 R/S|R/S/a.jpg 0:");
  EXPECT_EQ(Move(it, true, 2), "R/S/c.jpg = 1 R/S|R/S/c.jpg 0:");
  EXPECT_EQ(Move(it, true, 0), "R/S/c.jpg = 1 R/S|R/S/c.jpg 0:");
  EXPECT_EQ(it.DEPTH() * 10 + it.FILESIZE(), 14);
  EXPECT_EQ(Rel(it.FILEDIRDATA()->name) + " " + Rel(it.DIRDIRDATA()->name), "R/S/c.jpg R/S");
  // A directory move drops the rest of the file list.
  EXPECT_EQ(Move(it, false), "R/T = 1 R/T| 0:");
  EXPECT_EQ(it.FILESIZE(), 0);
  EXPECT_EQ(it.FILEDIRDATA(), nullptr);
  EXPECT_EQ(Move(it, true), "R/T/t.jpg = 1 R/T|R/T/t.jpg 0:");
  EXPECT_EQ(Move(it, true), " = 2 | 0:");
  it.NEWSESSION();
  it.ADDDIR(Path("R/S"), 0);  // even the limit 0 lists the directory's own files
  EXPECT_EQ(Move(it, true, 3), "R/S/c.jpg = 1 R/S|R/S/c.jpg 0:");
}

TEST_F(FileIteratorTest, FiltersMatchBareNames) {
  // Paths hold what the filters look for; only the names count.
  scratch_.MakeTree({"R/r.jpg", "R/Trip 2019/work/w.jpg", "R/work/trip/t.jpg",
                     "R/old-trips/a.jpg", "R/trip.jpg/B.JPG", "R/trip.jpg/notes.txt"});
  using Case = std::tuple<const char*, const char*, std::string>;
  for (auto [dir_filter, file_filter, files] : std::vector<Case>{
           {"trip", "jpg", "R/old-trips/a.jpg,R/r.jpg,R/trip.jpg/B.JPG"},
           {"(a)+", "", "R/r.jpg"}, {"", "(", ""},  // not valid patterns: nothing is admitted
           {"", "", "R/Trip 2019/work/w.jpg,R/old-trips/a.jpg,R/r.jpg,R/trip.jpg/B.JPG,"
                    "R/trip.jpg/notes.txt,R/work/trip/t.jpg"}}) {
    It it;
    it.FILTER_DIR(dir_filter);
    it.FILTER_FILE(file_filter);
    it.ADDDIR(Path("R"));
    std::set<std::string> found;
    for (std::string file; (file = it.MOVETONEXTFILE()) != "";) found.insert(Rel(file));
    std::string joined;
    for (const std::string& file : found) joined += (joined.empty() ? "" : ",") + file;
    EXPECT_EQ(joined, files) << dir_filter << " " << file_filter;
  }
}

TEST_F(FileIteratorTest, AddDirTrimsQueuesAndNamesWhatIsMissing) {
  scratch_.MakeTree({"R/A/x/", "R/B/", "X/"});
  const std::string r = Path("R"), sep(1, NativePathRules().separator);
  platform_.find_fails = true;  // still directories to walk
  It it(platform_);
  EXPECT_EQ(it.ADDDIR(Paths{r + sep + sep, Path("gone") + sep, Path("lost")}), 1);
  EXPECT_EQ(it.ERRINFO(), Path("gone") + ";" + Path("lost"));
  EXPECT_EQ(it.MOVETONEXTDIR(), r);
  // QUEUENEXT puts a directory right after the current one; without it, last.
  EXPECT_EQ(it.ADDDIR(Path("X") + sep, 0, 1) + it.ADDDIR(r + sep + "A", 0), 2);
  EXPECT_EQ(Walk(it), "X 0,R/A 1,R/A/x 2,R/B 1,R/A 0");
  // Relative paths stay relative.
  fs::path saved = fs::current_path();
  fs::current_path(r);
  it.NEWSESSION();
  it.ADDDIR("A");
  Paths seen = {it.MOVETONEXTDIR(), it.MOVETONEXTDIR()};
  fs::current_path(saved);
  EXPECT_EQ(seen, (Paths{"A", "A" + sep + "x"}));
}

TEST_F(FileIteratorTest, PathsTooLongForARecordAreRefusedNotCut) {
  scratch_.MakeTree({"R/short/", "R/a-longer-name/", "R/f.jpg", "R/a-longer-name.jpg"});
  PathRules narrow = NativePathRules();
  narrow.name_field_size = Path("R/short").size() + 1;
  It it(SystemPlatform(), narrow);
  EXPECT_EQ(it.ADDDIR(Path("R/a-longer-name")), 0);
  it.ADDDIR(Path("R"));
  EXPECT_EQ(Move(it, true), "R/f.jpg = 1 R|R/f.jpg 0:");
  EXPECT_EQ(Walk(it), "R/short 1");
}

// Each step runs one member and answers what it answered; then come the
// state and the error.
TEST_F(FileIteratorTest, ErrorStateFollowsEveryMember) {
  scratch_.MakeTree({"R/"});
  const std::string r = Path("R");
  const std::pair<std::function<int64_t(It&)>, std::string> steps[] = {
      {[](It& it) { return it.SLOPE(2), it.SLOPE(); }, "1: 0 | 6:Slope"},
      {[](It& it) { return it.FILTER_DIR("A"), 0; }, "0: 0 | 6:Slope"},  // leaves the error
      {[](It& it) { return it.BREAKKEYS(7), it.BREAKKEYS(); }, "7: 0 | 6:Slope"},
      {[](It& it) { return it.SLOPE(0), it.SLOPE(); }, "0: 0 | 0:"},
      {[](It& it) { return it.ADDDIR(7); }, "0: 0 | 1:DirPath"},
      {[](It& it) { return it.ADDDIR({}); }, "0: 0 | 0:"},
      {[&](It& it) { return it.ADDDIR(r, -2); }, "0: 0 | 2:MaxDepth"},
      {[](It& it) { return it.ADDDIR(Paths{}); }, "0: 0 | 0:"},
      {[](It& it) { return it.MOVETONEXTDIR(-1).size(); }, "0: 0 | 2:IterateCount"},
      {[&](It& it) { return it.ADDDIR(r + "-gone"); }, "0: 0 | 4:" + r + "-gone"},
      {[&](It& it) { return it.ADDDIR(r); }, "1: 0 | 0:"},
      {[](It& it) { return it.MOVETONEXTDIR().empty(); }, "0: 1 R| 0:"},
      {[](It& it) { return it.FILTER_FILE("x"), it.FILTER_FILE().size(); }, "0: 1 R| 5:"},
      {[](It& it) { return it.DIRDATE(9, 1).size() + it.BREAKKEY_LAST(); }, "0: 1 R| 5:"},
      {[](It& it) { return it.MOVETONEXTDIR(9).size(); }, "0: 2 | 0:"},
      {[&](It& it) { return it.ADDDIR(r); }, "0: 2 | 5:"},
      {[](It& it) { return it.MOVETONEXTDIR().size(); }, "0: 2 | 0:"},
      {[](It& it) { return it.NEWSESSION(), it.DEPTH(); }, "-1: 0 | 0:"},
      {[](It& it) { return it.FILTER_FILE("y"), it.FILTER_FILE().size(); }, "1: 0 | 0:"},
  };
  It it;
  for (const auto& [run, expected] : steps) {
    std::string answer = std::to_string(run(it)) + ": ";
    EXPECT_EQ(answer + At(it), expected);
  }
  // NEWSESSION kept the properties; INIT resets them.
  auto properties = [&] { return it.FILTER_DIR() + it.FILTER_FILE() + std::to_string(it.SLOPE()); };
  EXPECT_EQ(properties() + std::to_string(it.BREAKKEYS()), "Ay07");
  it.INIT();
  EXPECT_EQ(properties() + std::to_string(it.BREAKKEYS()), "13");
}

TEST_F(FileIteratorTest, BreakKeysBeforeAMove) {
  scratch_.MakeTree({"R/"});
  using Keys = std::deque<std::string>;
  using Case = std::tuple<int32_t, int32_t, Keys, int32_t, Keys>;
  for (auto [handler, keys, pressed, last, left] : std::vector<Case>{
           {0, 3, {kCtrlC, "a"}, 0, {kCtrlC, "a"}},  // checks off
           {1, 1, {"a", kCtrlC, "b"}, 1, {"b"}},     // the key that stopped it, then the rest
           {1, 1, {kF4}, 0, {}},                     // F4 not enabled
           {1, 3, {kF4, kCtrlC}, 2, {kCtrlC}},       // the first enabled key wins
           {1, 0, {kCtrlC, "a", kF4}, 0, {}}}) {     // none enabled: all consumed
    platform_.keys = pressed;
    It it(platform_);
    it.BREAKHANDLER(handler);
    it.BREAKKEYS(keys);
    it.ADDDIR(Path("R"));
    EXPECT_EQ(Move(it, false), last ? " = 0 | 7:" : "R = 1 R| 0:");
    EXPECT_EQ(it.BREAKKEY_LAST(), last);
    EXPECT_EQ(platform_.keys, left);
    platform_.keys.clear();
    if (!last) continue;
    // The next move reaches what the stopped one would have.
    EXPECT_EQ(Move(it, false), "R = 1 R| 0:");
    EXPECT_EQ(it.BREAKKEY_LAST(), 0);
  }
}

TEST_F(FileIteratorTest, BreakKeysBetweenTheStepsOfAFileMove) {
  scratch_.MakeTree({"R/S/s.jpg", "R/T/t.jpg"});
  It it(platform_);
  it.BREAKHANDLER(1);
  it.ADDDIR(Path("R"));
  // Checks: before the step, after reaching R (no files), after reaching S.
  platform_.keys = {"", "", kCtrlC};
  EXPECT_EQ(Move(it, true), " = 1 R/S| 7:");
  EXPECT_EQ(Move(it, true), "R/S/s.jpg = 1 R/S|R/S/s.jpg 0:");
  platform_.keys = {"", kCtrlC};  // a break stops the rest of a count
  EXPECT_EQ(Move(it, true, 5), " = 1 R/T| 7:");
  it.NEWSESSION();
  EXPECT_EQ(it.BREAKKEY_LAST(), 1);
  it.INIT();
  EXPECT_EQ(it.BREAKKEY_LAST(), 0);
}

TEST_F(FileIteratorTest, RefusedListingsArePassedOver) {
  scratch_.MakeTree({"R/A/", "R/B/b.jpg", "R/B/B1/", "R/C/"});
  platform_.refused.insert(Path("R/B"));
  It it(platform_);
  it.ADDDIR(Path("R"));
  EXPECT_EQ(Walk(it), "R 0,R/A 1,R/C 1");
  // A break found right after one was passed over leaves it current.
  it.NEWSESSION();
  it.BREAKHANDLER(1);
  platform_.on_refused = [&] { platform_.keys.push_back(kCtrlC); };
  it.ADDDIR(Path("R"));
  EXPECT_EQ(Move(it, false, 3), " = 1 R/B| 7:");
  EXPECT_EQ(it.DEPTH(), 1);
  EXPECT_EQ(Move(it, false), "R/C = 1 R/C| 0:");
}

TEST_F(FileIteratorTest, LinkBackToAnAncestorIsNotFollowed) {
  scratch_.MakeTree({"R/A/", "R/B/"});
  std::error_code error;
  fs::create_directory_symlink(Path("R"), Path("R/A/up"), error);
  if (!error) fs::create_directory_symlink(Path("R/A"), Path("R/A/self"), error);
  if (!error) fs::create_directory_symlink(Path("R/B"), Path("R/A/toB"), error);  // no loop
  if (error) GTEST_SKIP() << "no directory links here: " << error.message();
  It it;
  it.ADDDIR(Path("R"), 6);  // bounds the walk should a loop be followed
  EXPECT_EQ(Walk(it), "R 0,R/A 1,R/A/toB 2,R/B 1");
}

TEST_F(FileIteratorTest, DatesOfTheCurrentEntries) {
  scratch_.MakeTree({"R/photo.jpg"});
  test::SetModified(Path("R/photo.jpg"), "2018-06-15");
  platform_.found_time = (1577824200ULL + 11644473600ULL) * 10000000ULL;  // 2019-12-31 20:30
  It it(platform_);
  EXPECT_EQ(it.DIRDATE(2, 1), "");
  it.ADDDIR(Path("R"));
  it.MOVETONEXTFILE();
  EXPECT_EQ(it.DIRDATE(2, 1, 1) + it.DIRDATE(2, 14, 1) + it.FILEDATE(2, 1, 1) + it.DIRDATE(0, 1) +
                it.FILEDATE(4, 1) + it.DIRDATE(2, 0) + it.DIRDATE(2, 22) + it.FILEDATE(2, -1),
            "2019202018");
  EXPECT_EQ(it.DIRDATE(2, 21, 1),
            "2019,19,12,12,Dec,December,31,31,Tue,Tuesday,8,08,20,20,30,30,0,00,P,PM");
  // Local time unless told otherwise: nine hours east (the test command's
  // TZ=JST-9) it is already the next year.
  if (const char* zone = std::getenv("TZ"); zone && std::string(zone) == "JST-9") {
    EXPECT_EQ(it.DIRDATE(2, 1), "2020");
  }
}

}  // namespace
}  // namespace slidemill
