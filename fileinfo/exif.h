// What the first bytes of a JPEG file tell: whether it is one at all, and
// the moment its EXIF data says the photo was taken. Every offset the data
// holds is checked against the bytes given, so damaged or hostile data
// yields nothing rather than a wrong read.
#ifndef SLIDEMILL_FILEINFO_EXIF_H_
#define SLIDEMILL_FILEINFO_EXIF_H_

#include <compare>
#include <cstddef>
#include <optional>
#include <string_view>

namespace slidemill {

// The bytes at a JPEG's start that hold its EXIF data: the segment that
// carries it comes first or second, and a segment holds at most 64 KiB.
inline constexpr std::size_t kExifWindow = 128 * 1024;
// The bytes that tell a JPEG: the start-of-image marker and the next one's
// first byte.
inline constexpr std::size_t kJpegStartSize = 3;

// A camera's clock reading: local time wherever the photo was taken.
struct CaptureTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  auto operator<=>(const CaptureTime&) const = default;
};

bool StartsLikeJpeg(std::string_view bytes);

// DateTimeOriginal, else DateTimeDigitized, else DateTime; nothing when
// none of them reads as a date.
std::optional<CaptureTime> ExifCaptureTime(std::string_view jpeg);

}  // namespace slidemill

#endif  // SLIDEMILL_FILEINFO_EXIF_H_
