#include "fileinfo/file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <filesystem>

#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

// Noon UTC is the same calendar day in every zone from UTC-11 to UTC+11.
void SetModified(const fs::path& path, int year, unsigned month, unsigned day) {
  using namespace std::chrono;
  sys_seconds noon = sys_days{std::chrono::year{year} / month / day} + hours{12};
  fs::last_write_time(path, file_clock::from_sys(noon));
}

TEST(FileTest, NewObjectIsEmptyAndClean) {
  cFile file;
  EXPECT_EQ(file.FILE_ISVALID(), 0);
  EXPECT_EQ(file.ERR_IS(), 0);
  EXPECT_EQ(file.ERRCODE(), 0);
  EXPECT_EQ(file.ERRMSG(), "");
  EXPECT_EQ(file.ERR_OK(), 0);
  EXPECT_EQ(file.ERR_FILENOTFOUND(), 1);
  EXPECT_EQ(file.ERR_INVALIDARGUMENT(), 2);
  EXPECT_EQ(file.PATH(), "");
  EXPECT_EQ(file.ERRCODE(), 1);
  EXPECT_EQ(file.ERRMSG(), "File Not Found");
  EXPECT_EQ(file.ERRINFO(), "");
  EXPECT_EQ(file.YEAR(2, 0), "");
  EXPECT_EQ(file.ERRCODE(), 1);
}

// Each step runs one member and then looks at the whole error state.
TEST(FileTest, ErrorStateFollowsEveryMember) {
  test::ScratchDir scratch;
  std::string present = scratch.WriteFile("a.jpg", "jpg").string();
  std::string missing = (scratch.path() / "missing.jpg").string();
  struct Step {
    const char* what;
    std::function<void(cFile&)> run;
    int32_t code;
    std::string info;
    int32_t valid;
  } steps[] = {
      {"FILE missing", [&](cFile& f) { f.FILE(missing); }, 1, missing, 0},
      {"PATH while empty", [](cFile& f) { f.PATH(); }, 1, missing, 0},
      {"SIZE while empty", [](cFile& f) { EXPECT_EQ(f.SIZE(), -1); }, 1, missing, 0},
      {"FILE_DD while empty", [](cFile& f) { EXPECT_NE(f.FILE_DD(), nullptr); }, 1, missing, 0},
      {"FILE_ISVALID only reads", [](cFile& f) { f.FILE_ISVALID(); }, 1, missing, 0},
      {"NEW present", [&](cFile& f) { f.NEW(present); }, 0, "", 1},
      {"YEAR bad WhichDate", [](cFile& f) { EXPECT_EQ(f.YEAR(0, 0), ""); }, 2, "WhichDate", 1},
      {"both bad: WhichDate first", [](cFile& f) { f.MINUTE(4, 9); }, 2, "WhichDate", 1},
      {"MINUTE 3", [](cFile& f) { EXPECT_EQ(f.MINUTE(2, 3), ""); }, 2, "ReturnFormat", 1},
      {"SECOND -1", [](cFile& f) { f.SECOND(2, -1); }, 2, "ReturnFormat", 1},
      {"YEAR 3", [](cFile& f) { f.YEAR(1, 3); }, 2, "ReturnFormat", 1},
      {"a good date part clears", [](cFile& f) { f.DAY(2, 0); }, 0, "", 1},
      {"FILE_SETBY_DD without a record", [](cFile& f) { f.FILE_SETBY_DD(nullptr, "x"); },
       2, "PDirData", 1},
      {"PATH clears", [](cFile& f) { EXPECT_NE(f.PATH(), ""); }, 0, "", 1},
      {"FILE missing again", [&](cFile& f) { f.FILE(missing); }, 1, missing, 0},
      {"NAME while empty", [](cFile& f) { EXPECT_EQ(f.NAME(), ""); }, 1, missing, 0},
      {"FILE_SETBY_DD always holds",
       [](cFile& f) {
         DirData record;
         f.FILE_SETBY_DD(&record, "C:\\x\\y.jpg");
       },
       0, "", 1},
  };
  cFile file;
  for (const Step& step : steps) {
    step.run(file);
    EXPECT_EQ(file.ERRCODE(), step.code) << step.what;
    EXPECT_EQ(file.ERRINFO(), step.info) << step.what;
    EXPECT_EQ(file.ERR_IS(), step.code == 0 ? 0 : -1) << step.what;
    EXPECT_EQ(file.ERRMSG(), step.code == 0   ? ""
                             : step.code == 1 ? "File Not Found"
                                              : "Invalid Argument")
        << step.what;
    EXPECT_EQ(file.FILE_ISVALID(), step.valid) << step.what;
  }
}

TEST(FileTest, PartsOfARealFile) {
  test::ScratchDir scratch;
  fs::path jpg = scratch.WriteFile("trip.2019/img01.jpg", "data");
  cFile file;
  file.FILE(jpg.string());
  ASSERT_EQ(file.ERR_IS(), 0);
  EXPECT_EQ(file.PATH(), jpg.string());
  EXPECT_EQ(file.DIR(), (scratch.path() / "trip.2019").string());
  EXPECT_EQ(file.TITLE(), "img01");
  EXPECT_EQ(file.EXT(), "jpg");
  EXPECT_EQ(file.NAME(), "img01.jpg");
  EXPECT_EQ(file.SIZE(), 4);
  EXPECT_EQ(std::string(file.FILE_DD()->name), "img01.jpg");

  // A directory is found as well.
  file.FILE((scratch.path() / "trip.2019").string());
  EXPECT_EQ(file.ERR_IS(), 0);
  EXPECT_EQ(file.FILE_ISVALID(), 1);

  // A failed lookup empties every part.
  file.FILE((scratch.path() / "gone.jpg").string());
  EXPECT_EQ(file.DIR(), "");
  EXPECT_EQ(file.EXT(), "");
}

TEST(FileTest, PatternFindsAMatchButKeepsTheTextAsGiven) {
  test::ScratchDir scratch;
  scratch.WriteFile("notes.txt", "t");
  fs::path jpg = scratch.WriteFile("b.JPG", "jpeg");
  SetModified(jpg, 2009, 6, 5);
  std::string pattern = (scratch.path() / "*.jpg").string();
  cFile file;
  file.FILE(pattern);
  ASSERT_EQ(file.ERR_IS(), 0);  // letter case is ignored
  EXPECT_EQ(file.NAME(), "*.jpg");
  EXPECT_EQ(file.TITLE(), "*");
  EXPECT_EQ(std::string(file.FILE_DD()->name), "b.JPG");
  EXPECT_EQ(file.SIZE(), 4);
  EXPECT_EQ(file.YEAR(2, 0), "2009");

  file.FILE((scratch.path() / "*.png").string());
  EXPECT_EQ(file.ERRCODE(), 1);
}

TEST(FileTest, DatePartsOfTheModificationTime) {
  test::ScratchDir scratch;
  fs::path jpg = scratch.WriteFile("photo.jpg", "x");
  SetModified(jpg, 2009, 3, 5);
  cFile file;
  file.FILE(jpg.string());
  struct Case {
    const char* what;
    std::string answer;
    const char* expected;
  } cases[] = {
      {"DAY default", file.DAY(2, 0), "5"},
      {"MONTH default", file.MONTH(2, 0), "3"},
      {"YEAR default", file.YEAR(2, 0), "2009"},
      {"YEAR two digits", file.YEAR(2, 1), "09"},
      {"MONTH two digits", file.MONTH(2, 2), "03"},
      {"MONTH short name", file.MONTH(2, 3), "Mar"},
      {"MONTH full name", file.MONTH(2, 4), "March"},
      {"DAY two digits", file.DAY(2, 2), "05"},
      {"DAY name", file.DAY(2, 4), "Thursday"},
      {"MINUTE", file.MINUTE(2, 2), "00"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.answer, c.expected) << c.what;

  // The lists were made when the file was set; a later change is not seen.
  SetModified(jpg, 2010, 4, 6);
  EXPECT_EQ(file.YEAR(2, 0), "2009");
  file.FILE(jpg.string());
  EXPECT_EQ(file.YEAR(2, 0), "2010");
}

TEST(FileTest, SizeCountsTheHighWord) {
  test::ScratchDir scratch;
  fs::path big = scratch.WriteFile("big.bin");
  std::error_code error;
  fs::resize_file(big, 5000000000ULL, error);  // sparse: no real space used
  if (error) GTEST_SKIP() << "cannot make a 5 GB sparse file here: " << error.message();
  cFile file;
  file.FILE(big.string());
  EXPECT_EQ(file.SIZE(), 5000000000LL);
  EXPECT_EQ(file.FILE_DD()->size_high, 1u);
}

TEST(FileTest, HandedOverRecordsAndTheirPaths) {
  DirData record;
  record.size_low = 7;
  char sep = NativePathRules().separator;
  std::string dir = std::string("photos") + sep + "trip";
  cFile file;
  file.FILE_SETBY_DD(&record, dir + sep);
  EXPECT_EQ(file.DIR(), dir);
  EXPECT_EQ(file.NAME(), "");
  EXPECT_EQ(file.SIZE(), 7);

  // Too long for a record: the path is kept whole, but it has no parts.
  std::string long_path = dir + sep + std::string(kNameFieldSize, 'n') + ".jpg";
  file.FILE_SETBY_DD(&record, long_path);
  EXPECT_EQ(file.PATH(), long_path);
  EXPECT_EQ(file.DIR(), "");
  EXPECT_EQ(file.NAME(), "");
  EXPECT_EQ(file.ERR_IS(), 0);
}

}  // namespace
}  // namespace slidemill
