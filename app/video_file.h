// Whether a finished video file is whole, judged by its container's own
// structure rather than by its size: an encoder that exits 0 on a full disk
// leaves a file that starts well and stops short. Only the few headers
// needed are read, a few bytes at a time, and no size written in the file is
// trusted beyond the file itself.
#ifndef SLIDEMILL_APP_VIDEO_FILE_H_
#define SLIDEMILL_APP_VIDEO_FILE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace slidemill {

struct VideoCheck {
  enum class State {
    kWhole,
    kEmpty,    // no bytes at all
    kUnusable  // `problem` says what is wrong
  };
  State state = State::kEmpty;
  std::string problem;             // "it has no index"
  std::optional<uint64_t> frames;  // where the container tells
};

// Reads up to `size` bytes from `offset`: fewer where the file ends.
using ReadAt = std::function<std::string(uint64_t offset, std::size_t size)>;

// Judges a video of `size` bytes named `name`. An AVI (RIFF) must be as long
// as its RIFF chunks say and hold an index; an MP4 or MOV (ISO boxes) must be
// spanned exactly by its top-level boxes, one of them `moov`; either must
// hold a frame. A file named .avi, .mp4, .m4v or .mov that is neither is
// unusable; any other kind is whole when it is not empty.
VideoCheck CheckVideo(std::string_view name, uint64_t size, const ReadAt& read);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_VIDEO_FILE_H_
