#include "app/command_line.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineTest, TailFollowsTheProgramName) {
  struct Case {
    const char* line;
    const char* tail;
  } cases[] = {
      {"slidemill.exe -r", "-r"},
      {"slidemill.exe", ""},
      {"slidemill.exe   ", ""},
      {"\"C:\\Program Files\\slidemill.exe\" -dir x", "-dir x"},
      {"\"C:\\Program Files\\slidemill.exe\"-r", "-r"},  // name ends at its quote
      {"\"C:\\unclosed name -r", ""},
      {"slidemill.exe\t-r", "\t-r"},  // a control character ends the name
      {"slidemill.exe \"\"", "\"\""},  // not empty, though it yields nothing
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommandTail(c.line), c.tail) << c.line;
  }
}

TEST(CommandLineTest, SplitsArgumentsByTheProgramsOwnRule) {
  struct Case {
    const char* tail;
    Args args;
  } cases[] = {
      {"-dir C:\\a -r", {"-dir", "C:\\a", "-r"}},
      {"  -r   -say-settings  ", {"-r", "-say-settings"}},
      {"-dir \"C:\\My Photos\"", {"-dir", "C:\\My Photos"}},
      {"-dir \"\" -r", {"-dir", "-r"}},  // an empty quoted pair vanishes
      {"\"\"", {}},
      {"\"a b\"c", {"a b", "c"}},  // text after a closing quote is a new argument
      {"-subtitle-text \"Day {DayModified}\"x", {"-subtitle-text", "Day {DayModified}", "x"}},
      {"a\"b c\"", {"a\"b", "c\""}},  // a quote inside an argument is ordinary
      {"\"unclosed  quote", {"unclosed  quote"}},
      {"a\tb c", {"a\tb", "c"}},  // a tab does not separate
      {"\"C:\\dir\\\" next", {"C:\\dir\\", "next"}},  // no escapes
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitArguments(c.tail), c.args) << c.tail;
  }
}

TEST(CommandLineTest, ReadsWindowsTextAndPosixArguments) {
  ProcessCommandLine windows{true, "slidemill.exe \"\" -r", {}};
  CommandArguments from_text = ReadCommandArguments(windows);
  EXPECT_FALSE(from_text.tail_empty);
  EXPECT_EQ(from_text.args, Args{"-r"});

  ProcessCommandLine bare{true, "slidemill.exe", {}};
  EXPECT_TRUE(ReadCommandArguments(bare).tail_empty);

  // The shell's arguments are taken as they are, spaces and quotes included;
  // only empty ones are dropped.
  ProcessCommandLine posix{false, "", {"-dir", "", "a \"b\" c", "-r"}};
  CommandArguments from_argv = ReadCommandArguments(posix);
  EXPECT_FALSE(from_argv.tail_empty);
  EXPECT_EQ(from_argv.args, (Args{"-dir", "a \"b\" c", "-r"}));

  ProcessCommandLine only_empty{false, "", {""}};
  CommandArguments empty = ReadCommandArguments(only_empty);
  EXPECT_FALSE(empty.tail_empty);
  EXPECT_TRUE(empty.args.empty());
  EXPECT_TRUE(ReadCommandArguments(ProcessCommandLine{}).tail_empty);
}

TEST(CommandLineTest, ParseStoresRawValues) {
  struct Case {
    Args args;
    std::string RawOptions::*field;
    const char* value;
  } cases[] = {
      {{"-dir", "C:\\a", "-dir", "C:\\b"}, &RawOptions::Dir, "C:\\b"},  // last wins
      {{"-dir", "-r"}, &RawOptions::Dir, "-r"},
      {{"-dir", "-r"}, &RawOptions::Recurse, ""},
      {{"-r-depth", "-1"}, &RawOptions::RDepth, "-1"},
      {{"-r"}, &RawOptions::Recurse, "TRUE"},
      {{"-dir"}, &RawOptions::Dir, ""},  // a value missing at the end: not given
      {{"-say-settings", "-usage", "-version"}, &RawOptions::Version, "TRUE"},
      {{"-video-frames-per-second", " 5"}, &RawOptions::VideoFramesPerSecond, " 5"},
      {{"-video-codec", "mjpeg -vf scale=640:480"}, &RawOptions::VideoCodec,
       "mjpeg -vf scale=640:480"},
  };
  for (const Case& c : cases) {
    RawOptions raw;
    JobError error;
    ParseCommandLine(c.args, raw, error);
    EXPECT_FALSE(HasJobError(error));
    EXPECT_EQ(raw.*(c.field), c.value) << c.args[0];
  }
}

TEST(CommandLineTest, ParseStopsAtTheFirstUnknownArgument) {
  struct Case {
    Args args;
    const char* info;
  } cases[] = {
      {{"-DIR", "x"}, "-DIR"},        // case matters
      {{"-di"}, "-di"},                // no prefixes
      {{"--dir", "x"}, "--dir"},
      {{"-dir=x"}, "-dir=x"},
      {{"photos"}, "photos"},          // no positional arguments
      {{"-r", "x", "-bogus"}, "x"},
      {{"-usage", "-nope"}, "-nope"},
  };
  for (const Case& c : cases) {
    RawOptions raw;
    JobError error;
    ParseCommandLine(c.args, raw, error);
    EXPECT_EQ(error.Code, 2);
    EXPECT_EQ(error.Message, "Invalid argument");
    EXPECT_EQ(error.Info, c.info);
  }
  // Options before the unknown one keep their values; later ones are not read.
  RawOptions raw;
  JobError error;
  ParseCommandLine({"-r", "-nope", "-usage"}, raw, error);
  EXPECT_EQ(raw.Recurse, "TRUE");
  EXPECT_EQ(raw.Usage, "");
}

}  // namespace
}  // namespace slidemill
