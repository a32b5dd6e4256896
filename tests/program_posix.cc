#include "tests/program_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <chrono>
#include <cstring>

#include "tests/test_support.h"

namespace slidemill::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Steps the traced child from system call to system call until `ready`
// holds, then sends SIGTERM and lets it go. False when the child ended first
// (its wait status in `status`).
bool TerminateWhen(pid_t child, const std::function<bool()>& ready, int& status) {
  waitpid(child, &status, 0);  // stopped by its exec
  ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  for (int pass = 0; ptrace(PTRACE_SYSCALL, child, nullptr, pass) == 0 &&
                     waitpid(child, &status, 0) == child && WIFSTOPPED(status);) {
    pass = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);  // hand signals on
    if (pass == 0 && ready()) {
      kill(child, SIGTERM);  // pending until it runs again
      return ptrace(PTRACE_DETACH, child, nullptr, 0) == 0;
    }
  }
  return false;
}

}  // namespace

Result RunProgram(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                  const std::vector<std::string>& env, const std::vector<std::string>& keys,
                  uid_t user, const std::function<bool()>& terminate_when) {
  ScratchDir capture;
  std::string out = capture.str() + "/out", err = capture.str() + "/err";
  int master = -1, slave = -1, status = 0;
  struct termios initial = {}, now = {};
  struct winsize size = {40, 120, 0, 0};
  if (!keys.empty() && openpty(&master, &slave, nullptr, nullptr, &size) == 0) {
    tcgetattr(slave, &initial);  // before the program can change anything
  }
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
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
    if (user != 0 && geteuid() == 0 && (setgid(user) != 0 || setuid(user) != 0)) _exit(125);
    for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
    if (terminate_when) ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    if (chdir(cwd.c_str()) == 0) execvp(argv[0], argv.data());
    _exit(127);
  }
  close(slave);
  Result result;
  auto read_some = [&](int timeout_ms) {
    struct pollfd wait = {master, POLLIN, 0};
    char buffer[4096];
    ssize_t n = poll(&wait, 1, timeout_ms) > 0 ? read(master, buffer, sizeof buffer) : 0;
    if (n > 0) result.out.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  };
  auto deadline = Clock::now() + 120s;
  std::size_t seen = 0;
  for (const std::string& step : keys) {
    std::string arg = step.substr(1);
    for (auto until = Clock::now() + 10s; step[0] == '?' && Clock::now() < until &&
                                          result.out.find(arg, seen) == std::string::npos;) {
      read_some(100);
    }
    if (step[0] == '?' && (seen = result.out.find(arg, seen)) == std::string::npos) {
      result.err = "never saw " + arg;
      deadline = Clock::now();
      break;
    }
    if (step[0] == '?') seen += arg.size();
    if (step[0] == '>' && write(master, arg.data(), arg.size()) < 0) break;
    if (step[0] == '!') kill(child, std::stoi(arg));
    if (step[0] == '~') usleep(std::stoi(arg) * 1000);
  }
  bool ended = terminate_when && !TerminateWhen(child, terminate_when, status);
  while (!ended && waitpid(child, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) kill(child, SIGKILL);
    if (master < 0 || !read_some(50)) usleep(2000);
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL) result.status = 128 + WTERMSIG(status);
  if (master < 0) return {result.status, ReadFile(out), ReadFile(err)};
  while (read_some(50)) {
  }
  result.terminal_restored =
      tcgetattr(master, &now) == 0 && std::memcmp(&now, &initial, sizeof now) == 0;
  close(master);
  return result;
}

}  // namespace slidemill::test
