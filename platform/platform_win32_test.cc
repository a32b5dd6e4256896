#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

// A viewer that follows the log holds it open for reading, letting others
// write; the log is still written meanwhile.
TEST(Win32LogTest, IsWrittenWhileAViewerReadsIt) {
  test::ScratchDir scratch;
  const std::string log = scratch.str() + "\\run.log";
  HANDLE viewer = CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SystemPlatform().AppendToFile(log, "line\r\n"));
  CloseHandle(viewer);
  EXPECT_EQ(test::ReadFile(log), "line\r\n");
}

}  // namespace
}  // namespace slidemill
