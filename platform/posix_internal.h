// Pieces of the POSIX platform shared between its files. Nothing outside
// platform/*_posix.cc includes this.
#ifndef SLIDEMILL_PLATFORM_POSIX_INTERNAL_H_
#define SLIDEMILL_PLATFORM_POSIX_INTERNAL_H_

#include <sys/types.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace slidemill::posix {

// A file descriptor that closes itself.
class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ScopedFd(ScopedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~ScopedFd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// --- Terminal (terminal_posix.cc) ---
std::unique_ptr<ConsoleSession> StartTerminalSession();
// The user's own terminal settings while another program runs, and the
// program's raw keyboard afterwards.
void LendTerminal();
void TakeTerminalBack();
// The children that die with the program when it is terminated: at most
// kMaxRunningChildren at a time. A background child leads its own process
// group, which dies whole.
inline constexpr std::size_t kMaxRunningChildren = 64;
void AddRunningChild(pid_t child, bool background);
void RemoveRunningChild(pid_t child);
// The signal that asked the run to end (SIGTERM, SIGHUP, or SIGINT and
// SIGQUIT with no terminal to ask on), or 0 while none did.
int EndSignal();
// The pipe end a signal writes a byte to, so that waits wake for it; and
// the async-signal-safe write itself.
void SetWakeFd(int fd);
void WakeWaits();
// A temporary file removed if the program is terminated while writing it.
void SetPendingTemporaryFile(const char* path);
bool KeyboardAvailable();
// The terminal to wait on for keys, or -1 while no key can come.
int KeyboardFd();
// The terminal hung up: no key will come from it again.
void NoteTerminalGone();
// Takes one pending byte from the terminal, or -1.
int ReadTerminalByte();
// Whether more bytes arrive within a few milliseconds (the rest of an
// escape sequence).
bool WaitForTerminalByte(int milliseconds);
// Notes that a colour is showing on standard output (0) or error (1), so
// that it is reset when the program ends.
void NoteColorShowing(int stream, bool showing);

// --- Keys (keys_posix.cc) ---
// Decodes key presses from a terminal's bytes: a character, or 0 and a scan
// code for keys that send escape sequences (F4 is 0 and 62). Unknown
// sequences are dropped whole, never split into stray characters.
class KeyDecoder {
 public:
  // Answers the next byte, waiting up to `wait_ms` for it (0: only one that
  // is pending); -1 when there is none.
  using ByteSource = std::function<int(int wait_ms)>;
  explicit KeyDecoder(ByteSource source) : source_(std::move(source)) {}
  // "" when no key is pending.
  std::string Next();

 private:
  int NextByte();
  int SequenceByte();
  int ReadControlSequence();

  ByteSource source_;
  int pushed_back_ = -1;
};

// The next key from the terminal.
std::string NextKey();

// --- Files (files_posix.cc) ---
// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr int64_t kEpochDifference = 11644473600;
uint64_t ToFileTime(int64_t seconds, int64_t nanoseconds);
// Describes `name` in the directory open as `dir_fd` (AT_FDCWD for a path).
bool DescribeEntry(int dir_fd, const std::string& path, const std::string& name, FileEntry* entry);
// The entry a path names, taken literally.
bool DescribePath(const std::string& path, FileEntry* entry);
// The entries of `dir` whose names match a wildcard `pattern` (case ignored),
// in name order. False when none does.
bool FindMatching(const std::string& dir, const std::string& pattern,
                  std::vector<FileEntry>* entries);
ListResult ListEntries(const std::string& dir, std::vector<FileEntry>* entries, std::string* error);
// Writes all the bytes, through partial writes and interruptions; answers 0
// or the errno of the failure.
int WriteAll(int fd, std::string_view bytes);
bool WriteFileThroughTemporary(const std::string& path, std::string_view bytes, std::string* error);
bool ReadStart(const std::string& path, std::size_t limit, std::string* bytes, std::string* error);
// A new entry of the temporary folder, "slidemill-<process>-<n>": a file
// of the user's own holding `bytes`, or with `link_to` a symbolic link to
// that, its name ending in ".jpg".
bool MakeTemporary(std::string_view bytes, const char* link_to, std::string* path,
                   std::string* error);
// Removes every entry MakeTemporary made; safe in a signal handler.
void RemoveTemporaries();
// A few words for an errno value, in the forms the title-file report uses.
std::string FileErrorText(int error);
// The system's own words for an errno value.
std::string SystemErrorText(int error);

// --- Processes (process_posix.cc) ---
ChildStart StartProcess(const std::vector<CommandArgument>& arguments, const std::string& dir,
                        bool background);
std::optional<EndedChild> WaitForProcess(uint32_t milliseconds, bool or_key);
bool WaitForKeyPress(uint32_t milliseconds);
// Kills every started child and waits for each.
void StopProcesses();
// Sets up the pipe that wakes waits and its SIGCHLD handler, once.
void WatchChildren();

}  // namespace slidemill::posix

#endif  // SLIDEMILL_PLATFORM_POSIX_INTERNAL_H_
