// A photo library like a real one, encoded three ways: build/slidemill
// -encoder ffmpeg -jobs 0 (its defaults), the recipe a power user writes
// without Slidemill (GNU parallel over the folders, one plain ffmpeg each,
// libx264 at its own defaults), and build/slidemill -encoder ffmpeg -jobs 1.
//
//   build/bench/library_bench [slidemill options...]
//
// The options, if any, are added to both Slidemill runs (to weigh a choice:
// -video-codec "libx264 -preset medium -pix_fmt yuv420p").
//
// The library: 13 folders, one of 300 photos and twelve of 10 to 60; most
// photos 4000x3000, every seventh portrait 3024x4032, two folders of
// 1920x1080. Each photo is a different scene of smooth shading, hard-edged
// shapes, texture and sensor grain, so that it compresses like a camera
// photo: 1 to 3 MB. It is made once (some minutes) and kept in
// build/bench/library/, with a lossless encode of each folder's frames
// beside it; later runs start at once.
//
// For each way: wall time, photos per second, the videos' total size, the
// mean SSIM over all frames of its videos against the lossless ones, and the
// processor time it took (which others' work on the machine changes less
// than the wall time).
// The last line:
//   speedup vs recipe: X  ssim: A vs B  size: R x
// (X: the recipe's time over -jobs 0's; A and B: their SSIMs; R: -jobs 0's
// total size over the recipe's).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/quiet_run.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// The frame and the fit Slidemill's ffmpeg encoder uses by default.
constexpr const char* kFilter =
    "scale=1920:1080:force_original_aspect_ratio=decrease,pad=1920:1080:(ow-iw)/2:(oh-ih)/2:"
    "black,setsar=1";
// Raised whenever the library or the reference encode changes.
constexpr const char* kLibraryVersion = "library 1";

struct Folder {
  const char* name;
  int photos;
  bool full_hd;  // every photo 1920x1080
};

// Listed in name order, the order a walk and a shell's glob give; the large
// folder sits in the middle, where a date would put it.
constexpr Folder kFolders[] = {
    {"2018-04-02 Easter", 12, false},     {"2018-07-21 Lake walk", 47, false},
    {"2018-12-24 Christmas", 25, false},  {"2019-03-09 Screenshots", 34, true},
    {"2019-05-18 Garden", 60, false},     {"2019-08-10 Mountains & lakes", 18, false},
    {"2019-09-14 Wedding", 300, false},   {"2020-02-01 Snow", 33, false},
    {"2020-06-27 Birthday", 10, false},   {"2021-01-16 Phone exports", 52, true},
    {"2021-07-03 Coast trip", 28, false}, {"2022-05-05 City", 41, false},
    {"2023-10-21 Autumn", 15, false},
};

int TotalPhotos() {
  int total = 0;
  for (const Folder& folder : kFolders) total += folder.photos;
  return total;
}

// Waits for the child; true when it succeeded. `cpu_seconds` gets the
// processor time it and every process it waited for took.
bool Succeeded(pid_t child, double* cpu_seconds = nullptr) {
  int status = 0;
  struct rusage usage = {};
  bool ok = child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status) &&
            WEXITSTATUS(status) == 0;
  if (cpu_seconds != nullptr) {
    *cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  return ok;
}

// Runs the commands, `jobs` at a time; true when every one succeeded.
bool RunAll(const std::vector<Args>& commands, unsigned jobs,
            const std::vector<std::string>& outputs = {}) {
  bool all = true;
  std::size_t next = 0, running = 0;
  while (next < commands.size() || running > 0) {
    if (next < commands.size() && running < jobs) {
      pid_t child = Spawn(commands[next], outputs.empty() ? "/dev/null" : outputs[next]);
      all = all && child > 0;
      running += child > 0;
      ++next;
      continue;
    }
    int status = 0;
    if (wait(&status) < 0) break;
    --running;
    all = all && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return all;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One lavfi source: gray noise of `grid` cells over the photo, smoothed up
// to its size, with `chroma` of colour.
std::string Octave(int width, int height, int grid, int chroma) {
  return "color=c=gray:s=" + std::to_string(width / grid) + "x" + std::to_string(height / grid) +
         ":r=25,format=yuv444p,noise=c0s=100:c1s=" + std::to_string(chroma) +
         ":c2s=" + std::to_string(chroma) + ":allf=t+u,scale=" + std::to_string(width) + ":" +
         std::to_string(height) + ":flags=bicubic,format=yuv444p";
}

// `count` photos of one size, each its own scene, as out_dir/s%04d.jpg.
Args PhotosCommand(int width, int height, int count, int grain, int quality,
                   const fs::path& out_dir) {
  Args args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
  // Shading from coarse to fine, then shapes with hard edges.
  const int grids[][2] = {{500, 90}, {120, 40}, {30, 10}, {8, 0}, {3, 0}};
  for (const auto& [grid, chroma] : grids) {
    args.insert(args.end(), {"-f", "lavfi", "-i", Octave(width, height, grid, chroma)});
  }
  args.insert(args.end(), {"-f", "lavfi", "-i",
                           Octave(width, height, 80, 0) +
                               ",lutyuv=y=if(gt(val\\,150)\\,235\\,if(lt(val\\,100)\\,20\\,128)):"
                               "u=128:v=128"});
  args.insert(args.end(),
              {"-filter_complex",
               "mix=inputs=6:weights='6 4 2 1 1 3',eq=contrast=2.2:saturation=1.3,noise=c0s=" +
                   std::to_string(grain) + ":c1s=2:c2s=2:allf=t,format=yuvj420p",
               "-frames:v", std::to_string(count), "-q:v", std::to_string(quality),
               (out_dir / "s%04d.jpg").string()});
  return args;
}

std::string PhotoName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%04d.jpg", i + 1);
  return name;
}

// Makes the library, unless a whole one is there already.
bool MakeLibrary(const fs::path& library, unsigned cores) {
  if (Read(library / ".complete") == kLibraryVersion) return true;
  std::printf("making the library (%d photos) in %s; this takes some minutes, once\n",
              TotalPhotos(), library.c_str());
  std::fflush(stdout);
  fs::remove_all(library);
  std::vector<Args> commands;
  struct Batch {
    fs::path dir;
    std::vector<int> indexes;  // the photos of the folder it makes, in order
  };
  std::vector<Batch> batches;
  for (std::size_t f = 0; f < std::size(kFolders); ++f) {
    const Folder& folder = kFolders[f];
    fs::path dir = library / folder.name;
    int grain = 3 + static_cast<int>(f % 5), quality = 2 + static_cast<int>(f % 2);
    std::vector<int> landscape, portrait;
    for (int i = 0; i < folder.photos; ++i)
      (i % 7 == 3 && !folder.full_hd ? portrait : landscape).push_back(i);
    struct Shape {
      int width, height;
      std::vector<int>* indexes;
      const char* batch;
    } shapes[] = {{folder.full_hd ? 1920 : 4000, folder.full_hd ? 1080 : 3000, &landscape, ".l"},
                  {3024, 4032, &portrait, ".p"}};
    for (const Shape& shape : shapes) {
      if (shape.indexes->empty()) continue;
      fs::path out = dir / shape.batch;
      fs::create_directories(out);
      commands.push_back(PhotosCommand(
          shape.width, shape.height, static_cast<int>(shape.indexes->size()), grain, quality, out));
      batches.push_back({out, *shape.indexes});
    }
  }
  if (!RunAll(commands, cores)) {
    std::fprintf(stderr, "ffmpeg could not make the photos\n");
    return false;
  }
  for (const Batch& batch : batches) {
    for (std::size_t n = 0; n < batch.indexes.size(); ++n) {
      char made[32];
      std::snprintf(made, sizeof made, "s%04zu.jpg", n + 1);
      fs::rename(batch.dir / made, batch.dir.parent_path() / PhotoName(batch.indexes[n]));
    }
    fs::remove(batch.dir);
  }
  std::ofstream(library / ".complete") << kLibraryVersion;
  return true;
}

// Each folder's frames, encoded losslessly in the videos' pixel format: what
// every video is measured against.
bool MakeReference(const fs::path& library, const fs::path& reference, unsigned cores) {
  std::string key = std::string(kLibraryVersion) + "\n" + kFilter;
  if (Read(reference / ".complete") == key) return true;
  std::printf("making the lossless reference videos in %s\n", reference.c_str());
  std::fflush(stdout);
  fs::remove_all(reference);
  fs::create_directories(reference);
  std::vector<Args> commands;
  for (const Folder& folder : kFolders) {
    commands.push_back({"ffmpeg",
                        "-hide_banner",
                        "-loglevel",
                        "error",
                        "-y",
                        "-framerate",
                        "25",
                        "-pattern_type",
                        "glob",
                        "-i",
                        (library / folder.name / "*.jpg").string(),
                        "-vf",
                        kFilter,
                        "-c:v",
                        "libx264",
                        "-qp",
                        "0",
                        "-preset",
                        "ultrafast",
                        "-pix_fmt",
                        "yuv420p",
                        (reference / (std::string(folder.name) + ".mkv")).string()});
  }
  if (!RunAll(commands, cores)) {
    std::fprintf(stderr, "ffmpeg could not make the reference videos\n");
    return false;
  }
  std::ofstream(reference / ".complete") << key;
  return true;
}

struct Result {
  double seconds = 0;
  double cpu_seconds = 0;
  bool ok = false;
  int videos = 0;
  uint64_t bytes = 0;
  double ssim = 0;
};

// Moves each folder's video out of the library into `kept`, and counts them.
void CollectVideos(const fs::path& library, const fs::path& kept, Result& result) {
  fs::create_directories(kept);
  for (const Folder& folder : kFolders) {
    fs::path video = library / folder.name / "_movie.mp4";
    std::error_code error;
    uint64_t size = fs::file_size(video, error);
    if (error || size == 0) continue;
    ++result.videos;
    result.bytes += size;
    fs::rename(video, kept / (std::string(folder.name) + ".mp4"));
  }
}

// The mean SSIM over all frames of the kept videos against the reference.
double MeanSsim(const fs::path& kept, const fs::path& reference, unsigned cores) {
  std::vector<Args> commands;
  std::vector<std::string> outputs;
  for (const Folder& folder : kFolders) {
    std::string name = folder.name;
    commands.push_back(
        {"ffmpeg", "-hide_banner", "-nostats", "-i", (kept / (name + ".mp4")).string(), "-i",
         (reference / (name + ".mkv")).string(), "-lavfi", "[0:v][1:v]ssim", "-f", "null", "-"});
    outputs.push_back((kept / (name + ".ssim")).string());
  }
  RunAll(commands, cores, outputs);
  double weighted = 0;
  for (std::size_t f = 0; f < std::size(kFolders); ++f) {
    std::string text = Read(outputs[f]);
    std::size_t at = text.find(" All:");
    if (at == std::string::npos) return 0;
    weighted += std::atof(text.c_str() + at + 5) * kFolders[f].photos;
  }
  return weighted / TotalPhotos();
}

}  // namespace

int main(int argc, char** argv) {
  fs::path bench_dir = fs::canonical("/proc/self/exe").parent_path();
  std::string slidemill = (bench_dir.parent_path() / "slidemill").string();
  fs::path library = bench_dir / "library", reference = bench_dir / "library-reference";
  fs::path scratch =
      fs::temp_directory_path() / ("slidemill-library-bench-" + std::to_string(getpid()));
  unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  if (!MakeLibrary(library, cores) || !MakeReference(library, reference, cores)) return 1;
  for (const Folder& folder : kFolders) fs::remove(library / folder.name / "_movie.mp4");
  // Every photo read once, so that no way pays for the disk.
  RunAll({{"sh", "-c", "cat \"$0\"/*/*.jpg >/dev/null", library.string()}}, 1);

  Args extra(argv + 1, argv + argc);
  auto slidemill_way = [&](const char* jobs) {
    Args args = {slidemill, "-dir", library.string(), "-r", "-encoder", "ffmpeg", "-jobs", jobs};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  Args recipe = {"parallel", "--will-cite",
                 std::string("cd {} && ffmpeg -hide_banner -loglevel error -y -framerate 25 "
                             "-pattern_type glob -i '*.jpg' -vf '") +
                     kFilter + "' -c:v libx264 -pix_fmt yuv420p _movie.mp4",
                 ":::"};
  for (const Folder& folder : kFolders) recipe.push_back((library / folder.name).string());
  struct Way {
    const char* name;
    Args args;
    Result result;
  } ways[] = {{"-jobs 0", slidemill_way("0"), {}},
              {"recipe", recipe, {}},
              {"-jobs 1", slidemill_way("1"), {}}};

  const int photos = TotalPhotos();
  std::printf("%d photos in %zu folders, %u cores\n", photos, std::size(kFolders), cores);
  bool all_made = true;
  for (Way& way : ways) {
    Result& r = way.result;
    auto start = std::chrono::steady_clock::now();
    r.ok = Succeeded(Spawn(way.args), &r.cpu_seconds);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fs::path kept = scratch / way.name;
    CollectVideos(library, kept, r);
    r.ssim = MeanSsim(kept, reference, cores);
    std::printf(
        "%-8s %s  %7.2f s  %6.2f photos/s  %7.1f MiB  ssim %.5f  videos %d of %zu  cpu %.1f s\n",
        way.name, r.ok ? "ok    " : "FAILED", r.seconds, photos / r.seconds,
        static_cast<double>(r.bytes) / (1 << 20), r.ssim, r.videos, std::size(kFolders),
        r.cpu_seconds);
    std::fflush(stdout);
    all_made = all_made && r.ok && r.videos == static_cast<int>(std::size(kFolders));
  }
  fs::remove_all(scratch);
  const Result &jobs0 = ways[0].result, &parallel = ways[1].result;
  std::printf("speedup vs recipe: %.2f  ssim: %.5f vs %.5f  size: %.3f x\n",
              parallel.seconds / jobs0.seconds, jobs0.ssim, parallel.ssim,
              static_cast<double>(jobs0.bytes) / static_cast<double>(parallel.bytes));
  return all_made ? 0 : 1;
}
