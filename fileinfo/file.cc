#include "fileinfo/file.h"

#include "fileinfo/date_parts.h"

namespace slidemill {

cFile::cFile(Platform& platform, const PathRules& rules) : platform_(platform), rules_(rules) {}

std::string cFile::ErrorText(int32_t code) {
  switch (code) {
    case ERR_FILENOTFOUND(): return "File Not Found";
    case ERR_INVALIDARGUMENT(): return "Invalid Argument";
    default: return "";
  }
}

void cFile::TakeRecord(const DirData& record) {
  entry_ = record;
  created_list_ = BuildDatePartList(entry_, kDateCreated, 0, platform_);
  modified_list_ = BuildDatePartList(entry_, kDateModified, 0, platform_);
  accessed_list_ = BuildDatePartList(entry_, kDateAccessed, 0, platform_);
}

bool cFile::Lookup(const std::string& path, FileEntry* found) {
  if (platform_.FindFirst(path, found)) return true;
  // A path that names nothing may be a pattern with * and ? in its last
  // part; its first match stands for it. A name that holds those bytes
  // itself is found literally above.
  std::size_t split = path.find_last_of(rules_.split_set);
  std::size_t name_start = split == std::string::npos ? 0 : split + 1;
  if (!HasWildcard(std::string_view(path).substr(name_start))) return false;
  std::vector<FileEntry> matches;
  if (!platform_.FindAll(path.substr(0, name_start), path.substr(name_start), &matches)) {
    return false;
  }
  *found = std::move(matches.front());
  return true;
}

void cFile::FILE(const std::string& path) {
  file_path_ = path;
  FileEntry found;
  if (!Lookup(path, &found)) {
    // The old date lists stay, but nothing reads them while the object is
    // empty.
    SetError(ERR_FILENOTFOUND(), path);
    valid_ = 0;
    return;
  }
  TakeRecord(MakeDirData(found, found.name));
  ClearError();
  valid_ = 1;
}

void cFile::NEW(const std::string& FILEPATH) { FILE(FILEPATH); }

DirData* cFile::FILE_DD() {
  if (valid_ == 0) SetError(ERR_FILENOTFOUND(), file_path_);
  return &entry_;
}

void cFile::FILE_SETBY_DD(const DirData* PDIRDATA, const std::string& FILEPATH) {
  // A record is copied whole from the caller; without one there is nothing
  // to copy, and the object keeps what it held.
  if (PDIRDATA == nullptr) {
    SetError(ERR_INVALIDARGUMENT(), "PDirData");
    return;
  }
  TakeRecord(*PDIRDATA);
  file_path_ = FILEPATH;
  ClearError();
  valid_ = 1;
}

std::string cFile::PATH() {
  if (valid_ == 0) {
    SetError(ERR_FILENOTFOUND(), file_path_);
    return "";
  }
  ClearError();
  return file_path_;
}

std::string cFile::Part(std::string PathParts::*member) {
  std::string path = PATH();
  if (ERR_IS()) return "";
  return SplitPathParts(path, rules_).*member;
}

std::string cFile::DIR() { return Part(&PathParts::dir); }
std::string cFile::TITLE() { return Part(&PathParts::title); }
std::string cFile::EXT() { return Part(&PathParts::ext); }
std::string cFile::NAME() { return Part(&PathParts::name); }

int64_t cFile::SIZE() {
  if (valid_ == 0) {
    SetError(ERR_FILENOTFOUND(), file_path_);
    return -1;
  }
  int64_t size = static_cast<int64_t>(entry_.size());
  ClearError();
  return size;
}

std::string cFile::DatePart(const DatePartRow& row, int32_t which_date, int32_t format) {
  ClearError();
  if (valid_ == 0) {
    SetError(ERR_FILENOTFOUND(), file_path_);
    return "";
  }
  const std::string* list = nullptr;
  switch (which_date) {
    case kDateCreated: list = &created_list_; break;
    case kDateModified: list = &modified_list_; break;
    case kDateAccessed: list = &accessed_list_; break;
    default: SetError(ERR_INVALIDARGUMENT(), "WhichDate"); return "";
  }
  if (format == 0) format = row.default_format;
  if (format < 1 || format > 4 || row.fields[format - 1] == 0) {
    SetError(ERR_INVALIDARGUMENT(), "ReturnFormat");
    return "";
  }
  return PickDatePart(*list, row.fields[format - 1]);
}

// YEAR and MERIDIAN default to their second format: the four-digit year,
// the whole marker.
std::string cFile::YEAR(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{kDatePartYear2, kDatePartYear, 0, 0}, 2}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::MONTH(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{kDatePartMonth, kDatePartMonth2, kDatePartMonthShort, kDatePartMonthLong}, 1},
                  WHICHDATE, RETURNFORMAT);
}
std::string cFile::DAY(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{kDatePartDay, kDatePartDay2, kDatePartDayShort, kDatePartDayLong}, 1},
                  WHICHDATE, RETURNFORMAT);
}
std::string cFile::HOUR(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart(
      {{kDatePartHour, kDatePartHour2, kDatePartHourMilitary, kDatePartHourMilitary2}, 1},
      WHICHDATE, RETURNFORMAT);
}
std::string cFile::MINUTE(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{kDatePartMinute, kDatePartMinute2, 0, 0}, 1}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::SECOND(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{kDatePartSecond, kDatePartSecond2, 0, 0}, 1}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::MERIDIAN(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{kDatePartMeridian, kDatePartMeridian2, 0, 0}, 2}, WHICHDATE, RETURNFORMAT);
}

}  // namespace slidemill
