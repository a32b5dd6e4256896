// Helpers shared by the tests: scratch directories that remove themselves,
// and files as the program meets them.
#ifndef SLIDEMILL_TESTS_TEST_SUPPORT_H_
#define SLIDEMILL_TESTS_TEST_SUPPORT_H_

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace slidemill::test {

// A fresh directory under the system's temporary folder, removed with all it
// holds when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path as the program's own text, with the system's separators.
  std::string str() const { return path_.string(); }
  // Creates a file (and its parent directories) holding `bytes`.
  std::filesystem::path WriteFile(const std::string& relative, std::string_view bytes = "") const;
  std::filesystem::path MakeDir(const std::string& relative) const;
  // Makes each entry: a directory when it ends in '/', else a file that
  // starts as a JPEG does (enough for the stand-in encoder).
  void MakeTree(std::initializer_list<std::string> entries) const;

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);

// A RIFF chunk around `body` (little-endian size of the body), and an ISO
// box (big-endian size, header counted).
std::string RiffChunk(std::string_view type, const std::string& body);
std::string IsoBox(std::string_view type, const std::string& body);

// The smallest video the program takes for whole, holding `frames` frames
// by its headers: an AVI for a name ending in .avi, an MP4 for .mp4 and
// .mov, a few bytes for any other name.
std::string TestVideo(std::string_view name, int frames = 1);

}  // namespace slidemill::test

#endif  // SLIDEMILL_TESTS_TEST_SUPPORT_H_
