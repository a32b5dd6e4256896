// The command line: the tail after the program name, its arguments, and the
// parse that turns them into raw option texts.
#ifndef SLIDEMILL_APP_COMMAND_LINE_H_
#define SLIDEMILL_APP_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

#include "app/job_error.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace slidemill {

// The command line as the program reads it.
struct CommandArguments {
  bool tail_empty = true;         // nothing at all after the program name
  std::vector<std::string> args;  // the arguments; an empty one only from POSIX
};

// The text after the program name of a whole command line: the name runs to
// its closing quote when it begins with one, else to the first space or
// control character; the spaces after it are skipped.
std::string_view CommandTail(std::string_view command_line);

// Splits a tail: spaces separate, a double quote at the start of an argument
// groups up to the next one (no escapes), an empty quoted pair vanishes.
std::vector<std::string> SplitArguments(std::string_view tail);

// A piece of a command line. Literal text (a directory's path) is always
// part of an argument: its spaces never separate and its quotes never group.
struct CommandPiece {
  std::string text;
  bool literal = false;
};

// Splits by the same rule as SplitArguments, with literal pieces kept whole.
// A command for another program keeps an empty quoted pair as an empty
// argument (an empty font path stays a value, not a missing one).
std::vector<std::string> SplitCommandPieces(const std::vector<CommandPiece>& pieces,
                                            bool keep_empty_quoted = true);

// Windows gives one text to split; POSIX gives the shell's arguments, each
// kept as it is, an empty one too.
CommandArguments ReadCommandArguments(const ProcessCommandLine& line);

// Stores each option's value, unchecked, in `raw`. An unknown argument is
// recorded as "Invalid argument" and ends the parse.
void ParseCommandLine(const std::vector<std::string>& args, RawOptions& raw, JobError& error);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_COMMAND_LINE_H_
