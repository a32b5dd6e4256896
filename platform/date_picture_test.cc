#include "platform/date_picture.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

constexpr std::string_view kDate = "yyyy','yy','M','MM','MMM','MMMM','d','dd','ddd','dddd";
constexpr std::string_view kTime = "h','hh','H','HH','m','mm','s','ss','t','tt";

TEST(DatePictureTest, EveryPictureOfTheList) {
  struct Case {
    CalendarTime time;
    const char* date;
    const char* clock;
  } cases[] = {
      {{2024, 3, 2, 5, 15, 7, 9, 0},
       "2024,24,3,03,Mar,March,5,05,Tue,Tuesday", "3,03,15,15,7,07,9,09,P,PM"},
      {{2009, 12, 4, 31, 0, 0, 0, 0},  // midnight: 12 on the 12-hour clock
       "2009,09,12,12,Dec,December,31,31,Thu,Thursday", "12,12,0,00,0,00,0,00,A,AM"},
      {{2000, 1, 6, 1, 12, 30, 5, 0},  // noon is afternoon
       "2000,00,1,01,Jan,January,1,01,Sat,Saturday", "12,12,12,12,30,30,5,05,P,PM"},
      {{1999, 7, 0, 4, 23, 59, 59, 0},
       "1999,99,7,07,Jul,July,4,04,Sun,Sunday", "11,11,23,23,59,59,59,59,P,PM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDatePicture(c.time, kDate, EnglishNames()), c.date);
    EXPECT_EQ(FormatTimePicture(c.time, kTime, EnglishNames()), c.clock);
  }
}

TEST(DatePictureTest, LocaleNamesAndQuoting) {
  LocaleNames names = EnglishNames();
  names.am = names.pm = "";  // a locale without time markers
  names.months[2] = "März";
  CalendarTime time{2024, 3, 2, 5, 15, 7, 9, 0};
  EXPECT_EQ(FormatTimePicture(time, kTime, names), "3,03,15,15,7,07,9,09,,");
  EXPECT_EQ(FormatDatePicture(time, "MMMM", names), "März");
  // Quoted text is literal, '' is a quote, other bytes are copied.
  EXPECT_EQ(FormatDatePicture(time, "'d''M' d/M-yy", names), "d'M 5/3-24");
  EXPECT_EQ(FormatTimePicture(time, "'unclosed hh", names), "unclosed hh");
}

}  // namespace
}  // namespace slidemill
