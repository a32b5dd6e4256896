#include "app/video_job.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "app/ffmpeg_command.h"
#include "app/interrupt.h"
#include "platform/path_rules.h"

namespace slidemill {
namespace {

// The encoder when no path is given, found through the search path.
std::string DefaultEncoder(std::string_view name) {
  return std::string(name) + std::string(NativePathRules().executable_suffix);
}

// Beside the photos, hidden, so that no later count takes it for one.
constexpr std::string_view kListFile = ".slidemill-photos.ffconcat";

// ffmpeg answers 255 when Ctrl-C or Ctrl-\ stopped it.
constexpr uint32_t kFfmpegInterrupted = 255;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The encoder's input: every JPG of the directory, in any letter case, as
// the program counts them. Where names mind case, so does its wildcard.
std::string EncoderInput() {
  return NativePathRules().names_ignore_case ? "mf://*.jpg" : "mf://*.[jJ][pP][gG]";
}

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kNoJpg = "No JPG files found in this directory.";
constexpr std::string_view kNoVideo = "The encoder reported success but made no video.";

// Replaces a placeholder in the pieces that are not literal. A literal value
// becomes a piece of its own; other text joins its neighbours, so a later
// placeholder is found wherever the text would show it.
void ReplaceInPieces(std::vector<CommandPiece>& pieces, std::string_view placeholder,
                     const std::string& value, bool literal) {
  std::vector<CommandPiece> result;
  auto append = [&result](std::string_view text, bool is_literal) {
    if (text.empty()) return;
    if (!is_literal && !result.empty() && !result.back().literal) {
      result.back().text += text;
    } else {
      result.push_back(CommandPiece{std::string(text), is_literal});
    }
  };
  for (const CommandPiece& piece : pieces) {
    if (piece.literal) {
      result.push_back(piece);
      continue;
    }
    std::string_view text = piece.text;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(placeholder, from)) != std::string_view::npos;
         from = at + placeholder.size()) {
      append(text.substr(from, at - from), false);
      append(value, literal);
    }
    append(text.substr(from), false);
  }
  pieces = std::move(result);
}

std::string Joined(const std::vector<CommandPiece>& pieces) {
  std::string text;
  for (const CommandPiece& piece : pieces) text += piece.text;
  return text;
}

// The arguments split from the pieces, each marked when the pieces' text
// writes it in double quotes, so that its one-line form is that text again.
std::vector<CommandArgument> SplitMarkingQuotes(const std::vector<CommandPiece>& pieces) {
  std::string text = Joined(pieces);
  std::string_view rest = text;
  std::vector<CommandArgument> arguments;
  for (std::string& argument : SplitCommandPieces(pieces)) {
    while (rest.starts_with(' ')) rest.remove_prefix(1);
    bool quoted = rest.starts_with('"' + argument);
    rest.remove_prefix(std::min(rest.size(), argument.size() + (quoted ? 2 : 0)));
    arguments.push_back({std::move(argument), quoted});
  }
  return arguments;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view placeholder,
                       std::string_view value) {
  std::string result;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(placeholder, from)) != std::string_view::npos;
       from = at + placeholder.size()) {
    result.append(text.substr(from, at - from));
    result.append(value);
  }
  result.append(text.substr(from));
  return result;
}

std::string BuildTitleText(const std::string& subtitle, const std::string& day,
                           const std::string& month, const std::string& year) {
  std::string text = "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + subtitle;
  text = ReplaceAll(text, "{CRLF}", kCrLf);
  text = ReplaceAll(text, "{DayModified}", day);
  text = ReplaceAll(text, "{MonthModified}", month);
  text = ReplaceAll(text, "{YearModified}", year);
  return text;
}

namespace {

// Fills a template's placeholders in their order.
std::vector<CommandPiece> FillTemplate(std::string text, const Settings& settings,
                                       const std::string& encoder,
                                       const std::string& font_file,
                                       const std::string& dir) {
  bool titles = !settings.SubtitleText.empty();
  std::vector<CommandPiece> pieces = {CommandPiece{std::move(text), false}};
  // File paths are whole arguments; what the user typed into the other
  // settings splits as written, so a codec setting can carry more options.
  ReplaceInPieces(pieces, "{0}", encoder, true);
  ReplaceInPieces(pieces, "{VideoFilename}", settings.VideoFilename, false);
  if (titles) {
    ReplaceInPieces(pieces, "{SubtitleFontFile}", font_file, true);
    ReplaceInPieces(pieces, "{SRTFilename}", settings.SRTFilename, false);
    ReplaceInPieces(pieces, "{SubtitleFontSize}", std::to_string(settings.SubtitleFontSize),
                    false);
  }
  ReplaceInPieces(pieces, "{VideoFramesPerSecond}",
                  std::to_string(settings.VideoFramesPerSecond), false);
  ReplaceInPieces(pieces, "{VideoCodec}", settings.VideoCodec, false);
  ReplaceInPieces(pieces, "{Dir}", dir, true);
  return pieces;
}

}  // namespace

std::vector<CommandArgument> BuildEncoderCommand(const Settings& settings,
                                              const std::string& encoder,
                                              const std::string& font_file,
                                              const std::string& input_pattern,
                                              const std::string& dir) {
  std::string command = "{0} \"" + input_pattern +
                        "\" -o \"{VideoFilename}\" -mf fps={VideoFramesPerSecond} "
                        "-ovc lavc -lavcopts vcodec={VideoCodec}";
  if (!settings.SubtitleText.empty()) {
    command +=
        " -font \"{SubtitleFontFile}\" -sub \"{SRTFilename}\" -subalign 2 "
        "-subfont-autoscale 0 -subfont-text-scale {SubtitleFontSize}";
  }
  return SplitMarkingQuotes(FillTemplate(std::move(command), settings, encoder, font_file, dir));
}

std::string VideoName(const Settings& settings, const std::string& encoder,
                      const std::string& font_file, const std::string& dir) {
  return Joined(FillTemplate("{VideoFilename}", settings, encoder, font_file, dir));
}

void VideoJob::Block(std::string_view heading, TextColor color, std::string_view text) {
  output_.ConsoleLineEnd();
  output_.SetTextColor(TextColor::kSuccess);
  output_.ConsoleWrite(heading);
  output_.ConsoleLineEnd();
  output_.ConsoleLineEnd();
  output_.SetTextColor(color);
  output_.ConsoleWrite(text);
  output_.ConsoleLineEnd();
  output_.SetTextColor(TextColor::kNormal);
}

void VideoJob::Announce(const std::string& dir) {
  Block("Changing to this directory:", TextColor::kNormal, dir);
  output_.WriteLog(dir);
}

std::string VideoJob::FirstJpg(const std::string& dir) {
  std::vector<std::string> photos = Photos(dir);
  return photos.empty() ? "" : photos.front();
}

std::vector<std::string> VideoJob::Photos(const std::string& dir) {
  // The system's own wildcard, which ignores letter case.
  std::vector<FileEntry> entries;
  std::vector<std::string> names;
  if (!platform_.FindAll(dir, "*.jpg", &entries)) return names;
  constexpr uint32_t kSkipped = kAttributeDirectory | kAttributeHidden | kAttributeSystem;
  for (const FileEntry& entry : entries) {
    if ((entry.attributes & kSkipped) == 0 && entry.name != "." && entry.name != "..") {
      names.push_back(entry.name);
    }
  }
  return names;
}

bool VideoJob::WriteTitle(const std::string& dir, const std::string& jpg, cFile& file) {
  file.FILE(jpg);
  if (file.ERR_IS()) {
    output_.WriteLog(JobErrorText(kErrorJpgMetaData), false);
    SetJobError(error_, kErrorJpgMetaData, "");
    return false;
  }
  std::string text = BuildTitleText(settings_.SubtitleText, file.DAY(kDateModified, 0),
                                    file.MONTH(kDateModified, 0), file.YEAR(kDateModified, 0));
  text += kCrLf;
  // Written whole or not at all: a run stopped meanwhile never leaves half a
  // title file behind.
  std::string cause;
  if (!platform_.WriteWholeFile(JoinPath(dir, settings_.SRTFilename), text, &cause)) {
    output_.WriteLog(JobErrorText(kErrorTitleFile) + ": " + cause, false);
    SetJobError(error_, kErrorTitleFile, cause);
    return false;
  }
  return true;
}

VideoJob::Encoding VideoJob::PrepareEncoding(const std::string& dir) {
  // The program never leaves its own current directory, so relative paths
  // typed by the user are made absolute here, where they were meant.
  const std::string& path = UsesFfmpeg() ? settings_.FfmpegPath : settings_.MencoderPath;
  std::string encoder = path.empty() ? DefaultEncoder(settings_.Encoder) : platform_.AbsolutePath(path);
  std::string font = settings_.SubtitleFontFile.empty()
                         ? std::string()
                         : platform_.AbsolutePath(settings_.SubtitleFontFile);
  // The encoder runs inside the directory, so a path made from {Dir} must
  // not depend on where the walk started.
  std::string absolute_dir = platform_.AbsolutePath(dir);
  std::string video = VideoName(settings_, encoder, font, absolute_dir);
  Encoding encoding;
  if (UsesFfmpeg()) {
    PrepareFfmpeg(absolute_dir, encoder, video, encoding);
  } else {
    encoding.arguments = BuildEncoderCommand(settings_, encoder, font, EncoderInput(), absolute_dir);
  }
  encoding.video = IsAbsolutePath(video) ? video : JoinPath(dir, video);
  return encoding;
}

void VideoJob::PrepareFfmpeg(const std::string& absolute_dir, const std::string& encoder,
                             const std::string& video, Encoding& encoding) {
  // The photos in byte order of their names, by absolute path: ffmpeg reads
  // list entries relative to the list, not to where it runs.
  std::vector<std::string> names = Photos(absolute_dir);
  std::ranges::sort(names);
  for (std::string& name : names) name = JoinPath(absolute_dir, name);
  encoding.list_file = JoinPath(absolute_dir, kListFile);
  if (!platform_.WriteWholeFile(encoding.list_file, ConcatList(names), &encoding.list_error)) {
    encoding.list_file.clear();
  }
  std::string title, font_dir, font_name;
  if (!settings_.SubtitleText.empty()) {
    title = platform_.AbsolutePath(JoinPath(absolute_dir, settings_.SRTFilename));
  }
  if (!title.empty() && !settings_.SubtitleFontFile.empty()) {
    std::string font = platform_.AbsolutePath(settings_.SubtitleFontFile);
    font_dir = font.substr(0, font.find_last_of(NativePathRules().split_set) + 1);
    font_name = FontFullName(FileBytes(font));
  }
  encoding.arguments = BuildFfmpegCommand(settings_, encoder, encoding.list_file,
                                          FfmpegFilter(settings_, title, font_dir, font_name), video);
}

ChildOutcome VideoJob::RunEncoder(const std::vector<CommandArgument>& arguments,
                                  const std::string& dir) {
  Block(UsesFfmpeg() ? "Launching ffmpeg with this command:" : "Launching mencoder with this command:",
        TextColor::kEmphasis,
        platform_.ShownCommandLine(arguments));
  output_.ConsoleLineEnd();

  ++videos_tried_;
  ChildStart start = platform_.StartChild(arguments, dir);
  if (start.id == 0) return start.outcome;
  // One encoder runs at a time, so the child that ends is this one.
  return platform_.WaitForChild().outcome;
}

DirectoryResult VideoJob::ReportOutcome(const ChildOutcome& ended, const std::string& video) {
  using Kind = ChildOutcome::Kind;
  ChildOutcome outcome = ended;
  if (UsesFfmpeg() && outcome.kind == Kind::kExited && outcome.code == kFfmpegInterrupted) {
    outcome.kind = Kind::kCtrlC;
  }
  const std::string exited = UsesFfmpeg() ? "FFmpeg exited with an error code: "
                                          : "Mencoder exited with an error code: ";
  if (outcome.kind != Kind::kExited || outcome.code != 0) ++videos_failed_;
  switch (outcome.kind) {
    case Kind::kCannotStart:
      // It would fail the same way in every directory.
      SetJobError(error_, kErrorStartingEncoder, outcome.error);
      output_.WriteLog(JobErrorText(kErrorStartingEncoder) + ": " + outcome.error, false);
      return DirectoryResult::kEndRun;
    case Kind::kNoDirectory:
      // Started anywhere else it would read and write the wrong files.
      output_.ReportFailure("The encoder was not started: this directory cannot be entered (" +
                    outcome.error + ").");
      break;
    case Kind::kLost:
      output_.ReportFailure("How the encoder ended cannot be learnt (" + outcome.error + ").");
      break;
    case Kind::kCtrlC:
    case Kind::kCtrlBreak: {
      bool exit = CheckEncoderInterrupt(output_, outcome) == InterruptAnswer::kExit;
      output_.WriteLog("Aborted by user.", false);
      if (exit) {
        SetJobError(error_, kErrorAborted, "");
        return DirectoryResult::kEndRun;
      }
      break;
    }
    case Kind::kKilled:
      // The code a shell gives a program that a signal ended.
      output_.WriteLog(exited + std::to_string(128 + outcome.code), false);
      break;
    case Kind::kExited:
      if (outcome.code != 0) {
        output_.WriteLog(exited + std::to_string(outcome.code), false);
      } else if (VideoMade(video)) {
        output_.WriteLog("Encoding complete.", false);
        output_.ConsoleLine(TextColor::kSuccess, "Movie encoding completed successfully.");
      } else {
        ++videos_failed_;
        output_.ReportFailure(kNoVideo);
      }
      break;
  }
  return DirectoryResult::kContinue;
}

bool VideoJob::VideoMade(const std::string& video) {
  FileEntry made;
  return platform_.FindFirst(video, &made) && made.size > 0 &&
         (made.attributes & kAttributeDirectory) == 0;
}

void VideoJob::Pause() {
  if (settings_.SleepTime > 0) platform_.Sleep(static_cast<uint32_t>(settings_.SleepTime));
}

DirectoryResult VideoJob::ProcessDirectory(const std::string& dir, cFile& file) {
  Announce(dir);
  std::string jpg_name = FirstJpg(dir);
  if (jpg_name.empty()) {
    output_.ReportFailure(kNoJpg);
    return DirectoryResult::kContinue;
  }
  if (!settings_.SubtitleText.empty() && !WriteTitle(dir, JoinPath(dir, jpg_name), file)) {
    return DirectoryResult::kEndRun;
  }
  Encoding encoding = PrepareEncoding(dir);
  if (!encoding.list_error.empty()) {
    ++videos_tried_, ++videos_failed_;
    output_.ReportFailure("The list of photos for the encoder cannot be written: " + encoding.list_error + ".");
    return DirectoryResult::kContinue;
  }
  ChildOutcome outcome = RunEncoder(encoding.arguments, dir);
  if (!encoding.list_file.empty()) platform_.RemoveFile(encoding.list_file);
  DirectoryResult result = ReportOutcome(outcome, encoding.video);
  // The pause follows every encoder that ran.
  if (result == DirectoryResult::kContinue && outcome.kind != ChildOutcome::Kind::kNoDirectory) {
    Pause();
  }
  return result;
}

}  // namespace slidemill
