// A stand-in for the encoder, used only by tests. It records where it was
// started and with what, makes the video file it was asked for, and exits
// with a chosen code. It records the list of photos it is given (mencoder's
// "mf://@" one, ffmpeg's "-i") before the arguments, to the file that
// SLIDEMILL_TEST_ENCODER_LOG names. Its settings are NAME=value lines of a
// file "stand-in" in the directory it runs in:
//   SLEEP  milliseconds to take first
//   REMOVE a directory to remove while it runs
//   REPLACE a directory to replace by a file while it runs
//   VIDEO  "cut": a video that stops short
//   OUTPUT bytes of output to print, while the video is open
//   INPUT  "1": record what its standard input holds
//   EXIT   exit code (default 0)
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

std::string Setting(const std::string& name) {
  std::ifstream here("stand-in");
  for (std::string line; std::getline(here, line);) {
    if (line.starts_with(name + "=")) return line.substr(name.size() + 1);
  }
  return "";
}

int Number(const std::string& name) { return std::atoi(Setting(name).c_str()); }

}  // namespace

int main(int argc, char** argv) {
  using namespace slidemill;
  Platform& platform = SystemPlatform();
  // The arguments as the C runtime split them, as any encoder gets them.
  std::vector<std::string> args(argv + 1, argv + argc);
  platform.Sleep(Number("SLEEP"));
  std::error_code ignored;
  std::filesystem::remove_all(Setting("REMOVE"), ignored);  // nothing when unset
  if (std::string dir = Setting("REPLACE"); !dir.empty()) {
    std::filesystem::remove_all(dir, ignored);
    std::ofstream{dir};
  }
  int photos = 0;
  std::string record = "dir=" + platform.CurrentDirectory() + "\n";
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string list = args[i].starts_with("mf://@") ? args[i].substr(6)
                       : i > 0 && args[i - 1] == "-i" && args[i].starts_with("file:")
                           ? args[i].substr(5)
                           : "";
    if (list.empty()) continue;
    const bool names_only = args[i].starts_with("mf://@");
    std::ifstream in(list, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      // mencoder's list is a name a line; ffmpeg's names each after "file".
      if (!line.empty() && (names_only || line.starts_with("file "))) ++photos;
      record += line + "\n";
    }
  }
  for (const std::string& arg : args) record += "arg=" + arg + "\n";
  if (Setting("INPUT") == "1") {
    record += "input=" + std::string(std::istreambuf_iterator<char>(std::cin), {}) + "\n";
  }
  const char* log = std::getenv("SLIDEMILL_TEST_ENCODER_LOG");
  std::ofstream(log ? log : "", std::ios::app | std::ios::binary) << record << "end\n";
  // mencoder's video follows -o; ffmpeg's is its last argument.
  std::string path;
  for (std::size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "-o") path = args[i + 1];
  if (!args.empty() && args.back().starts_with("file:")) path = args.back().substr(5);
  std::string video = test::TestVideo(path, std::max(photos, 1));
  if (Setting("VIDEO") == "cut") video.resize(video.size() / 2);
  // Open while it talks, as a real encoder keeps its video.
  std::ofstream file;
  if (!path.empty()) file.open(path, std::ios::binary);
  for (int left = Number("OUTPUT"); left > 0; left -= 80) std::cout << std::string(79, '#') << '\n';
  std::cout.flush();
  file << video;
  return Number("EXIT");
}
