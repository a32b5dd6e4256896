#include "tests/test_support.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace slidemill::test {
namespace {
std::string& ExecutableDir() {
  static std::string dir;
  return dir;
}
}  // namespace

void SetTestExecutablePath(const std::string& path) {
  // Absolute, so tests that start programs in other directories find them.
  std::string absolute = std::filesystem::absolute(path).string();
  auto slash = absolute.find_last_of("/\\");
  ExecutableDir() = slash == std::string::npos ? "" : absolute.substr(0, slash + 1);
}

const std::string& TestExecutableDir() { return ExecutableDir(); }

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  std::random_device random;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    std::ostringstream name;
    name << "slidemill-test-" << random() << "-" << counter++;
    path_ = base / name.str();
    if (std::filesystem::create_directory(path_)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  // Give back permissions that a test took away, so everything can go.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchDir::WriteFile(const std::string& relative,
                                            std::string_view bytes) const {
  std::filesystem::path file = path_ / std::filesystem::path(relative).make_preferred();
  std::filesystem::create_directories(file.parent_path());
  std::ofstream stream(file, std::ios::binary);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file;
}

std::filesystem::path ScratchDir::MakeDir(const std::string& relative) const {
  std::filesystem::path dir = path_ / std::filesystem::path(relative).make_preferred();
  std::filesystem::create_directories(dir);
  return dir;
}

void ScratchDir::MakeTree(std::initializer_list<std::string> entries) const {
  for (const std::string& entry : entries) {
    if (!entry.empty() && entry.back() == '/') {
      MakeDir(entry);
    } else {
      WriteFile(entry, "jpeg");
    }
  }
}

void SetModified(const std::filesystem::path& path, const std::string& date, int hour) {
  using namespace std::chrono;
  int y = 0, m = 0, d = 0;
  std::sscanf(date.c_str(), "%d-%d-%d", &y, &m, &d);
  sys_seconds when = sys_days{year{y} / month{static_cast<unsigned>(m)} /
                              day{static_cast<unsigned>(d)}} + hours{hour};
  std::filesystem::last_write_time(path, file_clock::from_sys(when));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

}  // namespace slidemill::test
