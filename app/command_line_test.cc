#include "app/command_line.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

using Args = std::vector<std::string>;

CommandArguments WindowsLine(const std::string& line) {
  return ReadCommandArguments(ProcessCommandLine{true, line, {}});
}

// Windows hands over one text: the program's name ends at its closing quote
// or at a space or control character; the rest splits by the program's own
// rule (spaces separate, quotes group, no escapes, "" vanishes; the fuzz
// target shows that no argument is empty).
TEST(WindowsLineTest, Splits) {
  EXPECT_EQ(WindowsLine("\"C:\\Program Files\\s.exe\"-r").args, Args{"-r"});
  EXPECT_EQ(WindowsLine("x.exe \"a b\"c").args, (Args{"a b", "c"}));
  EXPECT_EQ(WindowsLine("x.exe \"unclosed  quote").args, Args{"unclosed  quote"});
  EXPECT_EQ(WindowsLine("x.exe \"C:\\dir\\\" next").args, (Args{"C:\\dir\\", "next"}));
}

// Nothing after the name shows the usage; an empty pair is something.
TEST(WindowsLineTest, EmptyPairIsATailWithoutArguments) {
  EXPECT_FALSE(WindowsLine("slidemill.exe \"\"").tail_empty);
  EXPECT_EQ(WindowsLine("slidemill.exe \"\"").args, Args{});
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
        ParseCase{"HabitAsAValue", {"-dir", "-h"}, &RawOptions::Dir, "-h"}),
    [](const testing::TestParamInfo<ParseCase>& param) { return param.param.name; });

}  // namespace
}  // namespace slidemill
