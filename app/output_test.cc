#include "app/output.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"

namespace slidemill {
namespace {

// With its info an error reads "Invalid argument: ..." (the whole program
// shows that); without, no colon is left dangling.
TEST(OutputTest, JobErrorWithoutInfoHasNoColon) {
  test::FakePlatform platform;
  Output output(platform);
  JobError error;
  SetJobError(error, kErrorAborted, "");
  EXPECT_EQ(PrintJobError(error, output), kErrorAborted);
  EXPECT_EQ(platform.err, "\r\nAborted by user\r\n");
}

}  // namespace
}  // namespace slidemill
