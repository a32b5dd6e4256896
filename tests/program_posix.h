// Running the built program on Linux as a user would: with no terminal at
// all, or on a pseudo-terminal driven like a keyboard; and the tools that
// make and inspect photos and videos.
#ifndef SLIDEMILL_TESTS_PROGRAM_POSIX_H_
#define SLIDEMILL_TESTS_PROGRAM_POSIX_H_

#include <sys/types.h>
#include <termios.h>

#include <filesystem>
#include <string>
#include <vector>

namespace slidemill::test {

// A program built beside the test executable.
std::string Binary(const char* name);

struct Result {
  int status = -1;  // exit status, or 128 + the signal
  std::string out;
  std::string err;
};

// Runs a program with no terminal at all (a new session, standard input
// from /dev/null or closed), its output captured. `env` entries
// "NAME=value" set, "NAME" unsets. A program still running after
// `timeout_seconds` is killed and answers status -1.
struct RunOptions {
  std::vector<std::string> env;
  bool close_stdin = false;
  uid_t user = 0;  // when not 0 and running as root: run as this user
  int timeout_seconds = 120;
  int signal = 0;  // sent to the program `signal_after_ms` after its start
  int signal_after_ms = 0;
};
Result RunProgram(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                  const RunOptions& options = {});
// The same with only an environment.
inline Result RunProgram(const std::vector<std::string>& args,
                         const std::filesystem::path& cwd,
                         const std::vector<std::string>& env) {
  return RunProgram(args, cwd, RunOptions{env});
}

// A program on a pseudo-terminal, driven like a user at the keyboard.
class Terminal {
 public:
  Terminal(const std::vector<std::string>& args, const std::filesystem::path& cwd,
           const std::vector<std::string>& env = {});
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Reads until `text` appears after what earlier waits consumed; false
  // after the time limit.
  bool WaitFor(const std::string& text, int seconds = 30);
  void Type(const std::string& keys);
  // Waits for the program to end, reading what it still prints; -1 after
  // the time limit.
  int Wait(int seconds = 60);
  void Signal(int sig);
  const std::string& screen() const { return screen_; }
  // Whether the terminal's settings are as they were before the program ran.
  bool SettingsRestored() const;

 private:
  bool ReadSome(int timeout_ms);

  pid_t child_ = -1;
  int master_ = -1;
  bool exited_ = false;
  std::string screen_;
  std::size_t consumed_ = 0;
  struct termios initial_ = {};
};

// `count` dark JPGs named photo_001.<ext>..., last written at noon UTC on
// `date` (YYYY-MM-DD).
void MakeJpgs(const std::filesystem::path& dir, int count, const std::string& ext,
              const std::string& date);

// One value of a video's first stream as ffprobe reports it.
std::string Probe(const std::filesystem::path& video, const std::string& entry);

// A log with each line's "MM-DD-YYYY HH:MM:SS" stamp shown as "<stamp>".
std::string MaskStamps(const std::string& log);

int Count(const std::string& text, const std::string& needle);

}  // namespace slidemill::test

#endif  // SLIDEMILL_TESTS_PROGRAM_POSIX_H_
