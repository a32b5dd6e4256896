#include "app/output.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"

namespace slidemill {
namespace {

TEST(OutputTest, JobErrorShowsItsInfoAfterAColonWhenThereIsOne) {
  for (std::string info : {"x", ""}) {
    test::FakePlatform platform;
    Output output(platform);
    JobError error;
    SetJobError(error, kErrorAborted, info);
    EXPECT_EQ(PrintJobError(error, output), kErrorAborted);
    EXPECT_EQ(platform.transcript, "[E:\r\n][E:Aborted by user]" +
                                       std::string(info.empty() ? "" : "[E:: ][E:x]") + "[E:\r\n]");
  }
}

}  // namespace
}  // namespace slidemill
