#include "app/encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/ffmpeg_encoder.h"
#include "app/mencoder_encoder.h"
#include "platform/path_rules.h"

namespace slidemill {
namespace {

// What each encoder means by the codes that differ: mencoder answers 2 to
// Ctrl-C, ffmpeg 255, and for ffmpeg 2 is an ordinary error.
TEST(ExitCodeTest, EachEncodersCtrlC) {
  EXPECT_EQ(Mencoder().MeaningOf(2), ExitMeaning::kInterrupted);
  EXPECT_EQ(Mencoder().MeaningOf(255), ExitMeaning::kFailed);
  EXPECT_EQ(Ffmpeg().MeaningOf(255), ExitMeaning::kInterrupted);
  EXPECT_EQ(Ffmpeg().MeaningOf(2), ExitMeaning::kFailed);
}

std::vector<std::string> Texts(const std::vector<CommandArgument>& arguments) {
  std::vector<std::string> texts;
  for (const CommandArgument& argument : arguments) texts.push_back(argument.text);
  return texts;
}

Settings Defaults() {
  Settings s;
  s.VideoFramesPerSecond = 25;
  s.VideoWidth = 1920, s.VideoHeight = 1080;
  return s;
}

// The codec's options split as typed. Paths whole and the title's
// arguments are the whole program's (its awkward names, real mencoder).
TEST(MencoderTest, CodecOptionsSplitAsTyped) {
  Settings s = Defaults();
  s.VideoCodec = "mjpeg -vf s";
  EncodePlan plan = Mencoder().Plan(s, {"enc", "/p", "v.avi", "", "", {"a.jpg"}, "l"});
  EXPECT_EQ(plan.arguments.back().text, "s");
}

// Three photos of 0.3 s at 25 frames per second: mencoder leaves out the
// half frame at the end, ffmpeg keeps it.
TEST(PhotoSecondsTest, FramesOfTheVideo) {
  Settings s = Defaults();
  s.VideoCodec = "c", s.PhotoMilliseconds = 300;
  EncodeRequest request{"enc", "/p", "v", "", "", std::vector<std::string>(3, "p.jpg"), "l"};
  EXPECT_EQ(Mencoder().Plan(s, request).frames, 22u);
  EXPECT_EQ(Ffmpeg().Plan(s, request).frames, 23u);
}

// The whole command, libx264 set for stills and given its share of the
// processors.
TEST(FfmpegTest, Command) {
  Settings s = Defaults();
  s.VideoCodec = "libx264";
  EncodePlan plan =
      Ffmpeg().Plan(s, {"ff", "/p/d", "v.mp4", "", "", {"b.jpg", "a.jpg"}, "/t/l i", 2});
  EXPECT_EQ(Texts(plan.arguments),
            (std::vector<std::string>{
                "ff",
                "-nostdin",
                "-hide_banner",
                "-loglevel",
                "error",
                "-stats",
                "-y",
                "-r",
                "25",
                "-f",
                "concat",
                "-safe",
                "0",
                "-i",
                "file:/t/l i",
                "-vf",
                "scale=1920:1080:force_original_aspect_ratio=decrease,pad=1920:1080:(ow-iw)/"
                "2:(oh-ih)/2:black,setsar=1",
                "-c:v",
                "libx264",
                "-pix_fmt",
                "yuv420p",
                "-preset",
                "veryfast",
                "-tune",
                "stillimage",
                "-threads",
                "2",
                "file:v.mp4"}));
}

// H.264 from a camera's 4:2:2 photos plays almost nowhere: the common
// pixel format unless the user sets one. A codec with options of the
// user's own is left as typed, without our preset.
TEST(FfmpegTest, CodecOfTheUsersOwn) {
  Settings s = Defaults();
  auto texts = [&](const std::string& codec) {
    s.VideoCodec = codec;
    return Texts(Ffmpeg().Plan(s, {"ff", "/p", "v", "", "", {}, "l"}).arguments);
  };
  std::vector<std::string> args = texts("libx264 -preset slow");
  EXPECT_EQ(args.end()[-2], "yuv420p");
  EXPECT_EQ(std::ranges::count(args, "-preset"), 1);
  EXPECT_EQ(texts("libx264 -pix_fmt yuv422p").end()[-2], "yuv422p");
}

// How far a photo may be shrunk while decoding it for a 1920x1080 frame.
TEST(DecodeHalvingsTest, ForFullHd) {
  // Drawn 810 pixels wide: a quarter, 756, would be too few.
  EXPECT_EQ(DecodeHalvings(PixelSize{3024, 4032}, 1920, 1080), 1);
  EXPECT_EQ(DecodeHalvings(PixelSize{8000, 6000}, 1920, 1080), 2);
  // A quarter would do for it upright; turned by its orientation it is
  // drawn 1920 wide.
  EXPECT_EQ(DecodeHalvings(PixelSize{1000, 4400}, 1920, 1080), 1);
  EXPECT_EQ(DecodeHalvings(PixelSize{1920, 1080}, 1920, 1080), 0);
}

// A font whose only table is a name table holding `name` as its full name
// for Windows in US English.
std::string FontNamed(const std::string& name) {
  auto u16 = [](std::size_t v) {
    return std::string{static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  std::string utf16;
  for (char c : name) utf16 += {'\0', c};
  std::string font = u16(1) + u16(0) + u16(1) + std::string(6, '\0') + "name" +
                     std::string(4, '\0') + u16(0) + u16(28) + std::string(4, '\0');
  return font + u16(0) + u16(1) + u16(18) + u16(3) + u16(1) + u16(0x409) + u16(4) +
         u16(utf16.size()) + u16(0) + utf16;
}

TEST(FfmpegTest, FontNameReadFromItsTable) {
  EXPECT_EQ(FontFullName(FontNamed("Test Sans")), "Test Sans");
}

TEST(FfmpegTest, FontCutShortHasNoName) {
  EXPECT_EQ(FontFullName(FontNamed("Test Sans").substr(0, 50)), "");
}

}  // namespace
}  // namespace slidemill
