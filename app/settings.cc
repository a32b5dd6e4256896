#include "app/settings.h"

#include "pattern/pattern.h"

namespace slidemill {

const std::array<OptionInfo, 25> kOptions = {{
    {"-dir", OptionKind::kValued, &RawOptions::Dir,
     "Root directory. All processing takes place below this directory."},
    {"-dir-filter", OptionKind::kValued, &RawOptions::DirFilter,
     "Only directories matching this regular expression are processed."},
    {"-dry-run", OptionKind::kFlag, &RawOptions::DryRun,
     "Shows each command that would run; writes and starts nothing."},
    {"-encoder", OptionKind::kValued, &RawOptions::Encoder,
     "The encoder: mencoder (the default) or ffmpeg."},
    {"-ffmpeg-path", OptionKind::kValued, &RawOptions::FfmpegPath,
     "Path to ffmpeg.exe. If omitted, it must be in a PATHed dir."},
    {"-jobs", OptionKind::kValued, &RawOptions::Jobs,
     "How many directories are encoded at once; 0 is one per processor."},
    {"-list", OptionKind::kFlag, &RawOptions::List,
     "Prints each directory that would be encoded, one per line, and exits."},
    {"-list0", OptionKind::kFlag, &RawOptions::List0,
     "Like '-list', each directory ended by a NUL byte instead."},
    {"-log-path", OptionKind::kValued, &RawOptions::LogPath,
     "Path to the log file. If omitted, no log file is used."},
    {"-mencoder-path", OptionKind::kValued, &RawOptions::MencoderPath,
     "Path to mencoder.exe. If omitted, it must be in a PATHed dir."},
    {"-r", OptionKind::kFlag, &RawOptions::Recurse,
     "Recurse directories. This is a shortcut for '-r-depth -1'."},
    {"-r-depth", OptionKind::kValued, &RawOptions::RDepth,
     "Determine how deeply we recurse the directory specified in '-dir'."},
    {"-say-settings", OptionKind::kFlag, &RawOptions::SaySettings,
     "Displays all normalized settings and then exits."},
    {"-skip-existing", OptionKind::kFlag, &RawOptions::SkipExisting,
     "Passes over a directory whose video already exists."},
    {"-sleep-time", OptionKind::kValued, &RawOptions::SleepTime,
     "We pause this many milliseconds after each movie is created."},
    {"-srt-filename", OptionKind::kValued, &RawOptions::SRTFilename,
     "Name of SRT title file created in each directory containing JPGs."},
    {"-subtitle-font-file", OptionKind::kValued, &RawOptions::SubtitleFontFile,
     "Path to font file containing the font used for titles."},
    {"-subtitle-font-size", OptionKind::kValued, &RawOptions::SubtitleFontSize,
     "Size of the title font as a percentage of movie height."},
    {"-subtitle-text", OptionKind::kValued, &RawOptions::SubtitleText,
     "The subtitle added to the bottom of the movie."},
    {"-usage", OptionKind::kFlag, &RawOptions::Usage, "Displays usage information and then exits."},
    {"-version", OptionKind::kFlag, &RawOptions::Version,
     "Displays version information and then exits."},
    {"-video-codec", OptionKind::kValued, &RawOptions::VideoCodec,
     "The video codec we will use to encode the video."},
    {"-video-filename", OptionKind::kValued, &RawOptions::VideoFilename,
     "Name of the video created in each directory containing JPGs."},
    {"-video-frames-per-second", OptionKind::kValued, &RawOptions::VideoFramesPerSecond,
     "Frames-per-second of the encoded video file."},
    {"-video-size", OptionKind::kValued, &RawOptions::VideoSize,
     "Frame of the video as WxH, for ffmpeg only (default 1920x1080)."},
}};

bool IsInteger(std::string_view text, int32_t* value) {
  if (text.empty()) return false;
  bool negative = text[0] == '-';
  std::string_view digits = negative ? text.substr(1) : text;
  int64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    // Stop before the value can overflow; leading zeros never get here.
    if (magnitude > int64_t{2147483648}) return false;
  }
  int64_t signed_value = negative ? -magnitude : magnitude;
  if (signed_value < INT32_MIN || signed_value > INT32_MAX) return false;
  if (value != nullptr) *value = static_cast<int32_t>(signed_value);
  return true;
}

namespace {

// A value counts as given when something other than spaces is left; tabs
// count as text.
bool Given(const std::string& raw) { return raw.find_first_not_of(' ') != std::string::npos; }

bool DirectoryExists(const std::string& path, Platform& platform) {
  return !path.empty() && platform.DirectoryExists(path);
}

bool FileExists(const std::string& path, Platform& platform) {
  return !path.empty() && platform.FileExists(path);
}

// A file option: "" when not given, else the path as typed, which must name
// an existing file. False (with the error recorded) when it does not.
bool CheckFileOption(const std::string& raw, std::string_view option, std::string& value,
                     JobError& error, Platform& platform) {
  value = Given(raw) ? raw : "";
  if (value.empty() || FileExists(value, platform)) return true;
  SetJobError(error, kErrorInvalidArgument,
              "The file specified by '" + std::string(option) + "' does not exist.");
  return false;
}

// The directory part of a log path: up to and including its last separator.
// A bare file name, or a path too long for the system, has none.
std::string LogDirectoryPart(const std::string& path, const PathRules& rules) {
  if (path.size() > rules.name_field_size) return "";
  std::size_t last = path.find_last_of(rules.split_set);
  if (last == std::string::npos) return "";
  return path.substr(0, last + 1);
}

// Reads an integer option into `target`; false (with the error recorded)
// when it is not an integer or lies below `minimum` or above `maximum`.
bool CheckInteger(const std::string& raw, int32_t default_value, int32_t minimum, int32_t maximum,
                  const std::string& integer_message, const std::string& range_message,
                  int32_t& target, JobError& error) {
  if (!Given(raw)) {
    target = default_value;
    return true;
  }
  int32_t value = 0;
  if (!IsInteger(raw, &value)) {
    SetJobError(error, kErrorInvalidArgument, integer_message);
    return false;
  }
  if (value < minimum || value > maximum) {
    SetJobError(error, kErrorInvalidArgument, range_message);
    return false;
  }
  target = value;
  return true;
}

std::string DefaultFontFile(Platform& platform, const PathRules& rules) {
  std::string folder = TrimTrailingSeparators(platform.FontsFolder(), rules);
  for (std::string_view font : {"verdana.ttf", "arial.ttf", "times.ttf", "cour.ttf"}) {
    std::string candidate = JoinPath(folder, font, rules);
    if (FileExists(candidate, platform)) return candidate;
  }
  return "";
}

// "WxH", both even numbers from 16 to 7680.
bool ParseVideoSize(const std::string& text, int32_t& width, int32_t& height) {
  std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  auto dimension = [](const std::string& part, int32_t& value) {
    return part.size() <= 4 && part.find('-') == std::string::npos && IsInteger(part, &value) &&
           value >= 16 && value <= 7680 && value % 2 == 0;
  };
  return dimension(text.substr(0, x), width) && dimension(text.substr(x + 1), height);
}

std::string TextOr(const std::string& raw, const char* default_value) {
  return Given(raw) ? raw : default_value;
}

}  // namespace

void ValidateSettings(const RawOptions& raw, Settings& s, JobError& error, Platform& platform,
                      const PathRules& rules) {
  s.Dir = TrimTrailingSeparators(Given(raw.Dir) ? raw.Dir : platform.CurrentDirectory(), rules);
  s.DirFilter = TextOr(raw.DirFilter, "");

  if (!CheckInteger(raw.VideoFramesPerSecond, 25, 1, 100,
                    "'-video-frames-per-second' must be an integer.",
                    "'-video-frames-per-second' must be between 1 and 100, inclusive.",
                    s.VideoFramesPerSecond, error)) {
    return;
  }

  if (Given(raw.LogPath)) {
    if (!DirectoryExists(LogDirectoryPart(raw.LogPath, rules), platform)) {
      SetJobError(error, kErrorInvalidArgument,
                  "The log file specified by '-log-path' cannot be created.");
      return;
    }
    s.LogPath = raw.LogPath;
  } else {
    s.LogPath.clear();
  }

  s.Encoder = TextOr(raw.Encoder, kEncoderMencoder.data());
  if (s.Encoder != kEncoderMencoder && s.Encoder != kEncoderFfmpeg) {
    SetJobError(error, kErrorInvalidArgument,
                "The encoder specified by '-encoder' must be mencoder or ffmpeg.");
    return;
  }
  bool ffmpeg = s.Encoder == kEncoderFfmpeg;

  s.VideoFilename = TextOr(raw.VideoFilename, ffmpeg ? "_movie.mp4" : "_movie.avi");

  if (!CheckFileOption(raw.MencoderPath, "-mencoder-path", s.MencoderPath, error, platform)) return;

  if (!CheckFileOption(raw.FfmpegPath, "-ffmpeg-path", s.FfmpegPath, error, platform)) return;

  s.Recurse = Given(raw.Recurse);
  if (!CheckInteger(raw.RDepth, s.Recurse ? -1 : 0, -1, INT32_MAX, "'-r-depth' must be an integer.",
                    "'-r-depth' must be -1 or greater.", s.RDepth, error)) {
    return;
  }

  s.SaySettings = Given(raw.SaySettings);
  s.SkipExisting = Given(raw.SkipExisting);
  s.DryRun = Given(raw.DryRun);
  s.List = Given(raw.List);
  s.List0 = Given(raw.List0);
  if (!CheckInteger(raw.Jobs, 1, 0, kMaxJobs, "'-jobs' must be an integer.",
                    "'-jobs' must be between 0 and 64, inclusive.", s.Jobs, error)) {
    return;
  }
  if (!CheckInteger(raw.SleepTime, 0, 0, INT32_MAX, "'-sleep-time' must be an integer.",
                    "'-sleep-time' must be zero or greater.", s.SleepTime, error)) {
    return;
  }

  s.SRTFilename = TextOr(raw.SRTFilename, "_title.srt");

  if (!CheckFileOption(raw.SubtitleFontFile, "-subtitle-font-file", s.SubtitleFontFile, error,
                       platform)) {
    return;
  }
  if (s.SubtitleFontFile.empty()) s.SubtitleFontFile = DefaultFontFile(platform, rules);

  if (!CheckInteger(raw.SubtitleFontSize, 16, 0, INT32_MAX,
                    "'-subtitle-font-size' must be an integer.",
                    "'-subtitle-font-size' must be zero or greater.", s.SubtitleFontSize, error)) {
    return;
  }

  s.SubtitleText = TextOr(raw.SubtitleText, "");
  s.Usage = Given(raw.Usage);
  s.Version = Given(raw.Version);
  s.VideoCodec = TextOr(raw.VideoCodec, ffmpeg ? "libx264" : "mjpeg");

  s.VideoWidth = 1920;
  s.VideoHeight = 1080;
  if (Given(raw.VideoSize)) {
    if (!ffmpeg) {
      SetJobError(error, kErrorInvalidArgument, "'-video-size' needs '-encoder ffmpeg'.");
      return;
    }
    if (!ParseVideoSize(raw.VideoSize, s.VideoWidth, s.VideoHeight)) {
      SetJobError(error, kErrorInvalidArgument,
                  "'-video-size' must be two even numbers from 16 to 7680, as 1920x1080.");
      return;
    }
  }

  // A filter that can never match would walk nothing and call that success.
  if (!s.DirFilter.empty() && !CompiledPattern::Compile(s.DirFilter).valid()) {
    SetJobError(error, kErrorInvalidArgument,
                "The pattern specified by '-dir-filter' is not valid.");
    return;
  }
}

}  // namespace slidemill
