#include "app/directory_job.h"

#include <algorithm>
#include <cctype>
#include <random>

#include "app/command_template.h"
#include "app/video_file.h"
#include "fileinfo/exif.h"
#include "platform/path_rules.h"

namespace slidemill {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kNoJpg = "No JPG files found in this directory.";
constexpr std::string_view kNoUsablePhoto = "No photo in this directory can be read as a JPEG.";
constexpr std::string_view kNoVideo = "The encoder reported success but made no video.";
constexpr std::string_view kSkipped = "Video exists; skipped.";

// The lines an encoder's output leaves in the log when it failed.
constexpr std::size_t kOutputLinesLogged = 20;

}  // namespace

std::string ExpandTitle(const std::string& subtitle, const TitleValues& values) {
  std::string text = ReplaceAll(subtitle, "{CRLF}", kCrLf);
  text = ReplaceAll(text, "{DayModified}", values.day_modified);
  text = ReplaceAll(text, "{MonthModified}", values.month_modified);
  text = ReplaceAll(text, "{YearModified}", values.year_modified);
  text = ReplaceAll(text, "{DayTaken}", values.day_taken);
  text = ReplaceAll(text, "{MonthTaken}", values.month_taken);
  text = ReplaceAll(text, "{YearTaken}", values.year_taken);
  return ReplaceAll(text, "{Folder}", values.folder);
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

void DirectoryJob::Block(std::string_view heading, TextColor color,
                         const std::vector<std::string_view>& lines) {
  output_.ConsoleLineEnd();
  output_.SetTextColor(TextColor::kSuccess);
  output_.ConsoleWrite(heading);
  output_.ConsoleLineEnd();
  output_.ConsoleLineEnd();
  output_.SetTextColor(color);
  for (std::string_view line : lines) {
    output_.ConsoleWrite(Escaped(line));
    output_.ConsoleLineEnd();
  }
  output_.SetTextColor(TextColor::kNormal);
}

void DirectoryJob::Fail(std::string_view text) {
  output_.ConsoleLine(TextColor::kFailure, text);
  log_.Add(text);
}

std::vector<std::string> DirectoryJob::PhotoNames(uint64_t* bytes) {
  // The system's own wildcard, which ignores letter case; the names are
  // looked at again, since Windows matches the short names too.
  std::vector<FileEntry> entries;
  std::vector<std::string> names;
  if (!platform_.FindAll(dir_, std::string(kPhotoWildcard), &entries)) return names;
  constexpr uint32_t kPassedOver = kAttributeDirectory | kAttributeHidden | kAttributeSystem;
  for (const FileEntry& entry : entries) {
    if ((entry.attributes & kPassedOver) == 0 && HasPhotoExtension(entry.name)) {
      names.push_back(entry.name);
      if (bytes != nullptr) *bytes += entry.size;
    }
  }
  return names;
}

std::vector<Photo> DirectoryJob::ReadPhotos(const std::vector<std::string>& names) {
  // An encoder stops at the first file it cannot read as a photo, and
  // leaves the rest out without a word.
  bool by_time = settings_.PhotoOrder == "taken";
  std::vector<Photo> photos;
  for (const std::string& name : names) {
    std::string bytes, cause;
    if (!platform_.ReadFileStart(JoinPath(dir_, name), by_time ? kExifWindow : kJpegStartSize,
                                 &bytes, &cause)) {
      Fail("Passed over, it cannot be read (" + cause + "): " + name);
    } else if (bytes.empty()) {
      Fail("Passed over, it is empty: " + name);
    } else if (!StartsLikeJpeg(bytes)) {
      Fail("Passed over, it is not a JPEG: " + name);
    } else {
      photos.push_back({name, by_time ? ExifCaptureTime(bytes) : std::nullopt});
    }
  }
  return photos;
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

uint64_t DirectoryJob::Workload() {
  constexpr uint64_t kFrameCost = uint64_t{1} << 20;
  if (Find() != Found::kPlanned) return 0;
  return photo_bytes_ + names_.size() * kFrameCost;
}

bool DirectoryJob::Fits(const std::string& path) {
  return std::max(path.size(), platform_.AbsolutePath(path).size()) <= MaxPathLength();
}

bool DirectoryJob::PathsFit() {
  std::vector<std::string> used = {part_, video_};
  if (!settings_.SubtitleText.empty()) {
    // Written under a temporary name beside it first.
    std::string title = JoinPath(dir_, settings_.SRTFilename);
    std::size_t slash = title.find_last_of(NativePathRules().split_set);
    used.push_back(title);
    used.push_back(title.substr(0, slash == std::string::npos ? 0 : slash + 1) +
                   TemporaryFileName(0));
  }
  used.push_back(JoinPath(dir_, *std::ranges::max_element(names_, {}, &std::string::size)));
  return std::ranges::all_of(used, [&](const std::string& path) { return Fits(path); });
}

DirectoryJob::Found DirectoryJob::Find() {
  // The photos are looked for with a wildcard, a path like any other.
  if (!Fits(JoinPath(dir_, kPhotoWildcard))) return Found::kTooLong;
  photo_bytes_ = 0;
  names_ = PhotoNames(&photo_bytes_);
  if (names_.empty()) return Found::kNoPhotos;
  paths_ = PathsFor();
  if (settings_.SkipExisting && FileSize(paths_.video)) return Found::kSkipped;
  // The encoder writes the video under its part name.
  encoder_video_ = VideoName(PartName(settings_.VideoFilename, context_.part_tag), settings_,
                             {paths_.program, "", false, paths_.font, paths_.absolute_dir});
  video_ = paths_.video;
  part_ = IsAbsolutePath(encoder_video_) ? encoder_video_ : JoinPath(dir_, encoder_video_);
  return PathsFit() ? Found::kPlanned : Found::kTooLong;
}

std::optional<std::string> DirectoryJob::TitleText(Photo& first, const std::string& absolute_dir,
                                                   cFile& file) {
  const std::string path = JoinPath(dir_, first.name);
  file.FILE(path);
  if (file.ERR_IS()) {
    log_.Add(JobErrorText(kErrorJpgMetaData));
    SetJobError(context_.error, kErrorJpgMetaData, "");
    return std::nullopt;
  }
  std::string day = file.DAY(kDateModified, 0), month = file.MONTH(kDateModified, 0),
              year = file.YEAR(kDateModified, 0);
  std::string folder = TrimTrailingSeparators(absolute_dir);
  TitleValues values{day,
                     month,
                     year,
                     day,
                     month,
                     year,
                     folder.substr(folder.find_last_of(NativePathRules().split_set) + 1)};
  // Copies and downloads change the file's times; the capture time travels
  // with the photo, where it has one.
  std::string bytes, cause;
  if (!first.taken && platform_.ReadFileStart(path, kExifWindow, &bytes, &cause)) {
    first.taken = ExifCaptureTime(bytes);
  }
  if (first.taken) {
    std::string taken_year = std::to_string(first.taken->year);
    values.day_taken = std::to_string(first.taken->day);
    values.month_taken = std::to_string(first.taken->month);
    values.year_taken =
        std::string(4 - std::min<std::size_t>(taken_year.size(), 4), '0') + taken_year;
  }
  return ExpandTitle(settings_.SubtitleText, values);
}

bool DirectoryJob::WriteTitle(const std::string& title) {
  // One cue, shown from 0 to 99 hours.
  std::string text = "1\r\n00:00:00,000 --> 99:00:00,000\r\n" + title + std::string(kCrLf);
  // Written whole or not at all: a run stopped meanwhile never leaves half a
  // title file behind. One that cannot be written fails this directory
  // alone: a read-only folder does not stop a library.
  std::string cause, path = JoinPath(dir_, settings_.SRTFilename);
  if (!platform_.WriteWholeFile(path, text, &cause)) {
    Fail(JobErrorText(kErrorTitleFile) + ": " + cause + " (" + path + ")");
    return false;
  }
  return true;
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

bool DirectoryJob::WriteEncoderFiles(EncodeRequest& request) {
  // Nothing is written beside the photos but the title and the video, so a
  // folder that takes no new files can still be encoded.
  std::string cause;
  auto cannot = [&] {
    RemoveEncoderFiles();
    Fail("The list of photos for the encoder cannot be written: " + cause + ".");
    return false;
  };
  const bool dir_breaks = context_.encoder.lists_whole_paths() &&
                          request.dir.find_first_of("\r\n") != std::string::npos;
  for (std::string& photo : request.photos) {
    // A line break would split the list's line: such a photo, or one named
    // by a whole path that holds one, is reached through a link of a plain
    // name.
    if (!dir_breaks && photo.find_first_of("\r\n") == std::string::npos) continue;
    std::string link;
    if (!platform_.LinkTemporaryFile(JoinPath(request.dir, photo), &link, &cause)) return cannot();
    encoder_files_.push_back(photo = link);
  }
  if (!platform_.WriteTemporaryFile(context_.encoder.PhotoList(request), &request.photo_list,
                                    &cause)) {
    return cannot();
  }
  encoder_files_.push_back(request.photo_list);
  return true;
}

void DirectoryJob::RemoveEncoderFiles() {
  for (const std::string& file : encoder_files_) platform_.RemoveFile(file);
  encoder_files_.clear();
}

DirectoryJob::Prepared DirectoryJob::Prepare(cFile& file) {
  Block("Changing to this directory:", TextColor::kNormal, {dir_});
  log_.Add(dir_, true);
  switch (Find()) {
    case Found::kNoPhotos: {
      // One that can no longer be read (its permissions taken away since
      // the walk listed it) fails; it is not a directory without photos.
      std::vector<FileEntry> entries;
      std::string cause;
      if (platform_.ListDirectory(dir_, &entries, &cause) == ListResult::kFailed) {
        Fail("Passed over, it cannot be read (" + cause + "): " + dir_);
        return settings_.DryRun ? Prepared::kNothingToDo : Prepared::kFailed;
      }
      Fail(kNoJpg);
      return Prepared::kNothingToDo;
    }
    case Found::kSkipped:
      output_.ConsoleLine(TextColor::kSupport, kSkipped);
      log_.Add(kSkipped);
      return Prepared::kNothingToDo;
    case Found::kTooLong:
      // Decided before anything is written; only a run counts it as failed.
      Fail(std::string(kTooLongText) + dir_);
      return settings_.DryRun ? Prepared::kNothingToDo : Prepared::kFailed;
    case Found::kPlanned: break;
  }
  std::vector<Photo> photos = ReadPhotos(names_);
  if (photos.empty()) {
    Fail(kNoUsablePhoto);
    return settings_.DryRun ? Prepared::kNothingToDo : Prepared::kFailed;
  }
  SortPhotos(photos, settings_.PhotoOrder);
  EncodeRequest request{
      paths_.program, paths_.absolute_dir, encoder_video_, "", paths_.font, {}, ""};
  for (const Photo& photo : photos) request.photos.push_back(photo.name);
  request.threads = context_.encoder_threads;
  std::optional<std::string> title;
  if (!settings_.SubtitleText.empty()) {
    request.title = platform_.AbsolutePath(JoinPath(paths_.absolute_dir, settings_.SRTFilename));
    title = TitleText(photos.front(), paths_.absolute_dir, file);
    if (!title) return Prepared::kEndRun;
  }
  std::string launch = " " + std::string(context_.encoder.name()) + " with this command:";
  if (settings_.DryRun) {
    output_.ConsoleLine(TextColor::kNormal, "Photos: " + std::to_string(photos.size()));
    if (title) {
      // Its line breaks shown as the console's; any other control byte
      // written out.
      std::vector<std::string_view> lines;
      std::string_view rest = *title;
      for (std::size_t end; (end = rest.find(kCrLf)) != std::string_view::npos;
           rest.remove_prefix(end + kCrLf.size()))
        lines.push_back(rest.substr(0, end));
      lines.push_back(rest);
      Block("Would write this title:", TextColor::kNormal, lines);
    }
    request.photo_list = "<list of the photos>";
    plan_ = context_.encoder.Plan(settings_, request);
    Block("Would launch" + launch, TextColor::kEmphasis, {platform_.ShownCommandLine(arguments())});
    output_.ConsoleLineEnd();
    return Prepared::kNothingToDo;
  }
  if (!ClaimVideo()) return Prepared::kFailed;
  if (title && !WriteTitle(*title)) return Prepared::kFailed;
  if (!WriteEncoderFiles(request)) return Prepared::kFailed;
  plan_ = context_.encoder.Plan(settings_, request);
  // Made afresh: a part left by a killed run, or a link planted under its
  // name, is never written through.
  std::string cause;
  if (!platform_.MakeFreshFile(part_, &cause)) {
    RemoveEncoderFiles();
    Fail("The video cannot be written here: " + cause + ".");
    return Prepared::kFailed;
  }
  Block("Launching" + launch, TextColor::kEmphasis, {platform_.ShownCommandLine(arguments())});
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
