#include "app/reports.h"

#include <string>

namespace slidemill {
namespace {

// One "name: value" line of the settings report; the value in white.
void SettingLine(Output& out, std::string_view name, std::string_view value) {
  out.ConsoleWrite(name);
  out.ConsoleWrite(": ");
  out.SetTextColor(TextColor::kEmphasis);
  out.ConsoleWrite(value);
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
}

// Text values are quoted as they are, with no escaping inside.
void TextLine(Output& out, std::string_view name, const std::string& value) {
  SettingLine(out, name, "\"" + value + "\"");
}

void IntegerLine(Output& out, std::string_view name, int32_t value) {
  SettingLine(out, name, std::to_string(value));
}

void BooleanLine(Output& out, std::string_view name, bool value) {
  SettingLine(out, name, value ? "True" : "False");
}

void Heading(Output& out, std::string_view text) {
  out.SetTextColor(TextColor::kSuccess);
  out.ConsoleWrite(text);
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
}

void Paragraph(Output& out, std::string_view text) {
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite(text);
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
}

}  // namespace

void PrintSettings(const Settings& s, Output& out) {
  out.ConsoleLine(TextColor::kSuccess, "Settings");
  out.ConsoleLineEnd();
  TextLine(out, "-dir", s.Dir);
  TextLine(out, "-dir-filter", s.DirFilter);
  BooleanLine(out, "-dry-run", s.DryRun);
  TextLine(out, "-encoder", s.Encoder);
  TextLine(out, "-ffmpeg-path", s.FfmpegPath);
  IntegerLine(out, "-jobs", s.Jobs);
  BooleanLine(out, "-list", s.List);
  BooleanLine(out, "-list0", s.List0);
  TextLine(out, "-log-path", s.LogPath);
  TextLine(out, "-mencoder-path", s.MencoderPath);
  BooleanLine(out, "-r", s.Recurse);
  IntegerLine(out, "-r-depth", s.RDepth);
  BooleanLine(out, "-say-settings", s.SaySettings);
  BooleanLine(out, "-skip-existing", s.SkipExisting);
  IntegerLine(out, "-sleep-time", s.SleepTime);
  TextLine(out, "-srt-filename", s.SRTFilename);
  TextLine(out, "-subtitle-font-file", s.SubtitleFontFile);
  IntegerLine(out, "-subtitle-font-size", s.SubtitleFontSize);
  TextLine(out, "-subtitle-text", s.SubtitleText);
  BooleanLine(out, "-usage", s.Usage);
  BooleanLine(out, "-version", s.Version);
  TextLine(out, "-video-filename", s.VideoFilename);
  IntegerLine(out, "-video-frames-per-second", s.VideoFramesPerSecond);
  TextLine(out, "-video-codec", s.VideoCodec);
  // The frame is ffmpeg's alone.
  if (s.Encoder == kEncoderFfmpeg) {
    TextLine(out, "-video-size",
             std::to_string(s.VideoWidth) + "x" + std::to_string(s.VideoHeight));
  }
}

void PrintUsage(Output& out) {
  out.ConsoleLineEnd();
  Heading(out, "Purpose");
  Paragraph(out, "This utility assembles JPG images into videos.");
  Heading(out, "Usage");
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite(kProductName);
  out.ConsoleWrite(" [options...]");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  Paragraph(out, "Options:");
  for (const OptionInfo& option : kOptions) {
    out.SetTextColor(TextColor::kEmphasis);
    out.ConsoleWrite(option.name);
    out.ConsoleWrite(" ");
    out.SetTextColor(TextColor::kNormal);
    out.ConsoleWrite(option.description);
    out.ConsoleLineEnd();
  }
  out.ConsoleLineEnd();
  Heading(out, "About");
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite(kProductName);
  out.ConsoleWrite(" Version ");
  out.ConsoleWrite(kVersion);
  out.ConsoleWrite(" by the Slidemill developers (see the README that comes with it) ");
  out.ConsoleLineEnd();
  out.ConsoleWrite("Website: the Slidemill project's own repository");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite("No warranty is expressed or implied. Use at your own risk.");
  out.ConsoleLineEnd();
  out.ConsoleWrite("Copyright (c) 2026 the Slidemill developers.");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kSupport);
  out.ConsoleWrite("Has this program helped you?");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.ConsoleWrite("Tell us what worked and what did not: a report with the command");
  out.ConsoleLineEnd();
  out.ConsoleWrite("line and the log file helps us make Slidemill better.");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite("Visit: the Slidemill repository and its issue tracker");
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
}

void PrintVersion(Output& out) {
  out.ConsoleWrite(kVersion);
  out.ConsoleLineEnd();
}

}  // namespace slidemill
