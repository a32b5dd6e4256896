// Starting children: directly, with no shell, in their directory. While a
// foreground child runs the user's terminal settings are back, so that
// Ctrl-C reaches it; a background child has a process group of its own,
// /dev/null for input and an unnamed temporary file for its output.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/posix_internal.h"

extern char** environ;

namespace slidemill::posix {
namespace {

// The most of a background child's output that is handed back.
constexpr off_t kOutputKept = 64 * 1024;

struct Started {
  pid_t pid;
  bool background;
  ScopedFd output;  // a background child's output file
};

// The children started and not yet waited for, oldest first.
std::vector<Started> g_started;

// A byte arrives on this pipe whenever a child ends, so that one poll()
// waits for a child and a key at once.
int g_child_pipe[2] = {-1, -1};

void NoteChildEnded(int) {
  int saved_errno = errno;
  char byte = 0;
  ssize_t ignored = write(g_child_pipe[1], &byte, 1);  // a full pipe has said it already
  (void)ignored;
  errno = saved_errno;
}

// Sets up the pipe and its SIGCHLD handler before the first child starts.
void WatchChildren() {
  if (g_child_pipe[0] >= 0) return;
  if (pipe2(g_child_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // waits then look every 50 ms
  struct sigaction action = {};
  action.sa_handler = NoteChildEnded;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  sigaction(SIGCHLD, &action, nullptr);
}

void DrainChildPipe() {
  char bytes[64];
  while (read(g_child_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

bool AnyInForeground() {
  return std::ranges::any_of(g_started, [](const Started& child) { return !child.background; });
}

// A file for a child's output that no one else can open: made in the
// temporary folder and unlinked at once. -1 and errno when it cannot be.
int OutputFile() {
  const char* folder = getenv("TMPDIR");
  std::string name =
      std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/slidemill-XXXXXX";
  int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) unlink(name.c_str());
  return fd;
}

// The last bytes a background child wrote.
std::string OutputTail(int fd) {
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0) return "";
  off_t from = std::max<off_t>(0, info.st_size - kOutputKept);
  std::string tail(static_cast<std::size_t>(info.st_size - from), '\0');
  ssize_t got = pread(fd, tail.data(), tail.size(), from);
  tail.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return tail;
}

// 0 when the directory can be entered, else the errno why not.
int EnterError(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  close(fd);
  return access(dir.c_str(), X_OK) == 0 ? 0 : errno;
}

ChildOutcome NotRun(ChildOutcome::Kind kind, int error) {
  return ChildOutcome{kind, 0, SystemErrorText(error)};
}

// Spawn attributes and file actions; each is destroyed only if it was made.
class SpawnSetup {
 public:
  SpawnSetup()
      : attributes_error_(posix_spawnattr_init(&attributes_)),
        actions_error_(posix_spawn_file_actions_init(&actions_)) {}
  ~SpawnSetup() {
    if (actions_error_ == 0) posix_spawn_file_actions_destroy(&actions_);
    if (attributes_error_ == 0) posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The child starts in `dir` with no signal blocked and every signal at
  // its default, whatever the program does with them; in the background
  // in a process group of its own, reading /dev/null and writing to
  // `output`. Answers 0 or the error of the first step that failed.
  int Prepare(const std::string& dir, bool background, int output) {
    if (attributes_error_ != 0) return attributes_error_;
    if (actions_error_ != 0) return actions_error_;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (background) flags |= POSIX_SPAWN_SETPGROUP;
    if (int error = posix_spawnattr_setsigmask(&attributes_, &none)) return error;
    if (int error = posix_spawnattr_setsigdefault(&attributes_, &all)) return error;
    if (int error = posix_spawnattr_setflags(&attributes_, flags)) return error;
    if (background) {
      if (int error = posix_spawnattr_setpgroup(&attributes_, 0)) return error;
      if (int error = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0)) {
        return error;
      }
      for (int fd : {1, 2}) {
        if (int error = posix_spawn_file_actions_adddup2(&actions_, output, fd)) return error;
      }
    }
    return posix_spawn_file_actions_addchdir_np(&actions_, dir.c_str());
  }

  const posix_spawnattr_t* attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
  int attributes_error_;
  int actions_error_;
};

ChildOutcome FromWaitStatus(int status) {
  using Kind = ChildOutcome::Kind;
  if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    Kind kind = sig == SIGINT ? Kind::kCtrlC : sig == SIGQUIT ? Kind::kCtrlBreak : Kind::kKilled;
    return {kind, static_cast<uint32_t>(sig), ""};
  }
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
  return {Kind::kExited, static_cast<uint32_t>(code), ""};
}

// Forgets a child, answering its output; the last one in the foreground
// gives the keyboard back to the program.
std::string Forget(pid_t child) {
  auto found = std::ranges::find(g_started, child, &Started::pid);
  std::string output = found->background ? OutputTail(found->output.get()) : "";
  bool foreground = !found->background;
  g_started.erase(found);
  RemoveRunningChild(child);
  if (foreground && !AnyInForeground()) TakeTerminalBack();
  return output;
}

bool IsStarted(pid_t child) {
  return std::ranges::find(g_started, child, &Started::pid) != g_started.end();
}

}  // namespace

ChildStart StartProcess(const std::vector<CommandArgument>& arguments, const std::string& dir,
                        bool background) {
  if (arguments.empty()) return {0, NotRun(ChildOutcome::Kind::kCannotStart, EINVAL)};
  if (int error = EnterError(dir)) return {0, NotRun(ChildOutcome::Kind::kNoDirectory, error)};
  if (g_started.size() >= kMaxRunningChildren) {
    return {0, NotRun(ChildOutcome::Kind::kCannotStart, EAGAIN)};
  }
  ScopedFd output(background ? OutputFile() : -1);
  if (background && output.get() < 0) return {0, NotRun(ChildOutcome::Kind::kCannotStart, errno)};
  WatchChildren();
  SpawnSetup setup;
  if (int error = setup.Prepare(dir, background, output.get())) {
    return {0, NotRun(ChildOutcome::Kind::kCannotStart, error)};
  }

  std::vector<char*> argv;
  for (const CommandArgument& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.text.c_str()));
  }
  argv.push_back(nullptr);

  bool lend = !background && !AnyInForeground();
  if (lend) LendTerminal();
  pid_t child = 0;
  int error =
      posix_spawnp(&child, argv[0], setup.actions(), setup.attributes(), argv.data(), environ);
  if (error != 0) {
    if (lend) TakeTerminalBack();
    // The directory may have gone between the check and the start.
    if (EnterError(dir) != 0) return {0, NotRun(ChildOutcome::Kind::kNoDirectory, error)};
    ChildOutcome outcome = NotRun(ChildOutcome::Kind::kCannotStart, error);
    outcome.error = arguments[0].text + ": " + outcome.error;  // the program it could not start
    return {0, outcome};
  }
  g_started.push_back({child, background, std::move(output)});
  AddRunningChild(child);
  return {static_cast<ChildId>(child), {}};
}

std::optional<EndedChild> WaitForProcess(uint32_t milliseconds, bool or_key) {
  if (g_started.empty()) return EndedChild{0, NotRun(ChildOutcome::Kind::kLost, ECHILD), ""};
  using Clock = std::chrono::steady_clock;
  const bool forever = milliseconds == kWaitForever;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int status = 0;
    // The program starts no children but these.
    pid_t child = waitpid(-1, &status, WNOHANG);
    if (child < 0 && errno == EINTR) continue;
    if (child < 0) {
      // Nothing more can be learnt of any of them; the oldest is given up.
      int error = errno;
      pid_t oldest = g_started.front().pid;
      std::string output = Forget(oldest);
      return EndedChild{static_cast<ChildId>(oldest), NotRun(ChildOutcome::Kind::kLost, error),
                        output};
    }
    if (child > 0) {
      if (!IsStarted(child)) continue;
      std::string output = Forget(child);
      return EndedChild{static_cast<ChildId>(child), FromWaitStatus(status), std::move(output)};
    }
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    if (!forever && left <= 0) return std::nullopt;
    int timeout = forever ? -1 : static_cast<int>(std::min<int64_t>(left, INT32_MAX));
    // Without the pipe a child's end is seen at the next look.
    if (g_child_pipe[0] < 0 && (timeout < 0 || timeout > 50)) timeout = 50;
    struct pollfd wait[2] = {{g_child_pipe[0], POLLIN, 0}, {or_key ? KeyboardFd() : -1, POLLIN, 0}};
    if (poll(wait, 2, timeout) < 0) continue;  // interrupted: look again
    if ((wait[1].revents & POLLIN) != 0) return std::nullopt;
    if ((wait[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) NoteTerminalGone();
    if ((wait[0].revents & POLLIN) != 0) DrainChildPipe();
  }
}

bool WaitForKeyPress(uint32_t milliseconds) {
  int fd = KeyboardFd();
  if (fd < 0) return false;
  struct pollfd wait = {fd, POLLIN, 0};
  int timeout = milliseconds == kWaitForever
                    ? -1
                    : static_cast<int>(std::min<uint32_t>(milliseconds, INT32_MAX));
  int ready;
  while ((ready = poll(&wait, 1, timeout)) < 0 && errno == EINTR) {
  }
  if (ready <= 0) return false;
  if ((wait.revents & POLLIN) != 0) return true;
  NoteTerminalGone();  // hung up: no key will come
  return false;
}

void StopProcesses() {
  // A background child leads its own group: whatever it started goes too.
  for (const Started& child : g_started) kill(child.background ? -child.pid : child.pid, SIGKILL);
}

}  // namespace slidemill::posix
