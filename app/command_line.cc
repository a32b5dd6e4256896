#include "app/command_line.h"

#include <utility>

#include "app/options.h"

namespace slidemill {
namespace {

bool IsSpaceOrControl(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte <= ' ' || byte == 127;
}

// Spellings typed out of habit from other tools, each read as the published
// option it stands for; the published names stay the only ones listed.
constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
    {"-h", "-usage"}, {"--help", "-usage"},      {"-?", "-usage"},
    {"/?", "-usage"}, {"--version", "-version"},
};

std::string_view PublishedName(std::string_view arg) {
  for (const auto& [alias, name] : kAliases) {
    if (arg == alias) return name;
  }
  return arg;
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

std::vector<std::string> SplitCommandPieces(const std::vector<CommandPiece>& pieces,
                                            bool keep_empty_quoted) {
  std::vector<std::string> args;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (const CommandPiece& piece : pieces) {
    for (char c : piece.text) {
      if (piece.literal) {
        in_argument = true;
        current += c;
      } else if (!in_argument) {
        if (c == ' ') continue;
        in_argument = true;
        // A quote that opens an argument groups up to the next quote.
        quoted = c == '"';
        if (!quoted) current += c;
      } else if (quoted ? c == '"' : c == ' ') {
        if (!current.empty() || keep_empty_quoted) args.push_back(std::move(current));
        current.clear();
        in_argument = quoted = false;
      } else {
        current += c;  // inside an unquoted argument a quote is ordinary
      }
    }
  }
  // An unclosed quote runs to the end.
  if (in_argument && !current.empty()) args.push_back(std::move(current));
  return args;
}

std::vector<std::string> SplitArguments(std::string_view tail) {
  // An empty quoted pair on the program's own command line vanishes.
  return SplitCommandPieces({CommandPiece{std::string(tail), false}}, false);
}

CommandArguments ReadCommandArguments(const ProcessCommandLine& line) {
  CommandArguments result;
  if (line.is_single_text) {
    std::string_view tail = CommandTail(line.text);
    result.tail_empty = tail.empty();
    result.args = SplitArguments(tail);
  } else {
    // An empty argument is an empty value: dropped, it would make the next
    // option the value.
    result.tail_empty = line.arguments.empty();
    result.args = line.arguments;
  }
  return result;
}

void ParseCommandLine(const std::vector<std::string>& args, RawOptions& raw, JobError& error) {
  std::size_t i = 0;
  while (i < args.size()) {
    const OptionInfo* option = FindOption(PublishedName(args[i]));
    if (option == nullptr) {
      // An empty one is shown, so that the report says something.
      SetJobError(error, kErrorInvalidArgument, args[i].empty() ? "\"\"" : args[i]);
      return;
    }
    if (!option->takes_value()) {
      option->raw(raw) = "TRUE";
      i += 1;
    } else {
      // The next argument is the value whatever it looks like; none at the
      // end leaves the option not given.
      option->raw(raw) = i + 1 < args.size() ? args[i + 1] : "";
      i += 2;
    }
  }
}

}  // namespace slidemill
