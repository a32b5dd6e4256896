// cFile describes one file: the path it was given, its directory-entry
// record, its path parts, size and date parts. It never prints and never
// throws; every failure is left in its error members.
#ifndef SLIDEMILL_FILEINFO_FILE_H_
#define SLIDEMILL_FILEINFO_FILE_H_

#include <cstdint>
#include <string>
#include <utility>

#include "fileinfo/dir_data.h"
#include "fileinfo/error_record.h"
#include "fileinfo/path_parts.h"
#include "platform/path_rules.h"
#include "platform/platform.h"

namespace slidemill {

// The upper-case names are the class's published member names, declared in
// their slot order; callers compare error codes with the constant members.
class cFile {
 public:
  explicit cFile(Platform& platform = SystemPlatform(), const PathRules& rules = NativePathRules());

  void NEW(const std::string& FILEPATH);
  int32_t ERRCODE() const { return error_.Code; }
  std::string ERRINFO() const { return error_.Info; }
  int32_t ERR_IS() const { return error_.Flag(); }
  std::string ERRMSG() const { return error_.Message; }
  // Property set (there is no get): looks the path up.
  void FILE(const std::string& path);
  // The address of the object's own record; valid for the object's life.
  DirData* FILE_DD();
  // Takes a copy of a record handed over by a caller, with its path; no
  // lookup is made.
  void FILE_SETBY_DD(const DirData* PDIRDATA, const std::string& FILEPATH);
  int32_t FILE_ISVALID() const { return valid_; }
  std::string PATH();
  std::string DIR();
  std::string TITLE();
  std::string EXT();
  std::string NAME();
  std::string YEAR(int32_t WHICHDATE, int32_t RETURNFORMAT = 0);
  std::string MONTH(int32_t WHICHDATE, int32_t RETURNFORMAT = 0);
  std::string DAY(int32_t WHICHDATE, int32_t RETURNFORMAT = 0);
  std::string HOUR(int32_t WHICHDATE, int32_t RETURNFORMAT = 0);
  std::string MINUTE(int32_t WHICHDATE, int32_t RETURNFORMAT = 0);
  std::string SECOND(int32_t WHICHDATE, int32_t RETURNFORMAT = 0);
  std::string MERIDIAN(int32_t WHICHDATE, int32_t RETURNFORMAT = 0);
  int64_t SIZE();
  static constexpr int32_t ERR_OK() { return 0; }
  static constexpr int32_t ERR_FILENOTFOUND() { return 1; }
  static constexpr int32_t ERR_INVALIDARGUMENT() { return 2; }

 private:
  // Which list field each RETURNFORMAT 1 to 4 of a date-part member picks
  // (0: not allowed), and what RETURNFORMAT 0 stands for.
  struct DatePartRow {
    int32_t fields[4];
    int32_t default_format;
  };

  void SetError(int32_t code, std::string info) {
    error_.Set(code, std::move(info), "", ErrorText);
  }
  void ClearError() { error_.Clear(); }
  static std::string ErrorText(int32_t code);
  // The entry a path names, or the first match of a pattern in its last part.
  bool Lookup(const std::string& path, FileEntry* found);
  void TakeRecord(const DirData& record);
  std::string DatePart(const DatePartRow& row, int32_t which_date, int32_t format);
  // PATH's checks, then the part when the object holds a file.
  std::string Part(std::string PathParts::*member);

  Platform& platform_;
  // A copy: the rules given may be a temporary.
  const PathRules rules_;
  int32_t valid_ = 0;
  std::string file_path_;
  DirData entry_;
  ErrorRecord error_;
  std::string created_list_;
  std::string modified_list_;
  std::string accessed_list_;
};

}  // namespace slidemill

#endif  // SLIDEMILL_FILEINFO_FILE_H_
