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
// 0: a free slot; a negative one is a background child's process group.
volatile sig_atomic_t g_children[kMaxRunningChildren] = {};
char g_pending_file[4096];  // a half-written temporary file
volatile sig_atomic_t g_pending_file_set = 0;
volatile sig_atomic_t g_tty_gone = 0;    // hung up: no key can come any more
volatile sig_atomic_t g_end_signal = 0;  // the signal that asked the run to end
volatile sig_atomic_t g_wake_fd = -1;
sigset_t g_installed;  // the signals whose handlers are the program's

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

// SIGTERM, a hang-up and a reader of the output gone (SIGPIPE) ask the run
// to end, and so do SIGINT and SIGQUIT when there is no terminal to ask the
// user on: the handler notes the
// signal and wakes the waits; the run stops its encoders and ends. With a
// terminal Ctrl-C is a question, which the encoder's end or the key brings.
void EndOnSignal(int sig) {
  int saved_errno = errno;
  bool can_ask = g_tty_fd >= 0 && !g_tty_gone;
  if ((sig != SIGINT && sig != SIGQUIT) || !can_ask) {
    if (g_end_signal == 0) g_end_signal = sig;
    WakeWaits();
  }
  errno = saved_errno;
}

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
    if (child != 0) kill(static_cast<pid_t>(child), SIGKILL);
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
  if (sigaction(sig, &action, nullptr) == 0) sigaddset(&g_installed, sig);
}

// A signal the program was started ignoring (nohup) stays ignored.
void InstallUnlessIgnored(int sig, void (*handler)(int)) {
  struct sigaction old;
  if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  Install(sig, handler);
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

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGPIPE};
constexpr int kTerminatingSignals[] = {SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};
constexpr int kFaults[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void RestoreAtExit() { RestoreUserTerminal(); }

class TerminalSession : public ConsoleSession {
 public:
  TerminalSession() {
    sigemptyset(&g_installed);
    WatchChildren();
    for (int sig : kEndingSignals) InstallUnlessIgnored(sig, EndOnSignal);
    for (int sig : kTerminatingSignals) InstallUnlessIgnored(sig, TerminateOnSignal);
    for (int sig : kFaults) Install(sig, TerminateOnSignal);
    InstallUnlessIgnored(SIGTSTP, StopOnSignal);
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
    for (int sig = 1; sig < NSIG; ++sig) {
      if (sigismember(&g_installed, sig) == 1) signal(sig, SIG_DFL);
    }
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

void AddRunningChild(pid_t child, bool background) {
  for (volatile sig_atomic_t& slot : g_children) {
    if (slot == 0) {
      slot = background ? -child : child;
      return;
    }
  }
}

void RemoveRunningChild(pid_t child) {
  for (volatile sig_atomic_t& slot : g_children) {
    if (slot == child || slot == -child) slot = 0;
  }
}

int EndSignal() { return g_end_signal; }

void SetWakeFd(int fd) { g_wake_fd = fd; }

void WakeWaits() {
  if (g_wake_fd < 0) return;
  char byte = 0;
  ssize_t ignored = write(g_wake_fd, &byte, 1);  // a full pipe has said it already
  (void)ignored;
}

void SetPendingTemporaryFile(const char* path) {
  g_pending_file_set = 0;
  if (path == nullptr || strlen(path) >= sizeof g_pending_file) return;
  strcpy(g_pending_file, path);
  g_pending_file_set = 1;
}

bool KeyboardAvailable() { return g_tty_fd >= 0 && !g_tty_gone && g_raw_wanted && InForeground(); }

int KeyboardFd() { return KeyboardAvailable() ? g_tty_fd : -1; }

void NoteTerminalGone() { g_tty_gone = 1; }

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
