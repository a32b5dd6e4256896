// Every date the system reports comes from one list: a file time formatted,
// in the system's default locale, into twenty comma-separated parts (year,
// two-digit year, month, two-digit month, month names, day, ..., time
// markers). Callers pick one field by its number.
#ifndef SLIDEMILL_FILEINFO_DATE_PARTS_H_
#define SLIDEMILL_FILEINFO_DATE_PARTS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "fileinfo/dir_data.h"
#include "platform/platform.h"

namespace slidemill {

// Commas between quotes are literal, so the two pictures give twenty fields.
inline constexpr std::string_view kDateFormatPicture =
    "yyyy','yy','M','MM','MMM','MMMM','d','dd','ddd','dddd";
inline constexpr std::string_view kTimeFormatPicture = "h','hh','H','HH','m','mm','s','ss','t','tt";

// The fields of the list, numbered from 1 in the pictures' order.
inline constexpr int32_t kDatePartYear = 1;            // yyyy
inline constexpr int32_t kDatePartYear2 = 2;           // yy
inline constexpr int32_t kDatePartMonth = 3;           // M
inline constexpr int32_t kDatePartMonth2 = 4;          // MM
inline constexpr int32_t kDatePartMonthShort = 5;      // MMM
inline constexpr int32_t kDatePartMonthLong = 6;       // MMMM
inline constexpr int32_t kDatePartDay = 7;             // d
inline constexpr int32_t kDatePartDay2 = 8;            // dd
inline constexpr int32_t kDatePartDayShort = 9;        // ddd
inline constexpr int32_t kDatePartDayLong = 10;        // dddd
inline constexpr int32_t kDatePartHour = 11;           // h
inline constexpr int32_t kDatePartHour2 = 12;          // hh
inline constexpr int32_t kDatePartHourMilitary = 13;   // H
inline constexpr int32_t kDatePartHourMilitary2 = 14;  // HH
inline constexpr int32_t kDatePartMinute = 15;         // m
inline constexpr int32_t kDatePartMinute2 = 16;        // mm
inline constexpr int32_t kDatePartSecond = 17;         // s
inline constexpr int32_t kDatePartSecond2 = 18;        // ss
inline constexpr int32_t kDatePartMeridian = 19;       // t
inline constexpr int32_t kDatePartMeridian2 = 20;      // tt
inline constexpr int32_t kDatePartCount = 20;

// The date-part list of one of the record's times (`which_date` 1 creation,
// 2 last write, 3 last access), in local time when `utc` is 0. A half that
// cannot be formatted is left empty; the comma between the halves stays.
std::string BuildDatePartList(const DirData& record, int32_t which_date, int32_t utc,
                              Platform& platform);

// Field `number` of a list, counted from 1 at every comma; "" for 0 or a
// number past the last field.
std::string PickDatePart(std::string_view list, int32_t number);

}  // namespace slidemill

#endif  // SLIDEMILL_FILEINFO_DATE_PARTS_H_
