// Runs a program for a benchmark with no terminal and its output thrown
// away, and answers its exit status (128 + the signal that ended it).
#ifndef SLIDEMILL_BENCH_QUIET_RUN_H_
#define SLIDEMILL_BENCH_QUIET_RUN_H_

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

inline int Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::fflush(stdout);  // or the child writes it again
  pid_t child = fork();
  if (child == 0) {
    setsid();  // no terminal: no keyboard to look at
    std::freopen("/dev/null", "r", stdin);
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif  // SLIDEMILL_BENCH_QUIET_RUN_H_
