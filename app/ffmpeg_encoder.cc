#include "app/ffmpeg_encoder.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "app/command_line.h"
#include "app/jpeg_size.h"
#include "platform/path_rules.h"

namespace slidemill {
namespace {

// A backslash before every byte of `special`.
std::string Backslashed(std::string_view text, std::string_view special) {
  std::string result;
  for (char c : text) {
    if (special.find(c) != std::string_view::npos) result += '\\';
    result += c;
  }
  return result;
}

uint32_t BigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
  if (at + size > bytes.size()) return 0;
  uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// UTF-16BE to UTF-8, for the names Windows fonts carry.
std::string Utf8FromUtf16(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t c = BigEndian(bytes, i, 2);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (BigEndian(bytes, i + 2, 2) - 0xDC00);
      i += 2;
    }
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      text += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
               static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      text += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
               static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return text;
}

// ffmpeg answers 255 when Ctrl-C or Ctrl-\ stopped it.
constexpr uint32_t kInterruptedExit = 255;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The filter chain: upright (ffmpeg turns photos by their orientation on its
// own), scaled into the frame keeping proportions, centred on black, then the
// title file burnt in when `title` is not empty. `font_dir` and `font_name`
// choose the title's font when not empty.
std::string FfmpegFilter(const Settings& settings, const std::string& title,
                         const std::string& font_dir, const std::string& font_name) {
  std::string size =
      std::to_string(settings.VideoWidth) + ":" + std::to_string(settings.VideoHeight);
  std::string filter = "scale=" + size + ":force_original_aspect_ratio=decrease,pad=" + size +
                       ":(ow-iw)/2:(oh-ih)/2:black,setsar=1";
  if (title.empty()) return filter;
  // Titles are drawn on a 288-line script canvas, so the percentage of the
  // frame's height is that many hundredths of 288.
  int64_t hundredths = int64_t{settings.SubtitleFontSize} * 288;
  std::string decimals = std::to_string(hundredths % 100);
  std::string style = "Fontsize=" + std::to_string(hundredths / 100) + "." +
                      (decimals.size() < 2 ? "0" : "") + decimals + ",Alignment=2";
  filter += ",subtitles=filename=" + EscapeFilterValue(title);
  if (!font_dir.empty()) filter += ":fontsdir=" + EscapeFilterValue(font_dir);
  if (!font_name.empty()) style = "FontName=" + font_name + "," + style;
  return filter + ":force_style=" + EscapeFilterValue(style);
}

// The whole command: quiet but for errors and the progress line, reading no
// keys, each photo one frame at the set rate, or coming at its own rate for
// -photo-seconds, the video overwritten as mencoder would.
std::vector<CommandArgument> BuildFfmpegCommand(const Settings& settings,
                                                const std::string& encoder,
                                                const std::string& list_file,
                                                const std::string& filter,
                                                const std::string& video) {
  std::string fps = settings.PhotoMilliseconds > 0 ? PhotoRate(settings.PhotoMilliseconds)
                                                   : std::to_string(settings.VideoFramesPerSecond);
  std::vector<CommandArgument> command = {
      {encoder},     {"-nostdin"},   {"-hide_banner"},
      {"-loglevel"}, {"error"},      {"-stats"},
      {"-y"},        {"-r"},         {fps},
      {"-f"},        {"concat"},     {"-safe"},
      {"0"},         {"-i"},         {"file:" + list_file, true},
      {"-vf"},       {filter, true}, {"-c:v"}};
  // What the user typed as the codec splits as written, as for mencoder.
  std::vector<std::string> codec = SplitArguments(settings.VideoCodec);
  for (const std::string& part : codec) command.push_back({part});
  // H.264 and H.265 keep a camera's 4:2:2 or 4:4:4, which browsers, phones
  // and TVs do not play, unless told the common pixel format; the user's
  // own choice stands.
  if (!codec.empty() && (codec[0] == "libx264" || codec[0] == "libx265") &&
      std::ranges::find(codec, "-pix_fmt") == codec.end()) {
    command.insert(command.end(), {{"-pix_fmt"}, {"yuv420p"}});
  }
  // "file:" keeps a name beginning with '-' or holding ':' a file name.
  command.push_back({"file:" + video, true});
  return command;
}

// Options that make ffmpeg quicker at videos of photos: each photo decoded
// at a fraction of its size when even that is no smaller than it is drawn,
// libx264 set for stills (each photo its own scene, where a slow motion
// search finds little), and the encoder's share of the processors when
// several encoders run at once.
void AddPaceOptions(std::vector<CommandArgument>& command, const Settings& settings,
                    const EncodeRequest& request) {
  int halvings = 3;
  for (std::size_t i = 0; i < request.photos.size() && halvings > 0; ++i) {
    const std::string& photo = request.photos[i];
    std::ifstream in(IsAbsolutePath(photo) ? photo : JoinPath(request.dir, photo),
                     std::ios::binary);
    halvings = std::min(
        halvings, DecodeHalvings(ReadJpegSize(in), settings.VideoWidth, settings.VideoHeight));
  }
  if (halvings > 0) {
    auto input = std::ranges::find(command, "-i", &CommandArgument::text);
    command.insert(input, {{"-lowres"}, {std::to_string(halvings)}});
  }
  std::vector<CommandArgument> output;
  if (settings.VideoCodec == "libx264") {
    output.insert(output.end(), {{"-preset"}, {"veryfast"}, {"-tune"}, {"stillimage"}});
  }
  if (request.threads > 0)
    output.insert(output.end(), {{"-threads"}, {std::to_string(request.threads)}});
  // Before the video's name, the last argument.
  command.insert(command.end() - 1, output.begin(), output.end());
}

class FfmpegEncoder : public Encoder {
 public:
  std::string_view name() const override { return "ffmpeg"; }
  std::string_view log_name() const override { return "FFmpeg"; }
  std::string_view default_video_filename() const override { return "_movie.mp4"; }
  std::string_view default_codec() const override { return "libx264"; }
  bool sizes_frame() const override { return true; }

  // The photos reach ffmpeg by their absolute paths: it reads list entries
  // relative to the list, not to where it runs.
  bool lists_whole_paths() const override { return true; }
  std::string PhotoList(const EncodeRequest& request) const override {
    std::vector<std::string> photos;
    for (const std::string& photo : request.photos)
      photos.push_back(IsAbsolutePath(photo) ? photo : JoinPath(request.dir, photo));
    return ConcatList(photos);
  }

  EncodePlan Plan(const Settings& settings, const EncodeRequest& request) const override {
    std::string font_dir, font_name;
    if (!request.title.empty() && !request.font.empty()) {
      font_dir = request.font.substr(0, request.font.find_last_of(NativePathRules().split_set) + 1);
      font_name = FontFullName(FileBytes(request.font));
    }
    std::string filter = FfmpegFilter(settings, request.title, font_dir, font_name);
    std::size_t frames = request.photos.size();
    if (settings.PhotoMilliseconds > 0) {
      // The last photo held for its seconds too: once more, the video cut
      // at its frames.
      filter += ",tpad=stop_mode=clone:stop=1";
      frames = (frames * std::size_t(settings.PhotoMilliseconds) *
                    std::size_t(settings.VideoFramesPerSecond) +
                500) /
               1000;
    }
    std::vector<CommandArgument> command =
        BuildFfmpegCommand(settings, request.program, request.photo_list, filter, request.video);
    if (settings.PhotoMilliseconds > 0) {
      // ffmpeg's output rate repeats each photo to fill the frames; a filter
      // would lose what it holds whenever a photo of another size or
      // orientation rebuilds the chain.
      command.insert(command.end() - 1, {{"-r"},
                                         {std::to_string(settings.VideoFramesPerSecond)},
                                         {"-frames:v"},
                                         {std::to_string(frames)}});
    }
    AddPaceOptions(command, settings, request);
    return {std::move(command), frames};
  }

  ExitMeaning MeaningOf(uint32_t exit_code) const override {
    if (exit_code == 0) return ExitMeaning::kSuccess;
    return exit_code == kInterruptedExit ? ExitMeaning::kInterrupted : ExitMeaning::kFailed;
  }
};

}  // namespace

const Encoder& Ffmpeg() {
  static const FfmpegEncoder encoder;
  return encoder;
}

int DecodeHalvings(std::optional<PixelSize> photo, int32_t frame_width, int32_t frame_height) {
  if (!photo) return 0;
  // Drawn upright or turned, by its orientation, the photo's size over the
  // frame's, in the direction that fits it.
  auto fits = [&](uint64_t halved_w, uint64_t halved_h) {
    return (halved_w >= static_cast<uint64_t>(frame_width) ||
            halved_h >= static_cast<uint64_t>(frame_height)) &&
           (halved_h >= static_cast<uint64_t>(frame_width) ||
            halved_w >= static_cast<uint64_t>(frame_height));
  };
  int halvings = 0;
  while (halvings < 3 && fits(photo->width >> (halvings + 1), photo->height >> (halvings + 1)))
    ++halvings;
  return halvings;
}

std::string ConcatList(const std::vector<std::string>& photos) {
  // Inside single quotes every byte is itself; a quote closes, is escaped
  // and reopens. "file:" keeps a ':' in a name from reading as a protocol.
  std::string list = "ffconcat version 1.0\n";
  for (const std::string& photo : photos) {
    std::string quoted;
    for (char c : photo) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    // Read as one file, never as a numbered sequence or a wildcard ("%04d",
    // "*").
    list += "file 'file:" + quoted + "'\noption pattern_type none\n";
  }
  return list;
}

std::string EscapeFilterValue(std::string_view value) {
  // Once for the filter's own option parser, once more for the chain.
  constexpr std::string_view kBlanks = " \t\r\n";
  std::string in_filter = Backslashed(value, std::string("\\':").append(kBlanks));
  return Backslashed(in_filter, std::string("\\'[],;").append(kBlanks));
}

std::string FontFullName(std::string_view font) {
  constexpr uint32_t kNameTag = 0x6E616D65;  // "name"
  constexpr uint32_t kFullName = 4;
  uint32_t tables = BigEndian(font, 4, 2);
  for (uint32_t t = 0; t < tables; ++t) {
    std::size_t record = 12 + 16 * static_cast<std::size_t>(t);
    if (BigEndian(font, record, 4) != kNameTag) continue;
    std::size_t table = BigEndian(font, record + 8, 4);
    std::size_t strings = table + BigEndian(font, table + 4, 2);
    std::string mac;
    for (uint32_t n = 0, count = BigEndian(font, table + 2, 2); n < count; ++n) {
      std::size_t at = table + 6 + 12 * static_cast<std::size_t>(n);
      uint32_t platform = BigEndian(font, at, 2), language = BigEndian(font, at + 4, 2);
      if (BigEndian(font, at + 6, 2) != kFullName) continue;
      std::size_t offset = strings + BigEndian(font, at + 10, 2), size = BigEndian(font, at + 8, 2);
      if (offset + size > font.size()) continue;
      std::string_view text = font.substr(offset, size);
      if (platform == 3 && language == 0x409) return Utf8FromUtf16(text);
      if (platform == 1 && language == 0 && mac.empty()) mac = text;
    }
    return mac;
  }
  return "";
}

}  // namespace slidemill
