// The terminal and the signals: raw keyboard input through /dev/tty, and the
// user's own terminal settings given back on every way out.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix_internal.h"

namespace slidemill::posix {
namespace {

// Signal handlers may only touch these, and only with async-signal-safe
// calls.
int g_tty_fd = -1;
struct termios g_user_termios;                // the user's own settings, put back at exit
struct termios g_raw_termios;                 // what the program reads keys with
volatile sig_atomic_t g_raw_wanted = 0;       // the program wants raw input now
volatile sig_atomic_t g_colored[2] = {0, 0};  // a colour is showing on fd 1/2
volatile sig_atomic_t g_children[kMaxRunningChildren] = {};  // 0: a free slot
char g_pending_file[4096];                                   // a half-written temporary file
volatile sig_atomic_t g_pending_file_set = 0;
bool g_tty_gone = false;  // hung up: no key can come any more

constexpr char kResetColor[] = "\x1b[0m";

bool InForeground() { return g_tty_fd >= 0 && tcgetpgrp(g_tty_fd) == getpgrp(); }

void ResetColors() {
  for (int i = 0; i < 2; ++i) {
    if (g_colored[i]) {
      ssize_t ignored = write(i + 1, kResetColor, sizeof kResetColor - 1);
      (void)ignored;
      g_colored[i] = 0;
    }
  }
}

void RestoreUserTerminal() {
  if (g_tty_fd >= 0 && g_raw_wanted) tcsetattr(g_tty_fd, TCSANOW, &g_user_termios);
  ResetColors();
}

void ApplyRawTerminal() {
  // A background job that changes the terminal is stopped by SIGTTOU.
  if (g_raw_wanted && InForeground()) tcsetattr(g_tty_fd, TCSANOW, &g_raw_termios);
}

// Ctrl-C, Ctrl-\ and a hung-up terminal do not end the program; the handler
// does nothing. (Not SIG_IGN: a started child must get the defaults.)
void IgnoreSignal(int) {}

void Reraise(int sig) {
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
}

// Termination and faults: the encoder goes too, a half-written title file
// and the encoders' lists of photos are removed, the user gets the terminal
// back, and the program dies the way the signal asks.
void TerminateOnSignal(int sig) {
  for (volatile sig_atomic_t& child : g_children) {
    if (child > 0) kill(static_cast<pid_t>(child), sig == SIGTERM ? SIGTERM : SIGKILL);
  }
  if (g_pending_file_set) unlink(g_pending_file);
  RemoveTemporaries();
  RestoreUserTerminal();
  Reraise(sig);
}

void Install(int sig, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

// Stopped (kill -TSTP): the shell gets a normal terminal meanwhile, and the
// program takes the keyboard back when it continues.
void StopOnSignal(int sig) {
  int saved_errno = errno;
  RestoreUserTerminal();
  Reraise(sig);
  Install(sig, StopOnSignal);
  ApplyRawTerminal();
  errno = saved_errno;
}

void ContinueOnSignal(int) {
  int saved_errno = errno;
  ApplyRawTerminal();
  errno = saved_errno;
}

constexpr int kTerminatingSignals[] = {SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGSEGV,
                                       SIGBUS,  SIGFPE,  SIGILL,  SIGABRT, SIGXCPU, SIGXFSZ};

void RestoreAtExit() { RestoreUserTerminal(); }

class TerminalSession : public ConsoleSession {
 public:
  TerminalSession() {
    Install(SIGINT, IgnoreSignal);
    Install(SIGQUIT, IgnoreSignal);
    Install(SIGHUP, IgnoreSignal);
    for (int sig : kTerminatingSignals) Install(sig, TerminateOnSignal);
    Install(SIGTSTP, StopOnSignal);
    Install(SIGCONT, ContinueOnSignal);

    // The keyboard is the terminal itself, not standard input, which may be
    // a file or a pipe.
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

  ~TerminalSession() override {
    RestoreUserTerminal();
    g_raw_wanted = 0;
    if (g_tty_fd >= 0) close(g_tty_fd);
    g_tty_fd = -1;
    for (int sig : {SIGINT, SIGQUIT, SIGHUP, SIGTSTP, SIGCONT}) Install(sig, SIG_DFL);
    for (int sig : kTerminatingSignals) Install(sig, SIG_DFL);
  }
};

}  // namespace

std::unique_ptr<ConsoleSession> StartTerminalSession() {
  return std::make_unique<TerminalSession>();
}

void LendTerminal() {
  if (g_tty_fd >= 0 && g_raw_wanted && InForeground()) {
    tcsetattr(g_tty_fd, TCSANOW, &g_user_termios);
  }
  g_raw_wanted = 0;
}

void TakeTerminalBack() {
  if (g_tty_fd < 0) return;
  g_raw_wanted = 1;
  ApplyRawTerminal();
}

void AddRunningChild(pid_t child) {
  for (volatile sig_atomic_t& slot : g_children) {
    if (slot == 0) {
      slot = child;
      return;
    }
  }
}

void RemoveRunningChild(pid_t child) {
  for (volatile sig_atomic_t& slot : g_children) {
    if (slot == child) slot = 0;
  }
}

void SetPendingTemporaryFile(const char* path) {
  g_pending_file_set = 0;
  if (path == nullptr || strlen(path) >= sizeof g_pending_file) return;
  strcpy(g_pending_file, path);
  g_pending_file_set = 1;
}

bool KeyboardAvailable() { return g_tty_fd >= 0 && !g_tty_gone && g_raw_wanted && InForeground(); }

int KeyboardFd() { return KeyboardAvailable() ? g_tty_fd : -1; }

void NoteTerminalGone() { g_tty_gone = true; }

int ReadTerminalByte() {
  if (!KeyboardAvailable()) return -1;
  unsigned char byte;
  for (;;) {
    ssize_t n = read(g_tty_fd, &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno == EINTR) continue;
    return -1;
  }
}

bool WaitForTerminalByte(int milliseconds) {
  if (!KeyboardAvailable()) return false;
  struct pollfd wait = {g_tty_fd, POLLIN, 0};
  if (poll(&wait, 1, milliseconds) <= 0) return false;
  if ((wait.revents & POLLIN) != 0) return true;
  // A terminal that hung up answers every poll at once: waiting on it would spin.
  if ((wait.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) NoteTerminalGone();
  return false;
}

void NoteColorShowing(int stream, bool showing) { g_colored[stream] = showing ? 1 : 0; }

}  // namespace slidemill::posix
