// The one door to the operating system. Everything above this layer is the
// same code on Windows and POSIX; each system implements Platform in its own
// .cc file (platform_win32.cc, platform_posix.cc), and tests replace single
// calls through PlatformWrapper.
#ifndef SLIDEMILL_PLATFORM_PLATFORM_H_
#define SLIDEMILL_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace slidemill {

enum class ConsoleStream { kOutput, kError };

struct LocalDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// A calendar date and time, as the system converts a file time.
struct CalendarTime {
  int year = 0;
  int month = 0;        // 1 to 12
  int day_of_week = 0;  // 0 is Sunday
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

// File attribute bits, with their Windows values on every system.
inline constexpr uint32_t kAttributeReadOnly = 0x1;
inline constexpr uint32_t kAttributeHidden = 0x2;
inline constexpr uint32_t kAttributeSystem = 0x4;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeNormal = 0x80;
inline constexpr uint32_t kAttributeReparsePoint = 0x400;

// What identifies a directory however it is reached (through a link, say):
// device and inode on POSIX, volume serial and file index on Windows.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// One directory entry as the system describes it. Times count 100 ns since
// 1601-01-01 UTC on every system.
struct FileEntry {
  uint32_t attributes = 0;
  uint64_t creation_time = 0;
  uint64_t last_access_time = 0;
  uint64_t last_write_time = 0;
  uint64_t size = 0;
  std::string name;        // the bare name
  std::string short_name;  // the 8.3 name where the system has one
  // What the entry leads to, where the listing tells it for nothing (POSIX).
  std::optional<FileIdentity> identity;
};

enum class ListResult {
  kOk,        // listed (possibly empty)
  kNotFound,  // the system reports nothing to list
  kFailed,    // cannot be listed: no permission, vanished, not a directory
  kTooLong,   // its path is too long for the system to list it
};

// Console text attributes (foreground on black), with their Windows values.
enum class TextColor : int {
  kNormal = 7,
  kSuccess = 10,
  kSupport = 11,
  kFailure = 12,
  kEmphasis = 15,
};

// One argument of a command for another program. `quoted` keeps the double
// quotes the command's template writes it in on its one-line form.
struct CommandArgument {
  std::string text;
  bool quoted = false;
};

// The arguments as one line: one space between them, a quoted one in double
// quotes.
inline std::string JoinCommandLine(const std::vector<CommandArgument>& arguments) {
  std::string line;
  for (const CommandArgument& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += argument.quoted ? '"' + argument.text + '"' : argument.text;
  }
  return line;
}

// What became of a child the program started, or tried to. What an exit
// code means is the started program's own business, never the platform's.
struct ChildOutcome {
  enum class Kind {
    kExited,       // it ended on its own; `code` holds its exit status
    kCtrlC,        // the system ended it for Ctrl-C (SIGINT)
    kCtrlBreak,    // the system ended it for Ctrl-Break (SIGQUIT, Ctrl-\ on POSIX)
    kKilled,       // another signal ended it; `code` holds the signal
    kNoDirectory,  // not started: its working directory cannot be entered
    kCannotStart,  // not started: it cannot be started at all
    kLost,         // started, but how it ended cannot be learnt
  };
  Kind kind = Kind::kExited;
  uint32_t code = 0;
  std::string error;  // the system's own words for why, when it did not run
};

// A started child until it has been waited for: its process id.
using ChildId = uint64_t;

// The child just started, or 0 and why it was not.
struct ChildStart {
  ChildId id = 0;
  ChildOutcome outcome;
};

struct EndedChild {
  ChildId id = 0;
  ChildOutcome outcome;
  std::string output;  // a background child's last output, up to 64 KiB
};

// A request from outside the program to end the run.
struct EndRequest {
  std::string name;  // "SIGTERM"
  int status = 0;    // the exit status it calls for: 128 + the signal
};

// How long a wait may take: no limit.
inline constexpr uint32_t kWaitForever = UINT32_MAX;

// How the process was started. Windows hands over one text that the program
// splits by its own rule; POSIX hands over the arguments the shell made.
struct ProcessCommandLine {
  bool is_single_text = false;
  std::string text;                    // whole command line, program included
  std::vector<std::string> arguments;  // the arguments after the program
};

// Puts the console back as it was when it goes away (input mode, terminal
// settings, control handler, colours).
class ConsoleSession {
 public:
  virtual ~ConsoleSession() = default;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Process ---
  // argc/argv are what main received; Windows ignores them and reads the
  // command line as one text.
  virtual ProcessCommandLine CommandLine(int argc, char** argv) = 0;
  virtual std::optional<std::string> EnvironmentVariable(const std::string& name) = 0;

  // --- Console ---
  // Output modes, the control handler that keeps Ctrl-C, Ctrl-Break and a
  // closing console from ending the program, and raw keyboard input. Only the
  // first session of a process takes effect.
  virtual std::unique_ptr<ConsoleSession> StartConsole() = 0;
  // Writes the bytes as they are; no line end is added.
  virtual void Write(ConsoleStream stream, std::string_view text) = 0;
  // The console's line end: CR LF on Windows, LF on POSIX.
  virtual std::string_view LineEnd() = 0;
  // The colour of the text written next.
  virtual void SetTextColor(TextColor color) = 0;
  // Takes the next pending key press without waiting: its character, or the
  // character 0 and its scan code; "" when none is pending. Releases and
  // modifier keys alone are passed over.
  virtual std::string ReadKey() = 0;
  // Whether a key can come at all (a console or terminal to read from).
  virtual bool HasKeyboard() = 0;
  // Shows `title` as the console's (terminal's) title; "" puts back the one
  // it had. False, and nothing shown, when the standard output is not a
  // console.
  virtual bool ShowTitle(std::string_view title) = 0;

  // --- Files and directories ---
  virtual std::string CurrentDirectory() = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // An existing entry that is not a directory.
  virtual bool FileExists(const std::string& path) = 0;
  // The program file that a path names, as starting it would find it: the
  // file itself, or on Windows for a name without an extension the first
  // with an extension of PATHEXT. Nothing when there is none.
  virtual std::optional<std::string> ProgramFile(const std::string& path) = 0;
  // The system's Fonts folder; "" when it cannot be had.
  virtual std::string FontsFolder() = 0;
  // Opens the file for appending (creating it), writes, closes. False when
  // the file cannot be opened or written.
  virtual bool AppendToFile(const std::string& path, std::string_view bytes) = 0;

  // The entry a path names, looked up literally: every byte of the path is
  // just a byte, so "*" or "?" in it is never a wildcard. The entry's name
  // is its bare name.
  virtual bool FindFirst(const std::string& path, FileEntry* entry) = 0;
  // Every entry of directory `dir` (taken literally; "" is the current
  // directory) whose name matches `pattern`, a wildcard with * and ? that
  // ignores letter case, in the system's order (by name on POSIX). False
  // when there is none.
  virtual bool FindAll(const std::string& dir, const std::string& pattern,
                       std::vector<FileEntry>* entries) = 0;

  // Every entry of a directory in the system's order (by name on POSIX),
  // "." and ".." included where the system lists them. When it cannot be
  // listed, `error` says why in the system's words.
  virtual ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries,
                                   std::string* error) = 0;
  // The identity of the directory a path leads to.
  virtual std::optional<FileIdentity> DirectoryIdentity(const std::string& path) = 0;
  // The path made absolute against the current directory.
  virtual std::string AbsolutePath(const std::string& path) = 0;
  // Writes a whole file so that it is either complete or absent: a temporary
  // file in the same directory, renamed into place. An existing file that
  // may not be written is left alone, as opening it would refuse; one in a
  // directory that takes no new files is written in place. On failure
  // `error` says why in a few words ("Permission denied").
  virtual bool WriteWholeFile(const std::string& path, std::string_view bytes,
                              std::string* error) = 0;
  // Up to `limit` bytes from the start of a regular file. Opening it never
  // waits: a FIFO or a device is refused, not read. False when it cannot be
  // read, with the system's words why.
  virtual bool ReadFileStart(const std::string& path, std::size_t limit, std::string* bytes,
                             std::string* error) = 0;
  // A new file in the system's temporary folder that only the user may
  // read, holding `bytes`: its path, or false with the system's words why.
  virtual bool WriteTemporaryFile(std::string_view bytes, std::string* path,
                                  std::string* error) = 0;
  // A new symbolic link to `target`, a photo, in the system's temporary
  // folder, named with ".jpg"; false where the system makes none (Windows,
  // whose file names never need one).
  virtual bool LinkTemporaryFile(const std::string& target, std::string* path,
                                 std::string* error) = 0;
  // Up to `size` bytes of a file from `offset` on: fewer where the file
  // ends, none when it cannot be read.
  virtual std::string ReadFileRange(const std::string& path, uint64_t offset, std::size_t size) = 0;
  // Makes an empty file of that name afresh: whatever had the name before
  // (a file left behind, a symbolic link) is removed, never written
  // through. False (with a few words why) when it cannot.
  virtual bool MakeFreshFile(const std::string& path, std::string* error) = 0;
  // Removes a file; false when it cannot.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Renames a file, replacing one of the new name; false (with a few words
  // why) when it cannot.
  virtual bool RenameFile(const std::string& from, const std::string& to, std::string* error) = 0;

  // --- Processes ---
  // The line the user is shown for a command: on Windows the very line that
  // is run.
  virtual std::string ShownCommandLine(const std::vector<CommandArgument>& arguments) = 0;
  // Starts a command in `dir` without waiting for it, directly (no command
  // interpreter), the program found through the search path. Key presses
  // reach a child as they reach a program run from the console; a
  // background child instead runs apart from the console's Ctrl-C, reads
  // no keyboard, and its output is kept aside and handed back when it ends.
  virtual ChildStart StartChild(const std::vector<CommandArgument>& arguments,
                                const std::string& dir, bool background) = 0;
  // Blocks until one of the started children ends, or with `or_key` until
  // a key is pending, or until `milliseconds` have passed, or while the run
  // is asked to end (EndRequested): the child that ended, else nothing. One
  // call of the system, no polling: a wait for a long encoder takes no
  // processor time.
  virtual std::optional<EndedChild> WaitForChild(uint32_t milliseconds, bool or_key) = 0;
  // Blocks until a key is pending or `milliseconds` have passed; false at
  // once when no key can come, or while the run is asked to end.
  virtual bool WaitForKey(uint32_t milliseconds) = 0;
  // Ends every started child at once, with whatever it started itself, and
  // waits until each has ended; none of them is answered by WaitForChild.
  virtual void StopChildren() = 0;
  // Pauses, or less while the run is asked to end.
  virtual void Sleep(uint32_t milliseconds) = 0;
  // The request from outside to end the run, once one came (SIGTERM, a
  // hang-up, or Ctrl-C without a terminal to ask on POSIX; the console
  // closing on Windows): its name and the exit status it calls for.
  virtual std::optional<EndRequest> EndRequested() = 0;

  // --- Time ---
  virtual LocalDateTime LocalNow() = 0;
  // Converts a file time to calendar time, in UTC or in the local time zone
  // in force now. False when the time cannot be converted.
  virtual bool FileTimeToCalendar(uint64_t file_time, bool local, CalendarTime* time) = 0;
  // Formats with a date or time picture in the system's default locale; ""
  // when it cannot.
  virtual std::string FormatDate(const CalendarTime& time, std::string_view picture) = 0;
  virtual std::string FormatTime(const CalendarTime& time, std::string_view picture) = 0;
};

// The platform of the running process.
Platform& SystemPlatform();

// Forwards every call to another platform, so that a test overrides only the
// call it needs.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}

  ProcessCommandLine CommandLine(int argc, char** argv) override {
    return target_.CommandLine(argc, argv);
  }
  std::optional<std::string> EnvironmentVariable(const std::string& name) override {
    return target_.EnvironmentVariable(name);
  }
  std::unique_ptr<ConsoleSession> StartConsole() override { return target_.StartConsole(); }
  void Write(ConsoleStream stream, std::string_view text) override { target_.Write(stream, text); }
  std::string_view LineEnd() override { return target_.LineEnd(); }
  void SetTextColor(TextColor color) override { target_.SetTextColor(color); }
  std::string ReadKey() override { return target_.ReadKey(); }
  bool HasKeyboard() override { return target_.HasKeyboard(); }
  bool ShowTitle(std::string_view title) override { return target_.ShowTitle(title); }
  std::string CurrentDirectory() override { return target_.CurrentDirectory(); }
  bool DirectoryExists(const std::string& path) override { return target_.DirectoryExists(path); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  std::optional<std::string> ProgramFile(const std::string& path) override {
    return target_.ProgramFile(path);
  }
  std::string FontsFolder() override { return target_.FontsFolder(); }
  bool AppendToFile(const std::string& path, std::string_view bytes) override {
    return target_.AppendToFile(path, bytes);
  }
  bool FindFirst(const std::string& path, FileEntry* entry) override {
    return target_.FindFirst(path, entry);
  }
  bool FindAll(const std::string& dir, const std::string& pattern,
               std::vector<FileEntry>* entries) override {
    return target_.FindAll(dir, pattern, entries);
  }
  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries,
                           std::string* error) override {
    return target_.ListDirectory(dir, entries, error);
  }
  std::optional<FileIdentity> DirectoryIdentity(const std::string& path) override {
    return target_.DirectoryIdentity(path);
  }
  std::string AbsolutePath(const std::string& path) override { return target_.AbsolutePath(path); }
  bool WriteWholeFile(const std::string& path, std::string_view bytes,
                      std::string* error) override {
    return target_.WriteWholeFile(path, bytes, error);
  }
  bool ReadFileStart(const std::string& path, std::size_t limit, std::string* bytes,
                     std::string* error) override {
    return target_.ReadFileStart(path, limit, bytes, error);
  }
  bool WriteTemporaryFile(std::string_view bytes, std::string* path, std::string* error) override {
    return target_.WriteTemporaryFile(bytes, path, error);
  }
  bool LinkTemporaryFile(const std::string& target, std::string* path,
                         std::string* error) override {
    return target_.LinkTemporaryFile(target, path, error);
  }
  std::string ReadFileRange(const std::string& path, uint64_t offset, std::size_t size) override {
    return target_.ReadFileRange(path, offset, size);
  }
  bool MakeFreshFile(const std::string& path, std::string* error) override {
    return target_.MakeFreshFile(path, error);
  }
  bool RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    return target_.RenameFile(from, to, error);
  }
  std::string ShownCommandLine(const std::vector<CommandArgument>& arguments) override {
    return target_.ShownCommandLine(arguments);
  }
  ChildStart StartChild(const std::vector<CommandArgument>& arguments, const std::string& dir,
                        bool background) override {
    return target_.StartChild(arguments, dir, background);
  }
  std::optional<EndedChild> WaitForChild(uint32_t milliseconds, bool or_key) override {
    return target_.WaitForChild(milliseconds, or_key);
  }
  bool WaitForKey(uint32_t milliseconds) override { return target_.WaitForKey(milliseconds); }
  void StopChildren() override { target_.StopChildren(); }
  void Sleep(uint32_t milliseconds) override { target_.Sleep(milliseconds); }
  std::optional<EndRequest> EndRequested() override { return target_.EndRequested(); }
  LocalDateTime LocalNow() override { return target_.LocalNow(); }
  bool FileTimeToCalendar(uint64_t file_time, bool local, CalendarTime* time) override {
    return target_.FileTimeToCalendar(file_time, local, time);
  }
  std::string FormatDate(const CalendarTime& time, std::string_view picture) override {
    return target_.FormatDate(time, picture);
  }
  std::string FormatTime(const CalendarTime& time, std::string_view picture) override {
    return target_.FormatTime(time, picture);
  }

 protected:
  Platform& target() { return target_; }

 private:
  Platform& target_;
};

}  // namespace slidemill

#endif  // SLIDEMILL_PLATFORM_PLATFORM_H_
