#include "tests/test_support.h"

#include <atomic>
#include <chrono>
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

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

}  // namespace slidemill::test
