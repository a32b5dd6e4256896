#include "tests/program_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>

#include "tests/test_support.h"

namespace slidemill::test {
namespace {

namespace fs = std::filesystem;

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void ApplyEnvironment(const std::vector<std::string>& env) {
  for (const std::string& entry : env) {
    auto eq = entry.find('=');
    if (eq == std::string::npos) {
      unsetenv(entry.c_str());
    } else {
      setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
  }
}

[[noreturn]] void Exec(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace

std::string Binary(const char* name) { return TestExecutableDir() + name; }

Result RunProgram(const std::vector<std::string>& args, const fs::path& cwd,
                  const RunOptions& options) {
  ScratchDir capture;
  std::string out_path = (capture.path() / "out").string();
  std::string err_path = (capture.path() / "err").string();
  pid_t child = fork();
  if (child == 0) {
    setsid();  // no controlling terminal: /dev/tty cannot be opened
    if (chdir(cwd.c_str()) != 0) _exit(126);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (options.close_stdin) {
      close(0);
    } else {
      dup2(open("/dev/null", O_RDONLY), 0);
    }
    dup2(out, 1);
    dup2(err, 2);
    if (options.user != 0 && geteuid() == 0) {
      if (setgid(options.user) != 0 || setuid(options.user) != 0) _exit(125);
    }
    ApplyEnvironment(options.env);
    Exec(args);
  }
  int status = 0;
  auto started = std::chrono::steady_clock::now();
  auto deadline = started + std::chrono::seconds(options.timeout_seconds);
  bool signalled = options.signal == 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (!signalled && std::chrono::steady_clock::now() >=
                          started + std::chrono::milliseconds(options.signal_after_ms)) {
      kill(child, options.signal);
      signalled = true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return {-1, ReadFile(out_path), ReadFile(err_path)};
    }
    usleep(2000);
  }
  return {DecodeStatus(status), ReadFile(out_path), ReadFile(err_path)};
}

Terminal::Terminal(const std::vector<std::string>& args, const fs::path& cwd,
                   const std::vector<std::string>& env) {
  struct winsize size = {40, 120, 0, 0};
  int slave = -1;
  openpty(&master_, &slave, nullptr, nullptr, &size);
  tcgetattr(slave, &initial_);  // before the program can change anything
  child_ = fork();
  if (child_ == 0) {
    close(master_);
    login_tty(slave);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    ApplyEnvironment(env);
    Exec(args);
  }
  close(slave);
}

Terminal::~Terminal() {
  if (child_ > 0 && !exited_) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

bool Terminal::WaitFor(const std::string& text, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (screen_.find(text, consumed_) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ReadSome(100);
  }
  consumed_ = screen_.find(text, consumed_) + text.size();
  return true;
}

void Terminal::Type(const std::string& keys) {
  ssize_t ignored = write(master_, keys.data(), keys.size());
  (void)ignored;
}

int Terminal::Wait(int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(child_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) return -1;
    ReadSome(50);
  }
  while (ReadSome(50)) {
  }
  exited_ = true;
  return DecodeStatus(status);
}

void Terminal::Signal(int sig) { kill(child_, sig); }

bool Terminal::SettingsRestored() const {
  struct termios now;
  tcgetattr(master_, &now);
  return now.c_iflag == initial_.c_iflag && now.c_oflag == initial_.c_oflag &&
         now.c_cflag == initial_.c_cflag && now.c_lflag == initial_.c_lflag &&
         std::equal(now.c_cc, now.c_cc + NCCS, initial_.c_cc);
}

bool Terminal::ReadSome(int timeout_ms) {
  struct pollfd wait = {master_, POLLIN, 0};
  if (poll(&wait, 1, timeout_ms) <= 0) return false;
  char buffer[4096];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;
  screen_.append(buffer, static_cast<std::size_t>(n));
  return true;
}

void MakeJpgs(const fs::path& dir, int count, const std::string& ext, const std::string& date) {
  fs::create_directories(dir);
  Result made = RunProgram({"ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                            "color=c=0x202020:s=160x120:r=1", "-frames:v", std::to_string(count),
                            (dir / ("photo_%03d." + ext)).string()},
                           dir);
  ASSERT_EQ(made.status, 0) << "ffmpeg: " << made.err;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == "." + ext) {
      Result touched = RunProgram({"touch", "-d", date + " 12:00 UTC", entry.path().string()}, dir);
      ASSERT_EQ(touched.status, 0);
    }
  }
}

std::string Probe(const fs::path& video, const std::string& entry) {
  Result probed = RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                              "-show_entries", "stream=" + entry, "-of", "default=nw=1:nk=1",
                              video.string()},
                             video.parent_path());
  std::string value = probed.out;
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

std::string MaskStamps(const std::string& log) {
  const std::string shape = "00-00-0000 00:00:00 ";
  std::string masked;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    end = end == std::string::npos ? log.size() : end + 1;
    std::string line = log.substr(start, end - start);
    bool stamped = line.size() > shape.size();
    for (std::size_t i = 0; stamped && i < shape.size(); ++i) {
      stamped = shape[i] == '0' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0
                                : line[i] == shape[i];
    }
    masked += stamped ? "<stamp> " + line.substr(shape.size()) : line;
    start = end;
  }
  return masked;
}

int Count(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

}  // namespace slidemill::test
