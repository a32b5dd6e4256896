#include "iterator/file_iterator.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>

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
  // Every directory ("R 0,R/A 1", with depths) or every file to the end of the walk.
  std::string Walk(It& it, bool files = false) const {
    std::string seen;
    for (std::string got;
         (got = files ? it.MOVETONEXTFILE() : it.MOVETONEXTDIR()) != "" && seen.size() < 500;) {
      EXPECT_EQ(files ? it.FILEPATH() : it.DIRPATH(), got);
      seen +=
          (seen.empty() ? "" : ",") + Rel(got) + (files ? "" : " " + std::to_string(it.DEPTH()));
    }
    EXPECT_EQ(it.STATE(), It::STATE_COMPLETE());
    return seen;
  }
  // The state, current directory@depth and file, the error code and info (the
  // message and ERR_IS must agree with the code), and the break key if any.
  std::string At(It& it) const {
    EXPECT_EQ(it.ERR_IS() + it.ERRMSG().empty(), it.ERRCODE() == 0 ? 1 : -1);
    return std::to_string(it.STATE()) + " " + Rel(it.DIRPATH()) + "@" + std::to_string(it.DEPTH()) +
           "|" + Rel(it.FILEPATH()) + " " + std::to_string(it.ERRCODE()) + ":" + it.ERRINFO() +
           (it.BREAKKEY_LAST() ? " key" + std::to_string(it.BREAKKEY_LAST()) : "");
  }
  // Runs steps: D or F moves to the next directory or file, with an optional
  // count ("D3"), answering "what it answered = At"; N is NEWSESSION and I is
  // INIT, answering At; lower case queues a key press (c Ctrl-C, f4 F4, _ none).
  std::string Run(It& it, const std::string& script) {
    std::istringstream in(script);
    std::string result;
    for (std::string step; in >> step;) {
      if (std::islower(step[0]) || step == "_") {
        platform_.keys.push_back(step == "c"    ? kCtrlC
                                 : step == "f4" ? kF4
                                 : step == "_"  ? ""
                                                : step);
        continue;
      }
      std::optional<int32_t> count;
      if (step.size() > 1) count = std::stoi(step.substr(1));
      std::string answer;
      if (step == "N" || step == "I") {
        step == "N" ? it.NEWSESSION() : it.INIT();
      } else {
        answer = Rel(step[0] == 'F' ? it.MOVETONEXTFILE(count) : it.MOVETONEXTDIR(count)) + " = ";
      }
      result += (result.empty() ? "" : ";") + answer + At(it);
    }
    return result;
  }

  test::ScratchDir scratch_;
  WalkPlatform platform_;
};

// Filters look at bare names: the paths hold what they look for.
TEST_F(FileIteratorTest, WalkOrdersDepthLimitsAndFilters) {
  scratch_.MakeTree({"R/r.jpg", "R/Old Trip 2019/work/w.jpg", "R/work/trip/t.jpg",
                     "R/old-trips/a.jpg", "R/trip.jpg/B.JPG", "R/trip.jpg/notes.txt"});
  using Row = std::tuple<int32_t, int32_t, const char*, const char*, bool, std::string>;
  for (auto [slope, max_depth, dir_filter, file_filter, files, walk] : std::vector<Row>{
           {1, -1, "", "", false,
            "R 0,R/Old Trip 2019 1,R/Old Trip 2019/work 2,R/old-trips 1,R/trip.jpg 1,R/work "
            "1,R/work/trip 2"},
           {0, -1, "", "", false,
            "R 0,R/Old Trip 2019 1,R/old-trips 1,R/trip.jpg 1,R/work 1,R/Old Trip 2019/work "
            "2,R/work/trip 2"},
           {1, 1, "", "", false, "R 0,R/Old Trip 2019 1,R/old-trips 1,R/trip.jpg 1,R/work 1"},
           {0, 0, "", "", false, "R 0"},
           {1, -1, "trip", "jpg", true, "R/r.jpg,R/old-trips/a.jpg,R/trip.jpg/B.JPG"},
           {1, -1, "(a)+", "", true, "R/r.jpg"},
           {1, -1, "", "(", true, ""},  // not valid: nothing admitted
           {1, -1, "", "", true,
            "R/r.jpg,R/Old Trip 2019/work/w.jpg,R/old-trips/a.jpg,R/trip.jpg/B.JPG,"
            "R/trip.jpg/notes.txt,R/work/trip/t.jpg"}}) {
    It it;
    it.SLOPE(slope), it.FILTER_DIR(dir_filter), it.FILTER_FILE(file_filter);
    ASSERT_EQ(it.ADDDIR(Path("R"), max_depth), 1);
    std::string seen = Walk(it, files) + ";";
    EXPECT_EQ(seen + Run(it, "D") + (it.DIRDIRDATA() ? "+" : ""), walk + "; = 2 @-1| 0:")
        << dir_filter;
  }
}

TEST_F(FileIteratorTest, MovesByCountOverDirectoriesAndFiles) {
  scratch_.MakeTree({"R/A/A1/", "R/B/", "R/S/a.jpg", "R/S/b.txt", "R/S/c.jpg", "R/T/t.jpg"});
  It it;
  EXPECT_EQ(Run(it, "D0"), " = 0 @-1| 0:");
  it.ADDDIR(Path("R"));
  // Directories without files are passed through within one file step.
  EXPECT_EQ(Run(it, "D3 D0 F F2 F0"),
            "R/A/A1 = 1 R/A/A1@2| 0:;R/A/A1 = 1 R/A/A1@2| 0:;R/S/a.jpg = 1 R/S@1|R/S/a.jpg 0:;"
            "R/S/c.jpg = 1 R/S@1|R/S/c.jpg 0:;R/S/c.jpg = 1 R/S@1|R/S/c.jpg 0:");
  EXPECT_EQ(std::to_string(it.FILESIZE()) + Rel(it.FILEDIRDATA()->name) + " " +
                Rel(it.DIRDIRDATA()->name),
            "4R/S/c.jpg R/S");
  // A directory move drops the rest of the file list.
  EXPECT_EQ(Run(it, "D"), "R/T = 1 R/T@1| 0:");
  EXPECT_EQ(it.FILESIZE() + (it.FILEDIRDATA() != nullptr), 0);
  EXPECT_EQ(Run(it, "F F N"), "R/T/t.jpg = 1 R/T@1|R/T/t.jpg 0:; = 2 @-1| 0:;0 @-1| 0:");
  it.ADDDIR(Path("R/S"), 0);  // even the limit 0 lists the directory's own files
  EXPECT_EQ(Run(it, "F3"), "R/S/c.jpg = 1 R/S@0|R/S/c.jpg 0:");
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
  it.NEWSESSION(), it.ADDDIR("A");
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
  EXPECT_EQ(Run(it, "F"), "R/f.jpg = 1 R@0|R/f.jpg 0:");
  EXPECT_EQ(Walk(it), "R/short 1");
}

TEST_F(FileIteratorTest, ErrorStateFollowsEveryMember) {
  scratch_.MakeTree({"R/"});
  const std::string r = Path("R");
  It it;
  // What one member answered, then where the iterator is, with its error.
  auto after = [&](int64_t answer) { return std::to_string(answer) + ": " + At(it); };
  EXPECT_EQ(after((it.SLOPE(2), it.SLOPE())), "1: 0 @-1| 6:Slope");
  EXPECT_EQ(after((it.FILTER_DIR("A"), 0)), "0: 0 @-1| 6:Slope");  // leaves the error
  EXPECT_EQ(after((it.BREAKKEYS(7), it.BREAKKEYS())), "7: 0 @-1| 6:Slope");
  EXPECT_EQ(after((it.SLOPE(0), it.SLOPE())), "0: 0 @-1| 0:");
  EXPECT_EQ(after(it.ADDDIR(7)), "0: 0 @-1| 1:DirPath");
  EXPECT_EQ(after(it.ADDDIR({})), "0: 0 @-1| 0:");
  EXPECT_EQ(after(it.ADDDIR(r, -2)), "0: 0 @-1| 2:MaxDepth");
  EXPECT_EQ(after(it.ADDDIR(Paths{})), "0: 0 @-1| 0:");
  EXPECT_EQ(after(it.MOVETONEXTDIR(-1).size()), "0: 0 @-1| 2:IterateCount");
  EXPECT_EQ(after(it.ADDDIR(r + "-gone")), "0: 0 @-1| 4:" + r + "-gone");
  EXPECT_EQ(after(it.ADDDIR(r)), "1: 0 @-1| 0:");
  EXPECT_EQ(after(it.MOVETONEXTDIR().empty()), "0: 1 R@0| 0:");
  EXPECT_EQ(after((it.FILTER_FILE("x"), it.FILTER_FILE().size())), "0: 1 R@0| 5:");
  EXPECT_EQ(after(it.DIRDATE(9, 1).size()), "0: 1 R@0| 5:");
  EXPECT_EQ(after(it.MOVETONEXTDIR(9).size()), "0: 2 @-1| 0:");
  EXPECT_EQ(after(it.ADDDIR(r)), "0: 2 @-1| 5:");
  EXPECT_EQ(after(it.MOVETONEXTDIR().size()), "0: 2 @-1| 0:");
  // NEWSESSION keeps the properties; INIT resets them.
  EXPECT_EQ(after((it.NEWSESSION(), it.SLOPE() * 10 + it.BREAKKEYS())), "7: 0 @-1| 0:");
  EXPECT_EQ(after((it.FILTER_FILE("y"), it.FILTER_DIR() == "A" && it.FILTER_FILE() == "y")),
            "1: 0 @-1| 0:");
  EXPECT_EQ(after((it.INIT(), it.FILTER_DIR().size() + it.FILTER_FILE().size() * 10 +
                                  it.SLOPE() * 100 + it.BREAKKEYS())),
            "103: 0 @-1| 0:");
}

// Keys are checked before a move and between the steps of a file move.
TEST_F(FileIteratorTest, BreakKeys) {
  scratch_.MakeTree({"R/S/s.jpg", "R/T/t.jpg"});
  const std::string stopped = " = 0 @-1| 7: key", reached = "R = 1 R@0| 0:";
  for (auto [handler, keys, script, expected] :
       std::vector<std::tuple<int32_t, int32_t, std::string, std::string>>{
           {0, 3, "c a D", reached + "|2"},     // checks off
           {1, 1, "a c b D", stopped + "1|1"},  // the key that stopped it, then the rest
           {1, 1, "c D D",
            stopped + "1;" + reached + "|0"},   // the next move reaches what it would have
           {1, 1, "f4 D", reached + "|0"},      // F4 not enabled
           {1, 3, "f4 c D", stopped + "2|1"},   // the first enabled key wins
           {1, 0, "c a f4 D", reached + "|0"},  // none enabled: all consumed
           // Checks: before the step, after reaching R (no files), after reaching S.
           {1, 1, "_ _ c F F", " = 1 R/S@1| 7: key1;R/S/s.jpg = 1 R/S@1|R/S/s.jpg 0:|0"},
           // A break stops the rest of a count; NEWSESSION keeps the key, INIT drops it.
           {1, 1, "_ _ _ _ c F5 N I", " = 1 R/T@1| 7: key1;0 @-1| 0: key1;0 @-1| 0:|0"}}) {
    platform_.keys.clear();
    It it(platform_);
    it.BREAKHANDLER(handler), it.BREAKKEYS(keys), it.ADDDIR(Path("R"));
    std::string moves = Run(it, script) + "|";
    EXPECT_EQ(moves + std::to_string(platform_.keys.size()), expected) << script;
  }
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
  EXPECT_EQ(Run(it, "D3 D"), " = 1 R/B@1| 7: key1;R/C = 1 R/C@1| 0:");
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
                it.FILEDATE(4, 1) + it.DIRDATE(2, 0) + it.DIRDATE(2, 22) + it.FILEDATE(2, -1) +
                "|" + it.DIRDATE(2, 21, 1),
            "2019202018|2019,19,12,12,Dec,December,31,31,Tue,Tuesday,8,08,20,20,30,30,0,00,P,PM");
  // Local time unless told otherwise: nine hours east (the test command's
  // TZ=JST-9) it is already the next year.
  if (const char* zone = std::getenv("TZ"); zone && std::string(zone) == "JST-9") {
    EXPECT_EQ(it.DIRDATE(2, 1), "2020");
  }
}

}  // namespace
}  // namespace slidemill
