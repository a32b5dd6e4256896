#include "app/output.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

TEST(OutputTest, JobErrorGoesToStandardErrorWithItsInfo) {
  struct Case {
    const char* info;
    const char* stderr_text;
  } cases[] = {{"x", "\r\nInvalid argument: x\r\n"}, {"", "\r\nInvalid argument\r\n"}};
  for (const Case& c : cases) {
    JobError error;
    SetJobError(error, kErrorInvalidArgument, c.info);
    test::FakePlatform platform;
    Output output(platform);
    EXPECT_EQ(PrintJobError(error, output), kErrorInvalidArgument);
    EXPECT_EQ(platform.transcript, std::string("[E:\r\n][E:Invalid argument]") +
                                       (*c.info ? "[E:: ][E:x]" : "") + "[E:\r\n]");
    EXPECT_EQ(platform.err, c.stderr_text);
  }
}

TEST(OutputTest, LogLinesAreAppendedStampedOrIndented) {
  test::ScratchDir scratch;
  auto log = scratch.WriteFile("run.log", "earlier line\r\n");
  test::FakePlatform platform;
  Output output(platform);
  output.WriteLog("not logged: no path yet");
  output.set_log_path(log.string());
  output.WriteLog("C:\\photos\\trip");
  output.WriteLog("Encoding complete.", false);
  platform.now = {2027, 1, 2, 3, 4, 5};
  output.WriteLog("next");
  EXPECT_EQ(test::ReadFile(log),
            "earlier line\r\n12-05-2026 21:07:43 C:\\photos\\trip\r\n    Encoding complete.\r\n"
            "01-02-2027 03:04:05 next\r\n");
  // A log that cannot be opened is passed over without a word.
  output.set_log_path((scratch.path() / "missing" / "run.log").string());
  output.WriteLog("lost");
  EXPECT_EQ(platform.transcript, "");
}

}  // namespace
}  // namespace slidemill
