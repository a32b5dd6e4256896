#include "app/slidemill.h"

#include "app/command_line.h"
#include "app/interrupt.h"
#include "app/job_error.h"
#include "app/job_pool.h"
#include "app/output.h"
#include "app/reports.h"
#include "app/settings.h"
#include "fileinfo/file.h"
#include "iterator/file_iterator.h"

namespace slidemill {
namespace {

// The end of every run that is not a report: the recorded error on the
// standard error stream in light red, or "Job complete." in light green.
// A run that went through whose videos were not all made says how many
// failed, and its status tells a script so.
int EndOfRun(const JobError& error, Output& output, const JobPool* pool = nullptr) {
  int status = error.Code;
  if (HasJobError(error)) {
    output.SetTextColor(TextColor::kFailure);
    output.ConsoleLineEnd();
    PrintJobError(error, output);
    output.SetTextColor(TextColor::kNormal);
  } else {
    output.ConsoleLine(TextColor::kSuccess, "Job complete.");
    if (pool != nullptr && pool->videos_failed() > 0) {
      std::string line = std::to_string(pool->videos_failed()) + " of " +
                         std::to_string(pool->videos_tried()) + " videos failed.";
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

// Sets up a walk of the settings' tree, watching for Ctrl-C between
// directories when asked; false when the root is refused.
bool StartWalk(cFileIterator& iterator, const Settings& settings, bool break_keys) {
  iterator.ADDDIR(settings.Dir, settings.RDepth);
  if (iterator.ERR_IS()) return false;
  iterator.FILTER_DIR(settings.DirFilter);
  iterator.BREAKHANDLER(break_keys ? 1 : 0);
  iterator.BREAKKEYS(iterator.BREAKKEYS_CTRL_C());
  return true;
}

// Calls `each` for every directory of the walk that a run would encode, and
// `too_long` for every one that it would pass over for the length of a
// path. False when a break key stopped the walk.
template <typename Each, typename TooLong>
bool ForEachPhotoDirectory(cFileIterator& iterator, RunContext& context, Each each,
                           TooLong too_long) {
  for (;;) {
    std::string dir = iterator.MOVETONEXTDIR();
    bool complete = iterator.STATE() == iterator.STATE_COMPLETE();
    if (!complete && iterator.ERRCODE() == iterator.ERR_BREAKKEYPRESSED()) return false;
    if (!complete) {
      DirectoryJob::Found found = DirectoryJob(context, dir).Find();
      if (found == DirectoryJob::Found::kPlanned) each(dir);
      if (found == DirectoryJob::Found::kTooLong) too_long(dir);
    }
    for (const std::string& path : iterator.TakeTooLongPaths()) too_long(path);
    if (complete) return true;
  }
}

// Only the paths, for other programs to read; Ctrl-C ends the list without
// a question, which would land among them. A directory passed over for the
// length of a path is said on the standard error stream, and the status
// tells that the list lacks it.
int List(cFileIterator& iterator, RunContext& context) {
  Output& output = context.output;
  bool passed_over = false;
  bool whole = ForEachPhotoDirectory(
      iterator, context,
      [&](const std::string& dir) {
        output.ConsoleWrite(dir);
        if (context.settings.List0) {
          output.ConsoleWrite(std::string_view("\0", 1));
        } else {
          output.ConsoleLineEnd();
        }
      },
      [&](const std::string& dir) {
        output.SetTextColor(TextColor::kFailure);
        output.ErrorWrite(std::string(kTooLongText) + dir);
        output.ErrorLineEnd();
        output.SetTextColor(TextColor::kNormal);
        passed_over = true;
      });
  if (whole) return passed_over ? kStatusVideosFailed : 0;
  SetJobError(context.error, kErrorAborted, "");
  return EndOfRun(context.error, context.output);
}

// The directories a run will encode, counted by a walk of their own that
// leaves the keys to the run.
int CountPhotoDirectories(RunContext& context) {
  cFileIterator counter(context.platform);
  int total = 0;
  if (StartWalk(counter, context.settings, false)) {
    auto count = [&](const std::string&) { ++total; };
    ForEachPhotoDirectory(counter, context, count, count);
  }
  return total;
}

int Walk(cFileIterator& iterator, RunContext& context) {
  Platform& platform = context.platform;
  Output& output = context.output;
  JobError& error = context.error;
  cFile file(platform);
  JobPool pool(context, context.settings.DryRun ? 1 : PoolSlots(context.settings.Jobs));
  if (!context.settings.DryRun && platform.ShowTitle("Slidemill")) {
    pool.ShowProgress(CountPhotoDirectories(context));
  }
  // A directory too deep for the system's paths is not walked, and says so;
  // a run counts it as failed, as it does one that the job passes over.
  auto report_too_long = [&] {
    for (const std::string& path : iterator.TakeTooLongPaths()) {
      output.ReportFailure(std::string(kTooLongText) + path);
      if (!context.settings.DryRun) pool.CountFailed();
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
    if (pool.Process(dir, file) == DirectoryResult::kEndRun) break;
    report_too_long();
  }
  // Encoders still running are waited for, unless the user chose to exit;
  // those left by an error that ended the run are stopped.
  if (error.Code != kErrorAborted) pool.Finish();
  pool.Stop();
  if (!HasJobError(error)) report_too_long();
  platform.ShowTitle("");
  return EndOfRun(error, output, &pool);
}

}  // namespace

int RealMain(Platform& platform, int argc, char** argv) {
  auto console = platform.StartConsole();
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
  cFileIterator iterator(platform);
  if (!StartWalk(iterator, settings, true)) {
    // Every refusal of the root gets this one detail.
    SetJobError(error, kErrorInvalidArgument, "The directory specified by '-dir' does not exist.");
    return EndOfRun(error, output);
  }
  RunContext context{platform, output, settings, *FindEncoder(settings.Encoder), error};
  if (settings.List || settings.List0) return List(iterator, context);
  return Walk(iterator, context);
}

int RealMain(int argc, char** argv) { return RealMain(SystemPlatform(), argc, argv); }

}  // namespace slidemill
