#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

TEST(WindowsCommandLineTest, EveryArgumentComesBackAsTheRuntimeSplitsIt) {
  EXPECT_EQ(WindowsCommandLine({{"C:\\Program Files\\enc.exe"},
                                {"mf://*.jpg", true},
                                {"-o"},
                                {"100%off%x & (a)^!"},
                                {""},
                                {"a\\b"},
                                {"say \"hi\""},
                                {"C:\\my dir\\"},
                                {"x\\\\\"y"}}),
            "\"C:\\Program Files\\enc.exe\" \"mf://*.jpg\" -o \"100%off%x & (a)^!\" \"\" a\\b "
            "\"say \\\"hi\\\"\" \"C:\\my dir\\\\\" \"x\\\\\\\\\\\"y\"");
}

}  // namespace
}  // namespace slidemill
