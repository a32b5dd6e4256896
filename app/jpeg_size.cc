#include "app/jpeg_size.h"

namespace slidemill {
namespace {

// Big-endian, as JPEG's fields are; -1 at the end of the file.
int64_t ReadUint(std::istream& in, int bytes) {
  int64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    int c = in.get();
    if (c == std::char_traits<char>::eof()) return -1;
    value = value << 8 | c;
  }
  return value;
}

}  // namespace

std::optional<PixelSize> ReadJpegSize(std::istream& in) {
  if (ReadUint(in, 2) != 0xFFD8) return std::nullopt;
  for (;;) {
    int64_t marker = ReadUint(in, 2);
    // Fill bytes may stand before a marker.
    while (marker == 0xFFFF) marker = 0xFF00 | ReadUint(in, 1);
    int64_t length = ReadUint(in, 2);
    if (marker < 0xFF00 || length < 2) return std::nullopt;
    // Baseline, extended and progressive frames; a lossless, hierarchical
    // or arithmetic-coded one is not what a decoder may shrink.
    if (marker >= 0xFFC0 && marker <= 0xFFC2) {
      int64_t precision = ReadUint(in, 1), height = ReadUint(in, 2), width = ReadUint(in, 2);
      if (precision != 8 || height <= 0 || width <= 0) return std::nullopt;
      return PixelSize{static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    }
    if ((marker >= 0xFFC3 && marker <= 0xFFCF && marker != 0xFFC4 && marker != 0xFFCC) ||
        marker == 0xFFDA || marker == 0xFFD9) {
      return std::nullopt;
    }
    if (!in.seekg(length - 2, std::ios::cur)) return std::nullopt;
  }
}

}  // namespace slidemill
