#include "fileinfo/date_parts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace slidemill {
namespace {

using namespace std::chrono;

// A record whose creation, last write and last access times are these UTC
// times (file times count 100 ns since 1601).
DirData Record(sys_seconds created, sys_seconds written, sys_seconds accessed) {
  auto file_time = [](sys_seconds t) {
    return (t.time_since_epoch().count() + 11644473600ULL) * 10000000ULL;
  };
  DirData record;
  record.creation_time.set(file_time(created));
  record.last_write_time.set(file_time(written));
  record.last_access_time.set(file_time(accessed));
  return record;
}

TEST(DatePartsTest, ListsOfTwentyFieldsInUtcAndLocalTime) {
  const bool in_jst = std::getenv("TZ") && std::string(std::getenv("TZ")) == "JST-9";
  struct Case {
    sys_seconds time;
    int32_t utc;
    const char* list;
  } cases[] = {
      {sys_days{2024y / 3 / 5} + 15h + 7min + 9s, 1,
       "2024,24,3,03,Mar,March,5,05,Tue,Tuesday,3,03,15,15,7,07,9,09,P,PM"},
      {sys_days{2009y / 6 / 5} + 30min, 1,  // half past midnight
       "2009,09,6,06,Jun,June,5,05,Fri,Friday,12,12,0,00,30,30,0,00,A,AM"},
      {sys_days{2020y / 2 / 29} + 12h, 1,  // noon, a leap day
       "2020,20,2,02,Feb,February,29,29,Sat,Saturday,12,12,12,12,0,00,0,00,P,PM"},
      // Nine hours east (the test command's TZ=JST-9): the next day, month, year.
      {sys_days{2023y / 12 / 31} + 23h + 30min, 0,
       "2024,24,1,01,Jan,January,1,01,Mon,Monday,8,08,8,08,30,30,0,00,A,AM"},
  };
  for (const Case& c : cases) {
    if (c.utc == 0 && !in_jst) continue;
    EXPECT_EQ(BuildDatePartList(Record({}, c.time, {}), 2, c.utc, SystemPlatform()), c.list);
  }
  DirData record = Record(sys_days{2001y / 1 / 1}, sys_days{2002y / 1 / 1}, sys_days{2003y / 1 / 1});
  std::string years;
  for (int32_t which = 1; which <= 3; ++which) {
    years += PickDatePart(BuildDatePartList(record, which, 1, SystemPlatform()), kDatePartYear);
  }
  EXPECT_EQ(years, "200120022003");
}

TEST(DatePartsTest, PickCountsEveryComma) {
  const struct {
    const char* list;
    int32_t number;
    const char* field;
  } cases[] = {
      {"a,b,c", 1, "a"}, {"a,b,c", 3, "c"}, {"a,b,c", 4, ""}, {"a,b,c", 0, ""}, {"a,b,c", -1, ""},
      {"a,,c", 2, ""},   {",", 2, ""},      {"x", 1, "x"},
      {"2024,Mar,ch,5", 3, "ch"},  // a name holding a comma shifts the later fields
  };
  for (const auto& c : cases) EXPECT_EQ(PickDatePart(c.list, c.number), c.field) << c.list;
}

}  // namespace
}  // namespace slidemill
