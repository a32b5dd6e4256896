#include "app/jpeg_size.h"

#include <gtest/gtest.h>

#include <sstream>

namespace slidemill {
namespace {

// A JPEG's start: SOI, an Exif segment of 40 bytes, then a frame header of
// `marker` for 8-bit samples of 4000x3000.
std::optional<PixelSize> SizeOf(char marker, std::size_t cut = 0) {
  std::string bytes = std::string("\xff\xd8\xff\xe1\0\x2a", 6) + std::string(40, 'x') + "\xff" +
                      marker + std::string("\0\x08\x08\x0b\xb8\x0f\xa0\x03", 8);
  std::istringstream in(bytes.substr(0, bytes.size() - cut));
  return ReadJpegSize(in);
}

TEST(JpegSizeTest, BaselineFrameAfterOtherSegments) {
  std::optional<PixelSize> size = SizeOf('\xc0');
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->width, 4000u);
  EXPECT_EQ(size->height, 3000u);
}

TEST(JpegSizeTest, ProgressiveFrame) { EXPECT_TRUE(SizeOf('\xc2').has_value()); }

// A frame the decoder cannot shrink while decoding it.
TEST(JpegSizeTest, LosslessFrameHasNone) { EXPECT_FALSE(SizeOf('\xc3').has_value()); }

TEST(JpegSizeTest, CutShortHasNone) { EXPECT_FALSE(SizeOf('\xc0', 2).has_value()); }

}  // namespace
}  // namespace slidemill
