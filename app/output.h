// Console and log output. Callers decide every line end and every colour
// change; nothing here buffers or formats on its own.
#ifndef SLIDEMILL_APP_OUTPUT_H_
#define SLIDEMILL_APP_OUTPUT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "app/job_error.h"
#include "platform/platform.h"

namespace slidemill {

// The text with every control byte written out as "\x1b", so that a name
// can neither move the cursor, retitle or clear a terminal, nor split a line
// of the log. C1 controls written as UTF-8 (U+0080 to U+009F), which some
// terminals obey too, are written out byte by byte.
std::string Escaped(std::string_view text);

class Output {
 public:
  explicit Output(Platform& platform) : platform_(platform) {}

  // Published names of the output primitives.
  void ConsoleWrite(std::string_view text);
  void ConsoleLineEnd();
  void ErrorWrite(std::string_view text);
  void ErrorLineEnd();
  void SetTextColor(TextColor color);
  // A line end, then `text` alone on its line in `color`, control bytes
  // escaped; the colour goes back to normal after it.
  void ConsoleLine(TextColor color, std::string_view text);
  // A failure that does not end the run: its line in light red, and the same
  // text as an indented log line.
  void ReportFailure(std::string_view text);

  // Appends one line to the log: "MM-DD-YYYY HH:MM:SS text" when stamped,
  // four spaces and the text otherwise, control bytes escaped. Does nothing
  // without a log path. A log that cannot be written is said once on the
  // standard error stream; the run goes on.
  void WriteLog(std::string_view text, bool with_timestamp = true);
  // The log line WriteLog would write, stamped now.
  std::string LogLine(std::string_view text, bool with_timestamp);
  // Appends whole lines made by LogLine; false when the log cannot be
  // written, which the first time is said on the standard error stream.
  bool AppendToLog(std::string_view lines);
  void set_log_path(std::string path) { log_path_ = std::move(path); }

  Platform& platform() { return platform_; }

 private:
  Platform& platform_;
  std::string log_path_;
  bool log_failure_said_ = false;
};

// One directory's log lines, kept together and written as one when the
// directory's job is over, so that jobs running side by side never
// interleave their lines. Each line is stamped when it is made.
class HeldLog {
 public:
  explicit HeldLog(Output& output) : output_(output) {}
  void Add(std::string_view text, bool with_timestamp = false) {
    lines_ += output_.LogLine(text, with_timestamp);
  }
  // Writes what was added since the last write.
  void Write() {
    output_.AppendToLog(lines_);
    lines_.clear();
  }

 private:
  Output& output_;
  std::string lines_;
};

// Writes, on the standard error stream, a line end, the message, ": " and the
// info when there is one, and a line end. Answers the code.
int32_t PrintJobError(const JobError& error, Output& output);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_OUTPUT_H_
