// The whole program on Linux, one row per run: the tree it walks, the
// arguments, the environment, and what must come out. The stand-in encoder
// records where and with what it ran; a few rows use the real encoder, whose
// videos ffprobe checks, and some drive the program on a pseudo-terminal.
// Every run has a time limit: a hang fails its row instead of the suite.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

// status: the exit status, or 128 + the signal (SIGALRM after 120 s).
// On a terminal, `out` is all it showed and `err` the step of `keys` that
// never came about.
struct Result {
  int status = -1;
  std::string out, err;
  bool terminal_restored = false;
};

// Runs a program in `cwd` with `env` ("NAME=value" each) added.
// Without `keys` it has no terminal (a new session, standard input from
// /dev/null) and its output is captured. With `keys` it runs on a
// pseudo-terminal, one step after another: "?text" waits (10 s at most) for
// the text after what earlier waits found, ">text" types, "!n" sends signal
// n, "~n" pauses n milliseconds.
Result RunProgram(const std::vector<std::string>& args, const fs::path& cwd,
                  const std::vector<std::string>& env = {},
                  const std::vector<std::string>& keys = {}) {
  test::ScratchDir capture;
  std::string out = capture.str() + "/out", err = capture.str() + "/err";
  int master = -1, slave = -1, status = 0;
  termios initial = {}, now = {};
  // The settings taken before the program can change anything.
  if (!keys.empty() && openpty(&master, &slave, nullptr, nullptr, nullptr) == 0)
    tcgetattr(slave, &initial);
  std::vector<char*> argv(args.size() + 1);  // ends in a null pointer
  std::ranges::transform(args, argv.begin(),
                         [](const std::string& a) { return const_cast<char*>(a.c_str()); });
  pid_t child = fork();
  if (child == 0) {
    if (master >= 0) {
      close(master);
      login_tty(slave);
    } else {
      setsid();  // no controlling terminal: /dev/tty cannot be opened
      dup2(open("/dev/null", O_RDONLY), 0);
      dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    }
    for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
    alarm(120);  // outlives the exec
    if (chdir(cwd.c_str()) == 0) execvp(argv[0], argv.data());
    _exit(127);
  }
  close(slave);
  Result result;
  auto read_some = [&](int timeout_ms) {
    pollfd wait = {master, POLLIN, 0};
    char buffer[4096];
    ssize_t n = poll(&wait, 1, timeout_ms) > 0 ? read(master, buffer, sizeof buffer) : 0;
    if (n > 0) result.out.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  };
  std::size_t seen = 0;
  for (const std::string& step : keys) {
    std::string arg = step.substr(1);
    for (int tries = 0;
         step[0] == '?' && tries < 100 && result.out.find(arg, seen) == std::string::npos;) {
      tries += read_some(100) ? 0 : 1;  // only quiet reads count toward the 10 s
    }
    if (step[0] == '?' && (seen = result.out.find(arg, seen)) == std::string::npos) {
      result.err = "never saw " + arg;
      kill(child, SIGKILL);
      break;
    }
    if (step[0] == '?') seen += arg.size();
    if (step[0] == '>' && write(master, arg.data(), arg.size()) < 0) break;
    if (step[0] == '!') kill(child, std::stoi(arg));
    if (step[0] == '~') usleep(std::stoi(arg) * 1000);
  }
  while (waitpid(child, &status, master < 0 ? 0 : WNOHANG) == 0) read_some(50);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (master < 0) return {result.status, test::ReadFile(out), test::ReadFile(err)};
  while (read_some(50)) {
  }
  result.terminal_restored =
      tcgetattr(master, &now) == 0 && std::memcmp(&now, &initial, sizeof now) == 0;
  close(master);
  return result;
}

// kAsNobody: as "nobody" when running as root, who may write anything.
// kFullDisk: the root is a small file system, full.
// kTermInTitleWrite: SIGTERM as the title file is renamed into place, traced
// by strace: the temporary file exists, and the rename never happens.
enum How { kStandIn, kRealEncoder, kAsNobody, kFullDisk, kTermInTitleWrite };

// {S} in any text is the scratch directory, the root is {S}/photos.
// tree, under the root: "d/" a directory, "f=bytes" a file, "p%mode"
//   (octal) the mode of an entry made before, anything else a JPG last
//   written at noon UTC on 2019-06-05 or on the date after '@'.
// args: after "slidemill -r -dir {S}/photos -mencoder-path <stand-in>" (no
//   stand-in with the real encoder); a -dir here is the one that counts.
// runs: the directories the stand-in ran in, once each, under the root; text
//   after a name goes on with that run's record (its arguments).
// out: texts shown once each.
// files, under the root: "p" exists, "!p" does not, "p=bytes" holds them,
//   "p~text" is a title file of that text, "p#codec,width,height,rate,frames"
//   a video of those, "p^" a video whose fourth frame has its title drawn at the bottom.
// keys: on a terminal, as RunProgram takes them.
// log: how {S}/run.log ends, without time stamps.
// make: makes what no single call can name; answers more directories for `runs`.
// check: what no file entry can say, after the run.
struct Row {
  std::string what{};
  std::vector<std::string> tree{}, args{}, env{};
  int status = 0;
  std::string err{};
  std::vector<std::string> runs{}, out{}, files{}, keys{};
  std::string log{};
  How how = kStandIn;
  std::function<std::vector<std::string>(const fs::path& root)> make{};
  std::function<void(const fs::path& root)> check{};
};

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// "name" followed by one of `kinds` and the rest.
std::tuple<std::string, char, std::string> Split(const std::string& text, const char* kinds) {
  std::size_t at = std::min(text.find_first_of(kinds), text.size());
  return {text.substr(0, at), text[at], text.substr(std::min(at + 1, text.size()))};
}

void Make(const fs::path& root, const std::string& entry) {
  static const std::string jpeg =  // small and dark
      RunProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=c=0x202020:s=160x120",
                  "-frames:v", "1", "-f", "mjpeg", "-"},
                 "/")
          .out;
  auto [name, kind, rest] = Split(entry, "=@%");
  if (kind == '%') return fs::permissions(root / name, fs::perms(std::stoi(rest, nullptr, 8)));
  fs::create_directories((root / name).parent_path());
  if (name.back() == '/') return;
  std::ofstream(root / name, std::ios::binary) << (kind == '=' ? rest : jpeg);
  if (kind != '=') test::SetModified(root / name, kind == '@' ? rest : "2019-06-05");
}

// Frame n of a video, one grey byte a pixel.
std::string Frame(const fs::path& video, int n) {
  return RunProgram({"ffmpeg", "-v", "error", "-i", video.string(), "-vf",
                     "select=eq(n\\," + std::to_string(n) + ")", "-frames:v", "1", "-f", "rawvideo",
                     "-pix_fmt", "gray", "-"},
                    "/")
      .out;
}

// Writes a photo that ffmpeg makes from a lavfi source and filter; `exif`
// goes in just after the start of the image.
void MakePhoto(const fs::path& path, const std::string& source, const std::string& filter = "null",
               const std::string& exif = "") {
  std::string jpeg = RunProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", source, "-vf",
                                 filter, "-frames:v", "1", "-f", "mjpeg", "-"},
                                "/")
                         .out;
  std::ofstream(path, std::ios::binary) << jpeg.insert(std::min<std::size_t>(2, jpeg.size()), exif);
}

void CheckFile(const fs::path& root, const std::string& want) {
  auto [name, kind, expected] = Split(want, "=~#^");
  std::string path = (root / name.substr(name[0] == '!')).string();
  std::string got = kind == '=' || kind == '~' ? test::ReadFile(path) : "";
  if (kind == 0 && fs::exists(path) == (name[0] == '!'))
    got = fs::exists(path) ? "present" : "absent";
  if (kind == '~') expected = "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + expected + "\r\n";
  if (kind == '#') expected += "\n";
  if (kind == '#')
    got = RunProgram({"ffprobe", "-v", "error", "-count_frames", "-of", "csv=p=0", "-show_entries",
                      "stream=codec_name,width,height,r_frame_rate,nb_read_frames",
                      "-select_streams", "v:0", path},
                     "/")
              .out;
  if (kind == '^') {  // titles are drawn from the third frame on
    std::string px = Frame(path, 3);
    auto lit = [](std::string s) {
      return std::ranges::count_if(s, [](unsigned char c) { return c > 180; });
    };
    bool titled = lit(px.substr(px.size() * 2 / 3)) > 30 && lit(px.substr(0, px.size() / 3)) == 0;
    got = titled ? "" : "no title at the bottom only";
  }
  EXPECT_EQ(got, expected) << want;
}

void RunRow(const Row& row) {
  SCOPED_TRACE(row.what);
  test::ScratchDir scratch;
  fs::path root = scratch.path() / "photos";
  auto sub = [&](std::string t) {
    for (auto at = t.find("{S}"); at != std::string::npos; at = t.find("{S}", at))
      t.replace(at, 3, scratch.str());
    return t;
  };
  fs::create_directories(root);
  if (row.how == kFullDisk && mount("tmpfs", root.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << row.what << ": mounting a small tmpfs needs root with CAP_SYS_ADMIN";
  for (const std::string& entry : row.tree) Make(root, sub(entry));
  for (const char* entry : {"../records=", "../records%666"}) Make(root, entry);
  const std::string bin = test::TestExecutableDir();
  std::vector<std::string> runs = row.runs, args = {bin + "slidemill", "-r", "-dir", root.string()};
  if (row.make) std::ranges::copy(row.make(root), std::back_inserter(runs));
  if (row.how == kFullDisk)
    RunProgram({"dd", "if=/dev/zero", "of=" + root.string() + "/filler"}, "/");
  if (row.how != kRealEncoder)
    args.insert(args.end(),
                {"-mencoder-path", bin + "test_encoder", "-ffmpeg-path", bin + "test_encoder"});
  std::vector<std::string> env = {sub("SLIDEMILL_TEST_ENCODER_LOG={S}/records")};
  std::ranges::transform(row.args, std::back_inserter(args), sub);
  std::ranges::transform(row.env, std::back_inserter(env), sub);
  if (row.how == kAsNobody && geteuid() == 0)
    args.insert(args.begin(), {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
  if (row.how == kTermInTitleWrite)
    args.insert(args.begin(),
                {"strace", "-fqq", "-o/dev/null", "-einject=/^rename:error=EINTR:signal=TERM"});
  Result run = RunProgram(args, scratch.path(), env, row.keys);

  EXPECT_EQ(run.status, row.status) << run.err << run.out.substr(0, 4000);
  EXPECT_EQ(row.how == kRealEncoder && row.err.empty() ? "" : run.err, row.err);  // mencoder talks
  EXPECT_TRUE(row.keys.empty() ? run.out.find('\x1b') == std::string::npos : run.terminal_restored)
      << "colours in redirected output, or the terminal not restored";
  std::string recorded = test::ReadFile(scratch.path() / "records");
  EXPECT_EQ(Count(recorded, "end\n"), static_cast<int>(runs.size()));
  for (const std::string& dir : runs)
    EXPECT_EQ(Count(recorded, "dir=" + root.string() + "/" + sub(dir) + "\n"), 1) << recorded;
  for (const std::string& text : row.out) EXPECT_EQ(Count(run.out, text), 1) << text;
  for (const std::string& file : row.files) CheckFile(root, sub(file));
  if (row.check) row.check(root);
  std::string log;  // without the "MM-DD-YYYY HH:MM:SS " stamps
  std::istringstream lines(test::ReadFile(scratch.path() / "run.log"));
  for (std::string line; std::getline(lines, line);)
    log += (line.size() > 19 && line[2] == '-' && line[13] == ':' ? line.substr(20) : line) + "\n";
  EXPECT_TRUE(log.ends_with(sub(row.log))) << log;
  EXPECT_EQ(
      RunProgram(
          {"find", root.string(), "-name", ".slidemill-*", "-o", "-name", "*.slidemill-part*"}, "/")
          .out,
      "")
      << "left behind";
  EXPECT_TRUE(row.how != kFullDisk || umount(root.c_str()) == 0) << "still mounted";
  RunProgram({"rm", "-rf", root.string()}, "/");  // paths past PATH_MAX too
}

TEST(WholeRunTest, Rows) {
  // Names with every byte a file system takes, wildcard bytes among them.
  Row names{.what = "awkward names",
            .tree = {"st*r/a?b[1].jpg@2018-02-03"},  // first there
            .args = {"-subtitle-text", "{DayModified}.{MonthModified}.{YearModified}",
                     "-video-filename", "{Dir}.avi"}};
  for (std::string name :
       {"-r", "--dir x", "a\nb", "\xff\xfe bad utf-8", "it's \"quoted\"",
        "$(touch pwned); `id` & | > <", " spaced ", "Best?[1]", "st*r", "{Dir}", "*", "[x]"}) {
    names.tree.push_back(name + "/p.jpg");
    names.runs.push_back(name + "\narg=mf://*.[jJ][pP][gG]\narg=-o\narg={S}/photos/" + name +
                         ".slidemill-part.avi");
    names.files.push_back(name + "/_title.srt~" + (name == "st*r" ? "3.2.2018" : "5.6.2019"));
  }
  const std::vector<std::string> a = {"a/p.jpg"}, ab = {"a/p.jpg", "b/p.jpg"},
                                 abc = {"a/p.jpg", "b/p.jpg", "c/p.jpg"};
  const std::string denied = "\nError opening title file: Permission denied\n", long_name(254, 'n');
  const std::string odd = "it's \"[a]\"; b,c:d\\e";  // read by ffmpeg's syntaxes as their own
  const std::string prompt = "?Ctrl-C has been pressed.\r\nWould you like to exit now? [y/N]: ";
  std::vector<Row> rows = {
      names,
      {.what = "a root with wildcards",
       .tree = {"ph*to?[1]/p.jpg"},
       .args = {"-dir", "{S}/photos/ph*to?[1]", "-subtitle-text", "{YearModified}"},
       .runs = {"ph*to?[1]"},
       .files = {"ph*to?[1]/_title.srt~2019"}},
      // Each directory's stand-in does one thing; with no keyboard the
      // question after an interrupted encoder takes its default at once.
      {.what = "encoders that fail, crash, make no or an empty video, are interrupted, chatter",
       .tree = {"a/p.jpg", "a/stand-in=EXIT=1", "a/_movie.avi=old", "b/p.jpg",
                "b/stand-in=SIGNAL=11", "c/p.jpg", "c/stand-in=VIDEO=none", "d/p.jpg",
                "d/stand-in=VIDEO=empty", "e/p.jpg", "e/stand-in=EXIT=2", "f/p.jpg",
                "f/stand-in=OUTPUT=8000000"},
       .args = {"-log-path", "{S}/run.log"},
       .status = 6,
       .err = "5 of 6 videos failed.\n",
       .runs = {"a\narg=mf://"
                "*.[jJ][pP][gG]\narg=-o\narg=_movie.slidemill-part.avi\narg=-mf\narg=fps=25\narg=-"
                "ovc\narg=lavc"
                "\narg=-lavcopts\narg=vcodec=mjpeg\nend",
                "b", "c", "d", "e", "f"},
       .out = {"Would you like to exit now? [y/N]: \n", "\nJob complete.\n"},
       .files = {"a/_movie.avi=old", "f/_movie.avi=video"},
       .log = "a\n    Mencoder exited with an error code: 1\n{S}/photos/b\n    Mencoder exited "
              "with an "
              "error code: 139\n{S}/photos/c\n    The encoder reported success but made no video.\n"
              "{S}/photos/d\n    The encoder reported success but made no video.\n{S}/photos/e\n   "
              " Aborted "
              "by user.\n{S}/photos/f\n    Encoding complete.\n    5 of 6 videos failed.\n"},
      // The slow encoder ends last: the log keeps each directory's lines
      // together in the order they ended, a failure with its last output.
      {.what = "several jobs",
       .tree = {"a/p.jpg", "a/stand-in=SLEEP=1500", "b/p.jpg", "c/p.jpg",
                "c/stand-in=EXIT=3\nOUTPUT=160"},
       .args = {"-jobs", "2", "-log-path", "{S}/run.log"},
       .status = 6,
       .err = "1 of 3 videos failed.\n",
       .runs = {"a", "b", "c"},
       .out = {"photos/c: Mencoder exited with an error code: 3\n"},
       .files = {"a/_movie.avi=video", "b/_movie.avi=video", "!c/_movie.avi"},
       .log = "{S}/photos/b\n    Encoding complete.\n{S}/photos/c\n    Mencoder exited with an "
              "error code: 3\n    " +
              std::string(79, '#') + "\n    " + std::string(79, '#') +
              "\n{S}/photos/a\n    Encoding complete.\n"
              "    1 of 3 videos failed.\n"},
      // A finished video is passed over; a part left by a killed run is not one.
      {.what = "resuming",
       .tree = {"a/p.jpg", "a/_movie.avi=old", "b/p.jpg", "b/_movie.slidemill-part.avi=half"},
       .args = {"-skip-existing", "-log-path", "{S}/run.log"},
       .runs = {"b"},
       .files = {"a/_movie.avi=old", "b/_movie.avi=video"},
       .log = "{S}/photos/a\n    Video exists; skipped.\n{S}/photos/b\n    Encoding complete.\n"},
      {.what = "a dry run",
       .tree = ab,
       .args = {"-dry-run", "-subtitle-text", "x", "-log-path", "{S}/run.log"},
       .out = {"photos/b\n\nWould launch mencoder with this command:\n"},
       .files = {"!a/_title.srt", "!../run.log"}},
      {.what = "a list",
       .tree = {"a/p.jpg", "b/", "c d/p.jpg", "e/p.jpg", "e/_movie.avi=v"},
       .args = {"-dir", "photos", "-list0", "-skip-existing"},
       .out = {std::string("photos/a\0photos/c d\0", 20)}},
      {.what = "an invalid filter",
       .tree = a,
       .args = {"-dir-filter", "(ab)*"},
       .status = 2,
       .err = "\nInvalid argument: The pattern specified by '-dir-filter' is not valid.\n"},
      {.what = "no new title file in a read-only directory",
       .tree = {"a/p.jpg", "a%555"},
       .args = {"-subtitle-text", "x"},
       .status = 3,
       .err = denied,
       .files = {"!a/_title.srt"},
       .how = kAsNobody},
      {.what = "a read-only title file is left alone",
       .tree = {"a/p.jpg", "a/_title.srt=mine", "a/_title.srt%444", "a%777"},
       .args = {"-subtitle-text", "x"},
       .status = 3,
       .err = denied,
       .files = {"a/_title.srt=mine"},
       .how = kAsNobody},
      {.what = "a writable title file in a read-only directory is written in place",
       .tree = {"a/p.jpg", "a/_title.srt=old", "a/_title.srt%666", "a%555", "../o/", "../o%777"},
       .args = {"-subtitle-text", "x", "-video-filename", "{S}/o/v.avi"},
       .runs = {"a"},
       .files = {"a/_title.srt~x"},
       .how = kAsNobody},
      {.what = "the longest title file name",
       .tree = a,
       .args = {"-subtitle-text", "x", "-srt-filename", long_name},
       .runs = {"a"},
       .files = {"a/" + long_name + "~x"}},
      {.what = "a full file system",
       .tree = a,
       .args = {"-subtitle-text", std::string(20000, 't')},
       .status = 3,
       .err = "\nError opening title file: Disk full\n",
       .files = {"!a/_title.srt"},
       .how = kFullDisk},
      {.what = "SIGTERM while a title file is written",
       .tree = {"a/p.jpg", "a/_title.srt=old"},
       .args = {"-subtitle-text", "new"},
       .status = 143,
       .files = {"a/_title.srt=old"},
       .how = kTermInTitleWrite},
      {.what = "a log that goes away",
       .tree = {"a/p.jpg", "b/p.jpg", "../logs/"},
       .args = {"-log-path", "{S}/logs/run.log"},
       .env = {"SLIDEMILL_TEST_ENCODER_REMOVE={S}/logs"},
       .runs = {"a", "b"}},
      {.what = "a directory that vanishes",
       .tree = ab,
       .env = {"SLIDEMILL_TEST_ENCODER_REMOVE={S}/photos/b"},
       .runs = {"a"},
       .out = {"\nJob complete.\n"}},
      {.what = "paths at and past PATH_MAX",
       .out = {"Passed over, its path is too long: "},
       .make =
           [](const fs::path& root) {
             std::string name(200, 'd'), path = name;  // made one level at a time
             RunProgram({"bash", "-c",
                         "for i in $(seq 24); do mkdir " + name + " && cd " + name +
                             " && touch p.jpg; done"},
                        root);
             std::vector<std::string> dirs;
             for (; root.string().size() + 1 + path.size() < PATH_MAX; path += "/" + name)
               dirs.push_back(path);
             return dirs;
           }},
      {.what = "an encoder that cannot start",
       .tree = ab,
       .env = {"PATH=/nonexistent"},
       .status = 5,
       .err = "\nError starting encoder: No such file or directory\n",
       .out = {"Launching mencoder"},
       .how = kRealEncoder},
      // A relative root, and videos named after their directories beside them.
      {.what = "the real encoder",
       .tree = {"2019 Trip/p1.jpg", "2019 Trip/p2.jpg", "2019 Trip/p3.jpg", "Notes/",
                "2019 Trip/P1.JPG@2019-06-07",  // sorts first
                "2019 Trip/Day 2/p1.JPG@2019-06-06", "2019 Trip/Day 2/p2.JPG@2019-06-06"},
       .args = {"-dir", "photos", "-video-frames-per-second", "5", "-log-path", "./run.log",
                "-subtitle-text", "Trip {MonthModified}/{DayModified}/{YearModified}",
                "-video-filename", "{Dir}.avi"},
       .files = {"2019 Trip.avi#mjpeg,160,120,5/1,4", "2019 Trip.avi^",
                 "2019 Trip/Day 2.avi#mjpeg,160,120,5/1,2", "2019 Trip/_title.srt~Trip 6/7/2019",
                 "2019 Trip/Day 2/_title.srt~Trip 6/6/2019", "!Notes.avi", "!Notes/_title.srt"},
       .log = "photos\n    No JPG files found in this directory.\nphotos/2019 Trip\n    Encoding "
              "complete.\n"
              "photos/2019 Trip/Day 2\n    Encoding complete.\nphotos/Notes\n    No JPG files "
              "found in this "
              "directory.\n",
       .how = kRealEncoder},
      // ffmpeg's list and arguments, its Ctrl-C code and its other codes.
      {.what = "ffmpeg's command and list, its interrupt code",
       .tree = {odd + "/B.JPG", odd + "/a.jpg", odd + "/.h.jpg", odd + "/stand-in=EXIT=255",
                "x/p.jpg", "x/stand-in=EXIT=3"},
       .args = {"-encoder", "ffmpeg", "-log-path", "{S}/run.log", "-subtitle-text", "t"},
       .status = 6,
       .err = "2 of 2 videos failed.\n",
       .runs =
           {odd +
                "\nffconcat version 1.0\nfile 'file:{S}/photos/it'\\''s \"[a]\"; b,c:d\\e/B.JPG'\n"
                "file 'file:{S}/photos/it'\\''s \"[a]\"; "
                "b,c:d\\e/a.jpg'\narg=-hide_banner\narg=-loglevel\n"
                "arg=error\narg=-stats\narg=-y\narg=-r\narg=25\narg=-f\narg=concat\narg=-safe\narg="
                "0\narg=-i\n"
                "arg=file:{S}/photos/" +
                odd + "/.slidemill-photos.ffconcat\narg=-vf",
            "x"},
       .out = {"Would you like to exit now? [y/N]: \n"},
       .files = {"!" + odd + "/.slidemill-photos.ffconcat"},
       .log = "Aborted by user.\n{S}/photos/x\n    FFmpeg exited with an error code: 3\n    2 of 2 "
              "videos failed.\n"},
      // The real ffmpeg, in a directory and with a title file whose names its
      // syntaxes would read as their own: .JPG counted, a hidden photo not,
      // in byte order of names. An upright photo, its copy stored sideways
      // (EXIF orientation 6), a white portrait one and a dark one for the title.
      {.what = "the real ffmpeg",
       .tree = {odd + "/.hidden.jpg", odd + "/b.jpg"},
       .args = {"-encoder", "ffmpeg", "-video-size", "320x180", "-video-frames-per-second", "5",
                "-subtitle-text", "Title", "-srt-filename", "t'[x]:y,z;.srt", "-video-filename",
                "{Dir}.mp4"},
       .files = {odd + ".mp4#h264,320,180,5/1,4", odd + ".mp4^"},
       .how = kRealEncoder,
       .make =
           [odd](const fs::path& root) {
             MakePhoto(root / odd / "A.jpg", "testsrc=s=160x120");
             MakePhoto(
                 root / odd / "B.JPG", "testsrc=s=160x120", "transpose=2",
                 std::string(
                     "\xff\xe1\0\x22"
                     "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0",
                     36));
             MakePhoto(root / odd / "a.jpg", "color=c=white:s=90x160");
             return std::vector<std::string>{};
           },
       .check =
           [odd](const fs::path& root) {
             std::string upright = Frame(root / (odd + ".mp4"), 0),
                         turned = Frame(root / (odd + ".mp4"), 1),
                         portrait = Frame(root / (odd + ".mp4"), 2);
             ASSERT_EQ(upright.size() + turned.size() + portrait.size(), 3u * 320 * 180);
             int differ = 0, lit_sides = 0;
             for (std::size_t i = 0; i < upright.size(); ++i) {
               differ += std::abs(static_cast<unsigned char>(upright[i]) -
                                  static_cast<unsigned char>(turned[i])) > 40;
               lit_sides +=
                   (i % 320 < 90 || i % 320 >= 230) && static_cast<unsigned char>(portrait[i]) > 40;
             }
             EXPECT_LT(differ, 600) << "the photo stored sideways is not upright";
             EXPECT_EQ(lit_sides, 0) << "no black columns beside the portrait photo";
             EXPECT_GT(static_cast<unsigned char>(portrait[90 * 320 + 160]), 200)
                 << "the portrait photo is missing";
           }},
      // A given font is the one drawn: another font draws other pixels.
      {.what = "two title fonts",
       .tree = {"a/p.jpg", "../b/p.jpg"},
       .args = {"-encoder", "ffmpeg", "-video-size", "320x180", "-subtitle-text", "Title",
                "-video-filename", "{Dir}.mp4", "-subtitle-font-file",
                "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"},
       .how = kRealEncoder,
       .check =
           [](const fs::path& root) {
             RunProgram({test::TestExecutableDir() + "slidemill", "-dir", root.parent_path() / "b",
                         "-encoder", "ffmpeg", "-video-size", "320x180", "-subtitle-text", "Title",
                         "-video-filename", "{Dir}.mp4", "-subtitle-font-file",
                         "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"},
                        "/");
             std::string dejavu = Frame(root / "a.mp4", 0),
                         liberation = Frame(root.parent_path() / "b.mp4", 0);
             EXPECT_EQ(dejavu.size() + liberation.size(), 2u * 320 * 180);
             EXPECT_NE(dejavu, liberation);
           }},
      // On a terminal. Ctrl-C typed between directories waits in the input
      // until the walk looks.
      {.what = "Ctrl-C between directories: N goes on, Y stops",
       .tree = abc,
       .args = {"-sleep-time", "1500"},
       .status = 1,
       .runs = {"a", "b"},
       .out = {"Aborted by user"},
       .keys = {"?completed successfully.", ">\x03", prompt, ">n", "?completed successfully.",
                ">\x03", prompt, ">y"}},
      // The encoder would sleep 20 s; the question comes within 10.
      {.what = "Ctrl-C while the encoder runs",
       .tree = ab,
       .args = {"-log-path", "{S}/run.log"},
       .env = {"SLIDEMILL_TEST_ENCODER_SLEEP=20000"},
       .status = 1,
       .keys = {"?Launching mencoder", "~300", ">\x03", prompt, ">y"},
       .log = "{S}/photos/a\n    Aborted by user.\n"},
      // The encoders do not see Ctrl-C; the program asks while they go on.
      // The terminal's title shows the progress, and gets its own back.
      {.what = "Ctrl-C with several jobs",
       .tree = ab,
       .args = {"-jobs", "2", "-log-path", "{S}/run.log"},
       .env = {"SLIDEMILL_TEST_ENCODER_SLEEP=20000"},
       .status = 1,
       .out = {"\x1b]0;Slidemill: 0 of 2 directories, 0 failed\a", "\x1b[23;0t", "Aborted by user"},
       .files = {"!a/_movie.avi", "!b/_movie.avi"},
       .keys = {"?photos/b", "~300", ">\x03", prompt, ">n", "~300", ">\x03", prompt, ">y"},
       .log = "\n    Aborted by user.\n"},
      {.what = "SIGTERM between directories",
       .tree = a,
       .args = {"-sleep-time", "20000"},
       .status = 143,
       .runs = {"a"},
       .keys = {"?completed successfully", "~300", "!15"}},
      {.what = "SIGHUP does not stop the run, SIGTERM does, also while the encoder runs",
       .tree = abc,
       .args = {"-sleep-time", "700"},
       .env = {"SLIDEMILL_TEST_ENCODER_SLEEP=700"},
       .status = 143,
       .runs = {"a"},
       .keys = {"?Launching mencoder", "~200", "!1", "?completed successfully", "~200", "!1",
                "?Launching mencoder", "~200", "!15"}},
  };
  // Month and day names of two bytes a letter make long date lists; every
  // field stays right on every day of a leap year.
  test::ScratchDir locales;
  for (std::string locale : {"el_GR.UTF-8", "ru_RU.UTF-8"}) {
    std::string compiled = locales.str() + "/" + locale;
    ASSERT_EQ(
        RunProgram({"localedef", "-i", locale.substr(0, 5), "-f", "UTF-8", compiled}, "/").status,
        0);
    Row& dates = rows.emplace_back(Row{
        .what = locale,
        .args = {"-subtitle-text", "{YearModified}-{MonthModified}-{DayModified}"},
        // glibc keeps its copy of LOCPATH for good: not a leak of ours.
        .env = {"LOCPATH=" + locales.str(), "LC_ALL=" + locale, "ASAN_OPTIONS=detect_leaks=0"}});
    for (time_t noon = 1704110400; noon < 1735689600; noon += 86400) {  // 2024 at noon UTC
      char dir[16], title[16];
      std::strftime(dir, sizeof dir, "%F", std::gmtime(&noon));
      std::strftime(title, sizeof title, "%Y-%-m-%-d", std::gmtime(&noon));
      dates.tree.push_back(dir + ("/p.jpg@" + std::string(dir)));
      dates.runs.push_back(dir);
      dates.files.push_back(dir + ("/_title.srt~" + std::string(title)));
    }
  }
  for (const Row& row : rows) RunRow(row);
}

}  // namespace
}  // namespace slidemill
