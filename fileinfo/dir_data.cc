#include "fileinfo/dir_data.h"

#include <algorithm>
#include <cstring>

namespace slidemill {

DirData MakeDirData(const FileEntry& entry, std::string_view name) {
  DirData record;
  record.attributes = entry.attributes;
  record.creation_time.set(entry.creation_time);
  record.last_access_time.set(entry.last_access_time);
  record.last_write_time.set(entry.last_write_time);
  record.size_high = static_cast<uint32_t>(entry.size >> 32);
  record.size_low = static_cast<uint32_t>(entry.size & 0xFFFFFFFFu);
  std::size_t length = std::min(name.size(), sizeof record.name - 1);
  std::memcpy(record.name, name.data(), length);
  std::size_t short_length = std::min(entry.short_name.size(), sizeof record.short_name - 1);
  std::memcpy(record.short_name, entry.short_name.data(), short_length);
  return record;
}

uint64_t DirDataTime(const DirData& record, int32_t which_date) {
  switch (which_date) {
    case kDateCreated: return record.creation_time.value();
    case kDateAccessed: return record.last_access_time.value();
    default: return record.last_write_time.value();
  }
}

}  // namespace slidemill
