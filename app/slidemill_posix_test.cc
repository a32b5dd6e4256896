// The whole program on Linux: the built binary on real photo trees, the
// real encoder, ffprobe to check its videos, and a real pseudo-terminal for
// key presses and signals.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <utmp.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <cctype>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

std::string Binary(const char* name) { return test::TestExecutableDir() + name; }

struct Result {
  int status = -1;  // exit status, or 128 + the signal
  std::string out;
  std::string err;
};

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void ApplyEnvironment(const std::vector<std::string>& env) {
  for (const std::string& entry : env) {
    auto eq = entry.find('=');
    if (eq == std::string::npos) {
      unsetenv(entry.c_str());
    } else {
      setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
  }
}

[[noreturn]] void Exec(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// Runs a program with no terminal at all (a new session, standard input
// from /dev/null), its output captured. `env` entries "NAME=value" set,
// "NAME" unsets.
Result RunProgram(const std::vector<std::string>& args, const fs::path& cwd,
           const std::vector<std::string>& env = {}) {
  test::ScratchDir capture;
  std::string out_path = (capture.path() / "out").string();
  std::string err_path = (capture.path() / "err").string();
  pid_t child = fork();
  if (child == 0) {
    setsid();
    if (chdir(cwd.c_str()) != 0) _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    ApplyEnvironment(env);
    Exec(args);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return {DecodeStatus(status), test::ReadFile(out_path), test::ReadFile(err_path)};
}

// A program on a pseudo-terminal, driven like a user at the keyboard.
class Terminal {
 public:
  Terminal(const std::vector<std::string>& args, const fs::path& cwd,
           const std::vector<std::string>& env = {}) {
    struct winsize size = {40, 120, 0, 0};
    int slave = -1;
    openpty(&master_, &slave, nullptr, nullptr, &size);
    tcgetattr(slave, &initial_);  // before the program can change anything
    child_ = fork();
    if (child_ == 0) {
      close(master_);
      login_tty(slave);
      if (chdir(cwd.c_str()) != 0) _exit(126);
      ApplyEnvironment(env);
      Exec(args);
    }
    close(slave);
  }
  ~Terminal() {
    if (child_ > 0 && !exited_) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  // Reads until `text` has appeared after what earlier waits consumed;
  // false after the time limit.
  bool WaitFor(const std::string& text, int seconds = 30) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (screen_.find(text, consumed_) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline || !ReadSome(100)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
      }
    }
    consumed_ = screen_.find(text, consumed_) + text.size();
    return true;
  }

  void Type(const std::string& keys) {
    ssize_t ignored = write(master_, keys.data(), keys.size());
    (void)ignored;
  }

  // Waits for the program to end, reading what it still prints.
  int Wait(int seconds = 60) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(child_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      ReadSome(50);
    }
    while (ReadSome(50)) {
    }
    exited_ = true;
    return DecodeStatus(status);
  }

  void Signal(int sig) { kill(child_, sig); }
  const std::string& screen() const { return screen_; }
  // The terminal's settings now, and as they were before the program ran.
  struct termios Settings() const {
    struct termios now;
    tcgetattr(master_, &now);
    return now;
  }
  const struct termios& initial() const { return initial_; }

 private:
  bool ReadSome(int timeout_ms) {
    struct pollfd wait = {master_, POLLIN, 0};
    if (poll(&wait, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    screen_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t child_ = -1;
  int master_ = -1;
  bool exited_ = false;
  std::string screen_;
  std::size_t consumed_ = 0;
  struct termios initial_ = {};
};

bool SameTerminalSettings(const struct termios& a, const struct termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::equal(a.c_cc, a.c_cc + NCCS, b.c_cc);
}

// `count` dark JPGs named photo_001.<ext>..., last written at noon UTC on the
// given day.
void MakeJpgs(const fs::path& dir, int count, const std::string& ext, const std::string& date) {
  fs::create_directories(dir);
  Result made = RunProgram({"ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                     "color=c=0x202020:s=160x120:r=1", "-frames:v", std::to_string(count),
                     (dir / ("photo_%03d." + ext)).string()},
                    dir);
  ASSERT_EQ(made.status, 0) << made.err;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == "." + ext) {
      Result touched = RunProgram({"touch", "-d", date + " 12:00 UTC", entry.path().string()}, dir);
      ASSERT_EQ(touched.status, 0);
    }
  }
}

// One value of the video's stream as ffprobe reports it.
std::string Probe(const fs::path& video, const std::string& entry) {
  Result probed = RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                       "-show_entries", "stream=" + entry, "-of", "default=nw=1:nk=1",
                       video.string()},
                      video.parent_path());
  std::string value = probed.out;
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

// The log with each line's "MM-DD-YYYY HH:MM:SS" stamp shown as "<stamp>".
std::string MaskStamps(const std::string& log) {
  std::string masked;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    end = end == std::string::npos ? log.size() : end + 1;
    std::string line = log.substr(start, end - start);
    const std::string shape = "00-00-0000 00:00:00 ";
    bool stamped = line.size() > shape.size();
    for (std::size_t i = 0; stamped && i < shape.size(); ++i) {
      stamped = shape[i] == '0' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0
                                : line[i] == shape[i];
    }
    masked += stamped ? "<stamp> " + line.substr(shape.size()) : line;
    start = end;
  }
  return masked;
}

int Count(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

class RunTest : public testing::Test {
 protected:
  fs::path root() const { return scratch_.path() / "photos"; }
  test::ScratchDir scratch_;
};

TEST_F(RunTest, EncodesEveryPhotoDirectoryWithTitles) {
  MakeJpgs(root() / "2019 Trip", 3, "jpg", "2019-06-05");
  MakeJpgs(root() / "2019 Trip", 1, "JPG", "2019-06-07");  // photo_001.JPG
  MakeJpgs(root() / "2019 Trip" / "Day 2", 2, "JPG", "2019-06-06");
  fs::create_directories(root() / "Notes");
  Result run = RunProgram({Binary("slidemill"), "-dir", "photos", "-r", "-video-frames-per-second", "5",
                    "-subtitle-text", "Trip {MonthModified}/{DayModified}/{YearModified}",
                    "-log-path", "./run.log"},
                   scratch_.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\nJob complete.\n"), std::string::npos);

  struct Expected {
    fs::path dir;
    const char* frames;
    const char* title;
  } videos[] = {
      {root() / "2019 Trip", "4", "Trip 6/7/2019"},  // photo_001.JPG sorts first
      {root() / "2019 Trip" / "Day 2", "2", "Trip 6/6/2019"},
  };
  for (const Expected& v : videos) {
    fs::path video = v.dir / "_movie.avi";
    ASSERT_TRUE(fs::exists(video)) << video;
    EXPECT_EQ(Probe(video, "nb_read_frames"), v.frames) << video;
    EXPECT_EQ(Probe(video, "codec_name"), "mjpeg") << video;
    EXPECT_EQ(Probe(video, "r_frame_rate"), "5/1") << video;
    EXPECT_EQ(test::ReadFile(v.dir / "_title.srt"),
              std::string("1\r\n00:00:00,000 --> 99:00:00,000\r\n") + v.title + "\r\n");
  }
  EXPECT_FALSE(fs::exists(root() / "Notes" / "_movie.avi"));
  EXPECT_FALSE(fs::exists(root() / "Notes" / "_title.srt"));

  // The log sits where it was asked for, not in a photo directory; one
  // stamped line per directory, indented lines for the rest.
  std::string log = test::ReadFile(scratch_.path() / "run.log");
  EXPECT_EQ(MaskStamps(log),
            "<stamp> photos\n    No JPG files found in this directory.\n"
            "<stamp> photos/2019 Trip\n    Encoding complete.\n"
            "<stamp> photos/2019 Trip/Day 2\n    Encoding complete.\n"
            "<stamp> photos/Notes\n    No JPG files found in this directory.\n");
}

TEST_F(RunTest, TitleIsBurnedIntoTheFrames) {
  MakeJpgs(root(), 4, "jpg", "2020-01-02");
  Result run = RunProgram({Binary("slidemill"), "-dir", root().string(), "-subtitle-text", "TITLE",
                    "-subtitle-font-size", "12"},
                   scratch_.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  fs::path frame = scratch_.path() / "frame.gray";
  // The encoder draws titles from the third frame on; the fourth is the last.
  Result extracted =
      RunProgram({"ffmpeg", "-loglevel", "error", "-i", (root() / "_movie.avi").string(), "-vf",
                  "select=eq(n\\,3)", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray",
                  frame.string()},
                 scratch_.path());
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  std::string pixels = test::ReadFile(frame);
  ASSERT_EQ(pixels.size(), 160u * 120u);
  // Bright text at the bottom of a dark frame, nothing bright at the top.
  int bottom = 0, top = 0;
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) {
      bool bright = static_cast<unsigned char>(pixels[y * 160 + x]) > 180;
      if (bright && y >= 80) ++bottom;
      if (bright && y < 40) ++top;
    }
  }
  EXPECT_GT(bottom, 30);
  EXPECT_EQ(top, 0);
}

TEST_F(RunTest, DirectoryNamesReachTheEncoderAsPlainText) {
  std::string name = "a \"b\" c $(touch pwned); & d";
  MakeJpgs(root() / name, 2, "jpg", "2021-03-04");
  Result run = RunProgram({Binary("slidemill"), "-dir", root().string(), "-r", "-video-filename",
                    "{Dir}.avi"},
                   scratch_.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  fs::path video = root() / (name + ".avi");
  ASSERT_TRUE(fs::exists(video)) << run.out;
  EXPECT_EQ(Probe(video, "nb_read_frames"), "2");
  EXPECT_FALSE(fs::exists(root() / name / "pwned"));
  EXPECT_FALSE(fs::exists(scratch_.path() / "pwned"));
}

TEST_F(RunTest, FailuresThatEndTheRunAndFailuresThatDoNot) {
  MakeJpgs(root() / "a", 1, "jpg", "2021-03-04");
  MakeJpgs(root() / "b", 1, "jpg", "2021-03-04");
  std::string encoder = Binary("test_encoder");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> env;
    int status;
    const char* report;  // on the standard error stream
  } cases[] = {
      {"encoder error goes on", {"-mencoder-path", encoder},
       {"SLIDEMILL_TEST_ENCODER_EXIT=1"}, 0, ""},
      {"encoder cannot start", {}, {"PATH=/nonexistent"}, 5,
       "\nError starting encoder: No such file or directory\n"},
      {"title file cannot be written", {"-mencoder-path", encoder, "-subtitle-text", "x",
                                        "-srt-filename", "taken"}, {}, 3,
       "\nError opening title file: Path/file access error\n"},
  };
  fs::create_directories(root() / "a" / "taken");
  for (const Case& c : cases) {
    std::vector<std::string> args = {Binary("slidemill"), "-dir", root().string(), "-r"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result run = RunProgram(args, scratch_.path(), c.env);
    EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.out << run.err;
    EXPECT_EQ(run.err, c.report) << c.what;
  }
}

TEST_F(RunTest, ADirectoryThatVanishesIsSkippedCleanly) {
  MakeJpgs(root() / "a", 1, "jpg", "2021-03-04");
  MakeJpgs(root() / "b", 1, "jpg", "2021-03-04");
  std::string records = (scratch_.path() / "records").string();
  // The encoder in "a" removes "b" before the walk reaches it.
  Result run = RunProgram({Binary("slidemill"), "-dir", root().string(), "-r", "-mencoder-path",
                    Binary("test_encoder")},
                   scratch_.path(),
                   {"SLIDEMILL_TEST_ENCODER_REMOVE=" + (root() / "b").string(),
                    "SLIDEMILL_TEST_ENCODER_LOG=" + records});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Count(test::ReadFile(records), "dir="), 1);
  EXPECT_NE(run.out.find("Job complete."), std::string::npos);
}

TEST_F(RunTest, CtrlCBetweenDirectoriesAsksAndGoesOnOrStops) {
  for (const char* name : {"a", "b", "c"}) MakeJpgs(root() / name, 1, "jpg", "2021-03-04");
  std::string records = (scratch_.path() / "records").string();
  std::vector<std::string> args = {Binary("slidemill"), "-dir", root().string(), "-r",
                                   "-mencoder-path", Binary("test_encoder"), "-sleep-time",
                                   "1500"};
  std::vector<std::string> env = {"SLIDEMILL_TEST_ENCODER_LOG=" + records};
  {
    Terminal terminal(args, scratch_.path(), env);
    ASSERT_TRUE(terminal.WaitFor("Movie encoding completed successfully."));
    terminal.Type("\x03");  // waits in the input until the walk looks
    ASSERT_TRUE(terminal.WaitFor("Ctrl-C has been pressed.\r\nWould you like to exit now? [y/N]: "))
        << terminal.screen();
    terminal.Type("n");
    EXPECT_EQ(terminal.Wait(), 0) << terminal.screen();
    // Every directory once, in order: none skipped, none repeated.
    std::string screen = terminal.screen();
    EXPECT_EQ(Count(screen, "Changing to this directory:"), 4);
    std::string order;
    for (const char* name : {"/a\r", "/b\r", "/c\r"}) {
      order += screen.find(root().string() + name) != std::string::npos ? "x" : "-";
    }
    EXPECT_EQ(order, "xxx");
    EXPECT_EQ(Count(test::ReadFile(records), "dir="), 3);
    EXPECT_TRUE(SameTerminalSettings(terminal.Settings(), terminal.initial()));
  }
  {
    fs::remove(records);
    Terminal terminal(args, scratch_.path(), env);
    ASSERT_TRUE(terminal.WaitFor("Movie encoding completed successfully."));
    terminal.Type("\x03");
    ASSERT_TRUE(terminal.WaitFor("Would you like to exit now? [y/N]: ")) << terminal.screen();
    terminal.Type("y");
    EXPECT_EQ(terminal.Wait(), 1);
    EXPECT_NE(terminal.screen().find("Aborted by user"), std::string::npos);
    EXPECT_EQ(Count(test::ReadFile(records), "dir="), 1);
    EXPECT_TRUE(SameTerminalSettings(terminal.Settings(), terminal.initial()));
  }
}

TEST_F(RunTest, CtrlCWhileTheEncoderRunsInterruptsIt) {
  for (const char* name : {"a", "b"}) MakeJpgs(root() / name, 1, "jpg", "2021-03-04");
  std::string log = (scratch_.path() / "run.log").string();
  Terminal terminal({Binary("slidemill"), "-dir", root().string(), "-r", "-mencoder-path",
                     Binary("test_encoder"), "-log-path", log},
                    scratch_.path(), {"SLIDEMILL_TEST_ENCODER_SLEEP=20000"});
  ASSERT_TRUE(terminal.WaitFor("Launching mencoder with this command:"));
  usleep(300000);  // the encoder is running
  auto started = std::chrono::steady_clock::now();
  terminal.Type("\x03");
  ASSERT_TRUE(terminal.WaitFor("Ctrl-C has been pressed.\r\nWould you like to exit now? [y/N]: "))
      << terminal.screen();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  terminal.Type("y");
  EXPECT_EQ(terminal.Wait(), 1);
  EXPECT_NE(test::ReadFile(log).find("\n    Aborted by user.\n"), std::string::npos);
  EXPECT_TRUE(SameTerminalSettings(terminal.Settings(), terminal.initial()));
}

TEST_F(RunTest, TerminalIsRestoredWhenTerminated) {
  MakeJpgs(root() / "a", 1, "jpg", "2021-03-04");
  for (bool during_encoder : {false, true}) {
    std::vector<std::string> args = {Binary("slidemill"), "-dir", root().string(), "-r",
                                     "-mencoder-path", Binary("test_encoder")};
    std::vector<std::string> env;
    if (during_encoder) {
      env.push_back("SLIDEMILL_TEST_ENCODER_SLEEP=20000");
    } else {
      args.insert(args.end(), {"-sleep-time", "20000"});
    }
    Terminal terminal(args, scratch_.path(), env);
    ASSERT_TRUE(terminal.WaitFor(during_encoder ? "Launching mencoder" : "completed successfully"));
    usleep(300000);
    terminal.Signal(SIGTERM);
    EXPECT_EQ(terminal.Wait(), 128 + SIGTERM);
    EXPECT_TRUE(SameTerminalSettings(terminal.Settings(), terminal.initial())) << during_encoder;
  }
}

}  // namespace
}  // namespace slidemill
