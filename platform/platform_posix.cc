// The POSIX platform: terminal through /dev/tty, colours as ANSI sequences,
// signals instead of console control events.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/date_picture.h"
#include "platform/platform.h"

namespace slidemill {
namespace {

// --- State shared with the signal handlers -------------------------------
// Handlers may only touch these, and only with async-signal-safe calls.

int g_tty_fd = -1;
struct termios g_user_termios;   // the user's own settings, put back at exit
struct termios g_raw_termios;    // what the program reads keys with
volatile sig_atomic_t g_raw_wanted = 0;   // the program wants raw input now
volatile sig_atomic_t g_colored[2] = {0, 0};  // a colour is showing on fd 1/2
volatile sig_atomic_t g_last_signal = 0;

constexpr char kResetColor[] = "\x1b[0m";

bool InForeground() {
  return g_tty_fd >= 0 && tcgetpgrp(g_tty_fd) == getpgrp();
}

// Async-signal-safe: tcsetattr and write only.
void RestoreUserTerminal() {
  if (g_tty_fd >= 0 && g_raw_wanted) tcsetattr(g_tty_fd, TCSANOW, &g_user_termios);
  for (int i = 0; i < 2; ++i) {
    if (g_colored[i]) {
      ssize_t ignored = write(i + 1, kResetColor, sizeof kResetColor - 1);
      (void)ignored;
      g_colored[i] = 0;
    }
  }
}

void ApplyRawTerminal() {
  // A background job that changes the terminal is stopped by SIGTTOU.
  if (g_raw_wanted && InForeground()) {
    tcsetattr(g_tty_fd, TCSANOW, &g_raw_termios);
  }
}

// Ctrl-C, Ctrl-\ and a hung-up terminal do not end the program; the handler
// only notes them. (Not SIG_IGN: a started child must get the defaults.)
void NoteSignal(int sig) { g_last_signal = sig; }

void Reraise(int sig) {
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
}

// Termination and faults: give the user the terminal back, then die the way
// the signal asks.
void TerminateOnSignal(int sig) {
  int saved_errno = errno;
  RestoreUserTerminal();
  Reraise(sig);
  errno = saved_errno;
}

// Stopped (kill -TSTP): the shell gets a normal terminal meanwhile.
void StopOnSignal(int sig) {
  int saved_errno = errno;
  RestoreUserTerminal();
  Reraise(sig);
  // Continued: take the keyboard back.
  struct sigaction action = {};
  action.sa_handler = StopOnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
  ApplyRawTerminal();
  errno = saved_errno;
}

void ContinueOnSignal(int) {
  int saved_errno = errno;
  ApplyRawTerminal();
  errno = saved_errno;
}

void Install(int sig, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

constexpr int kTerminatingSignals[] = {SIGTERM, SIGPIPE, SIGALRM, SIGUSR1,
                                       SIGUSR2, SIGSEGV, SIGBUS,  SIGFPE,
                                       SIGILL,  SIGABRT, SIGXCPU, SIGXFSZ};

void RestoreAtExit() { RestoreUserTerminal(); }

class PosixConsoleSession : public ConsoleSession {
 public:
  PosixConsoleSession() {
    Install(SIGINT, NoteSignal);
    Install(SIGQUIT, NoteSignal);
    Install(SIGHUP, NoteSignal);
    for (int sig : kTerminatingSignals) Install(sig, TerminateOnSignal);
    Install(SIGTSTP, StopOnSignal);
    Install(SIGCONT, ContinueOnSignal);

    // The keyboard is the terminal itself, not standard input, which may be a
    // file or a pipe.
    g_tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (g_tty_fd >= 0 && tcgetattr(g_tty_fd, &g_user_termios) == 0) {
      g_raw_termios = g_user_termios;
      // Keys one at a time, unechoed; Ctrl-C arrives as the byte 3.
      g_raw_termios.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
      g_raw_termios.c_cc[VMIN] = 0;
      g_raw_termios.c_cc[VTIME] = 0;
      atexit(RestoreAtExit);
      g_raw_wanted = 1;
      ApplyRawTerminal();
    } else if (g_tty_fd >= 0) {
      close(g_tty_fd);
      g_tty_fd = -1;
    }
  }

  ~PosixConsoleSession() override {
    RestoreUserTerminal();
    g_raw_wanted = 0;
    if (g_tty_fd >= 0) close(g_tty_fd);
    g_tty_fd = -1;
    Install(SIGINT, SIG_DFL);
    Install(SIGQUIT, SIG_DFL);
    Install(SIGHUP, SIG_DFL);
    for (int sig : kTerminatingSignals) Install(sig, SIG_DFL);
    Install(SIGTSTP, SIG_DFL);
    Install(SIGCONT, SIG_DFL);
  }
};

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // console writes are not checked
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Console text attributes as ANSI sequences. 7 is the terminal's own colours
// and 15 bold, so a light or dark terminal keeps its look.
std::string_view ColorSequence(int attribute) {
  switch (attribute) {
    case 7: return "\x1b[0m";
    case 10: return "\x1b[0;92m";
    case 11: return "\x1b[0;96m";
    case 12: return "\x1b[0;91m";
    case 15: return "\x1b[0;1m";
    default: return "";
  }
}

// --- Directory entries -----------------------------------------------------

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600;

uint64_t ToFileTime(int64_t seconds, int64_t nanoseconds) {
  int64_t since_1601 = seconds + kEpochDifference;
  if (since_1601 < 0) return 0;
  return static_cast<uint64_t>(since_1601) * 10000000u +
         static_cast<uint64_t>(nanoseconds / 100);
}

// Fills `entry` from the file at `path`, named `name`. A symbolic link is
// described by what it points to, marked as a reparse point; a dangling one
// by the link itself.
bool DescribeEntry(const std::string& path, const std::string& name, FileEntry* entry) {
  struct stat link_info;
  if (lstat(path.c_str(), &link_info) != 0) return false;
  struct stat info = link_info;
  bool is_link = S_ISLNK(link_info.st_mode);
  if (is_link && stat(path.c_str(), &info) != 0) info = link_info;

  uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= kAttributeDirectory;
  if (!name.empty() && name[0] == '.') attributes |= kAttributeHidden;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  if (is_link) attributes |= kAttributeReparsePoint;
  if (attributes == 0) attributes = kAttributeNormal;

  entry->attributes = attributes;
  entry->last_write_time = ToFileTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
  entry->last_access_time = ToFileTime(info.st_atim.tv_sec, info.st_atim.tv_nsec);
  // The birth time where the file system keeps one, else the last write.
  entry->creation_time = entry->last_write_time;
#ifdef STATX_BTIME
  struct statx extended;
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &extended) == 0 &&
      (extended.stx_mask & STATX_BTIME) != 0) {
    entry->creation_time = ToFileTime(extended.stx_btime.tv_sec, extended.stx_btime.tv_nsec);
  }
#endif
  entry->size = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
  entry->name = name;
  entry->short_name.clear();
  return true;
}

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

// The names in a directory, sorted by byte value so every run sees the same
// order; "." and ".." left out.
bool ReadNames(const std::string& dir, std::vector<std::string>* names) {
  DIR* stream = opendir(dir.c_str());
  if (stream == nullptr) return false;
  while (struct dirent* item = readdir(stream)) {
    std::string_view name = item->d_name;
    if (name == "." || name == "..") continue;
    names->emplace_back(name);
  }
  closedir(stream);
  std::sort(names->begin(), names->end());
  return true;
}

// --- Locale names -------------------------------------------------------------

LocaleNames ReadLocaleNames() {
  LocaleNames names;
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return EnglishNames();
  for (int i = 0; i < 12; ++i) {
    names.months[i] = nl_langinfo_l(static_cast<nl_item>(MON_1 + i), locale);
    names.short_months[i] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), locale);
  }
  for (int i = 0; i < 7; ++i) {
    names.days[i] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + i), locale);
    names.short_days[i] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), locale);
  }
  names.am = nl_langinfo_l(AM_STR, locale);
  names.pm = nl_langinfo_l(PM_STR, locale);
  freelocale(locale);
  return names;
}

const LocaleNames& SystemLocaleNames() {
  static const LocaleNames names = ReadLocaleNames();
  return names;
}

// The Windows calls have room for 63 characters and answer nothing beyond.
std::string Fit(std::string text) { return text.size() > 63 ? std::string() : text; }

class PosixPlatform : public Platform {
 public:
  PosixPlatform() {
    const char* no_color = getenv("NO_COLOR");
    const char* term = getenv("TERM");
    bool colors = (no_color == nullptr || *no_color == '\0') &&
                  !(term != nullptr && strcmp(term, "dumb") == 0);
    for (int i = 0; i < 2; ++i) streams_[i].colors = colors && isatty(i + 1);
  }

  ProcessCommandLine CommandLine(int argc, char** argv) override {
    ProcessCommandLine line;
    for (int i = 1; i < argc; ++i) line.arguments.emplace_back(argv[i]);
    return line;
  }

  std::optional<std::string> EnvironmentVariable(const std::string& name) override {
    const char* value = getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }

  std::unique_ptr<ConsoleSession> StartConsole() override {
    if (session_started_) return std::make_unique<ConsoleSession>();
    session_started_ = true;
    return std::make_unique<PosixConsoleSession>();
  }

  void Write(ConsoleStream stream, std::string_view text) override {
    int index = stream == ConsoleStream::kOutput ? 0 : 1;
    StreamState& state = streams_[index];
    // The colour goes into the stream that writes next, and only into a
    // terminal: redirected output holds nothing but the program's bytes.
    if (state.colors && state.shown != wanted_color_) {
      std::string_view sequence = ColorSequence(wanted_color_);
      if (!sequence.empty()) {
        WriteAll(index + 1, sequence);
        state.shown = wanted_color_;
        g_colored[index] = wanted_color_ != 7;
      }
    }
    WriteAll(index + 1, text);
  }

  std::string_view LineEnd() override { return "\n"; }

  void SetTextColor(int attribute) override { wanted_color_ = attribute; }

  std::string CurrentDirectory() override {
    std::string buffer(256, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return "";
      buffer.resize(buffer.size() * 2);
    }
    buffer.resize(strlen(buffer.c_str()));
    return buffer;
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  std::string FontsFolder() override {
    // Where Linux distributions install the Windows core fonts.
    return "/usr/share/fonts/truetype/msttcorefonts";
  }

  bool AppendToFile(const std::string& path, std::string_view bytes) override {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY,
                  0666);
    if (fd < 0) return false;
    bool ok = true;
    while (!bytes.empty()) {
      ssize_t n = write(fd, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (close(fd) != 0) ok = false;
    return ok;
  }

  bool FindFirst(const std::string& path, FileEntry* entry) override {
    std::size_t slash = path.rfind('/');
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!HasWildcard(last)) return DescribeEntry(path, last, entry);
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    if (dir.empty()) dir = "/";
    std::vector<std::string> names;
    if (HasWildcard(dir) || !ReadNames(dir, &names)) return false;
    for (const std::string& name : names) {
      if (fnmatch(last.c_str(), name.c_str(), FNM_CASEFOLD) == 0 &&
          DescribeEntry(path.substr(0, slash + 1) + name, name, entry)) {
        return true;
      }
    }
    return false;
  }

  bool FileTimeToCalendar(uint64_t file_time, bool local, CalendarTime* time) override {
    int64_t seconds = static_cast<int64_t>(file_time / 10000000u) - kEpochDifference;
    time_t when = static_cast<time_t>(seconds);
    struct tm parts = {};
    if (local) {
      tzset();  // the zone in force now, not the one at start-up
      if (localtime_r(&when, &parts) == nullptr) return false;
    } else if (gmtime_r(&when, &parts) == nullptr) {
      return false;
    }
    *time = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_wday, parts.tm_mday,
             parts.tm_hour, parts.tm_min, parts.tm_sec,
             static_cast<int>((file_time / 10000u) % 1000u)};
    return true;
  }

  std::string FormatDate(const CalendarTime& time, std::string_view picture) override {
    return Fit(FormatDatePicture(time, picture, SystemLocaleNames()));
  }

  std::string FormatTime(const CalendarTime& time, std::string_view picture) override {
    return Fit(FormatTimePicture(time, picture, SystemLocaleNames()));
  }

  LocalDateTime LocalNow() override {
    time_t now = time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
  }

 private:
  struct StreamState {
    bool colors = false;
    int shown = 7;
  };
  StreamState streams_[2];
  int wanted_color_ = 7;
  bool session_started_ = false;
};

}  // namespace

Platform& SystemPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace slidemill
