#include "app/output.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

TEST(OutputTest, JobErrorRecordsTheCodesText) {
  struct Case {
    int32_t code;
    const char* info;
    const char* message;
    const char* stderr_text;
  } cases[] = {
      {2, "x", "Invalid argument", "\r\nInvalid argument: x\r\n"},
      {1, "", "Aborted by user", "\r\nAborted by user\r\n"},  // no info: no colon
      {3, "Permission denied", "Error opening title file",
       "\r\nError opening title file: Permission denied\r\n"},
      {4, "", "Error reading JPG meta data", "\r\nError reading JPG meta data\r\n"},
      {5, "No such file or directory", "Error starting encoder",
       "\r\nError starting encoder: No such file or directory\r\n"},
      {9, "", "Invalid error code", "\r\nInvalid error code\r\n"},
  };
  for (const Case& c : cases) {
    JobError error;
    EXPECT_FALSE(HasJobError(error));
    EXPECT_EQ(SetJobError(error, c.code, c.info), c.code);
    EXPECT_TRUE(HasJobError(error));
    EXPECT_EQ(error.Message, c.message);

    test::FakePlatform platform;
    Output output(platform);
    EXPECT_EQ(PrintJobError(error, output), c.code);
    EXPECT_EQ(platform.err, c.stderr_text);
    EXPECT_EQ(platform.out, "");
  }
  JobError custom;
  SetJobError(custom, 2, "i", "own message");
  EXPECT_EQ(custom.Message, "own message");
  EXPECT_EQ(JobErrorText(0), "");
}

TEST(OutputTest, LogLinesAreAppendedStampedOrIndented) {
  test::ScratchDir scratch;
  auto log = scratch.WriteFile("run.log", "earlier line\r\n");
  test::FakePlatform platform;
  platform.now = {2026, 12, 5, 21, 7, 43};
  Output output(platform);

  output.WriteLog("not logged: no path yet");
  output.set_log_path(log.string());
  output.WriteLog("C:\\photos\\trip");
  output.WriteLog("Encoding complete.", false);
  platform.now = {2027, 1, 2, 3, 4, 5};
  output.WriteLog("next");
  EXPECT_EQ(test::ReadFile(log),
            "earlier line\r\n"
            "12-05-2026 21:07:43 C:\\photos\\trip\r\n"
            "    Encoding complete.\r\n"
            "01-02-2027 03:04:05 next\r\n");

  // A log that cannot be opened is passed over without a word.
  output.set_log_path((scratch.path() / "missing" / "run.log").string());
  output.WriteLog("lost");
  EXPECT_EQ(platform.out + platform.err, "");
}

}  // namespace
}  // namespace slidemill
