#include "platform/date_picture.h"

#include <cstdio>

namespace slidemill {
namespace {

std::string Number(int value, int min_digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", min_digits, value);
  return text;
}

// Walks a picture: quoted text is copied without its quotes, a run of the
// same letter is handed to `expand` when it is a picture letter.
template <typename Expand>
std::string Walk(std::string_view picture, std::string_view letters, Expand expand) {
  std::string out;
  std::size_t i = 0;
  while (i < picture.size()) {
    char c = picture[i];
    if (c == '\'') {
      ++i;
      while (i < picture.size()) {
        if (picture[i] == '\'') {
          if (i + 1 < picture.size() && picture[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        out += picture[i++];
      }
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    if (letters.find(c) != std::string_view::npos) {
      out += expand(c, run);
    } else {
      out.append(run, c);
    }
    i += run;
  }
  return out;
}

}  // namespace

const LocaleNames& EnglishNames() {
  static const LocaleNames names{
      {"January", "February", "March", "April", "May", "June", "July", "August", "September",
       "October", "November", "December"},
      {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
      {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
      {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
      "AM",
      "PM"};
  return names;
}

std::string FormatDatePicture(const CalendarTime& t, std::string_view picture,
                              const LocaleNames& names) {
  return Walk(picture, "dMy", [&](char c, std::size_t run) -> std::string {
    int month = (t.month >= 1 && t.month <= 12) ? t.month - 1 : 0;
    int day_of_week = (t.day_of_week >= 0 && t.day_of_week <= 6) ? t.day_of_week : 0;
    switch (c) {
      case 'd':
        if (run == 1) return Number(t.day, 1);
        if (run == 2) return Number(t.day, 2);
        if (run == 3) return names.short_days[day_of_week];
        return names.days[day_of_week];
      case 'M':
        if (run == 1) return Number(t.month, 1);
        if (run == 2) return Number(t.month, 2);
        if (run == 3) return names.short_months[month];
        return names.months[month];
      default:  // 'y'
        if (run == 1) return Number(t.year % 100, 1);
        if (run == 2) return Number(t.year % 100, 2);
        return Number(t.year, 1);
    }
  });
}

std::string FormatTimePicture(const CalendarTime& t, std::string_view picture,
                              const LocaleNames& names) {
  return Walk(picture, "hHmst", [&](char c, std::size_t run) -> std::string {
    int digits = run >= 2 ? 2 : 1;
    switch (c) {
      case 'h': {
        int hour = t.hour % 12;
        return Number(hour == 0 ? 12 : hour, digits);
      }
      case 'H': return Number(t.hour, digits);
      case 'm': return Number(t.minute, digits);
      case 's': return Number(t.second, digits);
      default: {  // 't': the marker, or its first byte
        const std::string& marker = t.hour < 12 ? names.am : names.pm;
        return run == 1 ? marker.substr(0, 1) : marker;
      }
    }
  });
}

}  // namespace slidemill
