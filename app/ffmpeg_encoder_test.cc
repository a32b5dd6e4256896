#include "app/ffmpeg_encoder.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

// Every byte that ffmpeg's list and filter syntaxes read as their own.
TEST(FfmpegCommandTest, NamesSurviveTheListAndTheFilter) {
  EXPECT_EQ(ConcatList({"/d/it's [a]; b,c:d\\e \"q\".jpg", "/x.jpg"}),
            "ffconcat version 1.0\nfile 'file:/d/it'\\''s [a]; b,c:d\\e \"q\".jpg'\nfile "
            "'file:/x.jpg'\n");
  // Once for the filter's options (\ ' : blanks), then for the chain (\ ' [ ] , ; blanks).
  EXPECT_EQ(EscapeFilterValue(" it's [a]; b,c:d\\e"), R"(\\\ it\\\'s\\\ \[a\]\;\\\ b\,c\\:d\\\\e)");
  // A font's name is read from its own tables (the two-fonts run checks a
  // real one); tables said to lie past the end give none.
  EXPECT_EQ(FontFullName(std::string("\0\1\0\0\0\x7f", 6)), "");
}

}  // namespace
}  // namespace slidemill
