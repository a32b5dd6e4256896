// The pixel size of a JPEG photo, read from its frame header without
// decoding it.
#ifndef SLIDEMILL_APP_JPEG_SIZE_H_
#define SLIDEMILL_APP_JPEG_SIZE_H_

#include <cstdint>
#include <istream>
#include <optional>

namespace slidemill {

struct PixelSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

// The size in the frame header of a baseline, extended or progressive JPEG
// of 8-bit samples, reading only the segments before it; nullopt for any
// other file, or one cut short.
std::optional<PixelSize> ReadJpegSize(std::istream& in);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_JPEG_SIZE_H_
