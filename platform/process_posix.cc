// Starting the encoder: directly, with no shell, in its directory, with the
// user's terminal settings while it runs so that Ctrl-C reaches it.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix_internal.h"

extern char** environ;

namespace slidemill::posix {
namespace {

// Windows reports a child ended by Ctrl-Break with this code.
constexpr uint32_t kControlCExit = 3221225786u;

bool CanEnter(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return access(dir.c_str(), X_OK) == 0;
}

// Spawn attributes and file actions that clean up after themselves.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  posix_spawnattr_t* attributes() { return &attributes_; }
  posix_spawn_file_actions_t* actions() { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

CommandOutcome RunAndWait(const std::vector<std::string>& arguments,
                          const std::string& dir) {
  CommandOutcome outcome;
  if (arguments.empty()) {
    outcome.status = CommandOutcome::Status::kCannotStart;
    outcome.error = "No command";
    return outcome;
  }
  if (!CanEnter(dir)) {
    outcome.status = CommandOutcome::Status::kNoDirectory;
    outcome.error = strerror(errno);
    return outcome;
  }

  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  SpawnSetup setup;
  // The child starts with no signal blocked and every signal at its
  // default, whatever the program does with them.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(setup.attributes(), &none);
  posix_spawnattr_setsigdefault(setup.attributes(), &all);
  posix_spawnattr_setflags(setup.attributes(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_addchdir_np(setup.actions(), dir.c_str());

  LendTerminal();
  pid_t child = 0;
  int error = posix_spawnp(&child, argv[0], setup.actions(), setup.attributes(), argv.data(),
                           environ);
  if (error != 0) {
    TakeTerminalBack();
    // The directory may have gone between the check and the start.
    outcome.status = CanEnter(dir) ? CommandOutcome::Status::kCannotStart
                                   : CommandOutcome::Status::kNoDirectory;
    outcome.error = strerror(error);
    return outcome;
  }
  SetRunningChild(child);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  SetRunningChild(0);
  TakeTerminalBack();

  if (WIFEXITED(status)) {
    outcome.exit_code = static_cast<uint32_t>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    outcome.exit_code = sig == SIGINT    ? 2u
                        : sig == SIGQUIT ? kControlCExit
                                         : 128u + static_cast<uint32_t>(sig);
  }
  return outcome;
}

}  // namespace slidemill::posix
