#include "fileinfo/date_parts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace slidemill {
namespace {

using namespace std::chrono;

// A record whose chosen date is `utc`; the others are left at 1601.
std::string ListOf(int32_t which_date, sys_seconds utc, int32_t in_utc) {
  DirData record;
  PackedFileTime DirData::*const dates[] = {nullptr, &DirData::creation_time,
                                            &DirData::last_write_time, &DirData::last_access_time};
  // File times count 100 ns since 1601.
  (record.*dates[which_date]).set((utc.time_since_epoch().count() + 11644473600ULL) * 10000000ULL);
  return BuildDatePartList(record, which_date, in_utc, SystemPlatform());
}

// Half past midnight is 12:30 AM.
TEST(DatePartsTest, TwentyFieldsOfTheChosenDateInUtc) {
  EXPECT_EQ(ListOf(kDateAccessed, sys_days{2009y / 6 / 5} + 30min, 1),
            "2009,09,6,06,Jun,June,5,05,Fri,Friday,12,12,0,00,30,30,0,00,A,AM");
}

// Nine hours east (the test command's TZ=JST-9) it is the next day, month and year.
TEST(DatePartsTest, LocalTimeUnlessInUtc) {
  const char* zone = std::getenv("TZ");
  if (!zone || std::string(zone) != "JST-9") GTEST_SKIP() << "needs TZ=JST-9";
  EXPECT_EQ(ListOf(kDateModified, sys_days{2023y / 12 / 31} + 23h + 30min, 0),
            "2024,24,1,01,Jan,January,1,01,Mon,Monday,8,08,8,08,30,30,0,00,A,AM");
}

TEST(DatePartsTest, PickCountsEveryComma) {
  EXPECT_EQ(PickDatePart("a,b,c", 4), "");
  EXPECT_EQ(PickDatePart("2024,Mar,ch,5", 3), "ch");  // a name holding a comma shifts the rest
}

}  // namespace
}  // namespace slidemill
