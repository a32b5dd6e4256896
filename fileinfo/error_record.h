// The error record that the program's units keep: a code, its message and a
// detail (the path or argument concerned). Each unit has its own codes and
// message table; the record and its rules are shared.
#ifndef SLIDEMILL_FILEINFO_ERROR_RECORD_H_
#define SLIDEMILL_FILEINFO_ERROR_RECORD_H_

#include <cstdint>
#include <string>
#include <utility>

namespace slidemill {

// Field names are the record's published names.
struct ErrorRecord {
  // The message text of a unit's code; "" for 0.
  using MessageTable = std::string (*)(int32_t code);

  int32_t Code = 0;
  std::string Message;
  std::string Info;

  // Records an error; an empty message takes the code's own text from
  // `table`. Answers the code.
  int32_t Set(int32_t code, std::string info, std::string message, MessageTable table) {
    Code = code;
    Info = std::move(info);
    Message = message.empty() ? table(code) : std::move(message);
    return code;
  }
  void Clear() { *this = ErrorRecord{}; }
  // What ERR_IS answers: -1 while an error is recorded, 0 otherwise.
  int32_t Flag() const { return Code != 0 ? -1 : 0; }
};

}  // namespace slidemill

#endif  // SLIDEMILL_FILEINFO_ERROR_RECORD_H_
