#include "app/directory_job.h"

#include <algorithm>
#include <cctype>
#include <random>

#include "app/command_template.h"
#include "app/video_file.h"
#include "platform/path_rules.h"

namespace slidemill {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kNoJpg = "No JPG files found in this directory.";
constexpr std::string_view kNoVideo = "The encoder reported success but made no video.";
constexpr std::string_view kSkipped = "Video exists; skipped.";

// The lines an encoder's output leaves in the log when it failed.
constexpr std::size_t kOutputLinesLogged = 20;

}  // namespace

std::string BuildTitleText(const std::string& subtitle, const std::string& day,
                           const std::string& month, const std::string& year) {
  std::string text = "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + subtitle;
  text = ReplaceAll(text, "{CRLF}", kCrLf);
  text = ReplaceAll(text, "{DayModified}", day);
  text = ReplaceAll(text, "{MonthModified}", month);
  text = ReplaceAll(text, "{YearModified}", year);
  return text;
}

std::string NewPartTag() {
  static constexpr char kHex[] = "0123456789abcdef";
  uint32_t value = std::random_device()();
  std::string tag(8, '0');
  for (char& digit : tag) digit = kHex[value & 15], value >>= 4;
  return tag;
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

DirectoryJob::DirectoryJob(RunContext& context, std::string dir)
    : context_(context),
      platform_(context.platform),
      output_(context.output),
      settings_(context.settings),
      dir_(std::move(dir)),
      log_(context.output) {}

void DirectoryJob::Block(std::string_view heading, TextColor color, std::string_view text) {
  output_.ConsoleLineEnd();
  output_.SetTextColor(TextColor::kSuccess);
  output_.ConsoleWrite(heading);
  output_.ConsoleLineEnd();
  output_.ConsoleLineEnd();
  output_.SetTextColor(color);
  output_.ConsoleWrite(Escaped(text));
  output_.ConsoleLineEnd();
  output_.SetTextColor(TextColor::kNormal);
}

void DirectoryJob::Fail(std::string_view text) {
  output_.ConsoleLine(TextColor::kFailure, text);
  log_.Add(text);
}

std::vector<std::string> DirectoryJob::Photos() {
  // The system's own wildcard, which ignores letter case.
  std::vector<FileEntry> entries;
  std::vector<std::string> names;
  if (!platform_.FindAll(dir_, "*.jpg", &entries)) return names;
  constexpr uint32_t kPassedOver = kAttributeDirectory | kAttributeHidden | kAttributeSystem;
  for (const FileEntry& entry : entries) {
    if ((entry.attributes & kPassedOver) == 0 && entry.name != "." && entry.name != "..") {
      names.push_back(entry.name);
    }
  }
  return names;
}

DirectoryJob::Paths DirectoryJob::PathsFor() {
  // The program never leaves its own current directory, so relative paths
  // typed by the user are made absolute here, where they were meant.
  const Encoder& encoder = context_.encoder;
  auto given = settings_.EncoderPaths.find(encoder.name());
  Paths paths;
  paths.program = given == settings_.EncoderPaths.end() ? encoder.default_program()
                                                        : platform_.AbsolutePath(given->second);
  if (!settings_.SubtitleFontFile.empty()) {
    paths.font = platform_.AbsolutePath(settings_.SubtitleFontFile);
  }
  // The encoder runs inside the directory, so a path made from {Dir} must
  // not depend on where the walk started.
  paths.absolute_dir = platform_.AbsolutePath(dir_);
  std::string video = VideoName(settings_.VideoFilename, settings_,
                                {paths.program, "", false, paths.font, paths.absolute_dir});
  paths.video = IsAbsolutePath(video) ? video : JoinPath(dir_, video);
  return paths;
}

std::optional<uint64_t> DirectoryJob::FileSize(const std::string& path) {
  FileEntry entry;
  if (!platform_.FindFirst(path, &entry) || (entry.attributes & kAttributeDirectory) != 0) {
    return std::nullopt;
  }
  return entry.size;
}

bool DirectoryJob::WouldEncode() {
  if (Photos().empty()) return false;
  return !settings_.SkipExisting || !FileSize(PathsFor().video);
}

DirectoryJob::Prepared DirectoryJob::WriteTitle(const std::string& photo, cFile& file) {
  file.FILE(photo);
  if (file.ERR_IS()) {
    log_.Add(JobErrorText(kErrorJpgMetaData));
    SetJobError(context_.error, kErrorJpgMetaData, "");
    return Prepared::kEndRun;
  }
  std::string text = BuildTitleText(settings_.SubtitleText, file.DAY(kDateModified, 0),
                                    file.MONTH(kDateModified, 0), file.YEAR(kDateModified, 0));
  text += kCrLf;
  // Written whole or not at all: a run stopped meanwhile never leaves half a
  // title file behind. One that cannot be written fails this directory
  // alone: a read-only folder does not stop a library.
  std::string cause, path = JoinPath(dir_, settings_.SRTFilename);
  if (!platform_.WriteWholeFile(path, text, &cause)) {
    Fail(JobErrorText(kErrorTitleFile) + ": " + cause + " (" + path + ")");
    return Prepared::kFailed;
  }
  return Prepared::kReady;
}

bool DirectoryJob::ClaimVideo() {
  std::string key = platform_.AbsolutePath(video_);
  if (NativePathRules().names_ignore_case) {
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (context_.videos.insert(key).second) return true;
  Fail("Another directory of this run makes the same video: " + video_);
  return false;
}

bool DirectoryJob::WriteEncoderFiles() {
  for (const EncoderFile& file : plan_.files) {
    std::string cause;
    if (!platform_.WriteWholeFile(file.path, file.bytes, &cause)) {
      RemoveEncoderFiles();
      Fail("The list of photos for the encoder cannot be written: " + cause + ".");
      return false;
    }
  }
  return true;
}

void DirectoryJob::RemoveEncoderFiles() {
  for (const EncoderFile& file : plan_.files) platform_.RemoveFile(file.path);
}

DirectoryJob::Prepared DirectoryJob::Prepare(cFile& file) {
  Block("Changing to this directory:", TextColor::kNormal, dir_);
  log_.Add(dir_, true);
  std::vector<std::string> photos = Photos();
  if (photos.empty()) {
    Fail(kNoJpg);
    return Prepared::kNothingToDo;
  }
  Paths paths = PathsFor();
  if (settings_.SkipExisting && FileSize(paths.video)) {
    output_.ConsoleLine(TextColor::kSupport, kSkipped);
    log_.Add(kSkipped);
    return Prepared::kNothingToDo;
  }
  // The encoder writes the video under its part name.
  std::string part = VideoName(PartName(settings_.VideoFilename, context_.part_tag), settings_,
                               {paths.program, "", false, paths.font, paths.absolute_dir});
  video_ = paths.video;
  part_ = IsAbsolutePath(part) ? part : JoinPath(dir_, part);
  EncodeRequest request{paths.program, paths.absolute_dir, part, "", paths.font, photos};
  if (!settings_.SubtitleText.empty()) {
    request.title = platform_.AbsolutePath(JoinPath(paths.absolute_dir, settings_.SRTFilename));
  }
  // The photos reach an encoder that is given them one by one in byte order
  // of their names.
  std::ranges::sort(request.photos);
  plan_ = context_.encoder.Plan(settings_, request);
  std::string launch = " " + std::string(context_.encoder.name()) + " with this command:";
  if (settings_.DryRun) {
    Block("Would launch" + launch, TextColor::kEmphasis, platform_.ShownCommandLine(arguments()));
    output_.ConsoleLineEnd();
    return Prepared::kNothingToDo;
  }
  if (!ClaimVideo()) return Prepared::kFailed;
  if (!settings_.SubtitleText.empty()) {
    Prepared title = WriteTitle(JoinPath(dir_, photos.front()), file);
    if (title != Prepared::kReady) return title;
  }
  if (!WriteEncoderFiles()) return Prepared::kFailed;
  // Made afresh: a part left by a killed run, or a link planted under its
  // name, is never written through.
  std::string cause;
  if (!platform_.MakeFreshFile(part_, &cause)) {
    RemoveEncoderFiles();
    Fail("The video cannot be written here: " + cause + ".");
    return Prepared::kFailed;
  }
  Block("Launching" + launch, TextColor::kEmphasis, platform_.ShownCommandLine(arguments()));
  output_.ConsoleLineEnd();
  return Prepared::kReady;
}

Verdict DirectoryJob::Conclude(const ChildOutcome& ended, std::string_view output) {
  using Kind = ChildOutcome::Kind;
  RemoveEncoderFiles();
  Verdict verdict;
  verdict.outcome = ended;
  ChildOutcome& outcome = verdict.outcome;
  ExitMeaning meaning = outcome.kind == Kind::kExited ? context_.encoder.MeaningOf(outcome.code)
                                                      : ExitMeaning::kFailed;
  if (meaning == ExitMeaning::kInterrupted) outcome.kind = Kind::kCtrlC;
  const std::string exited =
      std::string(context_.encoder.log_name()) + " exited with an error code: ";
  std::string cause;
  switch (outcome.kind) {
    case Kind::kCannotStart:
      verdict.text = JobErrorText(kErrorStartingEncoder) + ": " + outcome.error;
      break;
    case Kind::kNoDirectory:
      // Started anywhere else it would read and write the wrong files.
      verdict.text =
          "The encoder was not started: this directory cannot be entered (" + outcome.error + ").";
      verdict.shown = true;
      break;
    case Kind::kLost:
      verdict.text = "How the encoder ended cannot be learnt (" + outcome.error + ").";
      verdict.shown = true;
      break;
    case Kind::kCtrlC:
    case Kind::kCtrlBreak: verdict.text = "Aborted by user."; break;
    case Kind::kKilled:
      // The code a shell gives a program that a signal ended.
      verdict.text = exited + std::to_string(128 + outcome.code);
      break;
    case Kind::kExited:
      if (meaning != ExitMeaning::kSuccess) {
        verdict.text = exited + std::to_string(outcome.code);
      } else if (std::string problem = VideoProblem(&verdict.warning); !problem.empty()) {
        verdict.text = problem;
        verdict.shown = true;
      } else if (!platform_.RenameFile(part_, video_, &cause)) {
        verdict.text = "The video cannot be put in place: " + cause + ".";
        verdict.shown = true;
      } else {
        verdict.made = true;
        verdict.text = "Encoding complete.";
      }
      break;
  }
  // Only a finished video ever has the video's name.
  if (!verdict.made) platform_.RemoveFile(part_);
  log_.Add(verdict.text);
  if (!verdict.warning.empty()) log_.Add(verdict.warning);
  if (!verdict.made) {
    for (const std::string& line : LastLines(output, kOutputLinesLogged)) log_.Add(line);
  }
  log_.Write();
  return verdict;
}

std::string DirectoryJob::VideoProblem(std::string* warning) {
  VideoCheck check =
      CheckVideo(part_, FileSize(part_).value_or(0), [&](uint64_t offset, std::size_t size) {
        return platform_.ReadFileRange(part_, offset, size);
      });
  switch (check.state) {
    case VideoCheck::State::kEmpty: return std::string(kNoVideo);
    case VideoCheck::State::kUnusable:
      return "The encoder reported success but its video is unusable: " + check.problem + ".";
    case VideoCheck::State::kWhole: break;
  }
  if (check.frames && *check.frames < plan_.frames) {
    *warning = "The video holds only " + std::to_string(*check.frames) + " of " +
               std::to_string(plan_.frames) + " frames.";
  }
  return "";
}

void DirectoryJob::Abandon(std::string_view why) {
  RemoveEncoderFiles();
  platform_.RemoveFile(part_);
  log_.Add(why);
  log_.Write();
}

}  // namespace slidemill
