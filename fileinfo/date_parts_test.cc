#include "fileinfo/date_parts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace slidemill {
namespace {

// A file time (100 ns since 1601) for a UTC calendar time.
uint64_t FileTimeOf(int year, unsigned month, unsigned day, int hour, int minute,
                    int second) {
  using namespace std::chrono;
  sys_seconds when = sys_days{std::chrono::year{year} / month / day} + hours{hour} +
                     minutes{minute} + seconds{second};
  return static_cast<uint64_t>(when.time_since_epoch().count() + 11644473600LL) *
         10000000u;
}

DirData RecordWithTimes(uint64_t created, uint64_t written, uint64_t accessed) {
  DirData record;
  record.creation_time.set(created);
  record.last_write_time.set(written);
  record.last_access_time.set(accessed);
  return record;
}

TEST(DatePartsTest, ListOfTwentyFieldsInUtc) {
  struct Case {
    uint64_t time;
    const char* list;
  } cases[] = {
      {FileTimeOf(2024, 3, 5, 15, 7, 9),
       "2024,24,3,03,Mar,March,5,05,Tue,Tuesday,3,03,15,15,7,07,9,09,P,PM"},
      {FileTimeOf(2009, 6, 5, 0, 30, 0),  // half past midnight
       "2009,09,6,06,Jun,June,5,05,Fri,Friday,12,12,0,00,30,30,0,00,A,AM"},
      {FileTimeOf(2020, 2, 29, 12, 0, 0),  // noon, a leap day
       "2020,20,2,02,Feb,February,29,29,Sat,Saturday,12,12,12,12,0,00,0,00,P,PM"},
  };
  Platform& platform = SystemPlatform();
  for (const Case& c : cases) {
    DirData record = RecordWithTimes(0, c.time, 0);
    EXPECT_EQ(BuildDatePartList(record, 2, 1, platform), c.list);
  }
}

TEST(DatePartsTest, WhichDateSelectsTheTime) {
  DirData record = RecordWithTimes(FileTimeOf(2001, 1, 1, 0, 0, 0),
                                   FileTimeOf(2002, 2, 2, 0, 0, 0),
                                   FileTimeOf(2003, 3, 3, 0, 0, 0));
  Platform& platform = SystemPlatform();
  EXPECT_EQ(PickDatePart(BuildDatePartList(record, 1, 1, platform), 1), "2001");
  EXPECT_EQ(PickDatePart(BuildDatePartList(record, 2, 1, platform), 1), "2002");
  EXPECT_EQ(PickDatePart(BuildDatePartList(record, 3, 1, platform), 1), "2003");
}

// The test command runs the tests with TZ=JST-9, nine hours east of UTC, on
// Linux and under wine alike.
TEST(DatePartsTest, LocalTimeCrossesDayMonthAndYear) {
  const char* zone = std::getenv("TZ");
  if (zone == nullptr || std::string(zone) != "JST-9") {
    GTEST_SKIP() << "needs TZ=JST-9 (the test command sets it)";
  }
  DirData record = RecordWithTimes(0, FileTimeOf(2023, 12, 31, 23, 30, 0), 0);
  Platform& platform = SystemPlatform();
  EXPECT_EQ(BuildDatePartList(record, 2, 1, platform),
            "2023,23,12,12,Dec,December,31,31,Sun,Sunday,11,11,23,23,30,30,0,00,P,PM");
  EXPECT_EQ(BuildDatePartList(record, 2, 0, platform),
            "2024,24,1,01,Jan,January,1,01,Mon,Monday,8,08,8,08,30,30,0,00,A,AM");
}

TEST(DatePartsTest, PickCountsEveryComma) {
  struct Case {
    const char* list;
    int32_t number;
    const char* field;
  } cases[] = {
      {"a,b,c", 1, "a"}, {"a,b,c", 3, "c"}, {"a,b,c", 4, ""}, {"a,b,c", 0, ""},
      {"a,b,c", -1, ""}, {"a,,c", 2, ""},   {",", 2, ""},     {"x", 1, "x"},
      // A name holding a comma shifts the later fields.
      {"2024,Mar,ch,5", 3, "ch"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PickDatePart(c.list, c.number), c.field) << c.list << " " << c.number;
  }
}

}  // namespace
}  // namespace slidemill
