// cFileIterator walks a tree of directories without recursion: a queue of
// directories, each listed once when it becomes current, its subdirectories
// queued depth-first or breadth-first within a depth limit and a name filter,
// its files handed out one at a time. Between steps it can look at the
// keyboard for break keys. It never prints and never throws; every failure
// is left in its error members.
#ifndef SLIDEMILL_ITERATOR_FILE_ITERATOR_H_
#define SLIDEMILL_ITERATOR_FILE_ITERATOR_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "fileinfo/date_parts.h"
#include "fileinfo/dir_data.h"
#include "platform/path_rules.h"
#include "platform/platform.h"

namespace slidemill {

// The argument of ADDDIR: nothing, one path, several paths, or a value of
// another type (a number), which is refused.
using DirPathArgument =
    std::variant<std::monostate, std::string, std::vector<std::string>, int32_t>;

// The upper-case names are the class's published member names, declared in
// their slot order (a property's get before its set); callers compare with
// the constant members.
class cFileIterator {
 public:
  explicit cFileIterator(Platform& platform = SystemPlatform(),
                         const PathRules& rules = NativePathRules());
  ~cFileIterator();
  cFileIterator(const cFileIterator&) = delete;
  cFileIterator& operator=(const cFileIterator&) = delete;

  int32_t ADDDIR(const DirPathArgument& DIRPATH, std::optional<int32_t> MAXDEPTH = std::nullopt,
                 std::optional<int32_t> QUEUENEXT = std::nullopt);
  int32_t BREAKKEY_LAST() const;
  std::string DIRDATE(int32_t WHICHDATE, int32_t DATEPART,
                      std::optional<int32_t> UTC = std::nullopt);
  // The current directory's record, valid until the next ADDDIR, move, INIT
  // or NEWSESSION; nullptr when there is no current directory.
  const DirData* DIRDIRDATA();
  std::string DIRPATH() const;
  int32_t ERRCODE() const;
  std::string ERRINFO() const;
  int32_t ERR_IS() const;
  std::string ERRMSG() const;
  std::string FILEDATE(int32_t WHICHDATE, int32_t DATEPART,
                       std::optional<int32_t> UTC = std::nullopt);
  const DirData* FILEDIRDATA();
  std::string FILEPATH() const;
  int64_t FILESIZE() const;
  void INIT();
  std::string MOVETONEXTDIR(std::optional<int32_t> ITERATECOUNT = std::nullopt);
  std::string MOVETONEXTFILE(std::optional<int32_t> ITERATECOUNT = std::nullopt);
  void NEWSESSION();
  int32_t BREAKHANDLER() const;
  void BREAKHANDLER(int32_t value);
  int32_t BREAKKEYS() const;
  void BREAKKEYS(int32_t value);
  std::string FILTER_DIR() const;
  void FILTER_DIR(const std::string& value);
  std::string FILTER_FILE() const;
  void FILTER_FILE(const std::string& value);
  int32_t SLOPE() const;
  void SLOPE(int32_t value);
  int32_t STATE() const;
  int32_t DEPTH() const;

  // The class constants, in slot order.
  static constexpr int32_t BREAKKEYS_NONE() { return 0; }
  static constexpr int32_t BREAKKEYS_CTRL_C() { return 1; }
  static constexpr int32_t BREAKKEYS_ALT_F4() { return 2; }
  static constexpr int32_t DATE_CREATED() { return kDateCreated; }
  static constexpr int32_t DATE_MODIFIED() { return kDateModified; }
  static constexpr int32_t DATE_ACCESSED() { return kDateAccessed; }
  static constexpr int32_t DATEPART_YEAR() { return kDatePartYear; }
  static constexpr int32_t DATEPART_YEAR2() { return kDatePartYear2; }
  static constexpr int32_t DATEPART_MONTH() { return kDatePartMonth; }
  static constexpr int32_t DATEPART_MONTH2() { return kDatePartMonth2; }
  static constexpr int32_t DATEPART_MONTHNAME() { return kDatePartMonthShort; }
  static constexpr int32_t DATEPART_MONTHNAME3() { return kDatePartMonthLong; }
  static constexpr int32_t DATEPART_DAY() { return kDatePartDay; }
  static constexpr int32_t DATEPART_DAY2() { return kDatePartDay2; }
  static constexpr int32_t DATEPART_DAYNAME() { return kDatePartDayShort; }
  static constexpr int32_t DATEPART_DAYNAME3() { return kDatePartDayLong; }
  static constexpr int32_t DATEPART_HOUR() { return kDatePartHour; }
  static constexpr int32_t DATEPART_HOUR2() { return kDatePartHour2; }
  static constexpr int32_t DATEPART_HOURMILITARY() { return kDatePartHourMilitary; }
  static constexpr int32_t DATEPART_HOURMILITARY2() { return kDatePartHourMilitary2; }
  static constexpr int32_t DATEPART_MINUTE() { return kDatePartMinute; }
  static constexpr int32_t DATEPART_MINUTE2() { return kDatePartMinute2; }
  static constexpr int32_t DATEPART_SECOND() { return kDatePartSecond; }
  static constexpr int32_t DATEPART_SECOND2() { return kDatePartSecond2; }
  static constexpr int32_t DATEPART_MERIDIAN() { return kDatePartMeridian; }
  static constexpr int32_t DATEPART_MERIDIAN2() { return kDatePartMeridian2; }
  static constexpr int32_t DATEPART_ALL() { return kDatePartCount + 1; }
  static constexpr int32_t ERR_OK() { return 0; }
  static constexpr int32_t ERR_ARGINVALIDTYPE() { return 1; }
  static constexpr int32_t ERR_ARGOUTOFRANGE() { return 2; }
  static constexpr int32_t ERR_FILEINVALID() { return 3; }
  static constexpr int32_t ERR_DIRINVALID() { return 4; }
  static constexpr int32_t ERR_STATEINVALID() { return 5; }
  static constexpr int32_t ERR_PROPERTYINVALID() { return 6; }
  static constexpr int32_t ERR_BREAKKEYPRESSED() { return 7; }
  static constexpr int32_t SLOPE_GRADUAL() { return 0; }
  static constexpr int32_t SLOPE_STEEP() { return 1; }
  static constexpr int32_t STATE_READY() { return 0; }
  static constexpr int32_t STATE_ITERATING() { return 1; }
  static constexpr int32_t STATE_COMPLETE() { return 2; }

  // Beyond the published members: the directories passed over since the
  // last call, so that the program can say so.
  struct PassedOver {
    enum class Why {
      kTooLong,       // its path is too long for a record or for the system
      kUnreadable,    // it cannot be listed; `detail` says why
      kWalkedAlready  // a link to a directory the walk has; `detail` is its path there
    };
    Why why;
    std::string path;
    std::string detail;
  };
  std::vector<PassedOver> TakePassedOver();

 private:
  // MOVETONEXTDIR and MOVETONEXTFILE: `count` steps over directories or
  // files, then the path reached.
  std::string Move(std::optional<int32_t> count, bool files);

  // The implementation's state (queue, file list, filters, error) lives
  // behind this.
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace slidemill

#endif  // SLIDEMILL_ITERATOR_FILE_ITERATOR_H_
