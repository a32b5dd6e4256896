// Running programs for a benchmark: with no terminal (a session of its own,
// so no keyboard to look at) and no input.
#ifndef SLIDEMILL_BENCH_QUIET_RUN_H_
#define SLIDEMILL_BENCH_QUIET_RUN_H_

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

// Starts the program with its output and errors to `output`; its process
// id, or 0 when it cannot be started.
inline pid_t Spawn(const std::vector<std::string>& args, const std::string& output = "/dev/null") {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ) != 0) child = 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

// Runs the program with its output thrown away, and answers its exit status
// (128 + the signal that ended it).
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
