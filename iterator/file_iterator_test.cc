#include "iterator/file_iterator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

const std::string kCtrlC = "\x03";
const std::string kF4("\0\x3e", 2);

// The real system, except for a scripted keyboard, listings that can be made
// to fail, and a stamp on what find-first finds (a directory's time cannot be
// set everywhere).
class TestPlatform : public PlatformWrapper {
 public:
  TestPlatform() : PlatformWrapper(SystemPlatform()) {}

  std::deque<std::string> keys;  // the reader's answers; "" once they run out
  std::set<std::string> unlistable;
  std::function<void()> on_failed_listing = [] {};
  std::optional<uint64_t> found_write_time;

  std::string ReadKey() override {
    if (keys.empty()) return "";
    std::string key = keys.front();
    keys.pop_front();
    return key;
  }
  bool FindFirst(const std::string& path, FileEntry* entry) override {
    bool found = target().FindFirst(path, entry);
    if (found_write_time) entry->last_write_time = *found_write_time;
    return found;
  }
  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries) override {
    if (unlistable.count(dir) == 0) return target().ListDirectory(dir, entries);
    on_failed_listing();
    return ListResult::kFailed;
  }
};

// A scratch tree ("name/" is a directory, "name" a file) whose paths the
// tests write and read with "/", relative to the scratch directory.
class Tree {
 public:
  explicit Tree(std::initializer_list<const char*> entries) {
    for (std::string entry : entries) {
      if (entry.back() == '/') {
        scratch_.MakeDir(entry);
      } else {
        scratch_.WriteFile(entry, "x");
      }
    }
  }
  std::string Path(const std::string& relative) const {
    return (scratch_.path() / fs::path(relative).make_preferred()).string();
  }
  std::string Relative(const std::string& path) const {
    return path.empty() ? "" : fs::path(path).lexically_relative(scratch_.path()).generic_string();
  }
  // Every MOVETONEXTDIR answer to the end of the walk, and the DEPTH of each.
  Paths Walk(cFileIterator& it, std::vector<int32_t>* depths = nullptr) const {
    Paths seen;
    for (int guard = 0; guard < 100; ++guard) {
      std::string dir = it.MOVETONEXTDIR();
      if (it.STATE() == it.STATE_COMPLETE()) break;
      EXPECT_EQ(it.DIRPATH(), dir);
      seen.push_back(Relative(dir));
      if (depths) depths->push_back(it.DEPTH());
    }
    return seen;
  }

 private:
  test::ScratchDir scratch_;
};

Paths Sorted(Paths paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST(FileIteratorTest, WalkOrdersAndDepthLimits) {
  Tree tree({"R/A/A1/", "R/A/A2/", "R/B/B1/"});
  struct Case {
    int32_t slope;
    std::optional<int32_t> max_depth;
    Paths order;
    std::vector<int32_t> depths;
  } cases[] = {
      {1, {}, {"R", "R/A", "R/A/A1", "R/A/A2", "R/B", "R/B/B1"}, {0, 1, 2, 2, 1, 2}},
      {0, {}, {"R", "R/A", "R/B", "R/A/A1", "R/A/A2", "R/B/B1"}, {0, 1, 1, 2, 2, 2}},
      {1, 1, {"R", "R/A", "R/B"}, {0, 1, 1}},
      {0, 0, {"R"}, {0}},
  };
  for (const Case& c : cases) {
    cFileIterator it;
    it.SLOPE(c.slope);
    ASSERT_EQ(it.ADDDIR(tree.Path("R"), c.max_depth), 1);
    std::vector<int32_t> depths;
    EXPECT_EQ(tree.Walk(it, &depths), c.order) << c.slope << " " << c.max_depth.value_or(-1);
    EXPECT_EQ(depths, c.depths);
    EXPECT_EQ(it.MOVETONEXTDIR(), "");
    EXPECT_EQ(it.DEPTH(), -1);
    EXPECT_EQ(it.DIRPATH(), "");
    EXPECT_EQ(it.DIRDIRDATA(), nullptr);
  }
}

TEST(FileIteratorTest, IterateCountListsTheDirectoriesItPassesOver) {
  Tree tree({"R/A/A1/", "R/A/A2/", "R/B/B1/", "R/r.jpg"});
  cFileIterator it;
  EXPECT_EQ(it.MOVETONEXTDIR(0), "");
  EXPECT_EQ(it.STATE(), 0);
  it.ADDDIR(tree.Path("R"));
  EXPECT_EQ(tree.Relative(it.MOVETONEXTDIR(3)), "R/A/A1");
  EXPECT_EQ(tree.Relative(it.MOVETONEXTDIR(0)), "R/A/A1");
  EXPECT_EQ(tree.Walk(it), (Paths{"R/A/A2", "R/B", "R/B/B1"}));
  // Even the limit 0 lists the directory's own files.
  it.NEWSESSION();
  it.ADDDIR(tree.Path("R"), 0);
  EXPECT_EQ(tree.Relative(it.MOVETONEXTFILE()), "R/r.jpg");
  EXPECT_EQ(it.MOVETONEXTFILE(), "");
}

TEST(FileIteratorTest, FiltersMatchBareNames) {
  // The files sit in a directory whose own name would pass the file filter.
  Tree tree({"R/Trip 2019/work/", "R/work/trip/", "R/old-trips/", "F.jpg/a.jpg", "F.jpg/B.JPG",
             "F.jpg/jpg-list.txt", "F.jpg/b.txt"});
  struct Case {
    const char* dir_filter;
    const char* file_filter;
    Paths dirs;
    Paths files;
  } cases[] = {
      {"trip", "jpg", {"R", "R/Trip 2019", "R/old-trips"},
       {"F.jpg/B.JPG", "F.jpg/a.jpg", "F.jpg/jpg-list.txt"}},
      {"(a)+", "(", {"R"}, {}},  // not valid patterns: nothing is admitted
      {"", "", {"R", "R/Trip 2019", "R/Trip 2019/work", "R/old-trips", "R/work", "R/work/trip"},
       {"F.jpg/B.JPG", "F.jpg/a.jpg", "F.jpg/b.txt", "F.jpg/jpg-list.txt"}},
  };
  for (const Case& c : cases) {
    cFileIterator it;
    it.FILTER_DIR(c.dir_filter);
    it.FILTER_FILE(c.file_filter);
    it.ADDDIR(tree.Path("R"));
    EXPECT_EQ(Sorted(tree.Walk(it)), c.dirs) << c.dir_filter;
    it.NEWSESSION();
    it.ADDDIR(tree.Path("F.jpg"));
    Paths files;
    while (it.MOVETONEXTFILE() != "") files.push_back(tree.Relative(it.FILEPATH()));
    EXPECT_EQ(Sorted(files), c.files) << c.file_filter;
    EXPECT_EQ(it.ERR_IS(), 0);
  }
}

TEST(FileIteratorTest, FilesOneAtATime) {
  Tree tree({"R/S/a.jpg", "R/S/b.txt", "R/S/c.jpg", "R/T/t.jpg"});
  cFileIterator it;
  it.ADDDIR(tree.Path("R"));
  // The root holds no files: the first one is found a level down.
  EXPECT_EQ(tree.Relative(it.MOVETONEXTFILE()), "R/S/a.jpg");
  EXPECT_EQ(it.DEPTH(), 1);
  EXPECT_EQ(tree.Relative(it.MOVETONEXTFILE(2)), "R/S/c.jpg");
  EXPECT_EQ(tree.Relative(it.MOVETONEXTFILE(0)), "R/S/c.jpg");
  EXPECT_EQ(it.FILESIZE(), 1);
  EXPECT_EQ(tree.Relative(it.FILEDIRDATA()->name), "R/S/c.jpg");
  EXPECT_EQ(tree.Relative(it.DIRDIRDATA()->name), "R/S");
  EXPECT_EQ(it.MOVETONEXTFILE(-1), "");
  EXPECT_EQ(it.ERRINFO(), "IterateCount");
  // A directory move drops the rest of the file list.
  EXPECT_EQ(tree.Relative(it.MOVETONEXTDIR()), "R/T");
  EXPECT_EQ(it.FILEPATH(), "");
  EXPECT_EQ(it.FILESIZE(), 0);
  EXPECT_EQ(it.FILEDIRDATA(), nullptr);
  EXPECT_EQ(tree.Relative(it.MOVETONEXTFILE()), "R/T/t.jpg");
  EXPECT_EQ(it.MOVETONEXTFILE(), "");
  EXPECT_EQ(it.STATE(), 2);
  EXPECT_EQ(it.ERR_IS(), 0);
}

TEST(FileIteratorTest, AddDirPathsAndWhereTheyGo) {
  Tree tree({"R/A/", "R/B/", "X/"});
  std::string r = tree.Path("R");
  char sep = NativePathRules().separator;
  cFileIterator it;
  // Trailing separators go; the paths that do not exist are named.
  EXPECT_EQ(it.ADDDIR(Paths{r + sep + sep, tree.Path("gone") + sep, tree.Path("lost")}), 1);
  EXPECT_EQ(it.ERRCODE(), 4);
  EXPECT_EQ(it.ERRINFO(), tree.Path("gone") + ";" + tree.Path("lost"));
  EXPECT_EQ(it.MOVETONEXTDIR(), r);
  // QUEUENEXT puts a directory right after the current one; without it, last.
  EXPECT_EQ(it.ADDDIR(tree.Path("X") + sep, 0, 1), 1);
  EXPECT_EQ(it.ADDDIR(r + sep + "A", 0), 1);
  EXPECT_EQ(tree.Walk(it), (Paths{"X", "R/A", "R/B", "R/A"}));
}

TEST(FileIteratorTest, PathsTooLongForARecordAreRefusedNotCut) {
  Tree tree({"R/short/", "R/a-longer-name/", "R/f.jpg", "R/a-longer-name.jpg"});
  PathRules narrow = NativePathRules();
  narrow.name_field_size = tree.Path("R/short").size() + 1;
  cFileIterator it(SystemPlatform(), narrow);
  EXPECT_EQ(it.ADDDIR(tree.Path("R/a-longer-name")), 0);
  EXPECT_EQ(it.ERRCODE(), 4);
  it.ADDDIR(tree.Path("R"));
  EXPECT_EQ(tree.Relative(it.MOVETONEXTFILE()), "R/f.jpg");
  EXPECT_EQ(tree.Walk(it), (Paths{"R/short"}));
}

TEST(FileIteratorTest, RelativePathsStayRelative) {
  Tree tree({"R/A/x/"});
  fs::path saved = fs::current_path();
  fs::current_path(tree.Path("R"));
  cFileIterator it;
  it.ADDDIR("A");
  Paths seen = {it.MOVETONEXTDIR(), it.MOVETONEXTDIR()};
  fs::current_path(saved);
  EXPECT_EQ(seen, (Paths{"A", std::string("A") + NativePathRules().separator + "x"}));
}

// Each step runs one member, then the whole error state is looked at.
TEST(FileIteratorTest, ErrorStateFollowsEveryMember) {
  Tree tree({"R/A/"});
  const std::string r = tree.Path("R");
  using It = cFileIterator;
  struct Step {
    std::function<int64_t(It&)> run;  // answers what the member answered
    int64_t answer;
    int32_t code;
    std::string info;
    int32_t state;
  } steps[] = {
      {[](It& it) { return it.SLOPE(2), it.SLOPE(); }, 1, 6, "Slope", 0},
      {[](It& it) { return it.FILTER_DIR("A"), 0; }, 0, 6, "Slope", 0},  // leaves the error
      {[](It& it) { return it.BREAKKEYS(7), it.BREAKKEYS(); }, 7, 6, "Slope", 0},
      {[](It& it) { return it.SLOPE(0), it.SLOPE(); }, 0, 0, "", 0},
      {[](It& it) { return it.ADDDIR(7); }, 0, 1, "DirPath", 0},
      {[](It& it) { return it.ADDDIR({}); }, 0, 0, "", 0},
      {[&](It& it) { return it.ADDDIR(r, -2); }, 0, 2, "MaxDepth", 0},
      {[](It& it) { return it.ADDDIR(Paths{}); }, 0, 0, "", 0},
      {[](It& it) { return it.MOVETONEXTDIR(-1).size(); }, 0, 2, "IterateCount", 0},
      {[&](It& it) { return it.ADDDIR(r); }, 1, 0, "", 0},
      {[](It& it) { return it.MOVETONEXTDIR().empty(); }, 0, 0, "", 1},
      {[](It& it) { return it.FILTER_FILE("x"), it.FILTER_FILE().size(); }, 0, 5, "", 1},
      {[](It& it) { return it.DIRDATE(9, 1).size() + it.BREAKKEY_LAST(); }, 0, 5, "", 1},
      {[](It& it) { return it.MOVETONEXTDIR(9).size(); }, 0, 0, "", 2},
      {[&](It& it) { return it.ADDDIR(r); }, 0, 5, "", 2},
      {[](It& it) { return it.MOVETONEXTDIR().size(); }, 0, 0, "", 2},
      {[](It& it) { return it.NEWSESSION(), it.DEPTH(); }, -1, 0, "", 0},
      {[](It& it) { return it.FILTER_FILE("y"), it.FILTER_FILE().size(); }, 1, 0, "", 0},
  };
  const char* texts[] = {"",
                         "Invalid argument type",
                         "Argument out of range",
                         "Invalid file",
                         "Invalid directory",
                         "Invalid state",
                         "Invalid property setting",
                         "Break key pressed"};
  cFileIterator it;
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    EXPECT_EQ(step.run(it), step.answer) << "step " << i;
    EXPECT_EQ(it.ERRCODE(), step.code) << "step " << i;
    EXPECT_EQ(it.ERRINFO(), step.info) << "step " << i;
    EXPECT_EQ(it.ERRMSG(), texts[step.code]) << "step " << i;
    EXPECT_EQ(it.ERR_IS(), step.code == 0 ? 0 : -1) << "step " << i;
    EXPECT_EQ(it.STATE(), step.state) << "step " << i;
  }
  // NEWSESSION kept the properties; INIT resets them.
  EXPECT_EQ(it.SLOPE(), 0);
  EXPECT_EQ(it.BREAKKEYS(), 7);
  EXPECT_EQ(it.FILTER_DIR() + it.FILTER_FILE(), "Ay");
  it.INIT();
  EXPECT_EQ(it.SLOPE(), 1);
  EXPECT_EQ(it.BREAKKEYS(), 3);
  EXPECT_EQ(it.FILTER_DIR() + it.FILTER_FILE(), "");
}

TEST(FileIteratorTest, BreakKeysBeforeAMove) {
  Tree tree({"R/"});
  struct Case {
    const char* what;
    int32_t handler;
    int32_t keys;
    std::deque<std::string> pressed;
    bool stops;
    int32_t last;
    std::deque<std::string> still_pending;
  } cases[] = {
      {"checks off", 0, 3, {kCtrlC, "a"}, false, 0, {kCtrlC, "a"}},
      {"a, Ctrl-C, b", 1, 1, {"a", kCtrlC, "b"}, true, 1, {"b"}},
      {"F4 not enabled", 1, 1, {kF4}, false, 0, {}},
      {"first enabled key wins", 1, 3, {kF4, kCtrlC}, true, 2, {kCtrlC}},
      {"none enabled: all consumed", 1, 0, {kCtrlC, "a", kF4}, false, 0, {}},
  };
  for (const Case& c : cases) {
    TestPlatform platform;
    platform.keys = c.pressed;
    cFileIterator it(platform);
    it.BREAKHANDLER(c.handler);
    it.BREAKKEYS(c.keys);
    it.ADDDIR(tree.Path("R"));
    EXPECT_EQ(it.MOVETONEXTDIR().empty(), c.stops) << c.what;
    EXPECT_EQ(it.ERRCODE(), c.stops ? 7 : 0) << c.what;
    EXPECT_EQ(it.STATE(), c.stops ? 0 : 1) << c.what;
    EXPECT_EQ(it.BREAKKEY_LAST(), c.last) << c.what;
    EXPECT_EQ(platform.keys, c.still_pending) << c.what;
    if (c.stops) {  // the next move reaches what the stopped one would have
      platform.keys.clear();
      EXPECT_EQ(tree.Relative(it.MOVETONEXTDIR()), "R") << c.what;
      EXPECT_EQ(it.BREAKKEY_LAST(), 0);
    }
  }
}

TEST(FileIteratorTest, UnlistableDirectoriesArePassedOver) {
  Tree tree({"R/A/", "R/B/b.jpg", "R/B/B1/", "R/C/"});
  TestPlatform platform;
  platform.unlistable.insert(tree.Path("R/B"));
  cFileIterator it(platform);
  it.ADDDIR(tree.Path("R"));
  EXPECT_EQ(tree.Walk(it), (Paths{"R", "R/A", "R/C"}));
  EXPECT_EQ(it.ERR_IS(), 0);

  // A break found right after one was passed over leaves it current.
  it.NEWSESSION();
  it.BREAKHANDLER(1);
  platform.on_failed_listing = [&] { platform.keys.push_back(kCtrlC); };
  it.ADDDIR(tree.Path("R"));
  it.MOVETONEXTDIR(2);
  EXPECT_EQ(it.MOVETONEXTDIR(), "");
  EXPECT_EQ(it.ERRCODE(), 7);
  EXPECT_EQ(tree.Relative(it.DIRPATH()), "R/B");
  EXPECT_EQ(it.DEPTH(), 1);
  EXPECT_EQ(tree.Relative(it.MOVETONEXTDIR()), "R/C");
}

TEST(FileIteratorTest, FileMovesCheckKeysAfterEachDirectoryChange) {
  Tree tree({"R/S/s.jpg", "R/T/t.jpg"});
  TestPlatform platform;
  cFileIterator it(platform);
  it.BREAKHANDLER(1);
  it.ADDDIR(tree.Path("R"));
  // Checks: before the step, after reaching R (no files), after reaching S.
  platform.keys = {"", "", kCtrlC};
  EXPECT_EQ(it.MOVETONEXTFILE(), "");
  EXPECT_EQ(it.ERRCODE(), 7);
  EXPECT_EQ(tree.Relative(it.DIRPATH()), "R/S");
  EXPECT_EQ(tree.Relative(it.MOVETONEXTFILE()), "R/S/s.jpg");
  // A break stops the rest of a count.
  platform.keys = {"", kCtrlC};
  EXPECT_EQ(it.MOVETONEXTFILE(5), "");
  EXPECT_EQ(tree.Relative(it.DIRPATH()), "R/T");
  it.NEWSESSION();
  EXPECT_EQ(it.BREAKKEY_LAST(), 1);
  it.INIT();
  EXPECT_EQ(it.BREAKKEY_LAST(), 0);
}

// Shows a directory link "loop" in `link`'s parent that leads to `target`,
// so the test runs on every system.
class LinkPlatform : public PlatformWrapper {
 public:
  LinkPlatform(std::string link, std::string target)
      : PlatformWrapper(SystemPlatform()), link_(std::move(link)), target_(std::move(target)) {}

  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries) override {
    if (Resolve(dir) == fs::path(link_).parent_path().string()) {
      entries->push_back({kAttributeDirectory | kAttributeReparsePoint, 0, 0, 0, 0, "loop", ""});
    }
    return target().ListDirectory(Resolve(dir), entries);
  }
  std::optional<FileIdentity> DirectoryIdentity(const std::string& path) override {
    return target().DirectoryIdentity(Resolve(path));
  }

 private:
  std::string Resolve(std::string path) const {
    for (std::size_t at; (at = path.find(link_)) != std::string::npos;) {
      path.replace(at, link_.size(), target_);
    }
    return path;
  }
  std::string link_, target_;
};

TEST(FileIteratorTest, LinkBackToAnAncestorIsNotFollowed) {
  Tree tree({"R/A/", "R/B/"});
  LinkPlatform platform(tree.Path("R/A/loop"), tree.Path("R"));
  cFileIterator it(platform);
  it.ADDDIR(tree.Path("R"), 6);  // bounds the walk should the loop be followed
  EXPECT_EQ(tree.Walk(it), (Paths{"R", "R/A", "R/B"}));
}

TEST(FileIteratorTest, DatesOfTheCurrentEntries) {
  Tree tree({"R/photo.jpg"});
  using namespace std::chrono;
  sys_seconds dir_time = sys_days{2019y / 12 / 31} + 20h + 30min;
  fs::last_write_time(tree.Path("R/photo.jpg"),
                      file_clock::from_sys(sys_seconds{sys_days{2018y / 6 / 15} + 12h}));
  TestPlatform platform;
  // 100 ns units since 1601, 11644473600 s before the Unix epoch.
  platform.found_write_time = (dir_time.time_since_epoch().count() + 11644473600ULL) * 10000000ULL;
  cFileIterator it(platform);
  EXPECT_EQ(it.DIRDATE(2, 1), "");
  it.ADDDIR(tree.Path("R"));
  it.MOVETONEXTFILE();
  Paths answers = {it.DIRDATE(2, 1, 1), it.DIRDATE(2, 14, 1), it.FILEDATE(2, 1, 1),
                   it.DIRDATE(0, 1),    it.FILEDATE(4, 1),    it.DIRDATE(2, 0),
                   it.DIRDATE(2, 22),   it.FILEDATE(2, -1)};
  EXPECT_EQ(answers, (Paths{"2019", "20", "2018", "", "", "", "", ""}));
  std::string all = it.DIRDATE(2, 21, 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), ','), 19) << all;
  EXPECT_EQ(all.substr(0, 20), "2019,19,12,12,Dec,De");
  const char* zone = std::getenv("TZ");
  if (zone != nullptr && std::string(zone) == "JST-9") {
    EXPECT_EQ(it.DIRDATE(2, 1), "2020");  // nine hours east: the next year
  }
}

}  // namespace
}  // namespace slidemill
