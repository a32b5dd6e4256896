// Starting children: directly, with no shell, in their directory, reading
// /dev/null. While a foreground child runs the user's terminal settings are
// back, so that Ctrl-C reaches it; a background child has a process group
// of its own and an unnamed temporary file for its output.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/posix_internal.h"

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

// A byte arrives on this pipe whenever a child ends or the run is asked to
// end, so that one poll() waits for a child, a key and a signal at once.
int g_wake_pipe[2] = {-1, -1};

void NoteChildEnded(int) { WakeWaits(); }

void DrainWakePipe() {
  char bytes[64];
  while (read(g_wake_pipe[0], bytes, sizeof bytes) > 0) {
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

// What a child tells through its report pipe when the program cannot run:
// the step that failed and its errno. Nothing arrives once the exec worked.
struct ChildFailure {
  int entering = 0;  // 1: the directory could not be entered
  int error = 0;
};

[[noreturn]] void ReportFailure(int fd, int entering, int error) {
  ChildFailure failure{entering, error};
  ssize_t ignored = write(fd, &failure, sizeof failure);
  (void)ignored;
  _exit(127);
}

// In the forked child, up to the exec; the program's signals are blocked
// meanwhile. Every signal goes back to its default, but for one the
// program was started ignoring (nohup), which stays ignored for the
// encoder too. A background child leads a process group of its own and
// writes to `output`; every child reads nothing, and dies with the program
// whatever ends the program.
[[noreturn]] void RunChild(char* const* argv, const char* dir, bool background, int input,
                           int output, int report, pid_t parent) {
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction old;
    if (sig == SIGKILL || sig == SIGSTOP || sigaction(sig, nullptr, &old) != 0) continue;
    if (old.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(sig, &action, nullptr);
  }
  if (background) setpgid(0, 0);
#ifdef __linux__
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);  // the program ended before the line above
#else
  (void)parent;
#endif
  if (dup2(input, 0) < 0) ReportFailure(report, 0, errno);
  if (background && (dup2(output, 1) < 0 || dup2(output, 2) < 0)) ReportFailure(report, 0, errno);
  if (chdir(dir) != 0) ReportFailure(report, 1, errno);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execvp(argv[0], argv);
  ReportFailure(report, 0, errno);
}

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
  using Kind = ChildOutcome::Kind;
  if (arguments.empty()) return {0, NotRun(Kind::kCannotStart, EINVAL)};
  if (int error = EnterError(dir)) return {0, NotRun(Kind::kNoDirectory, error)};
  if (g_started.size() >= kMaxRunningChildren) return {0, NotRun(Kind::kCannotStart, EAGAIN)};
  ScopedFd output(background ? OutputFile() : -1);
  if (background && output.get() < 0) return {0, NotRun(Kind::kCannotStart, errno)};
  // The encoder reads nothing of the user's: not the keyboard, not what was
  // piped to the program.
  ScopedFd input(open("/dev/null", O_RDONLY | O_CLOEXEC));
  int report_pipe[2];
  if (input.get() < 0 || pipe2(report_pipe, O_CLOEXEC) != 0) {
    return {0, NotRun(Kind::kCannotStart, errno)};
  }
  ScopedFd report_read(report_pipe[0]), report_write(report_pipe[1]);
  WatchChildren();

  std::vector<char*> argv;
  for (const CommandArgument& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.text.c_str()));
  }
  argv.push_back(nullptr);

  bool lend = !background && !AnyInForeground();
  if (lend) LendTerminal();
  // No handler of the program may run in the child.
  sigset_t all, saved;
  sigfillset(&all);
  sigprocmask(SIG_SETMASK, &all, &saved);
  const pid_t parent = getpid();
  pid_t child = fork();
  if (child == 0) {
    RunChild(argv.data(), dir.c_str(), background, input.get(), output.get(), report_write.get(),
             parent);
  }
  int fork_error = errno;
  sigprocmask(SIG_SETMASK, &saved, nullptr);
  report_write = ScopedFd();
  ChildFailure failure;
  ssize_t got = child < 0 ? 0 : -1;
  while (got < 0 && (got = read(report_read.get(), &failure, sizeof failure)) < 0 &&
         errno == EINTR) {
  }
  if (child < 0 || got == static_cast<ssize_t>(sizeof failure)) {
    if (child > 0) {
      while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    if (lend) TakeTerminalBack();
    if (failure.entering) return {0, NotRun(Kind::kNoDirectory, failure.error)};
    ChildOutcome outcome = NotRun(Kind::kCannotStart, child < 0 ? fork_error : failure.error);
    outcome.error = arguments[0].text + ": " + outcome.error;  // the program it could not start
    return {0, outcome};
  }
  g_started.push_back({child, background, std::move(output)});
  AddRunningChild(child, background);
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
    // Asked to end: the children are the caller's to stop.
    if (EndSignal() != 0) return std::nullopt;
    // Without the pipe a child's end is seen at the next look.
    if (g_wake_pipe[0] < 0 && (timeout < 0 || timeout > 50)) timeout = 50;
    struct pollfd wait[2] = {{g_wake_pipe[0], POLLIN, 0}, {or_key ? KeyboardFd() : -1, POLLIN, 0}};
    if (poll(wait, 2, timeout) < 0) continue;  // interrupted: look again
    if ((wait[1].revents & POLLIN) != 0) return std::nullopt;
    if ((wait[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) NoteTerminalGone();
    if ((wait[0].revents & POLLIN) != 0) DrainWakePipe();
  }
}

bool WaitForKeyPress(uint32_t milliseconds) {
  int fd = KeyboardFd();
  if (fd < 0) return false;
  WatchChildren();
  struct pollfd wait[2] = {{fd, POLLIN, 0}, {g_wake_pipe[0], POLLIN, 0}};
  int timeout = milliseconds == kWaitForever
                    ? -1
                    : static_cast<int>(std::min<uint32_t>(milliseconds, INT32_MAX));
  for (;;) {
    if (EndSignal() != 0) return false;
    int ready = poll(wait, 2, timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if ((wait[0].revents & POLLIN) != 0) return true;
    if ((wait[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      NoteTerminalGone();  // hung up: no key will come
      return false;
    }
    DrainWakePipe();  // a child ended, or a signal came: looked at above
  }
}

void StopProcesses() {
  // A background child leads its own group: whatever it started goes too.
  for (const Started& child : g_started) kill(child.background ? -child.pid : child.pid, SIGKILL);
  while (!g_started.empty()) {
    pid_t child = g_started.front().pid;
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    Forget(child);
  }
}

void WatchChildren() {
  if (g_wake_pipe[0] >= 0) return;
  if (pipe2(g_wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // waits then look every 50 ms
  SetWakeFd(g_wake_pipe[1]);
  struct sigaction action = {};
  action.sa_handler = NoteChildEnded;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  sigaction(SIGCHLD, &action, nullptr);
}

}  // namespace slidemill::posix
