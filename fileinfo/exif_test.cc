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

const Tag kSet{kDateTime, "2001:02:03 04:05:06"};
constexpr CaptureTime kSetTime{2001, 2, 3, 4, 5, 6};

// A JPEG's first bytes: an XMP segment, then EXIF with kSet in its first
// directory and `exif` in the EXIF directory it points to, in Intel byte
// order (whole runs read Motorola's).
std::string JpegWithExif(const std::vector<Tag>& exif) {
  const std::vector<Tag> first{kSet};
  auto put = [](std::string& to, std::size_t value, int size) {
    for (int i = 0; i < size; ++i) to += static_cast<char>(value >> 8 * i);
  };
  const std::size_t exif_at = 8 + 2 + 12 * (first.size() + 1) + 4;
  const std::size_t data_at = exif_at + 2 + 12 * exif.size() + 4;
  std::string tiff("II*\0", 4), strings;
  put(tiff, 8, 4);
  for (const auto* tags : {&first, &exif}) {
    put(tiff, tags->size() + (tags == &first), 2);
    for (const Tag& tag : *tags) {
      put(tiff, tag.tag, 2), put(tiff, 2, 2), put(tiff, 20, 4),
          put(tiff, data_at + strings.size(), 4);
      strings += tag.date + '\0';
    }
    if (tags == &first)
      put(tiff, 0x8769, 2), put(tiff, 4, 2), put(tiff, 1, 4), put(tiff, exif_at, 4);
    put(tiff, 0, 4);
  }
  std::string segment = std::string("Exif\0\0", 6) + tiff + strings;
  return std::string("\xff\xd8\xff\xe1\0\x08http:/\xff\xe1", 14) + char((segment.size() + 2) >> 8) +
         char(segment.size() + 2) + segment;
}

struct ExifCase {
  std::string name;
  std::vector<Tag> exif;
  std::optional<CaptureTime> taken;
};

class CaptureTimeTest : public testing::TestWithParam<ExifCase> {};

TEST_P(CaptureTimeTest, IsTheFirstDateThatReads) {
  const ExifCase& c = GetParam();
  EXPECT_EQ(ExifCaptureTime(JpegWithExif(c.exif)), c.taken);
}

INSTANTIATE_TEST_SUITE_P(
    Exif, CaptureTimeTest,
    testing::Values(ExifCase{"OriginalBeforeDigitized",
                             {{kDigitized, "2002:01:01 00:00:00"},
                              {kOriginal, "2019:06:05 23:59:60"}},
                             CaptureTime{2019, 6, 5, 23, 59, 60}},
                    ExifCase{"DigitizedBeforeDateTime",
                             {{kDigitized, "2002-01-31 10:00:00"}},
                             CaptureTime{2002, 1, 31, 10, 0, 0}},
                    ExifCase{"NoSuchDay", {{kOriginal, "2023:02:29 12:00:00"}}, kSetTime}),
    [](const testing::TestParamInfo<ExifCase>& param) { return param.param.name; });

}  // namespace
}  // namespace slidemill
