// The option vocabulary and the two records that carry the settings: the raw
// option texts as typed, and the checked, typed settings everything reads.
#ifndef SLIDEMILL_APP_SETTINGS_H_
#define SLIDEMILL_APP_SETTINGS_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "app/job_error.h"
#include "platform/path_rules.h"
#include "platform/platform.h"

namespace slidemill {

// The path option of each encoder ("-ffmpeg-path"), by the encoder's name.
using EncoderPathMap = std::map<std::string, std::string, std::less<>>;

// One text per option, named like the setting it fills; empty means the
// option was not given. Field names are the record's published names; the
// encoders' path options are kept by encoder, so that an encoder is one unit
// and one row in its table.
struct RawOptions {
  std::string Dir;
  std::string DirFilter;
  std::string DryRun;
  std::string Encoder;
  EncoderPathMap EncoderPaths;
  std::string Jobs;
  std::string List;
  std::string List0;
  std::string LogPath;
  std::string PhotoOrder;
  std::string PhotoSeconds;
  std::string Recurse;
  std::string RDepth;
  std::string SaySettings;
  std::string SkipExisting;
  std::string SleepTime;
  std::string SRTFilename;
  std::string SubtitleFontFile;
  std::string SubtitleFontSize;
  std::string SubtitleText;
  std::string Usage;
  std::string Version;
  std::string VideoCodec;
  std::string VideoFilename;
  std::string VideoFramesPerSecond;
  std::string VideoSize;
};

// The normalised settings, in the order the settings report lists them.
// Field names are the record's published names.
struct Settings {
  std::string Dir;
  std::string DirFilter;
  bool DryRun = false;
  std::string Encoder;
  EncoderPathMap EncoderPaths;  // a path as typed; none: found through the search path
  int32_t Jobs = 1;             // 0: one per processor
  bool List = false;
  bool List0 = false;
  std::string LogPath;
  std::string PhotoOrder;
  int32_t PhotoMilliseconds = 0;  // how long each photo shows; 0: one frame
  bool Recurse = false;
  int32_t RDepth = 0;
  bool SaySettings = false;
  bool SkipExisting = false;
  int32_t SleepTime = 0;
  std::string SRTFilename;
  std::string SubtitleFontFile;
  int32_t SubtitleFontSize = 0;
  std::string SubtitleText;
  bool Usage = false;
  bool Version = false;
  std::string VideoFilename;
  int32_t VideoFramesPerSecond = 0;
  std::string VideoCodec;
  int32_t VideoWidth = 0;
  int32_t VideoHeight = 0;
};

// True for a decimal integer in the 32-bit signed range: digits with at most
// a leading "-" (a lone "-" is 0). Stores the value when `value` is given.
bool IsInteger(std::string_view text, int32_t* value = nullptr);

// Milliseconds as a decimal number of seconds: "0.5", "3", "0.034".
std::string SecondsText(int32_t milliseconds);

// Checks the raw options in a fixed order, fills in the defaults and records
// the first failure as an "Invalid argument" job error.
void ValidateSettings(const RawOptions& raw, Settings& settings, JobError& error,
                      Platform& platform, const PathRules& rules = NativePathRules());

}  // namespace slidemill

#endif  // SLIDEMILL_APP_SETTINGS_H_
