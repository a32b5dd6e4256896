#include "app/video_file.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace slidemill {
namespace {

using State = VideoCheck::State;
using test::IsoBox;
using test::RiffChunk;
using test::TestVideo;

// The bytes with every `from` made `to`: a chunk or box of another type.
std::string Retyped(std::string bytes, const std::string& from, const std::string& to) {
  for (std::size_t at; (at = bytes.find(from)) != std::string::npos;) bytes.replace(at, 4, to);
  return bytes;
}

// Past 1 GiB: a super index in the stream's list, the total in an OpenDML
// header, and a second RIFF chunk.
std::string LargeAvi() {
  std::string headers = RiffChunk("avih", std::string(56, '\0')) +
                        RiffChunk("LIST", "strl" + RiffChunk("indx", "")) +
                        RiffChunk("LIST", "odml" + RiffChunk("dmlh", std::string("\5\0\0\0", 4)));
  return RiffChunk("RIFF", "AVI " + RiffChunk("LIST", "hdrl" + headers)) +
         RiffChunk("RIFF", "AVIX");
}

struct VideoCase {
  std::string label, name, bytes;
  State state;
  std::string problem = "";
  std::optional<uint64_t> frames = std::nullopt;
};
class CheckVideoTest : public testing::TestWithParam<VideoCase> {};

// Each judged by its own structure, reading no more than its headers.
TEST_P(CheckVideoTest, IsJudgedByItsHeaders) {
  const VideoCase& c = GetParam();
  uint64_t bytes_read = 0;
  VideoCheck check = CheckVideo(c.name, c.bytes.size(), [&](uint64_t offset, std::size_t size) {
    bytes_read += size;
    return c.bytes.substr(offset, size);
  });
  EXPECT_EQ(check.state, c.state);
  EXPECT_EQ(check.problem, c.problem);
  EXPECT_EQ(check.frames, c.frames);
  EXPECT_LT(bytes_read, 500u);
}

INSTANTIATE_TEST_SUITE_P(
    Videos, CheckVideoTest,
    testing::Values(
        // mencoder writes an AVI whatever the name says.
        VideoCase{"AviNamedMp4", "v.mp4", TestVideo(".avi", 3), State::kWhole, "", 3},
        VideoCase{"AviWithoutIndex", "v.avi", Retyped(TestVideo(".avi"), "idx1", "JUNK"),
                  State::kUnusable, "it has no index"},
        VideoCase{"AviWithoutFrames", "v.avi", TestVideo(".avi", 0), State::kUnusable,
                  "it holds no frame"},
        VideoCase{"AviPastOneGibibyte", "v.avi", LargeAvi(), State::kWhole, "", 5},
        VideoCase{"Mp4CutShort", "v.mp4", TestVideo(".mp4").substr(0, 60), State::kUnusable,
                  "its boxes do not match the file's size"},
        VideoCase{
            "Mp4WithoutMoov", "v.mp4",
            Retyped(TestVideo(".mp4"), "moov", "free") + IsoBox("mdat", std::string(1 << 20, 'x')),
            State::kUnusable, "it has no moov box"},
        // What ffmpeg leaves when it stops before the first frame.
        VideoCase{"Mp4WithoutAVideoTrack", "v.mp4", Retyped(TestVideo(".mp4"), "vide", "soun"),
                  State::kUnusable, "it holds no frame"},
        VideoCase{"Mp4WithLargeAndOpenEndedBoxes", "v.mov",
                  std::string("\0\0\0\1ftyp\0\0\0\0\0\0\0\x10", 16) +
                      TestVideo(".mov", 7).substr(16) + std::string("\0\0\0\0mdat", 8) + "xyz",
                  State::kWhole, "", 7},
        VideoCase{"Mp4InFragments", "v.mp4", Retyped(TestVideo(".mp4"), "trak", "mvex"),
                  State::kWhole},
        VideoCase{"AnotherKind", "v.mkv", "video", State::kWhole}),
    [](const auto& param) { return param.param.label; });

}  // namespace
}  // namespace slidemill
