#include "fileinfo/exif.h"

#include <cstdint>
#include <string_view>

namespace slidemill {
namespace {

using namespace std::string_view_literals;

constexpr uint32_t kDateTime = 0x0132;
constexpr uint32_t kExifDirectory = 0x8769;
constexpr uint32_t kDateTimeOriginal = 0x9003;
constexpr uint32_t kDateTimeDigitized = 0x9004;
constexpr uint32_t kAscii = 2;
constexpr uint32_t kLong = 4;
constexpr uint32_t kDirectory = 13;
// "YYYY:MM:DD HH:MM:SS"
constexpr std::size_t kDateSize = 19;

unsigned Byte(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

// The date in EXIF's form; any byte may part its numbers, as some cameras
// write '-' or '/'. A clock never set ("0000:00:00 00:00:00") is no date.
std::optional<CaptureTime> ParseDate(std::string_view text) {
  auto number = [&](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  CaptureTime time{number(0, 4),  number(5, 2),  number(8, 2),
                   number(11, 2), number(14, 2), number(17, 2)};
  constexpr int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = time.year % 4 == 0 && (time.year % 100 != 0 || time.year % 400 == 0);
  if (time.year < 1 || time.month < 1 || time.month > 12 || time.day < 1 ||
      time.day > kDaysIn[time.month - 1] - (time.month == 2 && !leap) || time.hour < 0 ||
      time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
      time.second > 60) {
    return std::nullopt;
  }
  return time;
}

// The TIFF structure inside an EXIF segment. Every read answers nothing
// past its end.
class Tiff {
 public:
  explicit Tiff(std::string_view bytes) : bytes_(bytes) {}

  bool ReadByteOrder() {
    little_endian_ = bytes_.starts_with("II*\0"sv);
    return little_endian_ || bytes_.starts_with("MM\0*"sv);
  }

  std::optional<uint32_t> Number(std::size_t at, std::size_t size) const {
    if (at > bytes_.size() || size > bytes_.size() - at) return std::nullopt;
    uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
      value = value << 8 | Byte(bytes_, at + (little_endian_ ? size - 1 - i : i));
    return value;
  }

  // Where the value of `tag` lies in the directory at `directory`, when it
  // has one of the two types and at least `count` of them. Only values of
  // four bytes or less lie in the entry itself.
  std::optional<std::size_t> Find(std::size_t directory, uint32_t tag, uint32_t type,
                                  uint32_t alternative_type, uint32_t count) const {
    std::optional<uint32_t> entries = Number(directory, 2);
    for (uint32_t i = 0; entries && i < *entries; ++i) {
      std::size_t entry = directory + 2 + 12 * std::size_t{i};
      std::optional<uint32_t> entry_tag = Number(entry, 2), entry_type = Number(entry + 2, 2),
                              entry_count = Number(entry + 4, 4);
      if (!entry_count) return std::nullopt;  // the directory is cut short
      if (*entry_tag != tag) continue;
      if ((*entry_type != type && *entry_type != alternative_type) || *entry_count < count) {
        return std::nullopt;
      }
      std::size_t size = (type == kAscii ? 1 : 4) * std::size_t{*entry_count};
      if (size <= 4) return entry + 8;
      return Number(entry + 8, 4);
    }
    return std::nullopt;
  }

  std::optional<CaptureTime> Date(std::optional<uint32_t> directory, uint32_t tag) const {
    if (!directory) return std::nullopt;
    std::optional<std::size_t> at = Find(*directory, tag, kAscii, kAscii, kDateSize);
    if (!at || *at > bytes_.size() || bytes_.size() - *at < kDateSize) return std::nullopt;
    return ParseDate(bytes_.substr(*at, kDateSize));
  }

 private:
  std::string_view bytes_;
  bool little_endian_ = false;
};

std::optional<CaptureTime> TiffCaptureTime(std::string_view bytes) {
  Tiff tiff(bytes);
  if (!tiff.ReadByteOrder()) return std::nullopt;
  std::optional<uint32_t> first = tiff.Number(4, 4);
  if (!first) return std::nullopt;
  if (std::optional<std::size_t> pointer =
          tiff.Find(*first, kExifDirectory, kLong, kDirectory, 1)) {
    std::optional<uint32_t> exif = tiff.Number(*pointer, 4);
    if (auto time = tiff.Date(exif, kDateTimeOriginal)) return time;
    if (auto time = tiff.Date(exif, kDateTimeDigitized)) return time;
  }
  return tiff.Date(first, kDateTime);
}

}  // namespace

bool StartsLikeJpeg(std::string_view bytes) { return bytes.starts_with("\xff\xd8\xff"sv); }

std::optional<CaptureTime> ExifCaptureTime(std::string_view jpeg) {
  if (!StartsLikeJpeg(jpeg)) return std::nullopt;
  // The segments before the picture, each a marker and, but for a few, a
  // length that counts itself. Each step moves on by two bytes or more.
  for (std::size_t at = 2; at + 4 <= jpeg.size();) {
    if (Byte(jpeg, at) != 0xFF) return std::nullopt;
    unsigned marker = Byte(jpeg, at + 1);
    if (marker == 0xFF) {  // a fill byte
      ++at;
      continue;
    }
    // The end of the image, or the picture itself: no metadata follows.
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    std::size_t length = Byte(jpeg, at + 2) << 8 | Byte(jpeg, at + 3);
    if (length < 2) return std::nullopt;
    std::string_view segment = jpeg.substr(at + 4, length - 2);
    if (marker == 0xE1 && segment.starts_with("Exif\0\0"sv)) {
      if (auto time = TiffCaptureTime(segment.substr(6))) return time;
    }
    at += 2 + length;
  }
  return std::nullopt;
}

}  // namespace slidemill
