#include "app/command_line.h"

#include <gtest/gtest.h>

#include <tuple>

namespace slidemill {
namespace {

using Args = std::vector<std::string>;

// Windows hands over one text: the program's name ends at its closing quote
// or at a space or control character; the rest splits by the program's own
// rule (spaces separate, quotes group, no escapes, "" vanishes).
TEST(CommandLineTest, WindowsTextSplitsByTheProgramsOwnRule) {
  struct Case {
    const char* line;
    bool tail_empty;
    Args args;
  } cases[] = {
      {"slidemill.exe", true, {}},
      {"slidemill.exe   ", true, {}},
      {"", true, {}},
      {"slidemill.exe \"\"", false, {}},
      {"\"C:\\Program Files\\slidemill.exe\"-r", false, {"-r"}},
      {"\"C:\\unclosed name -r", true, {}},
      {"x.exe -dir \"\" -r", false, {"-dir", "-r"}},
      {"x.exe  -dir \"C:\\My Photos\"  -r ", false, {"-dir", "C:\\My Photos", "-r"}},
      {"x.exe \"a b\"c", false, {"a b", "c"}},
      {"x.exe a\"b c\"", false, {"a\"b", "c\""}},
      {"x.exe \"unclosed  quote", false, {"unclosed  quote"}},
      {"x.exe\ta\tb c", false, {"\ta\tb", "c"}},
      {"x.exe \"C:\\dir\\\" next", false, {"C:\\dir\\", "next"}},
  };
  for (const Case& c : cases) {
    CommandArguments read = ReadCommandArguments(ProcessCommandLine{true, c.line, {}});
    EXPECT_EQ(std::pair(read.tail_empty, read.args), std::pair(c.tail_empty, c.args)) << c.line;
  }
  // POSIX takes the shell's arguments as they are; only empty ones go.
  CommandArguments posix = ReadCommandArguments({false, "", {"-dir", "", "a \"b\" c"}});
  EXPECT_EQ(std::pair(posix.tail_empty, posix.args), std::pair(false, Args{"-dir", "a \"b\" c"}));
  EXPECT_FALSE(ReadCommandArguments({false, "", {""}}).tail_empty);
  EXPECT_TRUE(ReadCommandArguments(ProcessCommandLine{}).tail_empty);
}

TEST(CommandLineTest, ParseStoresRawValuesOrStopsAtTheFirstUnknown) {
  struct Case {
    Args args;
    std::string RawOptions::*field;
    const char* value;
    const char* unknown;  // nullptr: no error
  } cases[] = {
      {{"-dir", "C:\\a", "-dir", "C:\\b"}, &RawOptions::Dir, "C:\\b", nullptr},
      {{"-dir", "-r"}, &RawOptions::Recurse, "", nullptr},  // a value is a value
      {{"-r"}, &RawOptions::Recurse, "TRUE", nullptr},
      {{"-dir"}, &RawOptions::Dir, "", nullptr},
      {{"-video-codec", "mjpeg -vf x"}, &RawOptions::VideoCodec, "mjpeg -vf x", nullptr},
      {{"-DIR", "x"}, &RawOptions::Dir, "", "-DIR"},
      {{"-di"}, &RawOptions::Dir, "", "-di"},
      {{"-dir=x"}, &RawOptions::Dir, "", "-dir=x"},
      {{"photos"}, &RawOptions::Dir, "", "photos"},
      {{"-r", "-nope", "-usage"}, &RawOptions::Recurse, "TRUE", "-nope"},
      {{"-r", "-nope", "-usage"}, &RawOptions::Usage, "", "-nope"},
      // Habits from other tools stand for the published names, never as a value.
      {{"-h"}, &RawOptions::Usage, "TRUE", nullptr},
      {{"--help"}, &RawOptions::Usage, "TRUE", nullptr},
      {{"-?"}, &RawOptions::Usage, "TRUE", nullptr},
      {{"/?"}, &RawOptions::Usage, "TRUE", nullptr},
      {{"--version"}, &RawOptions::Version, "TRUE", nullptr},
      {{"--usage"}, &RawOptions::Usage, "", "--usage"},
      {{"-dir", "-h"}, &RawOptions::Dir, "-h", nullptr},
  };
  for (const Case& c : cases) {
    RawOptions raw;
    JobError error;
    ParseCommandLine(c.args, raw, error);
    EXPECT_EQ(std::tuple(raw.*(c.field), error.Code, error.Info),
              std::tuple(c.value, c.unknown ? 2 : 0, c.unknown ? c.unknown : ""))
        << c.args[0];
  }
}

}  // namespace
}  // namespace slidemill
