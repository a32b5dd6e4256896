// Running a built program on Linux as a user would: with no terminal at all,
// or on a pseudo-terminal driven like a keyboard.
#ifndef SLIDEMILL_TESTS_PROGRAM_POSIX_H_
#define SLIDEMILL_TESTS_PROGRAM_POSIX_H_

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace slidemill::test {

struct Result {
  int status = -1;  // exit status, 128 + the signal, or -1 when killed after 120 s
  std::string out;  // on a terminal: all it showed
  std::string err;  // on a terminal: the step of `keys` that never came about
  bool terminal_restored = false;
};

// Runs a program in `cwd` with `env` ("NAME=value" each) added.
// Without `keys` it has no terminal (a new session, standard input from
// /dev/null) and its output is captured. With `keys` it runs on a
// pseudo-terminal, one step after another: "?text" waits (10 s at most) for
// the text after what earlier waits found, ">text" types, "!n" sends signal
// n, "~n" pauses n milliseconds.
// `user`, when not 0 and running as root, is who runs it.
// `terminate_when` is asked at each system call of the program until it
// holds; then the program gets SIGTERM, so the signal arrives at a known point.
Result RunProgram(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                  const std::vector<std::string>& env = {},
                  const std::vector<std::string>& keys = {}, uid_t user = 0,
                  const std::function<bool()>& terminate_when = nullptr);

}  // namespace slidemill::test

#endif  // SLIDEMILL_TESTS_PROGRAM_POSIX_H_
