#include "app/command_line.h"

namespace slidemill {
namespace {

bool IsSpaceOrControl(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte <= ' ' || byte == 127;
}

}  // namespace

std::string_view CommandTail(std::string_view line) {
  std::size_t end;
  if (!line.empty() && line[0] == '"') {
    std::size_t close = line.find('"', 1);
    end = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    end = 0;
    while (end < line.size() && !IsSpaceOrControl(line[end])) ++end;
  }
  while (end < line.size() && line[end] == ' ') ++end;
  return line.substr(end);
}

std::vector<std::string> SplitArguments(std::string_view tail) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < tail.size()) {
    if (tail[i] == ' ') {
      ++i;
      continue;
    }
    if (tail[i] == '"') {
      // Runs to the next quote, which ends it even without a space after it;
      // an unclosed quote runs to the end.
      std::size_t close = tail.find('"', i + 1);
      std::size_t end = close == std::string_view::npos ? tail.size() : close;
      if (end > i + 1) args.emplace_back(tail.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? tail.size() : close + 1;
    } else {
      std::size_t end = tail.find(' ', i);
      if (end == std::string_view::npos) end = tail.size();
      args.emplace_back(tail.substr(i, end - i));
      i = end;
    }
  }
  return args;
}

CommandArguments ReadCommandArguments(const ProcessCommandLine& line) {
  CommandArguments result;
  if (line.is_single_text) {
    std::string_view tail = CommandTail(line.text);
    result.tail_empty = tail.empty();
    result.args = SplitArguments(tail);
  } else {
    result.tail_empty = line.arguments.empty();
    for (const std::string& arg : line.arguments) {
      if (!arg.empty()) result.args.push_back(arg);
    }
  }
  return result;
}

void ParseCommandLine(const std::vector<std::string>& args, RawOptions& raw,
                      JobError& error) {
  std::size_t i = 0;
  while (i < args.size()) {
    const OptionInfo* option = nullptr;
    for (const OptionInfo& candidate : kOptions) {
      if (candidate.name == args[i]) {
        option = &candidate;
        break;
      }
    }
    if (option == nullptr) {
      SetJobError(error, kErrorInvalidArgument, args[i]);
      return;
    }
    if (option->kind == OptionKind::kFlag) {
      raw.*(option->field) = "TRUE";
      i += 1;
    } else {
      // The next argument is the value whatever it looks like; none at the
      // end leaves the option not given.
      raw.*(option->field) = i + 1 < args.size() ? args[i + 1] : "";
      i += 2;
    }
  }
}

}  // namespace slidemill
