// The whole program against real faults on Linux: strange names, special
// files, unwritable and full places, misbehaving encoders, no terminal,
// signals, links and paths at the system's limit. Each run has a time limit:
// a hang fails the test instead of stopping the suite.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
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

// A photo directory: a JPG file is enough for the stand-in encoder.
void MakePhotoDir(const fs::path& dir) {
  fs::create_directories(dir);
  FILE* jpg = std::fopen((dir / "photo.jpg").c_str(), "wb");
  ASSERT_NE(jpg, nullptr);
  std::fputs("jpeg", jpg);
  std::fclose(jpg);
}

RunOptions WithTimeout(int seconds) {
  RunOptions options;
  options.timeout_seconds = seconds;
  return options;
}

class FaultTest : public testing::Test {
 protected:
  fs::path root() const { return scratch_.path() / "photos"; }
  std::string records() const { return (scratch_.path() / "records").string(); }
  // Slidemill over the tree with the stand-in encoder.
  Result Slidemill(std::vector<std::string> extra, RunOptions options = {}) {
    std::vector<std::string> args = {Binary("slidemill"), "-dir", root().string(), "-r",
                                     "-mencoder-path", Binary("test_encoder")};
    args.insert(args.end(), extra.begin(), extra.end());
    options.env.push_back("SLIDEMILL_TEST_ENCODER_LOG=" + records());
    return RunProgram(args, scratch_.path(), options);
  }
  int EncoderRuns() { return Count(test::ReadFile(records()), "end\n"); }

  test::ScratchDir scratch_;
};

// Spaces, quotes, shell syntax, dashes, newlines and bytes that are not
// UTF-8: each directory's path reaches the encoder as one plain argument.
TEST_F(FaultTest, AwkwardNamesReachTheEncoderIntact) {
  std::vector<std::string> names = {"-r", "--dir x", "a\nb", "\xff\xfe bad utf-8",
                                    "it's \"quoted\"", "$(touch pwned); `id` & | > <", " spaced "};
  for (const std::string& name : names) MakePhotoDir(root() / name);
  Result run = Slidemill({"-video-filename", "{Dir}.avi"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(EncoderRuns(), static_cast<int>(names.size()));
  for (const std::string& name : names) {
    EXPECT_TRUE(fs::exists(root() / (name + ".avi"))) << name;
  }
  EXPECT_FALSE(fs::exists(root() / "pwned"));
}

TEST_F(FaultTest, SpecialFilesAreNeverOpened) {
  MakePhotoDir(root() / "a");
  ASSERT_EQ(mkfifo((root() / "a" / "0.jpg").c_str(), 0644), 0);  // sorts first
  ASSERT_EQ(mkfifo((scratch_.path() / "log.fifo").c_str(), 0644), 0);
  Result run = Slidemill({"-subtitle-text", "x", "-log-path", "./log.fifo"}, WithTimeout(30));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(EncoderRuns(), 1);
  EXPECT_TRUE(fs::exists(root() / "a" / "_title.srt"));
}

TEST_F(FaultTest, TitleFileThatCannotBeWritten) {
  MakePhotoDir(root() / "a");
  // A user who may read the photos but not write beside them. Root may
  // write anywhere, so as root the run drops to "nobody", for whom the
  // directory is read-only; otherwise the directory is made read-only.
  RunOptions options;
  options.user = 65534;
  if (geteuid() != 0) {
    fs::permissions(root() / "a", fs::perms::owner_write, fs::perm_options::remove);
  }
  Result run = Slidemill({"-subtitle-text", "x"}, options);
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_EQ(run.err, "\nError opening title file: Permission denied\n");
  EXPECT_FALSE(fs::exists(root() / "a" / "_title.srt"));
  EXPECT_EQ(EncoderRuns(), 0);
}

TEST_F(FaultTest, TitleFileOnAFullFileSystem) {
  fs::path small = scratch_.MakeDir("small");
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                 << "); needs root with CAP_SYS_ADMIN";
  }
  fs::path photos = small / "photos";
  MakePhotoDir(photos);
  // Fill what is left.
  FILE* filler = std::fopen((small / "filler").c_str(), "wb");
  std::string block(4096, 'f');
  while (filler != nullptr && std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
         std::fflush(filler) == 0) {
  }
  if (filler != nullptr) std::fclose(filler);
  Result run = RunProgram({Binary("slidemill"), "-dir", photos.string(), "-mencoder-path",
                           Binary("test_encoder"), "-subtitle-text", std::string(20000, 't')},
                          scratch_.path());
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(photos)) left.push_back(entry.path().filename());
  umount(small.c_str());
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_EQ(run.err, "\nError opening title file: Disk full\n");
  // Neither a title file nor a half-written temporary one.
  EXPECT_EQ(left, std::vector<std::string>{"photo.jpg"});
}

TEST_F(FaultTest, EncodersThatMisbehave) {
  MakePhotoDir(root() / "a");
  MakePhotoDir(root() / "b");
  std::string log = (scratch_.path() / "run.log").string();
  struct Case {
    const char* what;
    std::vector<std::string> env;
    const char* logged;  // for each directory
  } cases[] = {
      {"exits with 1", {"SLIDEMILL_TEST_ENCODER_EXIT=1"}, "    Mencoder exited with an error code: 1\n"},
      {"crashes", {"SLIDEMILL_TEST_ENCODER_SIGNAL=11"}, "    Mencoder exited with an error code: 139\n"},
      {"prints megabytes", {"SLIDEMILL_TEST_ENCODER_OUTPUT=8000000"}, "    Encoding complete.\n"},
  };
  for (const Case& c : cases) {
    fs::remove(log);
    RunOptions options = WithTimeout(60);
    options.env = c.env;
    Result run = Slidemill({"-log-path", log}, options);
    EXPECT_EQ(run.status, 0) << c.what << "\n" << run.err;
    EXPECT_EQ(Count(test::ReadFile(log), c.logged), 2) << c.what << "\n" << test::ReadFile(log);
    EXPECT_NE(run.out.find("Job complete."), std::string::npos) << c.what;
  }
}

TEST_F(FaultTest, NoTerminalMeansNoWaiting) {
  MakePhotoDir(root() / "a");
  MakePhotoDir(root() / "b");
  // An interrupted encoder asks its question; with no keyboard the answer
  // is the default at once, and the walk goes on.
  RunOptions options = WithTimeout(30);
  options.env = {"SLIDEMILL_TEST_ENCODER_EXIT=2"};
  options.close_stdin = true;
  Result run = Slidemill({}, options);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Count(run.out, "Would you like to exit now? [y/N]: \n"), 2);
  EXPECT_EQ(EncoderRuns(), 2);
}

TEST_F(FaultTest, LogThatBecomesUnwritableIsPassedOver) {
  MakePhotoDir(root() / "a");
  MakePhotoDir(root() / "b");
  fs::path log_dir = scratch_.MakeDir("logs");
  std::string log = (log_dir / "run.log").string();
  // The first encoder run takes the log's directory away.
  Result run = Slidemill({"-log-path", log},
                         RunOptions{{"SLIDEMILL_TEST_ENCODER_REMOVE=" + log_dir.string()}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(EncoderRuns(), 2);
}

TEST_F(FaultTest, LinkLoopsAreWalkedOnce) {
  MakePhotoDir(root() / "a" / "b");
  fs::create_directory_symlink("..", root() / "a" / "b" / "up");
  fs::create_directory_symlink(root(), root() / "a" / "root");
  Result run = Slidemill({}, WithTimeout(60));
  EXPECT_EQ(run.status, 0) << run.err;
  // photos, a, a/b: links back into their own ancestors are not followed.
  EXPECT_EQ(Count(run.out, "Changing to this directory:"), 3) << run.out;
  EXPECT_EQ(EncoderRuns(), 1);
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
  RunProgram({"rm", "-rf", root().string()}, scratch_.path());
}

TEST_F(FaultTest, SignalsLeaveTitleFilesWholeOrAbsent) {
  std::string subtitle(100000, 's');
  std::string expected = "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + subtitle + "\r\n";
  for (int i = 0; i < 40; ++i) MakePhotoDir(root() / ("d" + std::to_string(100 + i)));
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
