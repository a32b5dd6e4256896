#include "app/options.h"

#include <algorithm>
#include <climits>
#include <iterator>

#include "app/encoder.h"
#include "app/photos.h"

namespace slidemill {
namespace {

// How the settings report shows each kind of value: texts quoted as they
// are, with no escaping inside.
template <auto field>
std::optional<std::string> Quoted(const Settings& s) {
  return '"' + s.*field + '"';
}
template <auto field>
std::optional<std::string> Number(const Settings& s) {
  return std::to_string(s.*field);
}
template <auto field>
std::optional<std::string> Boolean(const Settings& s) {
  return s.*field ? "True" : "False";
}

template <auto field>
std::string& Raw(RawOptions& raw) {
  return raw.*field;
}

OptionInfo Flag(std::string name, std::string description, std::string& (*raw)(RawOptions&),
                std::optional<std::string> (*shown)(const Settings&)) {
  return {std::move(name), OptionKind::kFlag, std::move(description), raw, shown, "", 0, 0, {}};
}

OptionInfo Valued(std::string name, OptionKind kind, std::string description,
                  std::string& (*raw)(RawOptions&),
                  std::optional<std::string> (*shown)(const Settings&),
                  std::string default_value = "") {
  return {std::move(name),
          kind,
          std::move(description),
          raw,
          shown,
          std::move(default_value),
          0,
          0,
          {}};
}

OptionInfo Integer(std::string name, std::string description, std::string& (*raw)(RawOptions&),
                   std::optional<std::string> (*shown)(const Settings&), int32_t default_value,
                   int32_t minimum, int32_t maximum = INT32_MAX) {
  return {std::move(name),
          OptionKind::kInteger,
          std::move(description),
          raw,
          shown,
          std::to_string(default_value),
          minimum,
          maximum,
          {}};
}

std::optional<std::string> SecondsShown(const Settings& s) {
  return '"' + (s.PhotoMilliseconds > 0 ? SecondsText(s.PhotoMilliseconds) : "") + '"';
}

// The frame is only shown for an encoder that fits photos into it.
std::optional<std::string> FrameShown(const Settings& s) {
  const Encoder* encoder = FindEncoder(s.Encoder);
  if (encoder == nullptr || !encoder->sizes_frame()) return std::nullopt;
  return '"' + std::to_string(s.VideoWidth) + "x" + std::to_string(s.VideoHeight) + '"';
}

std::vector<OptionInfo> MakeOptions() {
  using S = Settings;
  using R = RawOptions;
  using K = OptionKind;
  std::vector<OptionInfo> options = {
      Valued("-dir", K::kDirectory,
             "Root directory. All processing takes place below this directory.", Raw<&R::Dir>,
             Quoted<&S::Dir>),
      Valued("-dir-filter", K::kText,
             "Only directories matching this regular expression are processed.", Raw<&R::DirFilter>,
             Quoted<&S::DirFilter>),
      Flag("-dry-run",
           "Shows each directory's photo count, title and command; writes and starts nothing.",
           Raw<&R::DryRun>, Boolean<&S::DryRun>),
      Valued("-encoder", K::kChoice, "", Raw<&R::Encoder>, Quoted<&S::Encoder>,
             std::string(Encoders().front()->name())),
      Integer("-jobs", "How many directories are encoded at once; 0 is one per processor.",
              Raw<&R::Jobs>, Number<&S::Jobs>, 1, 0, kMaxJobs),
      Flag("-list", "Prints each directory that would be encoded, one per line, and exits.",
           Raw<&R::List>, Boolean<&S::List>),
      Flag("-list0", "Like '-list', each directory ended by a NUL byte instead.", Raw<&R::List0>,
           Boolean<&S::List0>),
      Valued("-log-path", K::kFile, "Path to the log file. If omitted, no log file is used.",
             Raw<&R::LogPath>, Quoted<&S::LogPath>),
      Valued("-photo-order", K::kChoice,
             "Order of the photos in a video: name (the default), natural or taken.",
             Raw<&R::PhotoOrder>, Quoted<&S::PhotoOrder>, std::string(kPhotoOrders[0])),
      Valued("-photo-seconds", K::kText,
             "Seconds each photo is shown, as 0.5 or 3. If omitted, each photo is one frame.",
             Raw<&R::PhotoSeconds>, SecondsShown),
      Flag("-r", "Recurse directories. This is a shortcut for '-r-depth -1'.", Raw<&R::Recurse>,
           Boolean<&S::Recurse>),
      // Its default is -1 with -r.
      Integer("-r-depth", "Determine how deeply we recurse the directory specified in '-dir'.",
              Raw<&R::RDepth>, Number<&S::RDepth>, 0, -1),
      Flag("-say-settings", "Displays all normalized settings and then exits.",
           Raw<&R::SaySettings>, Boolean<&S::SaySettings>),
      Flag("-skip-existing", "Passes over a directory whose video already exists.",
           Raw<&R::SkipExisting>, Boolean<&S::SkipExisting>),
      Integer("-sleep-time", "We pause this many milliseconds after each movie is created.",
              Raw<&R::SleepTime>, Number<&S::SleepTime>, 0, 0),
      Valued(
          "-srt-filename", K::kText,
          "Name of SRT title file created in each directory containing JPGs; not *.jpg or *.jpeg.",
          Raw<&R::SRTFilename>, Quoted<&S::SRTFilename>, "_title.srt"),
      Valued("-subtitle-font-file", K::kFile,
             "Path to font file containing the font used for titles.", Raw<&R::SubtitleFontFile>,
             Quoted<&S::SubtitleFontFile>),
      Integer("-subtitle-font-size", "Size of the title font as a percentage of movie height.",
              Raw<&R::SubtitleFontSize>, Number<&S::SubtitleFontSize>, 16, 0),
      Valued("-subtitle-text", K::kText,
             "The subtitle added to the bottom of the movie. {CRLF}, {DayTaken}, {MonthTaken}, "
             "{YearTaken}, {DayModified}, {MonthModified}, {YearModified} and {Folder} are "
             "replaced.",
             Raw<&R::SubtitleText>, Quoted<&S::SubtitleText>),
      Flag("-usage", "Displays usage information and then exits.", Raw<&R::Usage>,
           Boolean<&S::Usage>),
      Flag("-version", "Displays version information and then exits.", Raw<&R::Version>,
           Boolean<&S::Version>),
      Valued("-video-filename", K::kText,
             "Name of the video created in each directory containing JPGs.", Raw<&R::VideoFilename>,
             Quoted<&S::VideoFilename>),
      Integer("-video-frames-per-second", "Frames-per-second of the encoded video file.",
              Raw<&R::VideoFramesPerSecond>, Number<&S::VideoFramesPerSecond>, 25, 1, 100),
      Valued("-video-codec", K::kText, "The video codec we will use to encode the video.",
             Raw<&R::VideoCodec>, Quoted<&S::VideoCodec>),
      Valued("-video-size", K::kText, "", Raw<&R::VideoSize>, FrameShown, "1920x1080"),
  };
  // What the encoders' table says: their names, their path options (each
  // in its place by name), and which of them fit photos into a frame.
  std::string names, framing;
  for (const Encoder* encoder : Encoders()) {
    std::string name(encoder->name());
    names += names.empty() ? name + " (the default)" : " or " + name;
    if (encoder->sizes_frame()) framing += (framing.empty() ? "" : " or ") + name;
    std::string option = encoder->path_option();
    auto place =
        std::ranges::find_if(options, [&](const OptionInfo& o) { return o.name > option; });
    options.insert(place,
                   {option,
                    OptionKind::kFile,
                    "Path to " + name + ".exe. If omitted, it must be in a PATHed dir.",
                    [name](RawOptions& raw) -> std::string& { return raw.EncoderPaths[name]; },
                    [name](const Settings& s) -> std::optional<std::string> {
                      auto path = s.EncoderPaths.find(name);
                      return '"' + (path == s.EncoderPaths.end() ? "" : path->second) + '"';
                    },
                    "",
                    0,
                    0,
                    {}});
  }
  for (OptionInfo& option : options) {
    if (option.name == "-encoder") {
      option.description = "The encoder: " + names + ".";
      for (const Encoder* encoder : Encoders()) option.choices.emplace_back(encoder->name());
    } else if (option.name == "-photo-order") {
      option.choices.assign(std::begin(kPhotoOrders), std::end(kPhotoOrders));
    } else if (option.name == "-video-size") {
      option.description =
          "Frame of the video as WxH, for " + framing + " only (default 1920x1080).";
    }
  }
  return options;
}

}  // namespace

const std::vector<OptionInfo>& Options() {
  static const std::vector<OptionInfo> options = MakeOptions();
  return options;
}

std::vector<const OptionInfo*> OptionsByName() {
  std::vector<const OptionInfo*> sorted;
  for (const OptionInfo& option : Options()) sorted.push_back(&option);
  std::ranges::sort(sorted, {}, &OptionInfo::name);
  return sorted;
}

const OptionInfo* FindOption(std::string_view name) {
  for (const OptionInfo& option : Options()) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace slidemill
