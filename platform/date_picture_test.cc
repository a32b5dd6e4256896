#include "platform/date_picture.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

// The English pictures of every field are checked through the date-part
// lists; here, what a locale changes and how pictures quote.
TEST(DatePictureTest, LocaleNamesAndQuoting) {
  LocaleNames names = EnglishNames();
  names.am = names.pm = "";  // a locale without time markers
  names.months[2] = "März";
  names.short_days[2] = "Di";
  const CalendarTime time{2024, 3, 2, 5, 15, 7, 9, 0};
  EXPECT_EQ(FormatTimePicture(time, "h','hh','H','HH','m','mm','s','ss','t','tt", names),
            "3,03,15,15,7,07,9,09,,");
  EXPECT_EQ(FormatDatePicture(time, "MMMM ddd", names), "März Di");
  // Quoted text is literal, '' is a quote, other bytes are copied.
  EXPECT_EQ(FormatDatePicture(time, "'d''M' d/M-yy", names), "d'M 5/3-24");
  EXPECT_EQ(FormatTimePicture(time, "'unclosed hh", names), "unclosed hh");
}

TEST(DatePictureTest, NoonIsTwelvePm) {
  EXPECT_EQ(FormatTimePicture({2024, 3, 2, 5, 12, 0, 0, 0}, "h hh H tt", EnglishNames()),
            "12 12 12 PM");
}

}  // namespace
}  // namespace slidemill
