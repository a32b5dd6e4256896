#include "platform/date_picture.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

// The English pictures of every field, and their quoting, are checked
// through the date-part lists; here, what a locale changes.
TEST(DatePictureTest, LocaleNames) {
  LocaleNames names = EnglishNames();
  names.am = names.pm = "";  // a locale without time markers
  names.months[2] = "März";
  names.short_days[2] = "Di";
  const CalendarTime time{2024, 3, 2, 5, 15, 7, 9, 0};
  EXPECT_EQ(FormatTimePicture(time, "t','tt", names), ",");
  EXPECT_EQ(FormatDatePicture(time, "MMMM ddd", names), "März Di");
}

TEST(DatePictureTest, NoonIsTwelvePm) {
  EXPECT_EQ(FormatTimePicture({2024, 3, 2, 5, 12, 0, 0, 0}, "h hh H tt", EnglishNames()),
            "12 12 12 PM");
}

}  // namespace
}  // namespace slidemill
