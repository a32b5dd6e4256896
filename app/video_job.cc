#include "app/video_job.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/ffmpeg_command.h"
#include "app/interrupt.h"
#include "platform/keys.h"
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
constexpr std::string_view kSkipped = "Video exists; skipped.";

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
                                       const std::string& encoder, const std::string& font_file,
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
    ReplaceInPieces(pieces, "{SubtitleFontSize}", std::to_string(settings.SubtitleFontSize), false);
  }
  ReplaceInPieces(pieces, "{VideoFramesPerSecond}", std::to_string(settings.VideoFramesPerSecond),
                  false);
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

std::string PartName(std::string_view video_template) {
  // The extension is what follows the last dot of the last name; a dot
  // inside a placeholder's value is never taken for it.
  const PathRules& rules = NativePathRules();
  std::size_t name_start =
      video_template.find_last_of(std::string(rules.trim_set) + std::string(rules.split_set) + "}");
  std::size_t dot = video_template.rfind('.');
  if (dot == std::string_view::npos || (name_start != std::string_view::npos && dot < name_start)) {
    dot = video_template.size();
  }
  return std::string(video_template.substr(0, dot)) + ".slidemill-part" +
         std::string(video_template.substr(dot));
}

std::vector<std::string> LastLines(std::string_view output, std::size_t count) {
  std::vector<std::string> lines;
  while (!output.empty() && lines.size() < count) {
    if (output.back() == '\n') output.remove_suffix(1);
    std::size_t start = output.find_last_of('\n');
    std::string_view line = start == std::string_view::npos ? output : output.substr(start + 1);
    output.remove_suffix(line.size());
    while (line.ends_with('\r')) line.remove_suffix(1);
    std::size_t redrawn = line.find_last_of('\r');
    if (redrawn != std::string_view::npos) line.remove_prefix(redrawn + 1);
    lines.insert(lines.begin(), std::string(line));
  }
  return lines;
}

VideoJob::VideoJob(Platform& platform, Output& output, const Settings& settings, JobError& error)
    : platform_(platform), output_(output), settings_(settings), error_(error) {
  std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
  jobs_ = settings.Jobs == 0 ? processors : static_cast<std::size_t>(settings.Jobs);
  jobs_ = std::min(jobs_, static_cast<std::size_t>(kMaxJobs));
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

VideoJob::Paths VideoJob::PathsFor(const std::string& dir) {
  // The program never leaves its own current directory, so relative paths
  // typed by the user are made absolute here, where they were meant.
  const std::string& path = UsesFfmpeg() ? settings_.FfmpegPath : settings_.MencoderPath;
  Paths paths;
  paths.encoder = path.empty() ? DefaultEncoder(settings_.Encoder) : platform_.AbsolutePath(path);
  if (!settings_.SubtitleFontFile.empty())
    paths.font = platform_.AbsolutePath(settings_.SubtitleFontFile);
  // The encoder runs inside the directory, so a path made from {Dir} must
  // not depend on where the walk started.
  paths.absolute_dir = platform_.AbsolutePath(dir);
  std::string video = VideoName(settings_, paths.encoder, paths.font, paths.absolute_dir);
  paths.video = IsAbsolutePath(video) ? video : JoinPath(dir, video);
  return paths;
}

VideoJob::Encoding VideoJob::PrepareEncoding(const std::string& dir) {
  Paths paths = PathsFor(dir);
  // The encoder writes the video under its part name.
  Settings part_settings = settings_;
  part_settings.VideoFilename = PartName(settings_.VideoFilename);
  std::string part = VideoName(part_settings, paths.encoder, paths.font, paths.absolute_dir);
  Encoding encoding;
  if (UsesFfmpeg()) {
    PrepareFfmpeg(paths.absolute_dir, paths.encoder, part, encoding);
  } else {
    encoding.arguments = BuildEncoderCommand(part_settings, paths.encoder, paths.font,
                                             EncoderInput(), paths.absolute_dir);
  }
  encoding.absolute_dir = paths.absolute_dir;
  encoding.video = paths.video;
  encoding.part = IsAbsolutePath(part) ? part : JoinPath(dir, part);
  return encoding;
}

void VideoJob::PrepareFfmpeg(const std::string& absolute_dir, const std::string& encoder,
                             const std::string& part, Encoding& encoding) {
  encoding.list_file = JoinPath(absolute_dir, kListFile);
  std::string title, font_dir, font_name;
  if (!settings_.SubtitleText.empty()) {
    title = platform_.AbsolutePath(JoinPath(absolute_dir, settings_.SRTFilename));
  }
  if (!title.empty() && !settings_.SubtitleFontFile.empty()) {
    std::string font = platform_.AbsolutePath(settings_.SubtitleFontFile);
    font_dir = font.substr(0, font.find_last_of(NativePathRules().split_set) + 1);
    font_name = FontFullName(FileBytes(font));
  }
  encoding.arguments =
      BuildFfmpegCommand(settings_, encoder, encoding.list_file,
                         FfmpegFilter(settings_, title, font_dir, font_name), part);
}

bool VideoJob::WritePhotoList(const Encoding& encoding) {
  // The photos in byte order of their names, by absolute path: ffmpeg reads
  // list entries relative to the list, not to where it runs.
  std::vector<std::string> names = Photos(encoding.absolute_dir);
  std::ranges::sort(names);
  for (std::string& name : names) name = JoinPath(encoding.absolute_dir, name);
  std::string cause;
  if (platform_.WriteWholeFile(encoding.list_file, ConcatList(names), &cause)) return true;
  ++videos_tried_, ++videos_failed_;
  output_.ReportFailure("The list of photos for the encoder cannot be written: " + cause + ".");
  return false;
}

std::optional<uint64_t> VideoJob::FileSize(const std::string& path) {
  FileEntry entry;
  if (!platform_.FindFirst(path, &entry) || (entry.attributes & kAttributeDirectory) != 0) {
    return std::nullopt;
  }
  return entry.size;
}

bool VideoJob::WouldEncode(const std::string& dir) {
  if (FirstJpg(dir).empty()) return false;
  return !settings_.SkipExisting || !FileSize(PathsFor(dir).video);
}

void VideoJob::ShowCommand(const std::vector<CommandArgument>& arguments, bool would) {
  std::string heading = std::string(would ? "Would launch " : "Launching ") +
                        (UsesFfmpeg() ? "ffmpeg" : "mencoder") + " with this command:";
  Block(heading, TextColor::kEmphasis, platform_.ShownCommandLine(arguments));
  output_.ConsoleLineEnd();
}

VideoJob::Verdict VideoJob::Conclude(const ChildOutcome& outcome, const Encoding& encoding) {
  using Kind = ChildOutcome::Kind;
  if (!encoding.list_file.empty()) platform_.RemoveFile(encoding.list_file);
  const std::string exited =
      UsesFfmpeg() ? "FFmpeg exited with an error code: " : "Mencoder exited with an error code: ";
  Verdict verdict;
  std::string cause;
  switch (outcome.kind) {
    case Kind::kCannotStart:
      verdict.text = JobErrorText(kErrorStartingEncoder) + ": " + outcome.error;
      break;
    case Kind::kNoDirectory:
      // Started anywhere else it would read and write the wrong files.
      verdict = {
          false,
          "The encoder was not started: this directory cannot be entered (" + outcome.error + ").",
          true};
      break;
    case Kind::kLost:
      verdict = {false, "How the encoder ended cannot be learnt (" + outcome.error + ").", true};
      break;
    case Kind::kCtrlC:
    case Kind::kCtrlBreak: verdict.text = "Aborted by user."; break;
    case Kind::kKilled:
      // The code a shell gives a program that a signal ended.
      verdict.text = exited + std::to_string(128 + outcome.code);
      break;
    case Kind::kExited:
      if (outcome.code != 0) {
        verdict.text = exited + std::to_string(outcome.code);
      } else if (FileSize(encoding.part).value_or(0) == 0) {
        verdict = {false, std::string(kNoVideo), true};
      } else if (!platform_.RenameFile(encoding.part, encoding.video, &cause)) {
        verdict = {false, "The video cannot be put in place: " + cause + ".", true};
      } else {
        verdict = {true, "Encoding complete.", false};
      }
      break;
  }
  // Only a finished video ever has the video's name.
  if (!verdict.made) {
    platform_.RemoveFile(encoding.part);
    ++videos_failed_;
  }
  ++videos_ended_;
  UpdateProgress();
  return verdict;
}

DirectoryResult VideoJob::Interrupted(const ChildOutcome& outcome) {
  if (CheckEncoderInterrupt(output_, outcome) != InterruptAnswer::kExit) {
    return DirectoryResult::kContinue;
  }
  SetJobError(error_, kErrorAborted, "");
  return DirectoryResult::kEndRun;
}

void VideoJob::Pause() {
  if (settings_.SleepTime > 0) platform_.Sleep(static_cast<uint32_t>(settings_.SleepTime));
}

void VideoJob::ShowProgress(int total) {
  progress_total_ = total;
  UpdateProgress();
}

void VideoJob::UpdateProgress() {
  if (progress_total_ < 0) return;
  platform_.ShowTitle("Slidemill: " + std::to_string(videos_ended_) + " of " +
                      std::to_string(progress_total_) + " directories, " +
                      std::to_string(videos_failed_) + " failed");
}

namespace {

// ffmpeg answers 255 when Ctrl-C or Ctrl-\ stopped it.
ChildOutcome AsInterrupt(ChildOutcome outcome, bool ffmpeg) {
  if (ffmpeg && outcome.kind == ChildOutcome::Kind::kExited && outcome.code == kFfmpegInterrupted) {
    outcome.kind = ChildOutcome::Kind::kCtrlC;
  }
  return outcome;
}

// The lines an encoder's output leaves in the log when it failed.
constexpr std::size_t kOutputLinesLogged = 20;

}  // namespace

DirectoryResult VideoJob::ProcessDirectory(const std::string& dir, cFile& file) {
  using Kind = ChildOutcome::Kind;
  // With several jobs a directory's log lines are held and written
  // together, once its encoder has ended.
  bool background = jobs_ > 1 && !settings_.DryRun;
  std::string held;
  if (background) output_.HoldLog(&held);
  auto release = [&](DirectoryResult result) {
    if (background) {
      output_.HoldLog(nullptr);
      output_.WriteHeldLog(held);
    }
    return result;
  };

  Announce(dir);
  std::string jpg_name = FirstJpg(dir);
  if (jpg_name.empty()) {
    output_.ReportFailure(kNoJpg);
    return release(DirectoryResult::kContinue);
  }
  if (settings_.SkipExisting && FileSize(PathsFor(dir).video)) {
    output_.ConsoleLine(TextColor::kSupport, kSkipped);
    output_.WriteLog(kSkipped, false);
    return release(DirectoryResult::kContinue);
  }
  Encoding encoding = PrepareEncoding(dir);
  if (settings_.DryRun) {
    ShowCommand(encoding.arguments, true);
    return release(DirectoryResult::kContinue);
  }
  if (!settings_.SubtitleText.empty() && !WriteTitle(dir, JoinPath(dir, jpg_name), file)) {
    return release(DirectoryResult::kEndRun);
  }
  if (UsesFfmpeg() && !WritePhotoList(encoding)) return release(DirectoryResult::kContinue);
  if (background) {
    output_.HoldLog(nullptr);
    return StartInBackground(dir, std::move(encoding), std::move(held));
  }

  ShowCommand(encoding.arguments, false);
  ++videos_tried_;
  ChildStart start = platform_.StartChild(encoding.arguments, dir, false);
  // One encoder runs at a time, so the child that ends is this one.
  ChildOutcome outcome = AsInterrupt(
      start.id == 0 ? start.outcome : platform_.WaitForChild(kWaitForever)->outcome, UsesFfmpeg());
  Verdict verdict = Conclude(outcome, encoding);
  switch (outcome.kind) {
    case Kind::kCannotStart:
      // It would fail the same way in every directory.
      SetJobError(error_, kErrorStartingEncoder, outcome.error);
      output_.WriteLog(verdict.text, false);
      return DirectoryResult::kEndRun;
    case Kind::kCtrlC:
    case Kind::kCtrlBreak: {
      DirectoryResult result = Interrupted(outcome);
      output_.WriteLog(verdict.text, false);
      if (result == DirectoryResult::kEndRun) return result;
      break;
    }
    default:
      if (verdict.made) {
        output_.WriteLog(verdict.text, false);
        output_.ConsoleLine(TextColor::kSuccess, "Movie encoding completed successfully.");
      } else if (verdict.shown) {
        output_.ReportFailure(verdict.text);
      } else {
        output_.WriteLog(verdict.text, false);
      }
  }
  // The pause follows every encoder that ran.
  if (outcome.kind != Kind::kNoDirectory) Pause();
  return DirectoryResult::kContinue;
}

DirectoryResult VideoJob::StartInBackground(const std::string& dir, Encoding encoding,
                                            std::string log) {
  ShowCommand(encoding.arguments, false);
  ++videos_tried_;
  ChildStart start = platform_.StartChild(encoding.arguments, dir, true);
  Running running{start.id, dir, std::move(encoding), std::move(log)};
  if (start.id == 0) return EndOfBackground(running, EndedChild{0, start.outcome, ""});
  running_.push_back(std::move(running));
  while (running_.size() >= jobs_) {
    if (!WaitForOne()) return DirectoryResult::kEndRun;
  }
  // Those that ended meanwhile are told at once.
  while (!running_.empty()) {
    std::optional<DirectoryResult> result = EndOne(0);
    if (!result) break;
    if (*result == DirectoryResult::kEndRun) return DirectoryResult::kEndRun;
  }
  return DirectoryResult::kContinue;
}

std::optional<VideoJob::Running> VideoJob::TakeRunning(ChildId id) {
  auto found = std::ranges::find(running_, id, &Running::id);
  if (found == running_.end()) return std::nullopt;
  Running running = std::move(*found);
  running_.erase(found);
  return running;
}

std::optional<DirectoryResult> VideoJob::EndOne(uint32_t milliseconds) {
  std::optional<EndedChild> ended = platform_.WaitForChild(milliseconds);
  if (!ended) return std::nullopt;
  std::optional<Running> done = TakeRunning(ended->id);
  if (done) return EndOfBackground(*done, *ended);
  // The platform has no child left: nothing more can end.
  if (ended->id == 0) running_.clear();
  return DirectoryResult::kContinue;
}

bool VideoJob::WaitForOne() {
  constexpr uint32_t kKeyCheck = 50;  // milliseconds between looks at the keyboard
  for (;;) {
    // The encoders do not get the console's Ctrl-C; the program asks while
    // they go on.
    if (platform_.ReadKey() == kCtrlCKey && AskToExit(output_, kCtrlCNotice, false)) {
      SetJobError(error_, kErrorAborted, "");
      return false;
    }
    if (std::optional<DirectoryResult> result = EndOne(kKeyCheck)) {
      return *result == DirectoryResult::kContinue;
    }
  }
}

VideoJob::Verdict VideoJob::ConcludeRunning(Running& running, const ChildOutcome& outcome,
                                            std::string_view output) {
  output_.HoldLog(&running.log);
  Verdict verdict = Conclude(outcome, running.encoding);
  output_.WriteLog(verdict.text, false);
  if (!verdict.made) {
    for (const std::string& line : LastLines(output, kOutputLinesLogged))
      output_.WriteLog(line, false);
  }
  output_.HoldLog(nullptr);
  output_.WriteHeldLog(running.log);
  return verdict;
}

DirectoryResult VideoJob::EndOfBackground(Running& running, const EndedChild& ended) {
  using Kind = ChildOutcome::Kind;
  ChildOutcome outcome = AsInterrupt(ended.outcome, UsesFfmpeg());
  Verdict verdict = ConcludeRunning(running, outcome, ended.output);
  output_.ConsoleLine(verdict.made ? TextColor::kSuccess : TextColor::kFailure,
                      running.dir + ": " + verdict.text);
  if (outcome.kind == Kind::kCannotStart) {
    SetJobError(error_, kErrorStartingEncoder, outcome.error);
    return DirectoryResult::kEndRun;
  }
  if (outcome.kind == Kind::kCtrlC || outcome.kind == Kind::kCtrlBreak) {
    if (Interrupted(outcome) == DirectoryResult::kEndRun) return DirectoryResult::kEndRun;
  }
  if (outcome.kind != Kind::kNoDirectory) Pause();
  return DirectoryResult::kContinue;
}

DirectoryResult VideoJob::FinishRunning() {
  while (!running_.empty()) {
    if (!WaitForOne()) return DirectoryResult::kEndRun;
  }
  return DirectoryResult::kContinue;
}

void VideoJob::StopRunning() {
  if (running_.empty()) return;
  platform_.StopChildren();
  while (!running_.empty()) {
    EndedChild ended = *platform_.WaitForChild(kWaitForever);
    std::optional<Running> stopped = TakeRunning(ended.id);
    // Stopped by the user's choice: its own output does not matter.
    if (stopped) ConcludeRunning(*stopped, ChildOutcome{ChildOutcome::Kind::kCtrlC, 0, ""}, "");
    if (!stopped && ended.id == 0) break;
  }
  // Whatever could not be waited for still leaves no half video behind.
  for (Running& running : running_) platform_.RemoveFile(running.encoding.part);
  running_.clear();
}

}  // namespace slidemill
