#include "fileinfo/date_parts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace slidemill {
namespace {

using namespace std::chrono;

// File times count 100 ns since 1601.
uint64_t FileTime(sys_seconds utc) {
  return (utc.time_since_epoch().count() + 11644473600ULL) * 10000000ULL;
}

// Each row's time is the chosen date of the record; the others are left at 1601.
TEST(DatePartsTest, ListsOfTwentyFieldsOfTheChosenDateInUtcAndLocalTime) {
  const bool in_jst = std::getenv("TZ") && std::string(std::getenv("TZ")) == "JST-9";
  PackedFileTime DirData::*const dates[] = {nullptr, &DirData::creation_time,
                                            &DirData::last_write_time, &DirData::last_access_time};
  for (auto [time, which, utc, list] :
       std::vector<std::tuple<sys_seconds, int32_t, int32_t, const char*>>{
           {sys_days{2024y / 3 / 5} + 15h + 7min + 9s, kDateCreated, 1,
            "2024,24,3,03,Mar,March,5,05,Tue,Tuesday,3,03,15,15,7,07,9,09,P,PM"},
           {sys_days{2009y / 6 / 5} + 30min, kDateAccessed, 1,  // half past midnight
            "2009,09,6,06,Jun,June,5,05,Fri,Friday,12,12,0,00,30,30,0,00,A,AM"},
           {sys_days{2020y / 2 / 29} + 12h, kDateModified, 1,  // noon, a leap day
            "2020,20,2,02,Feb,February,29,29,Sat,Saturday,12,12,12,12,0,00,0,00,P,PM"},
           // Nine hours east (the test command's TZ=JST-9): the next day, month, year.
           {sys_days{2023y / 12 / 31} + 23h + 30min, kDateModified, 0,
            "2024,24,1,01,Jan,January,1,01,Mon,Monday,8,08,8,08,30,30,0,00,A,AM"}}) {
    if (utc == 0 && !in_jst) continue;
    DirData record;
    (record.*dates[which]).set(FileTime(time));
    EXPECT_EQ(BuildDatePartList(record, which, utc, SystemPlatform()), list);
  }
}

TEST(DatePartsTest, PickCountsEveryComma) {
  for (auto [list, number, field] : std::vector<std::tuple<const char*, int32_t, const char*>>{
           {"a,b,c", 1, "a"},
           {"a,b,c", 3, "c"},
           {"a,b,c", 4, ""},
           {"a,b,c", 0, ""},
           {"a,b,c", -1, ""},
           {"a,,c", 2, ""},
           {",", 2, ""},
           {"x", 1, "x"},
           {"2024,Mar,ch,5", 3, "ch"}}) {  // a name holding a comma shifts the later fields
    EXPECT_EQ(PickDatePart(list, number), field) << list << " " << number;
  }
}

}  // namespace
}  // namespace slidemill
