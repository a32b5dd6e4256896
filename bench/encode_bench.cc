// A library of 8 directories of 30 photos of 1280x960, made here, encoded
// three ways with a real encoder: build/slidemill -jobs 1, build/slidemill
// -jobs 0 (one encoder per processor), and the recipe a user would write
// without -jobs: GNU parallel with as many jobs as processors, running the
// encoder's command in each directory.
//
//   build/bench/encode_bench [mencoder|ffmpeg] [scratch-dir]
//
// Prints each way's wall time, then the speedups of -jobs 0 and of parallel
// against -jobs 1 as its last line.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/quiet_run.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDirectories = 8;
constexpr int kPhotos = 30;

// The command each directory gets from parallel, run by its shell after a
// cd into the directory. mencoder's is the one Slidemill runs, less the
// part name. ffmpeg's takes the options `slidemill -encoder ffmpeg -dry-run`
// shows but reads the photos with a glob: the list of photos Slidemill
// feeds it is written only when it really runs, so that line cannot be run
// as shown. ffmpeg's glob knows no [...], and the photos here are *.jpg.
constexpr const char* kMencoderRecipe =
    "mencoder \"mf://*.[jJ][pP][gG]\" -o _movie.avi -mf fps=25 -ovc lavc -lavcopts vcodec=mjpeg";
constexpr const char* kFfmpegRecipe =
    "ffmpeg -hide_banner -loglevel error -y -r 25 -pattern_type glob -i '*.jpg' "
    "-vf 'scale=1920:1080:force_original_aspect_ratio=decrease,pad=1920:1080:(ow-iw)/2:(oh-ih)/2:"
    "black,setsar=1' -c:v libx264 -pix_fmt yuv420p _movie.mp4";

fs::path Directory(const fs::path& library, int i) { return library / ("day" + std::to_string(i)); }

// How many of the directories hold a non-empty video; removes them all.
int CountAndRemoveVideos(const fs::path& library, const std::string& video) {
  int made = 0;
  for (int i = 0; i < kDirectories; ++i) {
    std::error_code error;
    fs::path path = Directory(library, i) / video;
    if (fs::file_size(path, error) > 0 && !error) ++made;
    fs::remove(path, error);
  }
  return made;
}

}  // namespace

int main(int argc, char** argv) {
  std::string encoder = argc > 1 ? argv[1] : "mencoder";
  if (encoder != "mencoder" && encoder != "ffmpeg") {
    std::fprintf(stderr, "usage: encode_bench [mencoder|ffmpeg] [scratch-dir]\n");
    return 2;
  }
  bool ffmpeg = encoder == "ffmpeg";
  fs::path scratch =
      argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "slidemill-encode-bench";
  fs::path library = scratch / "library";
  fs::remove_all(scratch);
  fs::create_directories(Directory(library, 0));
  std::string slidemill =
      (fs::canonical("/proc/self/exe").parent_path().parent_path() / "slidemill").string();
  unsigned cores = std::max(1u, std::thread::hardware_concurrency());

  std::printf("making %d directories of %d photos of 1280x960 in %s\n", kDirectories, kPhotos,
              library.c_str());
  if (Run({"ffmpeg", "-f", "lavfi", "-i", "testsrc2=size=1280x960:rate=25", "-frames:v",
           std::to_string(kPhotos), "-q:v", "3",
           (Directory(library, 0) / "photo_%03d.jpg").string()}) != 0) {
    std::fprintf(stderr, "ffmpeg could not make the photos\n");
    return 1;
  }
  for (int i = 1; i < kDirectories; ++i) fs::copy(Directory(library, 0), Directory(library, i));

  std::vector<std::string> recipe = {
      "parallel",
      "--will-cite",
      "-j",
      std::to_string(cores),
      std::string("cd {} && ") + (ffmpeg ? kFfmpegRecipe : kMencoderRecipe),
      ":::"};
  for (int i = 0; i < kDirectories; ++i) recipe.push_back(Directory(library, i).string());
  std::vector<std::string> slidemill_args = {slidemill, "-dir", library.string(), "-r"};
  if (ffmpeg) slidemill_args.insert(slidemill_args.end(), {"-encoder", "ffmpeg"});
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = slidemill_args;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  struct Way {
    const char* name;
    std::vector<std::string> args;
    double seconds = 0;
  } ways[] = {
      {"-jobs 1", with({"-jobs", "1"})}, {"-jobs 0", with({"-jobs", "0"})}, {"parallel", recipe}};

  const std::string video = ffmpeg ? "_movie.mp4" : "_movie.avi";
  bool all_made = true;
  for (Way& way : ways) {
    auto start = std::chrono::steady_clock::now();
    int status = Run(way.args);
    way.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int made = CountAndRemoveVideos(library, video);
    std::printf("%-9s %-8s  status %d  %7.2f s  videos %d of %d\n", way.name, encoder.c_str(),
                status, way.seconds, made, kDirectories);
    all_made = all_made && status == 0 && made == kDirectories;
  }
  fs::remove_all(scratch);
  std::printf("jobs speedup: %.2f  parallel speedup: %.2f  cores: %u\n",
              ways[0].seconds / ways[1].seconds, ways[0].seconds / ways[2].seconds, cores);
  return all_made ? 0 : 1;
}
