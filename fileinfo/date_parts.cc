#include "fileinfo/date_parts.h"

namespace slidemill {

std::string BuildDatePartList(const DirData& record, int32_t which_date, int32_t utc,
                              Platform& platform) {
  CalendarTime time;
  std::string date, clock;
  if (platform.FileTimeToCalendar(DirDataTime(record, which_date), utc == 0, &time)) {
    date = platform.FormatDate(time, kDateFormatPicture);
    clock = platform.FormatTime(time, kTimeFormatPicture);
  }
  return date + "," + clock;
}

std::string PickDatePart(std::string_view list, int32_t number) {
  if (number < 1) return "";
  std::size_t start = 0;
  for (int32_t field = 1; field < number; ++field) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) return "";
    start = comma + 1;
  }
  std::size_t end = list.find(',', start);
  return std::string(list.substr(start, end == std::string_view::npos ? end : end - start));
}

}  // namespace slidemill
