#include "app/settings.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <iterator>
#include <optional>

#include "app/encoder.h"
#include "app/options.h"
#include "app/photos.h"
#include "pattern/pattern.h"

namespace slidemill {

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

// An integer option's range in words.
std::string RangeText(const OptionInfo& option) {
  if (option.maximum != INT32_MAX) {
    return "between " + std::to_string(option.minimum) + " and " + std::to_string(option.maximum) +
           ", inclusive.";
  }
  return (option.minimum == 0 ? std::string("zero") : std::to_string(option.minimum)) +
         " or greater.";
}

// Reads an integer option into `target`, its default when not given; false
// (with the error recorded) when it is not an integer or out of its range.
bool CheckInteger(const std::string& text, std::string_view name, int32_t& target, JobError& error,
                  std::optional<int32_t> default_value = std::nullopt) {
  const OptionInfo& option = *FindOption(name);
  if (!Given(text)) {
    target = default_value.value_or(std::stoi(option.default_value));
    return true;
  }
  int32_t value = 0;
  if (!IsInteger(text, &value)) {
    SetJobError(error, kErrorInvalidArgument, "'" + option.name + "' must be an integer.");
    return false;
  }
  if (value < option.minimum || value > option.maximum) {
    SetJobError(error, kErrorInvalidArgument, "'" + option.name + "' must be " + RangeText(option));
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

std::string TextOr(const std::string& raw, std::string_view default_value) {
  return Given(raw) ? raw : std::string(default_value);
}

// A list of names in words: "a", "a or b", "a, b or c".
std::string Alternatives(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  }
  return text;
}

// Seconds with at most three decimals, as milliseconds; nothing when the
// text is not such a number.
std::optional<int32_t> Milliseconds(std::string_view text) {
  std::size_t dot = text.find('.');
  std::string_view whole = text.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? "" : text.substr(dot + 1);
  if (whole.size() > 6 || fraction.size() > 3 || whole.size() + fraction.size() == 0) {
    return std::nullopt;
  }
  int32_t milliseconds = 0;
  for (std::size_t i = 0; i < whole.size() + 3; ++i) {
    char c = i < whole.size()                     ? whole[i]
             : i - whole.size() < fraction.size() ? fraction[i - whole.size()]
                                                  : '0';
    if (c < '0' || c > '9') return std::nullopt;
    milliseconds = milliseconds * 10 + (c - '0');
  }
  return milliseconds;
}

}  // namespace

std::string SecondsText(int32_t milliseconds) {
  std::string fraction = std::to_string(1000 + milliseconds % 1000).substr(1);
  while (fraction.ends_with('0')) fraction.pop_back();
  return std::to_string(milliseconds / 1000) + (fraction.empty() ? "" : "." + fraction);
}

void ValidateSettings(const RawOptions& raw, Settings& s, JobError& error, Platform& platform,
                      const PathRules& rules) {
  // Shown as typed but for the separators, which are the system's own.
  s.Dir = NativeSeparators(
      TrimTrailingSeparators(Given(raw.Dir) ? raw.Dir : platform.CurrentDirectory(), rules), rules);
  s.DirFilter = TextOr(raw.DirFilter, "");

  if (!CheckInteger(raw.VideoFramesPerSecond, "-video-frames-per-second", s.VideoFramesPerSecond,
                    error))
    return;

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

  std::vector<std::string> names;
  for (const Encoder* candidate : Encoders()) names.emplace_back(candidate->name());
  s.Encoder = TextOr(raw.Encoder, names.front());
  const Encoder* encoder = FindEncoder(s.Encoder);
  if (encoder == nullptr) {
    SetJobError(error, kErrorInvalidArgument,
                "The encoder specified by '-encoder' must be " + Alternatives(names) + ".");
    return;
  }

  s.VideoFilename = TextOr(raw.VideoFilename, encoder->default_video_filename());

  s.EncoderPaths.clear();
  for (const Encoder* candidate : Encoders()) {
    std::string name(candidate->name());
    auto given = raw.EncoderPaths.find(name);
    if (given == raw.EncoderPaths.end() || !Given(given->second)) continue;
    // The program as starting it would find it (on Windows with an
    // extension of PATHEXT when it has none).
    if (!platform.ProgramFile(given->second)) {
      SetJobError(error, kErrorInvalidArgument,
                  "The file specified by '" + candidate->path_option() + "' does not exist.");
      return;
    }
    s.EncoderPaths[name] = given->second;
  }

  s.Recurse = Given(raw.Recurse);
  if (!CheckInteger(raw.RDepth, "-r-depth", s.RDepth, error, s.Recurse ? -1 : 0)) return;

  s.SaySettings = Given(raw.SaySettings);
  s.SkipExisting = Given(raw.SkipExisting);
  s.DryRun = Given(raw.DryRun);
  s.List = Given(raw.List);
  s.List0 = Given(raw.List0);
  if (!CheckInteger(raw.Jobs, "-jobs", s.Jobs, error)) return;
  if (!CheckInteger(raw.SleepTime, "-sleep-time", s.SleepTime, error)) return;

  s.SRTFilename = TextOr(raw.SRTFilename, FindOption("-srt-filename")->default_value);
  // Written in each photo directory, it would replace a photo.
  std::string title_name = s.SRTFilename;
  for (char& c : title_name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (title_name.ends_with(".jpg") || title_name.ends_with(".jpeg")) {
    SetJobError(error, kErrorInvalidArgument,
                "The title file specified by '-srt-filename' must not be named like a photo.");
    return;
  }

  if (!CheckFileOption(raw.SubtitleFontFile, "-subtitle-font-file", s.SubtitleFontFile, error,
                       platform)) {
    return;
  }
  if (s.SubtitleFontFile.empty()) s.SubtitleFontFile = DefaultFontFile(platform, rules);

  if (!CheckInteger(raw.SubtitleFontSize, "-subtitle-font-size", s.SubtitleFontSize, error)) return;

  s.SubtitleText = TextOr(raw.SubtitleText, "");
  s.Usage = Given(raw.Usage);
  s.Version = Given(raw.Version);
  s.VideoCodec = TextOr(raw.VideoCodec, encoder->default_codec());

  ParseVideoSize(FindOption("-video-size")->default_value, s.VideoWidth, s.VideoHeight);
  if (Given(raw.VideoSize)) {
    if (!encoder->sizes_frame()) {
      std::vector<std::string> framing;
      for (const Encoder* candidate : Encoders()) {
        if (candidate->sizes_frame())
          framing.push_back("'-encoder " + std::string(candidate->name()) + "'");
      }
      SetJobError(error, kErrorInvalidArgument,
                  "'-video-size' needs " + Alternatives(framing) + ".");
      return;
    }
    if (!ParseVideoSize(raw.VideoSize, s.VideoWidth, s.VideoHeight)) {
      SetJobError(error, kErrorInvalidArgument,
                  "'-video-size' must be two even numbers from 16 to 7680, as 1920x1080.");
      return;
    }
  }

  s.PhotoOrder = TextOr(raw.PhotoOrder, kPhotoOrders[0]);
  if (std::ranges::find(kPhotoOrders, s.PhotoOrder) == std::end(kPhotoOrders)) {
    SetJobError(error, kErrorInvalidArgument,
                "The order specified by '-photo-order' must be " +
                    Alternatives(std::vector<std::string>(std::begin(kPhotoOrders),
                                                          std::end(kPhotoOrders))) +
                    ".");
    return;
  }

  s.PhotoMilliseconds = 0;
  if (Given(raw.PhotoSeconds)) {
    std::optional<int32_t> milliseconds = Milliseconds(raw.PhotoSeconds);
    if (!milliseconds || *milliseconds == 0) {
      SetJobError(error, kErrorInvalidArgument,
                  "'-photo-seconds' must be a positive number of seconds with at most three "
                  "decimals, as 0.5 or 3.");
      return;
    }
    // Each photo one frame at least.
    int32_t shortest = (1000 + s.VideoFramesPerSecond - 1) / s.VideoFramesPerSecond;
    if (*milliseconds < shortest) {
      SetJobError(
          error, kErrorInvalidArgument,
          "'-photo-seconds' must show each photo for one frame or more: " + SecondsText(shortest) +
              " or more at " + std::to_string(s.VideoFramesPerSecond) + " frames per second.");
      return;
    }
    s.PhotoMilliseconds = *milliseconds;
  }

  // A filter that can never match would walk nothing and call that success.
  if (!s.DirFilter.empty() && !CompiledPattern::Compile(s.DirFilter).valid()) {
    SetJobError(error, kErrorInvalidArgument,
                "The pattern specified by '-dir-filter' is not valid.");
    return;
  }
}

}  // namespace slidemill
