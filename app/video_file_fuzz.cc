// Feeds arbitrary files to the video check. Whatever the bytes and whatever
// sizes they claim, the check reads only inside the file, a bounded number
// of times, and answers a verdict; nothing crashes.
//
// Input: the first byte chooses the name (.avi, .mp4, .mkv); the rest is the
// file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/video_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace slidemill;
  if (size == 0) return 0;
  const char* names[] = {"v.avi", "v.mp4", "v.mkv"};
  std::string file(reinterpret_cast<const char*>(data) + 1, size - 1);
  int reads = 0;
  VideoCheck check = CheckVideo(names[data[0] % 3], file.size(), [&](uint64_t offset, size_t n) {
    Check(offset <= file.size() && n <= file.size() - offset);
    ++reads;
    return file.substr(offset, n);
  });
  Check(reads <= (1 << 16) + 1);
  Check((check.state == VideoCheck::State::kEmpty) == file.empty());
  Check((check.state == VideoCheck::State::kUnusable) == !check.problem.empty());
  if (check.state == VideoCheck::State::kWhole && check.frames) Check(*check.frames > 0);
  return 0;
}
