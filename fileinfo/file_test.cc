#include "fileinfo/file.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

class FileOnDiskTest : public testing::Test {
 protected:
  test::ScratchDir scratch_;
  const fs::path jpg_ = scratch_.WriteFile("trip.2019/img01.jpg", "data");
  cFile file_;
};

// One object serves every directory of a run: a file found after a missing
// one answers with no error left over.
TEST_F(FileOnDiskTest, MissingFileIsAnErrorTillAFileIsFound) {
  file_.FILE("no-such.jpg");
  EXPECT_EQ(file_.ERRCODE(), cFile::ERR_FILENOTFOUND());
  EXPECT_EQ(file_.SIZE(), -1);
  file_.FILE(jpg_.string());
  EXPECT_EQ(file_.ERR_IS(), 0);
}

TEST_F(FileOnDiskTest, SizeBeyondFourGigabytes) {
  std::error_code error;
  fs::resize_file(jpg_, 5000000000ULL, error);  // sparse: no real space used
  if (error) GTEST_SKIP() << error.message();
  file_.FILE(jpg_.string());
  EXPECT_EQ(file_.SIZE(), 5000000000LL);
}

// Where a name may hold * or ?, such a name is found as itself, not as the
// pattern it would be (whose first match here is b1.jpg).
TEST_F(FileOnDiskTest, NameHoldingWildcardBytesIsFoundAsItself) {
  scratch_.WriteFile("b1.jpg");
  if (!fs::exists(scratch_.WriteFile("b?.jpg"))) GTEST_SKIP() << "no ? in names here";
  file_.FILE((scratch_.path() / "b?.jpg").string());
  EXPECT_STREQ(file_.FILE_DD()->name, "b?.jpg");
}

}  // namespace
}  // namespace slidemill
