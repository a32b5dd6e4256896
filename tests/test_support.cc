#include "tests/test_support.h"

#include <ctime>
#include <fstream>
#include <iterator>

namespace slidemill::test {
namespace fs = std::filesystem;

// Named by the start time and a count; a name taken by another run, or left
// by one, is passed over: only a directory this call creates is ours.
ScratchDir::ScratchDir() {
  static const std::string stem = "slidemill-test-" + std::to_string(std::time(nullptr)) + "-";
  static int count = 0;
  do path_ = fs::temp_directory_path() / (stem + std::to_string(count++));
  while (!fs::create_directory(path_));
}

// Gives back permissions that a test took away, so everything can go.
ScratchDir::~ScratchDir() {
  std::error_code ignored;
  for (fs::recursive_directory_iterator
           it(path_, fs::directory_options::skip_permission_denied, ignored),
       end;
       it != end; it.increment(ignored))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

fs::path ScratchDir::WriteFile(const std::string& relative, std::string_view bytes) const {
  fs::path file =
      MakeDir(fs::path(relative).parent_path().string()) / fs::path(relative).filename();
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}

fs::path ScratchDir::MakeDir(const std::string& relative) const {
  fs::path dir = path_ / fs::path(relative).make_preferred();
  fs::create_directories(dir);
  return dir;
}

void ScratchDir::MakeTree(std::initializer_list<std::string> entries) const {
  for (const std::string& entry : entries)
    entry.ends_with('/') ? MakeDir(entry) : WriteFile(entry, "\xff\xd8\xff");
}

// Four bytes of `n`.
static std::string Word(std::size_t n, bool big_endian) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += char(n >> (big_endian ? 24 - 8 * i : 8 * i));
  return bytes;
}

std::string RiffChunk(std::string_view type, const std::string& body) {
  return std::string(type) + Word(body.size(), false) + body;
}

std::string IsoBox(std::string_view type, const std::string& body) {
  return Word(body.size() + 8, true) + std::string(type) + body;
}

std::string TestVideo(std::string_view name, int frames) {
  const std::string zeros(64, '\0'), count = Word(std::size_t(frames), !name.ends_with(".avi"));
  if (name.ends_with(".avi")) {
    std::string header = RiffChunk("avih", zeros.substr(0, 16) + count + zeros.substr(0, 36));
    return RiffChunk("RIFF", "AVI " + RiffChunk("LIST", "hdrl" + header) +
                                 RiffChunk("LIST", "movi") +
                                 RiffChunk("idx1", std::string(16 * std::size_t(frames), '\0')));
  }
  if (name.ends_with(".mp4") || name.ends_with(".mov")) {
    std::string handler = IsoBox("hdlr", zeros.substr(0, 8) + "vide" + zeros.substr(0, 13));
    std::string table = IsoBox("minf", IsoBox("stbl", IsoBox("stsz", zeros.substr(0, 8) + count)));
    return IsoBox("ftyp", "isom" + zeros.substr(0, 4)) +
           IsoBox("moov", IsoBox("trak", IsoBox("mdia", handler + table))) + IsoBox("mdat", "");
  }
  return "video";
}

std::string ReadFile(const fs::path& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

}  // namespace slidemill::test
