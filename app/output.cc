#include "app/output.h"

#include <cstdio>

namespace slidemill {
namespace {

// The stamp of a log line: "MM-DD-YYYY HH:MM:SS".
std::string LogStamp(const LocalDateTime& time) {
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d %02d:%02d:%02d", time.month, time.day,
                time.year, time.hour, time.minute, time.second);
  return stamp;
}

}  // namespace

void Output::ConsoleWrite(std::string_view text) { platform_.Write(ConsoleStream::kOutput, text); }

void Output::ConsoleLineEnd() { platform_.Write(ConsoleStream::kOutput, platform_.LineEnd()); }

void Output::ErrorWrite(std::string_view text) { platform_.Write(ConsoleStream::kError, text); }

void Output::ErrorLineEnd() { platform_.Write(ConsoleStream::kError, platform_.LineEnd()); }

void Output::SetTextColor(TextColor color) { platform_.SetTextColor(color); }

void Output::ConsoleLine(TextColor color, std::string_view text) {
  ConsoleLineEnd();
  SetTextColor(color);
  ConsoleWrite(text);
  ConsoleLineEnd();
  SetTextColor(TextColor::kNormal);
}

void Output::ReportFailure(std::string_view text) {
  ConsoleLine(TextColor::kFailure, text);
  WriteLog(text, false);
}

void Output::WriteLog(std::string_view text, bool with_timestamp) {
  AppendToLog(LogLine(text, with_timestamp));
}

std::string Output::LogLine(std::string_view text, bool with_timestamp) {
  if (log_path_.empty()) return "";
  std::string line;
  if (with_timestamp) {
    line = LogStamp(platform_.LocalNow());
    line += ' ';
  } else {
    line = "    ";
  }
  line += text;
  line += platform_.LineEnd();
  return line;
}

bool Output::AppendToLog(std::string_view lines) {
  if (log_path_.empty() || lines.empty() || platform_.AppendToFile(log_path_, lines)) return true;
  if (!log_failure_said_) {
    log_failure_said_ = true;
    SetTextColor(TextColor::kFailure);
    ErrorWrite("The log file cannot be written: " + log_path_);
    ErrorLineEnd();
    SetTextColor(TextColor::kNormal);
  }
  return false;
}

int32_t PrintJobError(const JobError& error, Output& output) {
  output.ErrorLineEnd();
  output.ErrorWrite(error.Message);
  if (!error.Info.empty()) {
    output.ErrorWrite(": ");
    output.ErrorWrite(error.Info);
  }
  output.ErrorLineEnd();
  return error.Code;
}

}  // namespace slidemill
