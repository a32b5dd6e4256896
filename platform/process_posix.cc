// Starting children: directly, with no shell, in their directory, with the
// user's terminal settings while any runs so that Ctrl-C reaches them.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix_internal.h"

extern char** environ;

namespace slidemill::posix {
namespace {

// mencoder finishes its file and exits with this when Ctrl-C reaches it.
constexpr int kInterruptedExit = 2;

// The children started and not yet waited for, oldest first.
std::vector<pid_t> g_started;

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
  // its default, whatever the program does with them. Answers 0 or the
  // error of the first step that failed.
  int Prepare(const std::string& dir) {
    if (attributes_error_ != 0) return attributes_error_;
    if (actions_error_ != 0) return actions_error_;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    if (int error = posix_spawnattr_setsigmask(&attributes_, &none)) return error;
    if (int error = posix_spawnattr_setsigdefault(&attributes_, &all)) return error;
    if (int error = posix_spawnattr_setflags(&attributes_,
                                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF)) {
      return error;
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
  return {code == kInterruptedExit ? Kind::kCtrlC : Kind::kExited, static_cast<uint32_t>(code), ""};
}

// Forgets a child; the last one gives the keyboard back to the program.
void Forget(pid_t child) {
  g_started.erase(std::find(g_started.begin(), g_started.end(), child));
  RemoveRunningChild(child);
  if (g_started.empty()) TakeTerminalBack();
}

}  // namespace

ChildStart StartProcess(const std::vector<CommandArgument>& arguments, const std::string& dir) {
  if (arguments.empty()) return {0, NotRun(ChildOutcome::Kind::kCannotStart, EINVAL)};
  if (int error = EnterError(dir)) return {0, NotRun(ChildOutcome::Kind::kNoDirectory, error)};
  if (g_started.size() >= kMaxRunningChildren) {
    return {0, NotRun(ChildOutcome::Kind::kCannotStart, EAGAIN)};
  }
  SpawnSetup setup;
  if (int error = setup.Prepare(dir)) return {0, NotRun(ChildOutcome::Kind::kCannotStart, error)};

  std::vector<char*> argv;
  for (const CommandArgument& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.text.c_str()));
  }
  argv.push_back(nullptr);

  if (g_started.empty()) LendTerminal();
  pid_t child = 0;
  int error = posix_spawnp(&child, argv[0], setup.actions(), setup.attributes(), argv.data(),
                           environ);
  if (error != 0) {
    if (g_started.empty()) TakeTerminalBack();
    // The directory may have gone between the check and the start.
    bool entered = EnterError(dir) == 0;
    return {0, NotRun(entered ? ChildOutcome::Kind::kCannotStart
                              : ChildOutcome::Kind::kNoDirectory,
                      error)};
  }
  g_started.push_back(child);
  AddRunningChild(child);
  return {static_cast<ChildId>(child), {}};
}

EndedChild WaitForProcess() {
  if (g_started.empty()) return {0, NotRun(ChildOutcome::Kind::kLost, ECHILD)};
  for (;;) {
    int status = 0;
    // The program starts no children but these.
    pid_t child = waitpid(-1, &status, 0);
    if (child < 0 && errno == EINTR) continue;
    if (child < 0) {
      // Nothing more can be learnt of any of them; the oldest is given up.
      int error = errno;
      pid_t oldest = g_started.front();
      Forget(oldest);
      return {static_cast<ChildId>(oldest), NotRun(ChildOutcome::Kind::kLost, error)};
    }
    if (std::find(g_started.begin(), g_started.end(), child) == g_started.end()) continue;
    Forget(child);
    return {static_cast<ChildId>(child), FromWaitStatus(status)};
  }
}

}  // namespace slidemill::posix
