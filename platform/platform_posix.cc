// The POSIX platform: the terminal through /dev/tty, colours as ANSI
// sequences, signals instead of console control events, and the encoder
// started without a shell.
#include <errno.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "platform/date_picture.h"
#include "platform/posix_internal.h"

namespace slidemill {
namespace {

using namespace posix;

// Colours as ANSI sequences. Normal is the terminal's own colours and
// emphasis bold, so a light or dark terminal keeps its look.
std::string_view ColorSequence(TextColor color) {
  switch (color) {
    case TextColor::kNormal: return "\x1b[0m";
    case TextColor::kSuccess: return "\x1b[0;92m";
    case TextColor::kSupport: return "\x1b[0;96m";
    case TextColor::kFailure: return "\x1b[0;91m";
    case TextColor::kEmphasis: return "\x1b[0;1m";
  }
  return "";
}

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

// The names of the LC_TIME locale of the environment.
const LocaleNames& SystemLocaleNames() {
  static const LocaleNames names = ReadLocaleNames();
  return names;
}

class PosixPlatform;

// The terminal session, plus the console output still held back when it
// ends.
class Session : public ConsoleSession {
 public:
  Session(PosixPlatform& platform, std::unique_ptr<ConsoleSession> terminal)
      : platform_(platform), terminal_(std::move(terminal)) {}
  ~Session() override;

 private:
  PosixPlatform& platform_;
  std::unique_ptr<ConsoleSession> terminal_;
};

class PosixPlatform : public Platform {
 public:
  PosixPlatform() {
    // Standard input, output and error are always open, to /dev/null when
    // the program was started without them: otherwise the first file opened
    // (an encoder's video) would take their place and their text.
    for (int fd = 0; fd <= 2; ++fd) {
      if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
        int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0 && null_fd != fd) close(null_fd);
      }
    }
    const char* no_color = getenv("NO_COLOR");
    const char* term = getenv("TERM");
    bool colors = (no_color == nullptr || *no_color == '\0') &&
                  !(term != nullptr && strcmp(term, "dumb") == 0);
    for (int i = 0; i < 2; ++i) {
      streams_[i].terminal = isatty(i + 1) != 0;
      streams_[i].colors = colors && streams_[i].terminal;
    }
  }

  ~PosixPlatform() override { FlushAll(); }

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
    return std::make_unique<Session>(*this, StartTerminalSession());
  }

  void Write(ConsoleStream stream, std::string_view text) override {
    int index = stream == ConsoleStream::kOutput ? 0 : 1;
    Stream& state = streams_[index];
    // Output to a file or pipe is held back in a buffer; the other stream's
    // is written first, so both keep their order in one file.
    Flush(1 - index);
    // The colour goes into the stream that writes next, and only into a
    // terminal: redirected output holds nothing but the program's bytes.
    if (state.colors && state.shown != wanted_color_) {
      WriteAll(index + 1, ColorSequence(wanted_color_));  // console writes are not checked
      state.shown = wanted_color_;
      NoteColorShowing(index, wanted_color_ != TextColor::kNormal);
    }
    if (state.terminal) {
      WriteAll(index + 1, text);
      return;
    }
    state.held.append(text);
    if (state.held.size() >= kHoldLimit) Flush(index);
  }

  void FlushAll() {
    Flush(0);
    Flush(1);
  }

  std::string_view LineEnd() override { return "\n"; }

  void SetTextColor(TextColor color) override { wanted_color_ = color; }

  std::string ReadKey() override { return NextKey(); }

  bool HasKeyboard() override { return KeyboardAvailable(); }

  // The terminal keeps the user's title on its stack (xterm's push and pop)
  // while the program shows its own.
  bool ShowTitle(std::string_view title) override {
    const char* term = getenv("TERM");
    if (!streams_[0].terminal || (term != nullptr && strcmp(term, "dumb") == 0)) return false;
    FlushAll();
    if (title.empty()) {
      if (title_shown_) WriteAll(1, "\x1b[23;0t");
      title_shown_ = false;
      return true;
    }
    std::string text = title_shown_ ? "" : "\x1b[22;0t";
    text += "\x1b]0;" + std::string(title) + "\x07";
    WriteAll(1, text);
    title_shown_ = true;
    return true;
  }

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

  std::optional<std::string> ProgramFile(const std::string& path) override {
    if (!FileExists(path)) return std::nullopt;
    return path;
  }

  std::string FontsFolder() override {
    // Where Linux distributions install the Windows core fonts.
    return "/usr/share/fonts/truetype/msttcorefonts";
  }

  bool AppendToFile(const std::string& path, std::string_view bytes) override {
    // Non-blocking, so a log path that names a FIFO without a reader fails
    // at once instead of stopping the run.
    int fd =
        open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes) == 0;
    return close(fd) == 0 && ok;
  }

  bool FindFirst(const std::string& path, FileEntry* entry) override {
    return DescribePath(path, entry);
  }

  bool FindAll(const std::string& dir, const std::string& pattern,
               std::vector<FileEntry>* entries) override {
    return FindMatching(dir, pattern, entries);
  }

  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries,
                           std::string* error) override {
    return ListEntries(dir, entries, error);
  }

  std::optional<FileIdentity> DirectoryIdentity(const std::string& path) override {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  }

  std::string AbsolutePath(const std::string& path) override {
    if (!path.empty() && path[0] == '/') return path;
    // A leading "." names the current directory itself, so "." becomes the
    // directory's own path and a name made from it ("{Dir}.avi") lands
    // beside it, not inside.
    std::string_view rest = path;
    while (rest == "." || rest.starts_with("./")) {
      rest.remove_prefix(rest.size() == 1 ? 1 : 2);
      while (rest.starts_with("/")) rest.remove_prefix(1);
    }
    std::string cwd = CurrentDirectory();
    if (rest.empty()) return cwd;
    return (cwd == "/" ? "/" : cwd + "/") + std::string(rest);
  }

  bool WriteWholeFile(const std::string& path, std::string_view bytes,
                      std::string* error) override {
    return WriteFileThroughTemporary(path, bytes, error);
  }

  bool ReadFileStart(const std::string& path, std::size_t limit, std::string* bytes,
                     std::string* error) override {
    return ReadStart(path, limit, bytes, error);
  }

  bool WriteTemporaryFile(std::string_view bytes, std::string* path, std::string* error) override {
    return MakeTemporary(bytes, nullptr, path, error);
  }

  bool LinkTemporaryFile(const std::string& target, std::string* path,
                         std::string* error) override {
    return MakeTemporary("", target.c_str(), path, error);
  }

  std::string ReadFileRange(const std::string& path, uint64_t offset, std::size_t size) override {
    ScopedFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (fd.get() >= 0 && got < size) {
      ssize_t n = pread(fd.get(), bytes.data() + got, size - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
  }

  bool MakeFreshFile(const std::string& path, std::string* error) override {
    // unlink() takes a symbolic link itself away, never what it leads to.
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
      *error = SystemErrorText(errno);
      return false;
    }
    int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      *error = SystemErrorText(errno);
      return false;
    }
    close(fd);
    return true;
  }

  bool RemoveFile(const std::string& path) override { return unlink(path.c_str()) == 0; }

  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    if (rename(from.c_str(), to.c_str()) == 0) return true;
    *error = FileErrorText(errno);
    return false;
  }

  std::string ShownCommandLine(const std::vector<CommandArgument>& arguments) override {
    return JoinCommandLine(arguments);
  }

  ChildStart StartChild(const std::vector<CommandArgument>& arguments, const std::string& dir,
                        bool background) override {
    FlushAll();
    return StartProcess(arguments, dir, background);
  }

  std::optional<EndedChild> WaitForChild(uint32_t milliseconds, bool or_key) override {
    FlushAll();
    return WaitForProcess(milliseconds, or_key);
  }

  bool WaitForKey(uint32_t milliseconds) override {
    FlushAll();
    return WaitForKeyPress(milliseconds);
  }

  void StopChildren() override { StopProcesses(); }

  void Sleep(uint32_t milliseconds) override {
    FlushAll();
    struct timespec wait = {static_cast<time_t>(milliseconds / 1000),
                            static_cast<long>(milliseconds % 1000) * 1000000L};
    while (EndSignal() == 0 && nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }

  std::optional<EndRequest> EndRequested() override {
    int sig = EndSignal();
    if (sig == 0) return std::nullopt;
    const char* name = sig == SIGTERM   ? "SIGTERM"
                       : sig == SIGHUP  ? "SIGHUP"
                       : sig == SIGINT  ? "SIGINT"
                       : sig == SIGPIPE ? "SIGPIPE"
                                        : "SIGQUIT";
    return EndRequest{name, 128 + sig};
  }

  LocalDateTime LocalNow() override {
    time_t now = time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
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
    *time = {parts.tm_year + 1900, parts.tm_mon + 1,
             parts.tm_wday,        parts.tm_mday,
             parts.tm_hour,        parts.tm_min,
             parts.tm_sec,         static_cast<int>((file_time / 10000u) % 1000u)};
    return true;
  }

  // No room limit here: Windows' calls answer nothing past 63 characters of
  // a one-byte code page, but UTF-8 names take up to four bytes a letter, and
  // a cut text would blank half the date list.
  std::string FormatDate(const CalendarTime& time, std::string_view picture) override {
    return FormatDatePicture(time, picture, SystemLocaleNames());
  }

  std::string FormatTime(const CalendarTime& time, std::string_view picture) override {
    return FormatTimePicture(time, picture, SystemLocaleNames());
  }

 private:
  static constexpr std::size_t kHoldLimit = 16384;

  struct Stream {
    bool terminal = false;
    bool colors = false;
    TextColor shown = TextColor::kNormal;
    std::string held;
  };

  void Flush(int index) {
    Stream& state = streams_[index];
    if (state.held.empty()) return;
    WriteAll(index + 1, state.held);
    state.held.clear();
  }

  Stream streams_[2];
  TextColor wanted_color_ = TextColor::kNormal;
  bool session_started_ = false;
  bool title_shown_ = false;
};

Session::~Session() {
  platform_.FlushAll();
  terminal_.reset();
}

}  // namespace

Platform& SystemPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace slidemill
