// mencoder against ffmpeg on one directory of 100 photos of 4000x3000, made
// here: build/slidemill with its default encoder (mencoder, the photos'
// own size) and with -encoder ffmpeg -video-size 1920x1080.
//
//   build/bench/encoder_bench [scratch-dir]
//
// Prints each encoder's wall time and video size.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/quiet_run.h"

namespace {

namespace fs = std::filesystem;

}  // namespace

int main(int argc, char** argv) {
  fs::path scratch =
      argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "slidemill-encoder-bench";
  fs::path photos = scratch / "photos";
  fs::remove_all(scratch);
  fs::create_directories(photos);
  std::string slidemill =
      (fs::canonical("/proc/self/exe").parent_path().parent_path() / "slidemill").string();
  std::printf("making 100 photos of 4000x3000 in %s\n", photos.c_str());
  if (Run({"ffmpeg", "-f", "lavfi", "-i", "testsrc2=size=4000x3000:rate=25", "-frames:v", "100",
           "-q:v", "3", (photos / "photo_%03d.jpg").string()}) != 0) {
    std::fprintf(stderr, "ffmpeg could not make the photos\n");
    return 1;
  }
  struct Encoder {
    const char* name;
    std::vector<std::string> options;
    const char* video;
  } encoders[] = {{"mencoder", {}, "_movie.avi"},
                  {"ffmpeg", {"-encoder", "ffmpeg", "-video-size", "1920x1080"}, "_movie.mp4"}};
  for (const Encoder& encoder : encoders) {
    std::vector<std::string> args = {slidemill, "-dir", photos.string()};
    args.insert(args.end(), encoder.options.begin(), encoder.options.end());
    auto start = std::chrono::steady_clock::now();
    int status = Run(args);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::error_code error;
    auto size = fs::file_size(photos / encoder.video, error);
    std::printf("%-8s  status %d  %7.1f s  video %7.1f MiB\n", encoder.name, status, seconds,
                error ? 0.0 : static_cast<double>(size) / (1 << 20));
  }
  fs::remove_all(scratch);
  return 0;
}
