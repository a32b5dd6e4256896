#include "fileinfo/file.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

TEST(FileTest, NewObjectHoldsNothing) {
  cFile file;
  EXPECT_EQ(file.ERR_IS(), 0);
  EXPECT_EQ(file.PATH(), "");
  EXPECT_EQ(file.ERR_IS(), -1);
  EXPECT_EQ(file.ERRMSG(), "File Not Found");
  EXPECT_EQ(file.ERRINFO(), "");  // the path it was given
}

class FileOnDiskTest : public testing::Test {
 protected:
  test::ScratchDir scratch_;
  const fs::path jpg_ = scratch_.WriteFile("trip.2019/img01.jpg", "data");
  cFile file_;
};

TEST_F(FileOnDiskTest, MissingFileLeavesNothingToAnswer) {
  file_.FILE(jpg_.string());
  file_.FILE("no-such.jpg");
  EXPECT_EQ(file_.FILE_ISVALID(), 0);
  EXPECT_EQ(file_.ERRCODE(), cFile::ERR_FILENOTFOUND());
  EXPECT_EQ(file_.ERRINFO(), "no-such.jpg");
  EXPECT_EQ(file_.NAME(), "");
  EXPECT_EQ(file_.SIZE(), -1);
  file_.NEW(jpg_.string());  // found again: the error is gone
  EXPECT_EQ(file_.FILE_ISVALID(), 1);
  EXPECT_EQ(file_.ERRCODE(), 0);
  EXPECT_EQ(file_.ERRINFO(), "");
}

// The parts come from the path as given (see path_parts_test.cc).
TEST_F(FileOnDiskTest, NameAndSizeOfARealFile) {
  file_.FILE(jpg_.string());
  EXPECT_EQ(file_.NAME(), "img01.jpg");
  EXPECT_EQ(file_.SIZE(), 4);
  EXPECT_STREQ(file_.FILE_DD()->name, "img01.jpg");
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

// Written Tuesday 2024-03-05 at 15:07:09 in the test command's zone, nine
// hours east; created and accessed on 1601-01-01, the start of file time.
class FileDateTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    if (!zone || std::string(zone) != "JST-9") GTEST_SKIP() << "needs TZ=JST-9";
    DirData record;
    record.last_write_time.set((1709618829ULL + 11644473600ULL) * 10000000ULL);
    file_.FILE_SETBY_DD(&record, "a.jpg");
  }
  cFile file_;
};

TEST_F(FileDateTest, EachMemberPicksItsPart) {
  EXPECT_EQ(file_.DAY(2, 0), "5");
  EXPECT_EQ(file_.MONTH(2, 0), "3");
  EXPECT_EQ(file_.YEAR(2, 0), "2024");
  EXPECT_EQ(file_.YEAR(1, 1), "01");
  EXPECT_EQ(file_.MONTH(3, 4), "January");
  EXPECT_EQ(file_.HOUR(2, 0), "3");
  EXPECT_EQ(file_.HOUR(2, 3), "15");
  EXPECT_EQ(file_.MERIDIAN(2, 0), "PM");
}

TEST_F(FileDateTest, BadArgumentsAnswerNothing) {
  EXPECT_EQ(file_.YEAR(0, 0), "");
  EXPECT_EQ(file_.ERRCODE(), cFile::ERR_INVALIDARGUMENT());
  EXPECT_EQ(file_.ERRMSG(), "Invalid Argument");
  EXPECT_EQ(file_.ERRINFO(), "WhichDate");
  EXPECT_EQ(file_.MINUTE(4, 9), "");
  EXPECT_EQ(file_.ERRINFO(), "WhichDate");  // checked first
  EXPECT_EQ(file_.SECOND(2, -1), "");
  EXPECT_EQ(file_.ERRINFO(), "ReturnFormat");
  EXPECT_EQ(file_.DAY(2, 0), "5");
  EXPECT_EQ(file_.ERR_IS(), 0);
}

}  // namespace
}  // namespace slidemill
