#include "app/directory_job.h"

#include <gtest/gtest.h>

#include "app/command_template.h"

namespace slidemill {
namespace {

// Each placeholder replaced once, in its order, case mattering: a value
// holding an earlier placeholder keeps it, one holding a later one has it
// replaced, and the folder's name, last, is never searched.
TEST(TitleTextTest, EachPlaceholderReplacedOnceInItsOrder) {
  TitleValues values{"{CRLF}", "6", "{DayTaken}", "5", "7", "2019", "{YearTaken}"};
  EXPECT_EQ(ExpandTitle("{MonthModified}/{DayModified}/{YearModified}{CRLF}{DayTaken}.{MonthTaken}"
                        ".{YearTaken} {Folder}{crlf}{Dir}{YearModified",
                        values),
            "6/{CRLF}/5\r\n5.7.2019 {YearTaken}{crlf}{Dir}{YearModified");
}

// A placeholder in -video-filename that comes later is filled, one that
// came earlier is not, and the directory is never split or searched.
TEST(VideoNameTest, LaterPlaceholdersFilled) {
  Settings s;
  s.VideoCodec = "{0} {Dir}";
  EXPECT_EQ(VideoName("{Dir}.{VideoCodec}", s, {"enc", "", false, "", "/p/{VideoCodec} d"}),
            "/p/{VideoCodec} d.{0} /p/{VideoCodec} d");
}

// Beside the video, with its extension, which only the last name of the
// template can hold.
TEST(PartNameTest, KeepsTheExtension) {
  EXPECT_EQ(PartName("{Dir}.mp4"), "{Dir}.slidemill-part.mp4");
  EXPECT_EQ(PartName("{Dir}"), "{Dir}.slidemill-part");
  EXPECT_EQ(PartName("a.d/movie"), "a.d/movie.slidemill-part");
}

// A line redrawn with carriage returns counts as what it showed last.
TEST(LastLinesTest, RedrawnLinesShowTheirLastState) {
  EXPECT_EQ(LastLines("one\ntwo\n10%\r20%\r\nthree", 3),
            (std::vector<std::string>{"two", "20%", "three"}));
}

}  // namespace
}  // namespace slidemill
