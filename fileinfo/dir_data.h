// The directory-entry record: the layout of the Windows find-data record,
// packed, with the name field sized for the system's longest path. It is
// always copied whole.
#ifndef SLIDEMILL_FILEINFO_DIR_DATA_H_
#define SLIDEMILL_FILEINFO_DIR_DATA_H_

#include <cstdint>
#include <string_view>

#include "platform/path_limit.h"
#include "platform/platform.h"

namespace slidemill {

#pragma pack(push, 1)
// A 64-bit file time (100 ns since 1601-01-01 UTC), low 32 bits first.
struct PackedFileTime {
  uint32_t low = 0;
  uint32_t high = 0;

  uint64_t value() const { return (static_cast<uint64_t>(high) << 32) | low; }
  void set(uint64_t time) {
    low = static_cast<uint32_t>(time & 0xFFFFFFFFu);
    high = static_cast<uint32_t>(time >> 32);
  }
};

struct DirData {
  uint32_t attributes = 0;
  PackedFileTime creation_time;
  PackedFileTime last_access_time;
  PackedFileTime last_write_time;
  uint32_t size_high = 0;
  uint32_t size_low = 0;
  uint32_t reserved0 = 0;
  uint32_t reserved1 = 0;
  char name[kNameFieldSize] = {};
  char short_name[14] = {};

  uint64_t size() const { return (static_cast<uint64_t>(size_high) << 32) | size_low; }
};
#pragma pack(pop)

static_assert(sizeof(DirData) == 58 + kNameFieldSize,
              "the record is packed: 318 bytes with a 260-byte name field");

// Which file time a date refers to.
inline constexpr int32_t kDateCreated = 1;
inline constexpr int32_t kDateModified = 2;
inline constexpr int32_t kDateAccessed = 3;

// A record for `entry` whose name field holds `name` (the longest text the
// field holds: a longer one is cut, so callers that must not lose a path
// check its length first).
DirData MakeDirData(const FileEntry& entry, std::string_view name);

// The file time that `which_date` (1, 2 or 3) selects.
uint64_t DirDataTime(const DirData& record, int32_t which_date);

}  // namespace slidemill

#endif  // SLIDEMILL_FILEINFO_DIR_DATA_H_
