#include "app/command_line.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
  std::string name;
  std::string line;
  bool tail_empty;
  Args args;
};

class WindowsLineTest : public testing::TestWithParam<SplitCase> {};

// Windows hands over one text: the program's name ends at its closing quote
// or at a space or control character; the rest splits by the program's own
// rule (spaces separate, quotes group, no escapes, "" vanishes).
TEST_P(WindowsLineTest, Splits) {
  CommandArguments read = ReadCommandArguments(ProcessCommandLine{true, GetParam().line, {}});
  EXPECT_EQ(read.tail_empty, GetParam().tail_empty);
  EXPECT_EQ(read.args, GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, WindowsLineTest,
    testing::Values(
        SplitCase{"EmptyPairIsATailWithoutArguments", "slidemill.exe \"\"", false, {}},
        SplitCase{"QuotedNameEndsAtItsQuote", "\"C:\\Program Files\\s.exe\"-r", false, {"-r"}},
        SplitCase{"ClosingQuoteEndsAnArgument", "x.exe \"a b\"c", false, {"a b", "c"}},
        SplitCase{
            "UnclosedQuoteRunsToTheEnd", "x.exe \"unclosed  quote", false, {"unclosed  quote"}},
        SplitCase{"NoBackslashEscapes", "x.exe \"C:\\dir\\\" next", false, {"C:\\dir\\", "next"}}),
    [](const testing::TestParamInfo<SplitCase>& param) { return param.param.name; });

// POSIX takes the shell's arguments as they are, an empty one too: it is
// a value, never dropped to make the next option one.
TEST(PosixLineTest, TakesTheShellsArguments) {
  CommandArguments read = ReadCommandArguments({false, "", {"-dir", "", "a \"b\" c"}});
  EXPECT_EQ(read.args, (Args{"-dir", "", "a \"b\" c"}));
  EXPECT_FALSE(read.tail_empty);
  EXPECT_TRUE(ReadCommandArguments(ProcessCommandLine{}).tail_empty);
}

struct ParseCase {
  std::string name;
  Args args;
  std::string RawOptions::*field;
  std::string value;
  std::string unknown = "";  // the argument reported; "": no error
};

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, StoresRawValuesOrStopsAtTheFirstUnknown) {
  RawOptions raw;
  JobError error;
  ParseCommandLine(GetParam().args, raw, error);
  EXPECT_EQ(raw.*(GetParam().field), GetParam().value);
  EXPECT_EQ(error.Info, GetParam().unknown);
  EXPECT_EQ(error.Code, GetParam().unknown.empty() ? 0 : kErrorInvalidArgument);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ParseTest,
    testing::Values(
        ParseCase{"LastOneWins", {"-dir", "C:\\a", "-dir", "C:\\b"}, &RawOptions::Dir, "C:\\b"},
        ParseCase{"NoValueIsNotGiven", {"-dir"}, &RawOptions::Dir, ""},
        ParseCase{"CaseMatters", {"-DIR", "x"}, &RawOptions::Dir, "", "-DIR"},
        ParseCase{"EmptyValue", {"-subtitle-text", "", "-dry-run"}, &RawOptions::DryRun, "TRUE"},
        ParseCase{"EmptyUnknownIsShown", {""}, &RawOptions::Dir, "", "\"\""},
        ParseCase{"StopsAtTheUnknown", {"-r", "-nope", "-usage"}, &RawOptions::Usage, "", "-nope"},
        // Habits from other tools stand for the published names, never as a value.
        ParseCase{"DoubleDashVersion", {"--version"}, &RawOptions::Version, "TRUE"},
        ParseCase{"OnlyTheseHabits", {"--usage"}, &RawOptions::Usage, "", "--usage"},
        ParseCase{"HabitAsAValue", {"-dir", "-h"}, &RawOptions::Dir, "-h"}),
    [](const testing::TestParamInfo<ParseCase>& param) { return param.param.name; });

}  // namespace
}  // namespace slidemill
