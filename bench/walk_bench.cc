// How fast cFileIterator walks a large tree, compared with find(1) on the same
// tree in the same run, and how much memory the walk takes.
//
// Builds 50 x N x 50 directories (N = 10, 20, 40: about 25k, 50k and 100k)
// under the directory given as argument (default: the temporary folder),
// growing one tree so that each size is built only once, and removes it at
// the end. Times are the best of three runs with the page cache warm. The
// last line is
//   walk/find: <ratio>  peak: <MiB> MiB
// where the ratio is the slower slope's walk of the largest tree over find's
// time, and peak is the process's peak resident memory (baseline included).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "iterator/file_iterator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using slidemill::cFileIterator;

constexpr int kTop = 50;
constexpr int kLeaves = 50;
constexpr int kMiddleSizes[] = {10, 20, 40};
constexpr int kRuns = 3;

// Removes the tree however the run ends short of a crash.
class ScratchTree {
 public:
  explicit ScratchTree(const fs::path& base)
      : root_(base / ("slidemill-walk-bench-" + std::to_string(getpid()))) {
    fs::create_directories(root_);
  }
  ~ScratchTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  const fs::path& root() const { return root_; }

 private:
  fs::path root_;
};

void MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

// Adds the middle directories [from, to) under every top directory.
void GrowTree(const fs::path& root, int from, int to) {
  char name[16];
  for (int t = 0; t < kTop; ++t) {
    std::snprintf(name, sizeof name, "t%02d", t);
    std::string top = (root / name).string();
    MakeDir(top);
    for (int m = from; m < to; ++m) {
      std::snprintf(name, sizeof name, "/m%02d", m);
      std::string middle = top + name;
      MakeDir(middle);
      for (int l = 0; l < kLeaves; ++l) {
        std::snprintf(name, sizeof name, "/l%02d", l);
        MakeDir(middle + name);
      }
    }
  }
}

double BestSeconds(const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void RunFind(const fs::path& root) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string tree = root.string();
  char* argv[] = {const_cast<char*>("find"), tree.data(), const_cast<char*>("-type"),
                  const_cast<char*>("d"), nullptr};
  pid_t child;
  int status = 0;
  if (posix_spawnp(&child, "find", &actions, nullptr, argv, environ) != 0 ||
      waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "find failed\n");
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
}

// Walks as the program does: break checks on, Ctrl-C enabled.
int Walk(const fs::path& root, int32_t slope) {
  cFileIterator it;
  it.SLOPE(slope);
  it.BREAKHANDLER(1);
  it.BREAKKEYS(it.BREAKKEYS_CTRL_C());
  it.ADDDIR(root.string());
  int count = 0;
  for (;;) {
    it.MOVETONEXTDIR();
    if (it.STATE() == it.STATE_COMPLETE()) break;
    ++count;
  }
  return count;
}

double PeakMiB() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
}

}  // namespace

int main(int argc, char** argv) {
  fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  ScratchTree tree(base);
  std::printf("tree: %s\nbaseline peak: %.1f MiB\n", tree.root().c_str(), PeakMiB());
  std::printf("%8s %10s %10s %10s %12s %12s %8s %8s\n", "dirs", "find ms", "steep ms", "gradual ms",
              "steep ns/dir", "grad ns/dir", "s/find", "g/find");

  double ratio = 0;
  int built = 0;
  for (int middle : kMiddleSizes) {
    GrowTree(tree.root(), built, middle);
    built = middle;
    const int expected = 1 + kTop + kTop * middle + kTop * middle * kLeaves;
    RunFind(tree.root());  // warms the cache
    double find = BestSeconds([&] { RunFind(tree.root()); });
    double steep = 0, gradual = 0;
    for (int32_t slope : {cFileIterator::SLOPE_STEEP(), cFileIterator::SLOPE_GRADUAL()}) {
      int seen = 0;
      double took = BestSeconds([&] { seen = Walk(tree.root(), slope); });
      if (seen != expected) {
        std::fprintf(stderr, "walk saw %d directories, expected %d\n", seen, expected);
        return 1;
      }
      (slope == cFileIterator::SLOPE_STEEP() ? steep : gradual) = took;
    }
    std::printf("%8d %10.1f %10.1f %10.1f %12.0f %12.0f %8.2f %8.2f\n", expected, find * 1e3,
                steep * 1e3, gradual * 1e3, steep * 1e9 / expected, gradual * 1e9 / expected,
                steep / find, gradual / find);
    ratio = std::max(steep, gradual) / find;
  }
  std::printf("walk/find: %.2f  peak: %.1f MiB\n", ratio, PeakMiB());
  return 0;
}
