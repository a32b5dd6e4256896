#include "fileinfo/file.h"

#include "fileinfo/date_parts.h"

namespace slidemill {
namespace {

constexpr int32_t kErrOk = 0;
constexpr int32_t kErrFileNotFound = 1;
constexpr int32_t kErrInvalidArgument = 2;

}  // namespace

cFile::cFile(Platform& platform, const PathRules& rules)
    : platform_(platform), rules_(rules) {
  // Everything starts zero or empty; then the constants get their values.
  err_ok_ = kErrOk;
  err_file_not_found_ = kErrFileNotFound;
  err_invalid_argument_ = kErrInvalidArgument;
  valid_ = 0;
}

int32_t cFile::SetError(int32_t code, const std::string& info, const std::string& msg) {
  err_code_ = code;
  err_info_ = info;
  err_msg_ = msg.empty() ? ErrorText(code) : msg;
  return code;
}

int32_t cFile::ClearError() {
  int32_t previous = err_code_;
  SetError(err_ok_, "", "");
  return previous;
}

std::string cFile::ErrorText(int32_t code) const {
  if (code == err_file_not_found_) return "File Not Found";
  if (code == err_invalid_argument_) return "Invalid Argument";
  return "";
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
  if (path.find_first_of("*?", name_start) == std::string::npos) return false;
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
    SetError(err_file_not_found_, path);
    valid_ = 0;
    return;
  }
  TakeRecord(MakeDirData(found, found.name));
  ClearError();
  valid_ = 1;
}

void cFile::NEW(const std::string& FILEPATH) { FILE(FILEPATH); }

DirData* cFile::FILE_DD() {
  if (valid_ == 0) SetError(err_file_not_found_, file_path_);
  return &entry_;
}

void cFile::FILE_SETBY_DD(const DirData* PDIRDATA, const std::string& FILEPATH) {
  // A record is copied whole from the caller; without one there is nothing
  // to copy, and the object keeps what it held.
  if (PDIRDATA == nullptr) {
    SetError(err_invalid_argument_, "PDirData");
    return;
  }
  TakeRecord(*PDIRDATA);
  file_path_ = FILEPATH;
  ClearError();
  valid_ = 1;
}

std::string cFile::PATH() {
  if (valid_ == 0) {
    SetError(err_file_not_found_, file_path_);
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
    SetError(err_file_not_found_, file_path_);
    return -1;
  }
  int64_t size = static_cast<int64_t>(entry_.size());
  ClearError();
  return size;
}

std::string cFile::DatePart(const DatePartRow& row, int32_t which_date, int32_t format) {
  ClearError();
  if (valid_ == 0) {
    SetError(err_file_not_found_, file_path_);
    return "";
  }
  const std::string* list = nullptr;
  switch (which_date) {
    case kDateCreated: list = &created_list_; break;
    case kDateModified: list = &modified_list_; break;
    case kDateAccessed: list = &accessed_list_; break;
    default:
      SetError(err_invalid_argument_, "WhichDate");
      return "";
  }
  if (format == 0) format = row.default_format;
  if (format < 1 || format > 4 || row.fields[format - 1] == 0) {
    SetError(err_invalid_argument_, "ReturnFormat");
    return "";
  }
  return PickDatePart(*list, row.fields[format - 1]);
}

// The list fields: 1 yyyy, 2 yy, 3 M, 4 MM, 5 MMM, 6 MMMM, 7 d, 8 dd, 9 ddd,
// 10 dddd, 11 h, 12 hh, 13 H, 14 HH, 15 m, 16 mm, 17 s, 18 ss, 19 t, 20 tt.
std::string cFile::YEAR(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{2, 1, 0, 0}, 2}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::MONTH(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{3, 4, 5, 6}, 1}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::DAY(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{7, 8, 9, 10}, 1}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::HOUR(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{11, 12, 13, 14}, 1}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::MINUTE(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{15, 16, 0, 0}, 1}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::SECOND(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{17, 18, 0, 0}, 1}, WHICHDATE, RETURNFORMAT);
}
std::string cFile::MERIDIAN(int32_t WHICHDATE, int32_t RETURNFORMAT) {
  return DatePart({{19, 20, 0, 0}, 2}, WHICHDATE, RETURNFORMAT);
}

}  // namespace slidemill
