// The whole program on Linux. Each case makes a photo tree in its own scratch
// directory and runs the built program on it: with the stand-in encoder,
// which records where and with what it ran, with the real mencoder or ffmpeg,
// whose videos ffprobe checks, or on a pseudo-terminal for keys and signals.
// Every program run has a time limit: a hang fails its case, not the suite.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using Strings = std::vector<std::string>;
constexpr auto npos = std::string::npos;

void Pause(int milliseconds) { usleep(static_cast<useconds_t>(milliseconds) * 1000); }

// In a forked child: a time limit that outlives the exec, and the program.
[[noreturn]] void Exec(const Strings& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  alarm(120);
  execvp(argv[0], argv.data());
  _exit(127);
}

// The exit status, or 128 + the signal that ended it (SIGALRM: the time limit).
int StatusOf(int wait_status) {
  return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

struct Result {
  int status;
  std::string out, err;
};

// Without a terminal: a new session, so /dev/tty cannot be opened. A
// `signal` reaches it half a second in.
Result RunProgram(const Strings& args, int signal = 0) {
  FILE *out = tmpfile(), *err = tmpfile();
  pid_t child = fork();
  if (child == 0) {
    setsid();
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    Exec(args);
  }
  int status = 0;
  if (signal != 0) Pause(500), kill(child, signal);
  waitpid(child, &status, 0);
  auto text = [](FILE* file) {
    std::string bytes = test::ReadFile("/proc/self/fd/" + std::to_string(fileno(file)));
    fclose(file);
    return bytes;
  };
  return {StatusOf(status), text(out), text(err)};
}

// A program on a pseudo-terminal, driven as a user would.
class Terminal {
 public:
  explicit Terminal(const Strings& args) {
    int slave = -1;
    openpty(&master_, &slave, nullptr, nullptr, nullptr);
    tcgetattr(slave, &initial_);  // before the program can change anything
    if ((child_ = fork()) == 0) {
      close(master_);
      login_tty(slave);
      Exec(args);
    }
    close(slave);
  }
  ~Terminal() {
    if (child_ > 0) kill(child_, SIGKILL), Wait();
    close(master_);
  }

  // Waits for `text` after what earlier waits found, up to 10 s without output.
  testing::AssertionResult WaitFor(const std::string& text) {
    for (int quiet = 0; shown_.find(text, seen_) == npos && quiet < 100;) quiet += !ReadSome(100);
    if (std::size_t at = shown_.find(text, seen_); at != npos) {
      seen_ = at + text.size();
      return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "never saw " << testing::PrintToString(text) << " in "
                                       << testing::PrintToString(shown_.substr(seen_));
  }
  void Type(std::string_view keys) {
    EXPECT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size()));
  }
  void Signal(int signal) { kill(child_, signal); }
  int Wait() {
    int status = 0;
    while (waitpid(child_, &status, WNOHANG) == 0) ReadSome(50);
    while (ReadSome(50)) {
    }
    child_ = 0;
    return StatusOf(status);
  }
  // The terminal's settings are what they were before the program started.
  testing::AssertionResult Restored() const {
    termios now = {};
    if (tcgetattr(master_, &now) == 0 && std::memcmp(&now, &initial_, sizeof now) == 0)
      return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the terminal's settings were not given back";
  }

 private:
  bool ReadSome(int timeout_ms) {
    pollfd wait = {master_, POLLIN, 0};
    char buffer[4096];
    ssize_t n = poll(&wait, 1, timeout_ms) > 0 ? read(master_, buffer, sizeof buffer) : 0;
    if (n > 0) shown_.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  }

  int master_ = -1;
  pid_t child_ = 0;
  termios initial_ = {};
  std::string shown_;
  std::size_t seen_ = 0;
};

testing::AssertionResult Contains(const std::string& text, const std::string& part) {
  if (text.find(part) != npos) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << testing::PrintToString(part) << " is not in " << testing::PrintToString(text);
}

// How many times `part` is in `text`.
long Count(const std::string& text, const std::string& part) {
  long count = 0;
  for (std::size_t at = text.find(part); at != npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A title file of one cue.
std::string Srt(const std::string& text) {
  return "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + text + "\r\n";
}

// A photo that ffmpeg makes from a lavfi source and filter.
std::string Jpeg(const std::string& source, const std::string& filter = "null") {
  return RunProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", source, "-vf", filter,
                     "-frames:v", "1", "-f", "mjpeg", "-"})
      .out;
}

// The frames are the container's count: mencoder stores a frame that
// repeats the one before as an empty one.
struct Video {
  std::string rate;
  double seconds = 0;
  int frames = 0;
};

Video ProbeVideo(const fs::path& path) {
  std::string fields =
      RunProgram({"ffprobe", "-v", "error", "-of", "csv=p=0", "-show_entries",
                  "stream=r_frame_rate,duration,nb_frames", "-select_streams", "v:0", path})
          .out;
  std::ranges::replace(fields, ',', ' ');
  Video video;
  std::istringstream(fields) >> video.rate >> video.seconds >> video.frames;
  return video;
}

// The picture a video shows at a time, one grey byte a pixel.
using Pixels = std::vector<unsigned char>;
Pixels FrameAt(const fs::path& video, double seconds) {
  std::string gray = RunProgram({"ffmpeg", "-v", "error", "-i", video, "-vf",
                                 "fps=25,select=gte(t\\," + std::to_string(seconds) + ")",
                                 "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray", "-"})
                         .out;
  return {gray.begin(), gray.end()};
}

// A photo with EXIF data first, as a camera writes it: `ifds` follow a
// big-endian TIFF header.
std::string WithExif(std::string jpeg, const std::string& ifds) {
  const std::size_t size = ifds.size() + 16;
  jpeg.insert(2, "\xff\xe1" + std::string{char(size >> 8), char(size)} +
                     std::string("Exif\0\0MM\0\x2a\0\0\0\x08", 14) + ifds);
  return jpeg;
}

enum How { kStandIn, kRealEncoders, kAsNobody };

const std::string kPrompt = "Ctrl-C has been pressed.\r\nWould you like to exit now? [y/N]: ";

// The tree is photos/ in the scratch directory, where the program runs with
// "-dir photos".
class WholeRunTest : public testing::Test {
 protected:
  WholeRunTest() {
    fs::create_directories(root_);
    fs::create_directories(tmp_);
    // For runs as nobody.
    for (const fs::path& path : {scratch_.WriteFile("records"), tmp_})
      fs::permissions(path, fs::perms::all);
  }
  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(tmp_)) << "photo lists left behind";
    EXPECT_EQ(
        RunProgram({"find", root_, "-name", ".slidemill-*", "-o", "-name", "*.slidemill-part*"})
            .out,
        "")
        << "temporary files or parts left behind";
    RunProgram({"rm", "-rf", root_});  // paths past PATH_MAX too
  }

  fs::path Write(const std::string& path, std::string_view bytes) {
    return scratch_.WriteFile("photos/" + path, bytes);
  }
  std::string Read(const std::string& path) { return test::ReadFile(root_ / path); }
  void ChangeMode(const fs::path& path, int mode) { fs::permissions(path, fs::perms(mode)); }
  // A photo, by default a small dark one, last written at noon UTC on `day`.
  void Photo(const std::string& path, sys_days day = 2019y / 6 / 5, std::string jpeg = "") {
    static const std::string dark = Jpeg("color=c=0x202020:s=160x120");
    fs::last_write_time(Write(path, jpeg.empty() ? dark : jpeg),
                        file_clock::from_sys(sys_seconds(day + 12h)));
  }
  // Directories of one photo each, where the stand-in encoder takes the
  // settings `stand_in` (NAME=value lines: SLEEP=ms, EXIT=code, ...).
  void PhotoDirs(const Strings& dirs, const std::string& stand_in = "") {
    for (const std::string& dir : dirs) Photo(dir + "/p.jpg"), Write(dir + "/stand-in", stand_in);
  }

  // The program's command line, run in the scratch directory with `env`
  // added; a -dir in `args` wins over the root.
  Strings Command(const Strings& args, How how = kStandIn, const Strings& env = {}) {
    const std::string bin = fs::read_symlink("/proc/self/exe").parent_path() / "";
    Strings argv = {"env", "-C", scratch_.str(), "SLIDEMILL_TEST_ENCODER_LOG=" + records_,
                    "TMPDIR=" + tmp_.native()};
    // As "nobody" when running as root, who may write anything.
    if (how == kAsNobody && geteuid() == 0)
      argv.insert(argv.begin(), {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    argv.insert(argv.end(), env.begin(), env.end());
    argv.insert(argv.end(), {bin + "slidemill", "-r", "-dir", "photos"});
    if (how != kRealEncoders)
      argv.insert(argv.end(),
                  {"-mencoder-path", bin + "test_encoder", "-ffmpeg-path", bin + "test_encoder"});
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  Result Slidemill(const Strings& args, How how = kStandIn, const Strings& env = {},
                   int signal = 0) {
    Result result = RunProgram(Command(args, how, env), signal);
    EXPECT_EQ(result.out.find('\x1b'), npos)
        << "colours, or a name's control bytes, in redirected output";
    return result;
  }

  // The directories the stand-in ran in, below the root, in name order: its
  // records are "dir=D\n", its list of photos, "arg=A\n" each, "end\n".
  Strings EncodedDirs() {
    Strings dirs;
    std::istringstream lines(test::ReadFile(records_));
    for (std::string line; std::getline(lines, line);)
      if (line.starts_with("dir=")) dirs.push_back(line.substr(root_.native().size() + 5));
    std::ranges::sort(dirs);
    return dirs;
  }
  // The log without its time stamps, and without the root's own lines: no
  // case has photos there.
  std::string Log() {
    std::string log;
    std::istringstream lines(test::ReadFile(log_));
    for (std::string line; std::getline(lines, line);)
      log +=
          (line.size() > 19 && line[2] == '-' && line[13] == ':' ? line.substr(20) : line) + "\n";
    const std::string root = "photos\n    No JPG files found in this directory.\n";
    return log.starts_with(root) ? log.substr(root.size()) : log;
  }

  test::ScratchDir scratch_;
  const fs::path root_ = scratch_.path() / "photos", tmp_ = scratch_.path() / "tmp";
  const std::string records_ = scratch_.str() + "/records", log_ = scratch_.str() + "/run.log";
};
using TitleFileTest = WholeRunTest;
using RealEncoderTest = WholeRunTest;
using TerminalTest = WholeRunTest;
using LocaleTest = WholeRunTest;

// Parameters print as their labels, which name the cases in gtest's output
// and ctest's.
template <typename Param>
requires requires(Param param) { param.label; }
std::ostream& operator<<(std::ostream& out, const Param& param) { return out << param.label; }
constexpr auto ByLabel = [](const auto& param) { return param.param.label; };

// Every byte a file system takes in a name, wildcards among them, is just a
// byte: the encoder runs in the directory, its video (made under the part
// name) lands beside it, and the first photo by name dates the title.
struct AwkwardName {
  std::string label, name;
};
class AwkwardNameTest : public WholeRunTest, public testing::WithParamInterface<AwkwardName> {};

TEST_P(AwkwardNameTest, ReachesTheEncoderAndTheTitleWhole) {
  const std::string name = GetParam().name;
  Photo(name + "/a?b[1].jpg", 2018y / 2 / 3);
  Photo(name + "/p.jpg");
  Slidemill({"-subtitle-text", "{YearModified}", "-video-filename", "{Dir}.avi"});
  EXPECT_TRUE(Contains(test::ReadFile(records_),
                       "dir=" + (root_ / name).native() + "\na?b[1].jpg\np.jpg\narg="));
  EXPECT_EQ(Read(name + ".avi"), test::TestVideo(".avi", 2));
  EXPECT_EQ(Read(name + "/_title.srt"), Srt("2018"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, AwkwardNameTest,
    testing::Values(AwkwardName{"Option", "--dir x"}, AwkwardName{"Newline", "a\nb"},
                    AwkwardName{"NotUtf8", "\xff\xfe"}, AwkwardName{"OuterBlanks", " spaced "},
                    AwkwardName{"Wildcards", "*?[1]"}, AwkwardName{"Placeholder", "{Dir}"},
                    // Written out on the console, where it cannot retitle the terminal.
                    AwkwardName{"ControlBytes", "a\x1b]0;x\a"}),
    ByLabel);

// How an encoder ends (the stand-in's settings), and the log's line for it.
struct Ending {
  std::string label, stand_in, log, encoder = "mencoder";
};
class EncoderEndingTest : public WholeRunTest, public testing::WithParamInterface<Ending> {};

// Only a finished video replaces the old one. Without a keyboard the question
// after an interrupted encoder takes its default (N) at once.
TEST_P(EncoderEndingTest, IsReportedAndLogged) {
  const Ending& ending = GetParam();
  const bool made = ending.log == "Encoding complete.";
  const std::string video = ending.encoder == "ffmpeg" ? "a/_movie.mp4" : "a/_movie.avi";
  PhotoDirs({"a"}, ending.stand_in);
  Write(video, "old");
  Result run = Slidemill({"-encoder", ending.encoder, "-log-path", log_});
  EXPECT_EQ(run.status, made ? 0 : 6);
  EXPECT_EQ(Log(),
            "photos/a\n    " + ending.log + "\n" + (made ? "" : "    1 of 1 videos failed.\n"));
  EXPECT_EQ(Read(video), made ? test::TestVideo(video) : "old");
  EXPECT_EQ(bool(Contains(run.out, "Would you like to exit now? [y/N]: \n")),
            ending.log == "Aborted by user.")
      << "the question after an interrupt";
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, EncoderEndingTest,
    testing::Values(
        // As mencoder leaves it on a full disk, answering success.
        Ending{"MakesAVideoCutShort", "VIDEO=cut",
               "The encoder reported success but its video is unusable: its RIFF chunks do not "
               "match the file's size."},
        // mencoder's code for Ctrl-C; for ffmpeg 2 is an error like any other.
        Ending{"MencoderTwoIsCtrlC", "EXIT=2", "Aborted by user."},
        Ending{"FfmpegTwoIsAnError", "EXIT=2", "FFmpeg exited with an error code: 2", "ffmpeg"},
        // Output the program must take as it comes, or the encoder waits.
        Ending{"ChattersMegabytes", "OUTPUT=8000000", "Encoding complete."}),
    ByLabel);

// The slow encoder ends last: the log keeps each directory's lines together
// in the order they ended, a failure with its last output.
TEST_F(WholeRunTest, SeveralJobsLogEachDirectoryWhenItEnds) {
  PhotoDirs({"a", "b", "c"});
  Write("a/stand-in", "SLEEP=1500");
  Write("c/stand-in", "EXIT=3\nOUTPUT=160");
  Result run = Slidemill({"-jobs", "2", "-log-path", log_});
  EXPECT_TRUE(Contains(run.out, "photos/c: Mencoder exited with an error code: 3\n"));
  const std::string output = "    " + std::string(79, '#') + "\n";
  EXPECT_EQ(Log(),
            "photos/b\n    Encoding complete.\nphotos/c\n    Mencoder exited with an error "
            "code: 3\n" +
                output + output + "photos/a\n    Encoding complete.\n    1 of 3 videos failed.\n");
}

TEST_F(WholeRunTest, ResumingEncodesOnlyWhatHasNoVideo) {
  PhotoDirs({"a", "b"});
  Write("a/_movie.avi", "old");
  Slidemill({"-skip-existing", "-log-path", log_});
  EXPECT_EQ(EncodedDirs(), Strings{"b"});
  EXPECT_EQ(Log(), "photos/a\n    Video exists; skipped.\nphotos/b\n    Encoding complete.\n");
}

// The folder's photos counted and its title as it would be written: a
// photo without a capture time is dated by its last change.
TEST_F(WholeRunTest, DryRunShowsCommandsAndWritesNothing) {
  PhotoDirs({"b"});
  Photo("b/q.jpeg");
  Result run = Slidemill(
      {"-dry-run", "-subtitle-text", "{Folder}{CRLF}{DayTaken}.{MonthTaken}.", "-log-path", log_});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.out,
                       "photos/b\n\nPhotos: 2\n\nWould write this title:\n\nb\n5.6.\n\n"
                       "Would launch mencoder with this command:\n"));
  EXPECT_EQ(EncodedDirs(), Strings{});
  EXPECT_FALSE(fs::exists(root_ / "b/_title.srt"));
  EXPECT_FALSE(fs::exists(log_));
}

// The user's input, here a "q" that would stop ffmpeg at once, never
// reaches the encoder; and started with its standard output closed, the
// program opens it on /dev/null, where the encoder's chatter then goes
// instead of into the video it has open.
TEST_F(WholeRunTest, TheEncoderGetsNothingOfTheUsers) {
  PhotoDirs({"a"}, "OUTPUT=160\nINPUT=1");
  Strings argv = Command({});
  const std::string input = scratch_.WriteFile("input", "q\n");
  argv.insert(argv.begin(), {"sh", "-c", "\"$@\" <" + input + " >&-", "sh"});
  EXPECT_EQ(RunProgram(argv).status, 0);
  EXPECT_TRUE(Contains(test::ReadFile(records_), "\ninput=\nend\n"));
  EXPECT_EQ(Read("a/_movie.avi"), test::TestVideo(".avi"));
}

// Every directory is accounted for. One that cannot be read is said with
// why and counts with the failed videos; one reached again through a link
// is said and encoded once; one that vanished since its parent was listed
// is no failure.
TEST_F(WholeRunTest, EveryDirectoryIsAccountedFor) {
  PhotoDirs({"a", "b/c", "d"});
  Write("a/stand-in", "REMOVE=" + (root_ / "d").native());
  fs::create_directory(root_ / "e");
  fs::create_directory_symlink("../a", root_ / "e/link");
  for (const char* dir : {"", "a", "d", "e"}) ChangeMode(root_ / dir, 0777);
  ChangeMode(root_ / "b", 0);
  Result run = Slidemill({}, kAsNobody);
  EXPECT_EQ(run.status, 6);
  EXPECT_EQ(run.err, "1 of 2 directories failed; 1 could not be read.\n");
  EXPECT_TRUE(
      Contains(run.out, "\nPassed over, it cannot be read (Permission denied): photos/b\n"));
  EXPECT_TRUE(Contains(
      run.out,
      "\nPassed over, it leads to a directory walked already (photos/a): photos/e/link\n"));
  EXPECT_EQ(EncodedDirs(), Strings{"a"});
}

// With several jobs the directories are encoded after the walk: one that
// can no longer be listed when its turn comes fails, said with why.
TEST_F(WholeRunTest, DirectoryUnreadableWhenItsTurnComesFails) {
  PhotoDirs({"a", "b", "c"});
  Photo("a/q.jpg"), Photo("a/r.jpg"), Photo("b/q.jpg");
  Write("a/stand-in", "REPLACE=" + (root_ / "c").native());
  Write("b/stand-in", "SLEEP=1000");
  Result run = Slidemill({"-jobs", "2"});
  EXPECT_EQ(run.status, 6);
  EXPECT_TRUE(Contains(run.out, "\nPassed over, it cannot be read (Not a directory): photos/c\n"));
}

// A root that cannot be walked is refused at once, like one that does not
// exist, and named.
TEST_F(WholeRunTest, RootThatCannotBeWalkedEndsTheRunWithStatus2) {
  Write("file", "x");
  fs::create_directory_symlink(root_ / "nowhere", root_ / "dangling");
  ChangeMode(scratch_.MakeDir("photos/locked"), 0);
  for (auto [dir, why] : {std::pair{"file", "is not a directory: photos/file"},
                          {"dangling", "does not exist."},
                          {"locked", "cannot be read (Permission denied): photos/locked"}}) {
    Result run = Slidemill({"-dir", "photos/" + std::string(dir)}, kAsNobody);
    EXPECT_EQ(run.status, 2) << dir;
    EXPECT_EQ(run.err,
              "\nInvalid argument: The directory specified by '-dir' " + std::string(why) + "\n")
        << dir;
  }
}

// An absolute -video-filename without {Dir}: the first directory makes it,
// the others fail.
TEST_F(WholeRunTest, TwoDirectoriesNeverMakeOneVideo) {
  PhotoDirs({"a", "b"});
  const std::string video = scratch_.str() + "/one.avi";
  Result run = Slidemill({"-video-filename", video, "-jobs", "2"});
  EXPECT_TRUE(Contains(run.out, "\nAnother directory of this run makes the same video: " + video));
  EXPECT_EQ(EncodedDirs(), Strings{"a"});
}

// In a read-only directory no new one can be made: that directory fails,
// named, and the run goes on. A writable one is written in place, the video
// going elsewhere and ffmpeg's list of photos to the temporary folder.
TEST_F(TitleFileTest, InAReadOnlyDirectoryOnlyAWritableOneIsWritten) {
  PhotoDirs({"a", "b"});
  ChangeMode(Write("b/_title.srt", "old"), 0666);
  for (const char* dir : {"a", "b"}) ChangeMode(root_ / dir, 0555);
  ChangeMode(root_, 0777);
  Result run = Slidemill(
      {"-encoder", "ffmpeg", "-subtitle-text", "x", "-video-filename", "{Dir}.mp4"}, kAsNobody);
  EXPECT_EQ(run.err, "1 of 2 videos failed.\n");
  EXPECT_TRUE(
      Contains(run.out, "\nError opening title file: Permission denied (photos/a/_title.srt)\n"));
  EXPECT_EQ(EncodedDirs(), Strings{"b"});
  EXPECT_EQ(Read("b/_title.srt"), Srt("x"));
}

// Even where a new file could replace it, and even by root, whom no
// permission stops.
TEST_F(TitleFileTest, AReadOnlyOneIsLeftAlone) {
  PhotoDirs({"a"});
  ChangeMode(Write("a/_title.srt", "mine"), 0444);
  EXPECT_EQ(Slidemill({"-subtitle-text", "x"}).status, 6);
  EXPECT_EQ(Read("a/_title.srt"), "mine");
}

TEST_F(TitleFileTest, TheLongestName) {
  const std::string name(254, 'n');
  PhotoDirs({"a"});
  Slidemill({"-subtitle-text", "x", "-srt-filename", name});
  EXPECT_EQ(Read("a/" + name), Srt("x"));
}

// strace makes the rename fail and sends SIGTERM: the old file stays, the
// temporary one goes. (The leak check cannot run under strace.)
TEST_F(TitleFileTest, SigtermAsItIsRenamedKeepsTheOldOne) {
  PhotoDirs({"a"});
  Write("a/_title.srt", "old");
  Strings argv = Command({"-subtitle-text", "new"}, kStandIn, {"ASAN_OPTIONS=detect_leaks=0"});
  argv.insert(argv.begin(),
              {"strace", "-fqq", "-o/dev/null", "-einject=/^rename:error=EINTR:signal=TERM"});
  EXPECT_EQ(RunProgram(argv).status, 128 + SIGTERM);
  EXPECT_EQ(Read("a/_title.srt"), "old");
}

TEST_F(WholeRunTest, LogThatGoesAwayIsSaidOnceAndTheRunGoesOn) {
  const std::string logs = scratch_.str() + "/logs";
  PhotoDirs({"a", "b"}, "REMOVE=" + logs);
  fs::create_directory(logs);
  Result run = Slidemill({"-log-path", logs + "/run.log"});
  EXPECT_EQ(run.err, "The log file cannot be written: " + logs + "/run.log\n");
  EXPECT_EQ(EncodedDirs(), (Strings{"a", "b"}));
}

// A directory is judged by the absolute paths its encoder is given, though
// -dir is relative. Nested close to PATH_MAX, the one whose part video just
// fits is encoded; one a byte longer, and one too deep for the walk, are
// said once (on the standard error stream with -list) and failed.
TEST_F(WholeRunTest, PathsPastPathMaxArePassedOver) {
  const std::size_t fits = PATH_MAX - 36;  // the part video's name is 34 bytes
  std::string chain;
  while (root_.native().size() + chain.size() + 102 < fits) chain += std::string(100, 'd') + "/";
  const std::string fitting(fits - root_.native().size() - 1 - chain.size(), 'e');
  const std::string longer(fitting.size() + 1, 'f'), deep(255, 'z');
  RunProgram({"env", "-C", root_, "bash", "-c",
              "mkdir -p " + chain + " && cd " + chain + " && for n in " + fitting + " " + longer +
                  " " + deep + "; do mkdir $n && printf '\\377\\330\\377' >$n/p.jpg; done"});
  Result run = Slidemill({"-log-path", log_}), list = Slidemill({"-list"});
  EXPECT_EQ(run.status, 6);
  EXPECT_EQ(EncodedDirs(), Strings{chain + fitting});
  EXPECT_EQ(run.err, "2 of 3 videos failed.\n");
  EXPECT_EQ(list.out, "photos/" + chain + fitting + "\n");
  std::string said;
  for (const std::string& name : {deep, longer}) {
    std::string line = "Passed over, its path is too long: photos/" + chain + name + "\n";
    EXPECT_EQ(Count(run.out, line), 1) << name.front();
    EXPECT_EQ(Count(Log(), "    " + line), 1) << name.front();
    said += line;
  }
  EXPECT_EQ(list.err, said);
}

// Only readable files that start as a JPEG are photos, and the encoder is
// handed exactly those, in order; each other one is said and passed over,
// a FIFO without waiting on it. A folder of none is a failed video.
TEST_F(WholeRunTest, FilesThatAreNoPhotosArePassedOver) {
  Photo("a/p2.jpg");
  Photo("a/p1.JPEG");
  Write("a/empty.jpg", "");
  Write("a/text.jpg", "text");
  fs::create_symlink("gone.jpg", root_ / "a/dangling.jpg");
  ASSERT_EQ(mkfifo((root_ / "a/fifo.jpg").c_str(), 0666), 0);
  Write("b/empty.jpg", "");
  Result run = Slidemill({"-log-path", log_});
  EXPECT_EQ(run.status, 6);
  EXPECT_TRUE(
      Contains(test::ReadFile(records_), "dir=" + root_.native() + "/a\np1.JPEG\np2.jpg\narg="));
  const std::string passed = "    Passed over, it ";
  EXPECT_EQ(Log(), "photos/a\n" + passed +
                       "cannot be read (No such file or directory): dangling.jpg\n" + passed +
                       "is empty: empty.jpg\n" + passed +
                       "cannot be read (Not a regular file): fifo.jpg\n" + passed +
                       "is not a JPEG: text.jpg\n    Encoding complete.\nphotos/b\n" + passed +
                       "is empty: empty.jpg\n    No photo in this directory can be read as a "
                       "JPEG.\n    1 of 2 videos failed.\n");
}

TEST_F(RealEncoderTest, OneThatCannotStartEndsTheRun) {
  PhotoDirs({"a", "b"});
  Result run = Slidemill({}, kRealEncoders, {"PATH=/nonexistent"});
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(run.err, "\nError starting encoder: mencoder: No such file or directory\n");
  EXPECT_EQ(run.out.find("photos/b"), npos) << "the run went on";
}

// A slideshow as people want it, with each encoder: ten photos, some of
// them .jpeg, in natural order for 3 s each, titled from frame 0 on with
// the day the first was taken, at 5% of the height.
class SlideshowTest : public WholeRunTest, public testing::WithParamInterface<std::string> {
 protected:
  // Runs the encoder on photos/a, ffmpeg making frames of `size`: its video.
  fs::path Encode(Strings args, const std::string& size) {
    args.insert(args.end(), {"-encoder", GetParam()});
    if (GetParam() == "ffmpeg") args.insert(args.end(), {"-video-size", size});
    Result run = Slidemill(args, kRealEncoders);
    EXPECT_EQ(run.status, 0) << run.err;
    return root_ / (GetParam() == "ffmpeg" ? "a/_movie.mp4" : "a/_movie.avi");
  }
};

TEST_P(SlideshowTest, ShowsEachPhotoForItsSeconds) {
  const bool ffmpeg = GetParam() == "ffmpeg";
  for (int i = 1; i <= 10; ++i) {
    // Grey rising with the number in the name; the first one taken on 5 June.
    // For ffmpeg one stands upright: a photo of another shape loses no frame.
    std::string size = ffmpeg && i == 5 ? ":s=480x640" : ":s=640x480";
    std::string photo = Jpeg("color=c=0x" + std::string(6, "123456789a"[i - 1]) + size);
    if (i == 1)
      photo = WithExif(photo, std::string("\0\x01\x87\x69\0\x04\0\0\0\x01\0\0\0\x1a\0\0\0\0"
                                          "\0\x01\x90\x03\0\x02\0\0\0\x14\0\0\0\x2c\0\0\0\0",
                                          36) +
                                  "2019:06:05 10:30:00" + '\0');
    // A line break in a name, which no list's line holds, reaches the video;
    // so does a name ffmpeg could read as a numbered sequence or a wildcard.
    std::string name = "a/p (" + std::to_string(i) + (i % 3 == 0 ? ")%04d?.JPEG" : ")\n.jpg");
    Photo(name, 2021y / 1 / 1, photo);
  }
  const fs::path path =
      Encode({"-photo-order", "natural", "-photo-seconds", "3", "-subtitle-text",
              "Hg {DayTaken}.{MonthTaken}.{YearTaken}", "-subtitle-font-size", "5"},
             "640x480");
  EXPECT_EQ(Read("a/_title.srt"), Srt("Hg 5.6.2019"));
  Video video = ProbeVideo(path);
  EXPECT_EQ(video.rate, "25/1");
  EXPECT_DOUBLE_EQ(video.seconds, 30);
  EXPECT_EQ(video.frames, 750);
  EXPECT_LT(FrameAt(path, 4.5).at(240 * 640 + 320), 0x50) << "the second photo is (10), not (2)";
  // The title's letters: rows brighter than the dark photos.
  Pixels first = FrameAt(path, 0);
  int title = 0;
  for (auto row = first.begin(); row + 640 <= first.end(); row += 640)
    title += std::any_of(row, row + 640, [](unsigned char pixel) { return pixel > 180; });
  EXPECT_GT(title, 480 * 3 / 100) << "no title of 5% in frame 0";
  EXPECT_LT(title, 480 * 6 / 100);
}

// A given font is the one drawn: another font draws other pixels.
TEST_P(SlideshowTest, TitleFontsDrawDifferently) {
  Write("a/p.jpg", Jpeg("color=c=0x202020:s=320x180"));
  std::vector<Pixels> frames;
  for (std::string font : {"dejavu/DejaVuSans.ttf", "liberation/LiberationSans-Regular.ttf"}) {
    frames.push_back(FrameAt(Encode({"-subtitle-text", "Title", "-subtitle-font-file",
                                     "/usr/share/fonts/truetype/" + font},
                                    "320x180"),
                             0));
  }
  EXPECT_EQ(frames[0].size(), 320u * 180);
  EXPECT_TRUE(frames[0] != frames[1]) << "both fonts drew the same pixels";
}

INSTANTIATE_TEST_SUITE_P(RealEncoders, SlideshowTest, testing::Values("mencoder", "ffmpeg"),
                         [](const auto& encoder) { return encoder.param; });

// In a directory and with a title file whose names ffmpeg's list and filter
// syntaxes would read as their own: an upright photo, its copy stored
// sideways (EXIF orientation 6), a white portrait one, a dark one, and a
// hidden one that does not count. All are twice the frame's size or more,
// so they are decoded at half their size.
TEST_F(RealEncoderTest, FfmpegTurnsAndFitsEachPhoto) {
  // A line break in the directory's path, which ffmpeg's list holds whole.
  const std::string dir = "it's \"[a]\"; b,c:d\\e\n50%d";
  Write(dir + "/A.jpg", Jpeg("testsrc=s=640x480"));
  Write(dir + "/B.JPG",
        WithExif(Jpeg("testsrc=s=640x480", "transpose=2"),
                 std::string("\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 18)));
  Write(dir + "/a.jpg", Jpeg("color=c=white:s=360x640"));
  Write(dir + "/b.jpg", Jpeg("color=c=0x202020:s=640x480"));
  Photo(dir + "/.hidden.jpg");
  Result run = Slidemill({"-encoder", "ffmpeg", "-video-size", "320x180",
                          "-video-frames-per-second", "5", "-subtitle-text", "Title",
                          "-srt-filename", "t'[x]:y,z;.srt", "-video-filename", "{Dir}.mp4"},
                         kRealEncoders);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, " -lowres 1 "));
  const fs::path path = root_ / (dir + ".mp4");
  EXPECT_EQ(ProbeVideo(path).frames, 4);
  Pixels upright = FrameAt(path, 0.1), turned = FrameAt(path, 0.3), portrait = FrameAt(path, 0.5);
  int differ = 0;
  for (std::size_t i = 0; i < upright.size(); ++i)
    differ += std::abs(upright[i] - turned.at(i)) > 40;
  EXPECT_EQ(upright.size(), 320u * 180);
  EXPECT_LT(differ, 600) << "the photo stored sideways is not upright";
  // Middle row: black, white, black.
  EXPECT_LT(portrait.at(90 * 320 + 10), 40) << "no black column left of the portrait photo";
  EXPECT_GT(portrait.at(90 * 320 + 160), 200) << "the portrait photo is missing";
  EXPECT_LT(portrait.at(90 * 320 + 310), 40) << "no black column right of the portrait photo";
}

// Ctrl-C reaches the encoder, which would sleep 20 s: the question comes at
// once, and N goes on. Typed between directories it waits in the input until
// the walk looks: N goes on to the next directory, Y stops.
TEST_F(TerminalTest, CtrlCAsksWhileTheEncoderRunsAndBetweenDirectories) {
  PhotoDirs({"a"}, "SLEEP=20000");
  PhotoDirs({"b", "c", "d"});
  Terminal tty(Command({"-sleep-time", "1500", "-log-path", log_}));
  ASSERT_TRUE(tty.WaitFor("Launching mencoder"));
  Pause(300);
  for (const char* answer : {"n", "n", "y"}) {
    tty.Type("\x03");
    ASSERT_TRUE(tty.WaitFor(kPrompt));
    tty.Type(answer);
    ASSERT_TRUE(tty.WaitFor(*answer == 'n' ? "completed successfully." : "Aborted by user"));
  }
  EXPECT_EQ(tty.Wait(), 1);
  EXPECT_TRUE(tty.Restored());
  EXPECT_EQ(EncodedDirs(), (Strings{"b", "c"}));
  EXPECT_TRUE(Contains(Log(), "photos/a\n    Aborted by user.\n"));
}

// With several jobs the encoders run in the background, where Ctrl-C does
// not reach them: the program asks while they go on. The terminal's title
// shows the progress. While they run keys are read raw; SIGTERM ends them
// (they get no hang-up from the terminal) and gives the terminal back.
TEST_F(TerminalTest, CtrlCWithSeveralJobsAsksWhileTheEncodersGoOn) {
  PhotoDirs({"a", "b"}, "SLEEP=3000");
  PhotoDirs({"c", "d"}, "SLEEP=20000");
  Terminal tty(Command({"-jobs", "2", "-log-path", log_}));
  ASSERT_TRUE(tty.WaitFor("\x1b]0;Slidemill: 0 of 4 directories, 0 failed\a"));
  ASSERT_TRUE(tty.WaitFor("photos/b"));
  Pause(300);
  tty.Type("\x03");
  ASSERT_TRUE(tty.WaitFor(kPrompt));
  tty.Type("n");
  // SIGTERM ends the run there, the terminal given back as it was.
  ASSERT_TRUE(tty.WaitFor("photos/d"));
  Pause(300);
  tty.Signal(SIGTERM);
  EXPECT_TRUE(tty.WaitFor("\x1b[23;0t")) << "the terminal's title is not given back";
  EXPECT_EQ(tty.Wait(), 128 + SIGTERM);
  EXPECT_TRUE(tty.Restored());
  EXPECT_EQ(EncodedDirs(), (Strings{"a", "b"})) << "the encoders did not go on";
  EXPECT_TRUE(Contains(Log(), "photos/d\n    Stopped by SIGTERM.\n"));
}

// A signal that ends the run, with encoders in the foreground (one job) or
// the background (SIGHUP's two).
struct EndingSignal {
  std::string label;
  int signal, jobs;
};
class SignalTest : public WholeRunTest, public testing::WithParamInterface<EndingSignal> {};

// The encoders are stopped and their parts removed; each directory's log
// says so, the last line which signal it was, and the status is 128 + the
// signal. Without a terminal no one can be asked: Ctrl-C ends the run too.
TEST_P(SignalTest, EndsTheRunCleanly) {
  const EndingSignal& e = GetParam();
  PhotoDirs({"a", "b"}, "SLEEP=1500");
  Result run =
      Slidemill({"-jobs", std::to_string(e.jobs), "-log-path", log_}, kStandIn, {}, e.signal);
  EXPECT_EQ(run.status, 128 + e.signal);
  EXPECT_EQ(run.err, "\nEnded by " + e.label + ".\n");
  const std::string stopped = "    Stopped by " + e.label + ".\n";
  EXPECT_EQ(Log(), "photos/a\n" + stopped + (e.jobs > 1 ? "photos/b\n" + stopped : "") +
                       "    Ended by " + e.label + ".\n");
  Pause(1500);
  EXPECT_EQ(EncodedDirs(), Strings{}) << "an encoder went on";
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest,
                         testing::Values(EndingSignal{"SIGTERM", SIGTERM, 1},
                                         EndingSignal{"SIGHUP", SIGHUP, 2},
                                         EndingSignal{"SIGINT", SIGINT, 1},
                                         // The reader of its output ended (| head).
                                         EndingSignal{"SIGPIPE", SIGPIPE, 2}),
                         ByLabel);

// Killed outright, the program takes its encoders along, cleaning nothing
// up: only their parts and lists stay behind.
TEST_F(WholeRunTest, SigkillTakesTheEncodersAlong) {
  PhotoDirs({"a", "b"}, "SLEEP=1500");
  EXPECT_EQ(Slidemill({"-jobs", "2"}, kStandIn, {}, SIGKILL).status, 128 + SIGKILL);
  Pause(1500);
  EXPECT_EQ(EncodedDirs(), Strings{}) << "an encoder went on";
  RunProgram({"find", root_, "-name", "*.slidemill-part*", "-delete"});
  RunProgram({"find", tmp_, "-mindepth", "1", "-delete"});
}

// Month and day names of two bytes a letter make date lists longer than
// some systems' calls answer; every field stays right on every day of a
// leap year.
TEST_F(LocaleTest, GreekTitlesEveryDayOf2024) {
  ASSERT_EQ(
      RunProgram({"localedef", "-i", "el_GR", "-f", "UTF-8", scratch_.str() + "/el.UTF-8"}).status,
      0);
  Strings titles;
  for (sys_days day = 2024y / 1 / 1; day < 2025y / 1 / 1; day += days{1}) {
    const year_month_day date(day);
    titles.push_back(std::to_string(int(date.year())) + "-" +
                     std::to_string(unsigned(date.month())) + "-" +
                     std::to_string(unsigned(date.day())));
    Photo(titles.back() + "/p.jpg", day);
  }
  // glibc keeps its copy of LOCPATH for good: not a leak of ours.
  Slidemill({"-subtitle-text", "{YearModified}-{MonthModified}-{DayModified}"}, kStandIn,
            {"LOCPATH=" + scratch_.str(), "LC_ALL=el.UTF-8", "ASAN_OPTIONS=detect_leaks=0"});
  for (const std::string& title : titles) EXPECT_EQ(Read(title + "/_title.srt"), Srt(title));
}

}  // namespace
}  // namespace slidemill
