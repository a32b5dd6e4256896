#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

// Each argument is written so that the C runtime splits it back exactly.
// Spaces, %, &, ^, ! and parentheses are checked where they show: by the
// program under wine, whose stand-in encoder records what it was given.
TEST(WindowsCommandLineTest, BackslashesAndQuotesAsTheRuntimeSplitsThem) {
  for (const auto& [argument, written] :
       std::vector<std::pair<std::string, std::string>>{{"a\\b", "a\\b"},
                                                        {"", "\"\""},
                                                        {"C:\\my dir\\", "\"C:\\my dir\\\\\""},
                                                        {"say \"hi\"", "\"say \\\"hi\\\"\""},
                                                        {"x\\\\\"y", "\"x\\\\\\\\\\\"y\""}}) {
    EXPECT_EQ(WindowsCommandLine({{argument}}), written) << argument;
  }
}

}  // namespace
}  // namespace slidemill
