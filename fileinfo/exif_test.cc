#include "fileinfo/exif.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace slidemill {

void PrintTo(const CaptureTime& t, std::ostream* out) {
  *out << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
       << t.second;
}

namespace {

constexpr uint16_t kDateTime = 0x0132, kOriginal = 0x9003, kDigitized = 0x9004;

struct Tag {
  uint16_t tag;
  std::string date;
};

// A JPEG's first bytes: a JFIF segment, an XMP one, then EXIF with `first`
// in its first directory and `exif` in the EXIF directory it points to.
std::string JpegWithExif(const std::vector<Tag>& first, const std::vector<Tag>& exif, bool intel) {
  auto put = [intel](std::string& to, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) to += static_cast<char>(value >> 8 * (intel ? i : size - 1 - i));
  };
  const uint32_t exif_at = 8 + 2 + 12 * static_cast<uint32_t>(first.size() + 1) + 4;
  uint32_t data_at = exif_at + 2 + 12 * static_cast<uint32_t>(exif.size()) + 4;
  std::string tiff = intel ? std::string("II*\0", 4) : std::string("MM\0*", 4), strings;
  auto directory = [&](const std::vector<Tag>& tags, bool points_on) {
    put(tiff, static_cast<uint32_t>(tags.size() + points_on), 2);
    for (const Tag& tag : tags) {
      for (uint32_t v : {uint32_t{tag.tag}, 2u}) put(tiff, v, 2);
      put(tiff, 20, 4), put(tiff, data_at + static_cast<uint32_t>(strings.size()), 4);
      strings += tag.date + '\0';
    }
    if (points_on) put(tiff, 0x8769, 2), put(tiff, 4, 2), put(tiff, 1, 4), put(tiff, exif_at, 4);
    put(tiff, 0, 4);
  };
  put(tiff, 8, 4);
  directory(first, true);
  directory(exif, false);
  std::string segment = std::string("Exif\0\0", 6) + tiff + strings;
  auto length = [](std::size_t n) { return std::string{char(n >> 8), char(n & 0xFF)}; };
  return "\xff\xd8\xff\xe0" + length(16) + std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14) +
         "\xff\xe1" + length(8) + "http:/" + "\xff\xe1" + length(segment.size() + 2) + segment +
         "\xff\xda";
}

struct ExifCase {
  std::string name;
  std::vector<Tag> first, exif;
  std::optional<CaptureTime> taken;
  bool intel = true;
};

class CaptureTimeTest : public testing::TestWithParam<ExifCase> {};

TEST_P(CaptureTimeTest, IsTheFirstDateThatReads) {
  const ExifCase& c = GetParam();
  EXPECT_EQ(ExifCaptureTime(JpegWithExif(c.first, c.exif, c.intel)), c.taken);
}

const Tag kSet{kDateTime, "2001:02:03 04:05:06"};
constexpr CaptureTime kSetTime{2001, 2, 3, 4, 5, 6};

INSTANTIATE_TEST_SUITE_P(
    Exif, CaptureTimeTest,
    testing::Values(
        ExifCase{"OriginalBeforeDigitized",
                 {kSet},
                 {{kDigitized, "2002:01:01 00:00:00"}, {kOriginal, "2019:06:05 23:59:60"}},
                 CaptureTime{2019, 6, 5, 23, 59, 60}},
        ExifCase{"DigitizedBeforeDateTime",
                 {kSet},
                 {{kDigitized, "2002-01-31 10:00:00"}},
                 CaptureTime{2002, 1, 31, 10, 0, 0},
                 false},
        ExifCase{"DateTimeAlone", {kSet}, {}, kSetTime, false},
        ExifCase{"ClockNeverSet", {kSet}, {{kOriginal, "0000:00:00 00:00:00"}}, kSetTime},
        ExifCase{"NoSuchDay", {kSet}, {{kOriginal, "2023:02:29 12:00:00"}}, kSetTime},
        ExifCase{"LeapDay", {}, {{kOriginal, "2024:02:29 12:00:00"}}, CaptureTime{2024, 2, 29, 12}},
        ExifCase{"TooShort", {{kDateTime, "2001:02:03"}}, {}, std::nullopt}),
    [](const testing::TestParamInfo<ExifCase>& param) { return param.param.name; });

// Cut anywhere, the data yields a date only while the date is whole.
TEST(CaptureTimeTest, CutShortNeverReadsPastTheEnd) {
  std::string jpeg = JpegWithExif({kSet}, {}, true);
  for (std::size_t size = 0; size < jpeg.size(); ++size) {
    std::optional<CaptureTime> taken = ExifCaptureTime(jpeg.substr(0, size));
    EXPECT_TRUE(!taken || taken == kSetTime) << size;
  }
  EXPECT_EQ(ExifCaptureTime(jpeg.substr(0, jpeg.size() - 21)), std::nullopt);
}

TEST(JpegStartTest, TellsAJpeg) {
  EXPECT_TRUE(StartsLikeJpeg("\xff\xd8\xff\xe0"));
  EXPECT_FALSE(StartsLikeJpeg("\xff\xd8"));
  EXPECT_FALSE(StartsLikeJpeg("jpeg"));
}

}  // namespace
}  // namespace slidemill
