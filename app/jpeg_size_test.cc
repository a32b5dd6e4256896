#include "app/jpeg_size.h"

#include <gtest/gtest.h>

#include <sstream>

namespace slidemill {
namespace {

std::string Segment(int marker, const std::string& body) {
  std::size_t length = body.size() + 2;
  return {'\xff', static_cast<char>(marker), static_cast<char>(length >> 8),
          static_cast<char>(length)};
}

// A JPEG's start: SOI, an Exif segment, then a frame header of `marker`.
std::string JpegStart(int marker, int precision, int width, int height) {
  std::string exif = "Exif" + std::string(40, '\0');
  std::string frame = {static_cast<char>(precision), static_cast<char>(height >> 8),
                       static_cast<char>(height),    static_cast<char>(width >> 8),
                       static_cast<char>(width),     '\3'};
  return "\xff\xd8" + Segment(0xE1, exif) + exif + Segment(marker, frame) + frame;
}

std::optional<PixelSize> SizeOf(const std::string& bytes) {
  std::istringstream in(bytes);
  return ReadJpegSize(in);
}

TEST(JpegSizeTest, BaselineFrameAfterOtherSegments) {
  std::optional<PixelSize> size = SizeOf(JpegStart(0xC0, 8, 4000, 3000));
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->width, 4000u);
  EXPECT_EQ(size->height, 3000u);
}

TEST(JpegSizeTest, ProgressiveFrame) {
  std::optional<PixelSize> size = SizeOf(JpegStart(0xC2, 8, 3024, 4032));
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->width, 3024u);
}

// Frames a decoder cannot shrink while decoding.
TEST(JpegSizeTest, LosslessFrameHasNone) {
  EXPECT_FALSE(SizeOf(JpegStart(0xC3, 8, 4000, 3000)).has_value());
}

TEST(JpegSizeTest, TwelveBitSamplesHaveNone) {
  EXPECT_FALSE(SizeOf(JpegStart(0xC1, 12, 4000, 3000)).has_value());
}

TEST(JpegSizeTest, CutShortHasNone) {
  std::string start = JpegStart(0xC0, 8, 4000, 3000);
  EXPECT_FALSE(SizeOf(start.substr(0, start.size() - 3)).has_value());
}

TEST(JpegSizeTest, OtherFileHasNone) { EXPECT_FALSE(SizeOf("\x89PNG\r\n").has_value()); }

}  // namespace
}  // namespace slidemill
