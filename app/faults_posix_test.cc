// The whole program against real faults on Linux: strange names, special
// files, unwritable and full places, misbehaving encoders, no terminal,
// signals, links and paths at the system's limit. Each run has a time limit:
// a hang fails the test instead of stopping the suite.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/program_posix.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using test::Binary;
using test::Count;
using test::Result;
using test::RunOptions;
using test::RunProgram;

// A JPG for the stand-in encoder, last written at noon UTC on `date`.
void MakeJpg(const fs::path& file, const std::string& date = "2019-06-05") {
  fs::create_directories(file.parent_path());
  std::FILE* jpg = std::fopen(file.c_str(), "wb");
  ASSERT_NE(jpg, nullptr);
  std::fputs("jpeg", jpg);
  std::fclose(jpg);
  int year, month, day;
  ASSERT_EQ(std::sscanf(date.c_str(), "%d-%d-%d", &year, &month, &day), 3);
  struct tm noon = {};
  noon.tm_year = year - 1900;
  noon.tm_mon = month - 1;
  noon.tm_mday = day;
  noon.tm_hour = 12;
  struct timespec times[2] = {{timegm(&noon), 0}, {timegm(&noon), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

RunOptions WithTimeout(int seconds) {
  RunOptions options;
  options.timeout_seconds = seconds;
  return options;
}

class FaultTest : public testing::Test {
 protected:
  fs::path root() const { return scratch_->path() / "photos"; }
  std::string records() const { return (scratch_->path() / "records").string(); }
  // Slidemill over the tree (unless `extra` names its own -dir) with the
  // stand-in encoder.
  Result Slidemill(std::vector<std::string> extra, RunOptions options = {}) {
    std::vector<std::string> args = {Binary("slidemill"), "-r", "-mencoder-path",
                                     Binary("test_encoder")};
    if (std::find(extra.begin(), extra.end(), "-dir") == extra.end()) {
      args.insert(args.end(), {"-dir", root().string()});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    options.env.push_back("SLIDEMILL_TEST_ENCODER_LOG=" + records());
    return RunProgram(args, scratch_->path(), options);
  }
  int EncoderRuns() { return Count(test::ReadFile(records()), "end\n"); }

  std::unique_ptr<test::ScratchDir> scratch_ = std::make_unique<test::ScratchDir>();
};

std::string Title(const std::string& text) {
  return "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + text + "\r\n";
}

// Whole runs over small trees, one row each: the tree, the arguments after
// "-dir ROOT -r -mencoder-path <stand-in>", the stand-in's environment, and
// what must come out. In arguments "{S}" is the scratch directory.
TEST_F(FaultTest, WholeRuns) {
  // Names with every byte a file system takes, wildcard bytes among them.
  const std::vector<std::string> awkward = {
      "-r", "--dir x", "a\nb", "\xff\xfe bad utf-8", "it's \"quoted\"",
      "$(touch pwned); `id` & | > <", " spaced ", "Best?[1]", "st*r", "{Dir}", "*", "[x]"};
  const std::string long_name(254, 'n');
  struct Row {
    const char* what;
    std::function<void(const fs::path& root)> make;
    std::vector<std::string> args;
    std::vector<std::string> env;
    int status;
    std::string err;
    int runs;
    std::function<void(const fs::path& root, const Result& run)> check;
    bool as_nobody = false;  // when running as root
  } rows[] = {
      {"awkward names each get their title and video",
       [&](const fs::path& root) {
         for (const std::string& name : awkward) MakeJpg(root / name / "p.jpg", "2019-06-05");
         MakeJpg(root / "st*r" / "a?b[1].jpg", "2018-02-03");  // sorts first there
       },
       {"-subtitle-text", "{DayModified}.{MonthModified}.{YearModified}", "-video-filename",
        "{Dir}.avi"},
       {}, 0, "", static_cast<int>(awkward.size()),
       [&](const fs::path& root, const Result&) {
         for (const std::string& name : awkward) {
           EXPECT_TRUE(fs::exists(root / (name + ".avi"))) << name;
           EXPECT_EQ(test::ReadFile(root / name / "_title.srt"),
                     Title(name == "st*r" ? "3.2.2018" : "5.6.2019"))
               << name;
         }
         EXPECT_FALSE(fs::exists(root / "pwned"));
       }},
      {"a root whose own name holds wildcards",
       [](const fs::path& root) { MakeJpg(root / "ph*to?[1]" / "p.jpg", "2019-06-05"); },
       {"-dir", "{S}/photos/ph*to?[1]", "-subtitle-text", "{YearModified}"}, {}, 0, "", 1,
       [](const fs::path& root, const Result&) {
         EXPECT_EQ(test::ReadFile(root / "ph*to?[1]" / "_title.srt"), Title("2019"));
       }},
      {"an encoder that fails", [](const fs::path& root) {
         MakeJpg(root / "a" / "p.jpg");
         MakeJpg(root / "b" / "p.jpg");
       },
       {"-log-path", "{S}/run.log"}, {"SLIDEMILL_TEST_ENCODER_EXIT=1"}, 6,
       "2 of 2 videos failed.\n", 2,
       [this](const fs::path&, const Result& run) {
         EXPECT_NE(run.out.find("\nJob complete.\n"), std::string::npos);
         std::string log = test::ReadFile(scratch_->path() / "run.log");
         EXPECT_EQ(Count(log, "    Mencoder exited with an error code: 1\n"), 2) << log;
         EXPECT_EQ(Count(log, "    2 of 2 videos failed.\n"), 1) << log;
       }},
      {"an encoder that crashes", [](const fs::path& root) { MakeJpg(root / "a" / "p.jpg"); },
       {"-log-path", "{S}/run.log"}, {"SLIDEMILL_TEST_ENCODER_SIGNAL=11"}, 6,
       "1 of 1 videos failed.\n", 1,
       [this](const fs::path&, const Result&) {
         EXPECT_EQ(Count(test::ReadFile(scratch_->path() / "run.log"),
                         "    Mencoder exited with an error code: 139\n"), 1);
       }},
      {"success without a video", [](const fs::path& root) {
         MakeJpg(root / "a" / "p.jpg");
         MakeJpg(root / "b" / "p.jpg");
       },
       {}, {"SLIDEMILL_TEST_ENCODER_VIDEO=none"}, 6, "2 of 2 videos failed.\n", 2,
       [](const fs::path&, const Result& run) {
         EXPECT_EQ(Count(run.out, "The encoder reported success but made no video.\n"), 2);
       }},
      {"success with an empty video", [](const fs::path& root) { MakeJpg(root / "a" / "p.jpg"); },
       {}, {"SLIDEMILL_TEST_ENCODER_VIDEO=empty"}, 6, "1 of 1 videos failed.\n", 1, nullptr},
      {"an encoder that prints megabytes", [](const fs::path& root) { MakeJpg(root / "a" / "p.jpg"); },
       {}, {"SLIDEMILL_TEST_ENCODER_OUTPUT=8000000"}, 0, "", 1, nullptr},
      // With no keyboard the question takes its default at once.
      {"interrupted encoders with no terminal", [](const fs::path& root) {
         MakeJpg(root / "a" / "p.jpg");
         MakeJpg(root / "b" / "p.jpg");
       },
       {}, {"SLIDEMILL_TEST_ENCODER_EXIT=2"}, 6, "2 of 2 videos failed.\n", 2,
       [](const fs::path&, const Result& run) {
         EXPECT_EQ(Count(run.out, "Would you like to exit now? [y/N]: \n"), 2);
       }},
      {"an invalid directory filter", [](const fs::path& root) { MakeJpg(root / "a" / "p.jpg"); },
       {"-dir-filter", "(ab)*"}, {}, 2,
       "\nInvalid argument: The pattern specified by '-dir-filter' is not valid.\n", 0, nullptr},
      // Root may write anything, so these run as "nobody" when run as root.
      {"a directory that takes no new title file", [](const fs::path& root) {
         MakeJpg(root / "a" / "p.jpg");
         fs::permissions(root / "a", fs::perms::owner_write, fs::perm_options::remove);
       },
       {"-subtitle-text", "x"}, {}, 3, "\nError opening title file: Permission denied\n", 0,
       [](const fs::path& root, const Result&) { EXPECT_FALSE(fs::exists(root / "a" / "_title.srt")); },
       true},
      {"a read-only title file is left alone", [](const fs::path& root) {
         MakeJpg(root / "a" / "p.jpg");
         std::ofstream(root / "a" / "_title.srt") << "mine";
         fs::permissions(root / "a" / "_title.srt", fs::perms::owner_read);
         fs::permissions(root / "a", fs::perms::all);  // new files are welcome
       },
       {"-subtitle-text", "x"}, {}, 3, "\nError opening title file: Permission denied\n", 0,
       [](const fs::path& root, const Result&) {
         EXPECT_EQ(test::ReadFile(root / "a" / "_title.srt"), "mine");
       },
       true},
      {"a writable title file in a read-only directory", [this](const fs::path& root) {
         MakeJpg(root / "a" / "p.jpg");
         std::ofstream(root / "a" / "_title.srt") << "old";
         fs::permissions(root / "a" / "_title.srt", fs::perms::all);
         fs::permissions(root / "a", fs::perms::owner_write, fs::perm_options::remove);
         fs::create_directories(scratch_->path() / "out");
         fs::permissions(scratch_->path() / "out", fs::perms::all);
       },
       {"-subtitle-text", "x", "-video-filename", "{S}/out/v.avi"}, {}, 0, "", 1,
       [](const fs::path& root, const Result&) {
         EXPECT_EQ(test::ReadFile(root / "a" / "_title.srt"), Title("x"));
       },
       true},
      {"the longest title file name", [](const fs::path& root) { MakeJpg(root / "a" / "p.jpg"); },
       {"-subtitle-text", "x", "-srt-filename", long_name}, {}, 0, "", 1,
       [&](const fs::path& root, const Result&) {
         EXPECT_EQ(test::ReadFile(root / "a" / long_name), Title("x"));
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    scratch_ = std::make_unique<test::ScratchDir>();
    fs::create_directories(root());
    row.make(root());
    std::vector<std::string> args;
    for (std::string arg : row.args) {
      for (std::size_t at; (at = arg.find("{S}")) != std::string::npos;) {
        arg.replace(at, 3, scratch_->str());
      }
      args.push_back(arg);
    }
    RunOptions options = WithTimeout(60);
    options.env = row.env;
    if (row.as_nobody) {
      options.user = 65534;
      std::ofstream(records()).flush();  // where the stand-in records its runs
      fs::permissions(records(), fs::perms::all);
    }
    Result run = Slidemill(args, options);
    EXPECT_EQ(run.status, row.status) << run.out << run.err;
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(EncoderRuns(), row.runs);
    if (row.check) row.check(root(), run);
  }
}

// Month and day names of two bytes a letter make long date lists; every
// field stays right on every day of a leap year.
TEST_F(FaultTest, TitleDatesInEveryLocale) {
  fs::path locales = scratch_->MakeDir("locales");
  for (int day = 0; day < 366; ++day) {
    time_t noon = 1704110400 + day * 86400;  // 2024-01-01 12:00 UTC onwards
    struct tm date;
    gmtime_r(&noon, &date);
    char name[16];
    std::strftime(name, sizeof name, "%Y-%m-%d", &date);
    MakeJpg(root() / name / "p.jpg", name);
  }
  for (const char* locale : {"el_GR", "ru_RU"}) {
    SCOPED_TRACE(locale);
    std::string built = locale + std::string(".UTF-8");
    Result made = RunProgram({"localedef", "-i", locale, "-f", "UTF-8", (locales / built).string()},
                             scratch_->path());
    ASSERT_EQ(made.status, 0) << made.err;
    RunOptions options = WithTimeout(120);
    options.env = {"LOCPATH=" + locales.string(), "LC_ALL=" + built};
    Result run = Slidemill({"-subtitle-text", "{YearModified}-{MonthModified}-{DayModified}"},
                           options);
    ASSERT_EQ(run.status, 0) << run.err;
    int wrong = 0;
    for (const auto& dir : fs::directory_iterator(root())) {
      int year, month, day;
      std::sscanf(dir.path().filename().c_str(), "%d-%d-%d", &year, &month, &day);
      std::string want = Title(std::to_string(year) + "-" + std::to_string(month) + "-" +
                               std::to_string(day));
      if (test::ReadFile(dir.path() / "_title.srt") != want && ++wrong <= 3) {
        ADD_FAILURE() << dir.path().filename() << ": "
                      << test::ReadFile(dir.path() / "_title.srt");
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(FaultTest, TitleFileOnAFullFileSystem) {
  fs::path small = scratch_->MakeDir("small");
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                 << "); needs root with CAP_SYS_ADMIN";
  }
  fs::path photos = small / "photos";
  MakeJpg(photos / "photo.jpg");
  // Fill what is left.
  FILE* filler = std::fopen((small / "filler").c_str(), "wb");
  std::string block(4096, 'f');
  while (filler != nullptr && std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
         std::fflush(filler) == 0) {
  }
  if (filler != nullptr) std::fclose(filler);
  Result run = RunProgram({Binary("slidemill"), "-dir", photos.string(), "-mencoder-path",
                           Binary("test_encoder"), "-subtitle-text", std::string(20000, 't')},
                          scratch_->path());
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(photos)) left.push_back(entry.path().filename());
  umount(small.c_str());
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_EQ(run.err, "\nError opening title file: Disk full\n");
  // Neither a title file nor a half-written temporary one.
  EXPECT_EQ(left, std::vector<std::string>{"photo.jpg"});
}

TEST_F(FaultTest, LogThatBecomesUnwritableIsPassedOver) {
  MakeJpg(root() / "a" / "photo.jpg");
  MakeJpg(root() / "b" / "photo.jpg");
  fs::path log_dir = scratch_->MakeDir("logs");
  std::string log = (log_dir / "run.log").string();
  // The first encoder run takes the log's directory away.
  Result run = Slidemill({"-log-path", log},
                         RunOptions{{"SLIDEMILL_TEST_ENCODER_REMOVE=" + log_dir.string()}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(EncoderRuns(), 2);
}

TEST_F(FaultTest, PathsAtAndPastTheLimit) {
  // Directories nested until their paths pass PATH_MAX, made one level at a
  // time because no single call may name them.
  fs::create_directories(root());
  int fd = open(root().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  std::string name(200, 'd');
  std::size_t length = root().string().size();
  int levels = 0;
  while (length <= PATH_MAX + 400) {
    ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
    int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    int jpg = openat(next, "photo.jpg", O_WRONLY | O_CREAT, 0644);
    close(jpg);
    close(fd);
    fd = next;
    length += 1 + name.size();
    ++levels;
  }
  close(fd);
  Result run = Slidemill({}, WithTimeout(60));
  int reachable = static_cast<int>((PATH_MAX - 1 - root().string().size()) / (1 + name.size()));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(EncoderRuns(), reachable);
  EXPECT_LT(reachable, levels);
  // Clean up what ordinary calls cannot name.
  RunProgram({"rm", "-rf", root().string()}, scratch_->path());
}

TEST_F(FaultTest, SignalsLeaveTitleFilesWholeOrAbsent) {
  std::string subtitle(100000, 's');
  std::string expected = "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + subtitle + "\r\n";
  for (int i = 0; i < 40; ++i) MakeJpg(root() / ("d" + std::to_string(100 + i)) / "photo.jpg");
  for (int delay_ms : {30, 60, 90, 150, 250}) {
    RunOptions options;
    options.signal = SIGTERM;
    options.signal_after_ms = delay_ms;
    Result run = Slidemill({"-subtitle-text", subtitle}, options);
    EXPECT_TRUE(run.status == 128 + SIGTERM || run.status == 0) << run.status;
    for (const auto& dir : fs::directory_iterator(root())) {
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        std::string file = entry.path().filename();
        EXPECT_TRUE(file == "photo.jpg" || file == "_title.srt" || file == "_movie.avi")
            << "left behind: " << entry.path();
        if (file == "_title.srt") {
          EXPECT_EQ(test::ReadFile(entry.path()), expected);
        }
      }
    }
  }
}

}  // namespace
}  // namespace slidemill
