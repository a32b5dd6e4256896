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

std::string Escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    bool c1 = byte == 0xC2 && next >= 0x80 && next <= 0x9F;
    if (byte >= 0x20 && byte != 0x7F && !c1) {
      shown += text[i];
      continue;
    }
    for (unsigned char b : {byte, next}) {
      shown += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
      if (!c1) break;
    }
    if (c1) ++i;
  }
  return shown;
}

void Output::ConsoleWrite(std::string_view text) { platform_.Write(ConsoleStream::kOutput, text); }

void Output::ConsoleLineEnd() { platform_.Write(ConsoleStream::kOutput, platform_.LineEnd()); }

void Output::ErrorWrite(std::string_view text) { platform_.Write(ConsoleStream::kError, text); }

void Output::ErrorLineEnd() { platform_.Write(ConsoleStream::kError, platform_.LineEnd()); }

void Output::SetTextColor(TextColor color) { platform_.SetTextColor(color); }

void Output::ConsoleLine(TextColor color, std::string_view text) {
  ConsoleLineEnd();
  SetTextColor(color);
  ConsoleWrite(Escaped(text));
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
  line += Escaped(text);
  line += platform_.LineEnd();
  return line;
}

bool Output::AppendToLog(std::string_view lines) {
  if (log_path_.empty() || lines.empty() || platform_.AppendToFile(log_path_, lines)) return true;
  if (!log_failure_said_) {
    log_failure_said_ = true;
    SetTextColor(TextColor::kFailure);
    ErrorWrite("The log file cannot be written: " + Escaped(log_path_));
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
    output.ErrorWrite(Escaped(error.Info));
  }
  output.ErrorLineEnd();
  return error.Code;
}

}  // namespace slidemill
