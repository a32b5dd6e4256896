#include "fileinfo/file.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace slidemill {
namespace {

namespace fs = std::filesystem;

TEST(FileTest, ErrorStateFollowsEveryMember) {
  test::ScratchDir scratch;
  const std::string present = scratch.WriteFile("a.jpg").string(), gone = "no-such.jpg";
  DirData record;
  cFile f;
  // What one member answered, then the error code and info, and whether the
  // object holds a file.
  auto after = [&](const std::string& answer) {
    EXPECT_EQ(f.ERR_IS() + f.ERRMSG().empty(), f.ERRCODE() == 0 ? 1 : -1);
    return answer + " " + std::to_string(f.ERRCODE()) + ":" + f.ERRINFO() + " " +
           std::to_string(f.FILE_ISVALID());
  };
  EXPECT_EQ(after(""), " 0: 0");  // a new object is empty and clean
  EXPECT_EQ(after(f.PATH()), " 1: 0");
  EXPECT_EQ(after((f.FILE(gone), "")), " 1:no-such.jpg 0");
  EXPECT_EQ(after(f.YEAR(2, 0) + f.PATH()), " 1:no-such.jpg 0");
  EXPECT_EQ(after(std::to_string(f.SIZE())), "-1 1:no-such.jpg 0");
  EXPECT_EQ(after(f.FILE_DD() ? "record" : ""), "record 1:no-such.jpg 0");
  EXPECT_EQ(after((f.NEW(present), "")), " 0: 1");
  EXPECT_EQ(after(f.YEAR(0, 0)), " 2:WhichDate 1");
  EXPECT_EQ(after(f.MINUTE(4, 9)), " 2:WhichDate 1");  // both bad: WhichDate first
  EXPECT_EQ(after(f.MINUTE(2, 3)), " 2:ReturnFormat 1");
  EXPECT_EQ(after(f.SECOND(2, -1)), " 2:ReturnFormat 1");
  EXPECT_EQ(after(f.YEAR(1, 3)), " 2:ReturnFormat 1");
  EXPECT_EQ(after(f.DAY(2, 0).empty() ? "" : "day"), "day 0: 1");
  EXPECT_EQ(after((f.FILE_SETBY_DD(nullptr, "x"), "")), " 2:PDirData 1");
  EXPECT_EQ(after(f.PATH().empty() ? "" : "path"), "path 0: 1");
  EXPECT_EQ(after((f.FILE(gone), f.NAME())), " 1:no-such.jpg 0");
  EXPECT_EQ(after((f.FILE_SETBY_DD(&record, "C:\\x\\y.jpg"), "")), " 0: 1");
}

// Only the literal lookup: what a pattern would find is left out.
class LiteralOnly : public test::FakePlatform {
  bool FindAll(const std::string&, const std::string&, std::vector<FileEntry>*) override {
    return false;
  }
};

TEST(FileTest, PartsSizeDatesAndPatternsOfRealFiles) {
  test::ScratchDir scratch;
  fs::path jpg = scratch.WriteFile("trip.2019/img01.jpg", "data");
  test::SetModified(jpg, "2009-03-05");
  test::SetModified(scratch.WriteFile("b.JPG"), "2009-06-05");
  scratch.WriteFile("notes.txt");
  cFile file;
  file.FILE(jpg.string());
  EXPECT_EQ(file.PATH() + "|" + file.DIR() + "|" + file.TITLE() + "|" + file.EXT() + "|" +
                file.NAME() + "|" + file.FILE_DD()->name + "|" + std::to_string(file.SIZE()),
            jpg.string() + "|" + jpg.parent_path().string() + "|img01|jpg|img01.jpg|img01.jpg|4");
  std::vector<std::string> parts = {file.DAY(2, 0),    file.MONTH(2, 0),
                                    file.YEAR(2, 0),   file.YEAR(2, 1),
                                    file.MONTH(2, 2),  file.MONTH(2, 3),
                                    file.MONTH(2, 4),  file.DAY(2, 2),
                                    file.DAY(2, 3),    file.DAY(2, 4),
                                    file.MINUTE(2, 0), file.MINUTE(2, 2),
                                    file.SECOND(2, 2), file.MERIDIAN(2, 0).substr(1)};
  EXPECT_EQ(parts, (std::vector<std::string>{"5", "3", "2009", "09", "03", "Mar", "March", "05",
                                             "Thu", "Thursday", "0", "00", "00", "M"}));
  // The lists were made when the file was set; a later change is not seen.
  test::SetModified(jpg, "2010-04-06");
  std::string before = file.YEAR(2, 0);
  file.FILE(jpg.string());
  EXPECT_EQ(before + file.YEAR(2, 0), "20092010");
  std::error_code error;
  fs::resize_file(jpg, 5000000000ULL, error);  // sparse: no real space used
  file.FILE(jpg.string());
  EXPECT_EQ(file.SIZE(), error ? 4 : 5000000000LL);
  file.FILE(jpg.parent_path().string());  // a directory is found as well
  EXPECT_EQ(file.FILE_ISVALID(), 1);
  // A pattern in the last part that names nothing finds its first match, in
  // any letter case, but the text stays as given.
  file.FILE((scratch.path() / "*.jpg").string());
  EXPECT_EQ(file.NAME() + "|" + file.TITLE() + "|" + file.FILE_DD()->name + "|" + file.YEAR(2, 0),
            "*.jpg|*|b.JPG|2009");
  file.FILE((scratch.path() / "*.png").string());
  EXPECT_EQ(file.ERRCODE(), 1);
  // A name that holds * or ? itself is found as itself (where a name may).
  LiteralOnly literal_only;
  cFile literal(literal_only);
  for (const char* name : {"a*.jpg", "b?.jpg"}) {
    if (!fs::exists(scratch.WriteFile(name))) continue;
    literal.FILE((scratch.path() / name).string());
    EXPECT_EQ(literal.FILE_DD()->name, std::string(name));
  }
}

TEST(FileTest, HandedOverRecordsKeepTheirPathWhole) {
  DirData record;
  record.size_low = 7;
  cFile file(SystemPlatform(), PathRules(kWindowsPathRules));  // a temporary: copied
  file.FILE_SETBY_DD(&record, "photos\\trip\\");
  EXPECT_EQ(file.DIR() + "|" + file.NAME() + "|" + std::to_string(file.SIZE()), "photos\\trip||7");
  // Too long for a record: the path is kept whole, but it has no parts.
  const std::string long_path = "C:\\" + std::string(260, 'n') + ".jpg";
  file.FILE_SETBY_DD(&record, long_path);
  EXPECT_EQ(file.PATH() + file.DIR() + file.NAME() + file.EXT(), long_path);
  EXPECT_EQ(file.ERR_IS(), 0);
}

}  // namespace
}  // namespace slidemill
