// The test executable's entry point: googletest plus the location of the
// executable, so that tests which run the program find it beside themselves.
#include <gtest/gtest.h>

#include "tests/test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  slidemill::test::SetTestExecutablePath(argc > 0 ? argv[0] : "");
  return RUN_ALL_TESTS();
}
