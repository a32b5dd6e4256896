#include "app/slidemill.h"

#include "app/command_line.h"
#include "app/interrupt.h"
#include "app/job_error.h"
#include "app/output.h"
#include "app/reports.h"
#include "app/settings.h"
#include "app/video_job.h"
#include "fileinfo/file.h"
#include "iterator/file_iterator.h"

namespace slidemill {
namespace {

// The end of every run that is not a report: the recorded error on the
// standard error stream in light red, or "Job complete." in light green.
// A run that went through whose videos were not all made says how many
// failed, and its status tells a script so.
int EndOfRun(const JobError& error, Output& output, const VideoJob* job = nullptr) {
  int status = error.Code;
  if (HasJobError(error)) {
    output.SetTextColor(TextColor::kFailure);
    output.ConsoleLineEnd();
    PrintJobError(error, output);
    output.SetTextColor(TextColor::kNormal);
  } else {
    output.ConsoleLine(TextColor::kSuccess, "Job complete.");
    if (job != nullptr && job->videos_failed() > 0) {
      std::string line = std::to_string(job->videos_failed()) + " of " +
                         std::to_string(job->videos_tried()) + " videos failed.";
      output.SetTextColor(TextColor::kFailure);
      output.ErrorWrite(line);
      output.ErrorLineEnd();
      output.SetTextColor(TextColor::kNormal);
      output.WriteLog(line, false);
      status = kStatusVideosFailed;
    }
  }
  return status;
}

// Calls `each` for every directory of the walk that a run would encode.
// False when a break key stopped the walk.
template <typename Each>
bool ForEachPhotoDirectory(cFileIterator& iterator, VideoJob& job, Each each) {
  for (;;) {
    std::string dir = iterator.MOVETONEXTDIR();
    if (iterator.STATE() == iterator.STATE_COMPLETE()) return true;
    if (iterator.ERRCODE() == iterator.ERR_BREAKKEYPRESSED()) return false;
    if (job.WouldEncode(dir)) each(dir);
  }
}

}  // namespace

int RealMain(Platform& platform, int argc, char** argv) {
  auto console = platform.StartConsole();
  cFileIterator iterator(platform);
  cFile file(platform);
  Output output(platform);
  JobError error;
  RawOptions raw;
  Settings settings;

  CommandArguments command = ReadCommandArguments(platform.CommandLine(argc, argv));
  ParseCommandLine(command.args, raw, error);
  if (HasJobError(error)) return EndOfRun(error, output);
  ValidateSettings(raw, settings, error, platform);
  if (HasJobError(error)) return EndOfRun(error, output);

  if (settings.SaySettings) {
    PrintSettings(settings, output);
    return 0;
  }
  if (settings.Usage || command.tail_empty) {
    PrintUsage(output);
    return 0;
  }
  if (settings.Version) {
    PrintVersion(output);
    return 0;
  }

  // A dry run leaves no trace, not even a log line.
  if (!settings.DryRun) output.set_log_path(settings.LogPath);
  iterator.ADDDIR(settings.Dir, settings.RDepth);
  if (iterator.ERR_IS()) {
    // Every refusal of the root gets this one detail.
    SetJobError(error, kErrorInvalidArgument, "The directory specified by '-dir' does not exist.");
    return EndOfRun(error, output);
  }
  iterator.FILTER_DIR(settings.DirFilter);
  iterator.BREAKHANDLER(1);
  iterator.BREAKKEYS(iterator.BREAKKEYS_CTRL_C());

  VideoJob job(platform, output, settings, error);
  if (settings.List || settings.List0) {
    // Only the paths, for other programs to read; Ctrl-C ends the list
    // without a question, which would land among them.
    bool whole = ForEachPhotoDirectory(iterator, job, [&](const std::string& dir) {
      output.ConsoleWrite(dir);
      if (settings.List0) {
        output.ConsoleWrite(std::string_view("\0", 1));
      } else {
        output.ConsoleLineEnd();
      }
    });
    if (whole) return 0;
    SetJobError(error, kErrorAborted, "");
    return EndOfRun(error, output);
  }
  if (!settings.DryRun && platform.ShowTitle("Slidemill")) {
    // The count walks the tree as the run will.
    cFileIterator counter(platform);
    counter.ADDDIR(settings.Dir, settings.RDepth);
    counter.FILTER_DIR(settings.DirFilter);
    int total = 0;
    ForEachPhotoDirectory(counter, job, [&](const std::string&) { ++total; });
    job.ShowProgress(total);
  }
  // A directory too deep for the system's paths is not walked, and says so.
  auto report_too_long = [&] {
    for (const std::string& path : iterator.TakeTooLongPaths()) {
      output.ReportFailure("Passed over, its path is too long: " + path);
    }
  };
  for (;;) {
    std::string dir = iterator.MOVETONEXTDIR();
    if (iterator.STATE() == iterator.STATE_COMPLETE()) break;
    if (iterator.ERRCODE() == iterator.ERR_BREAKKEYPRESSED()) {
      // The next move reaches the directory this one would have reached, so
      // going on skips nothing and repeats nothing.
      std::string_view notice =
          iterator.BREAKKEY_LAST() == iterator.BREAKKEYS_ALT_F4() ? kAltF4Notice : kCtrlCNotice;
      if (AskToExit(output, notice, false)) {
        SetJobError(error, kErrorAborted, "");
        break;
      }
      continue;
    }
    if (job.ProcessDirectory(dir, file) == DirectoryResult::kEndRun) break;
    report_too_long();
  }
  // Encoders still running are waited for, unless the user chose to exit.
  if (error.Code != kErrorAborted) job.FinishRunning();
  if (error.Code == kErrorAborted) job.StopRunning();
  if (!HasJobError(error)) report_too_long();
  platform.ShowTitle("");
  return EndOfRun(error, output, &job);
}

int RealMain(int argc, char** argv) { return RealMain(SystemPlatform(), argc, argv); }

}  // namespace slidemill
