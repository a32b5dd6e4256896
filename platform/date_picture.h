// Date and time pictures as Windows reads them ("yyyy','MM" and so on), for
// systems whose own formatting knows no pictures. Names and markers come
// from the caller, so the formatting itself is the same everywhere.
#ifndef SLIDEMILL_PLATFORM_DATE_PICTURE_H_
#define SLIDEMILL_PLATFORM_DATE_PICTURE_H_

#include <array>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace slidemill {

struct LocaleNames {
  std::array<std::string, 12> months;        // "January" ...
  std::array<std::string, 12> short_months;  // "Jan" ...
  std::array<std::string, 7> days;           // "Sunday" ...
  std::array<std::string, 7> short_days;     // "Sun" ...
  std::string am;                            // "" when the locale has none
  std::string pm;
};

// The English names of the C locale.
const LocaleNames& EnglishNames();

// Date pictures: d dd ddd dddd, M MM MMM MMMM, y yy yyyy; time pictures: h hh
// H HH, m mm, s ss, t tt. Text in single quotes is literal ('' is a quote);
// every other byte is copied.
std::string FormatDatePicture(const CalendarTime& time, std::string_view picture,
                              const LocaleNames& names);
std::string FormatTimePicture(const CalendarTime& time, std::string_view picture,
                              const LocaleNames& names);

}  // namespace slidemill

#endif  // SLIDEMILL_PLATFORM_DATE_PICTURE_H_
