#include "app/slidemill.h"

#include <algorithm>
#include <functional>
#include <vector>

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
// A run that went through whose videos were not all made, or `unreadable`
// of whose directories could not be read, says how many failed, and its
// status tells a script so. A run ended by a signal says which, with the
// status it calls for.
int EndOfRun(const JobError& error, Output& output, const JobPool* pool = nullptr,
             int unreadable = 0) {
  int status = error.Code;
  if (std::optional<EndRequest> end = output.platform().EndRequested()) {
    std::string line = "Ended by " + end->name + ".";
    output.SetTextColor(TextColor::kFailure);
    output.ConsoleLineEnd();
    output.ErrorLineEnd();
    output.ErrorWrite(line);
    output.ErrorLineEnd();
    output.SetTextColor(TextColor::kNormal);
    output.WriteLog(line, false);
    return end->status;
  }
  if (HasJobError(error)) {
    output.SetTextColor(TextColor::kFailure);
    output.ConsoleLineEnd();
    PrintJobError(error, output);
    output.SetTextColor(TextColor::kNormal);
  } else {
    output.ConsoleLine(TextColor::kSuccess, "Job complete.");
    int videos_failed = pool != nullptr ? pool->videos_failed() : 0;
    int videos_tried = pool != nullptr ? pool->videos_tried() : 0;
    if (videos_failed + unreadable > 0) {
      std::string line = unreadable == 0 ? std::to_string(videos_failed) + " of " +
                                               std::to_string(videos_tried) + " videos failed."
                                         : std::to_string(videos_failed + unreadable) + " of " +
                                               std::to_string(videos_tried + unreadable) +
                                               " directories failed; " +
                                               std::to_string(unreadable) + " could not be read.";
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

// The directories the walk passed over that count as failed.
struct PassedOverCount {
  int unreadable = 0;  // they cannot be listed
  int too_long = 0;    // their paths are too long for the system
};

// Says why the walk passed over directories: in light red those that fail,
// in light cyan the links to a directory it has. With `errors_only` (a
// list, whose output is for programs) only those that fail are said, on the
// standard error stream.
PassedOverCount ReportPassedOver(cFileIterator& iterator, Output& output,
                                 bool errors_only = false) {
  using Why = cFileIterator::PassedOver::Why;
  PassedOverCount count;
  for (const cFileIterator::PassedOver& passed : iterator.TakePassedOver()) {
    std::string text;
    switch (passed.why) {
      case Why::kTooLong:
        ++count.too_long;
        text = std::string(kTooLongText) + passed.path;
        break;
      case Why::kUnreadable:
        ++count.unreadable;
        text = "Passed over, it cannot be read (" + passed.detail + "): " + passed.path;
        break;
      case Why::kWalkedAlready:
        if (errors_only) continue;
        text = "Passed over, it leads to a directory walked already (" + passed.detail +
               "): " + passed.path;
        output.ConsoleLine(TextColor::kSupport, text);
        output.WriteLog(text, false);
        continue;
    }
    if (errors_only) {
      output.ErrorWrite(Escaped(text));
      output.ErrorLineEnd();
    } else {
      output.ReportFailure(text);
    }
  }
  return count;
}

// Why the root cannot be walked, or "" when it can. A root that is missing
// (a dangling link too), a file, or cannot be read is refused at once.
std::string RootRefusal(Platform& platform, const std::string& dir) {
  if (!platform.DirectoryExists(dir)) {
    if (!platform.FileExists(dir)) return "The directory specified by '-dir' does not exist.";
    return "The directory specified by '-dir' is not a directory: " + dir;
  }
  std::vector<FileEntry> entries;
  std::string cause;
  if (platform.ListDirectory(dir, &entries, &cause) == ListResult::kFailed) {
    return "The directory specified by '-dir' cannot be read (" + cause + "): " + dir;
  }
  return "";
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
// `too_long` for every one whose job would pass it over for the length of a
// path. False when a break key stopped the walk.
template <typename Each, typename TooLong>
bool ForEachPhotoDirectory(cFileIterator& iterator, RunContext& context, Each each,
                           TooLong too_long) {
  for (;;) {
    if (context.platform.EndRequested()) return false;
    std::string dir = iterator.MOVETONEXTDIR();
    bool complete = iterator.STATE() == iterator.STATE_COMPLETE();
    if (!complete && iterator.ERRCODE() == iterator.ERR_BREAKKEYPRESSED()) return false;
    if (!complete) {
      DirectoryJob::Found found = DirectoryJob(context, dir).Find();
      if (found == DirectoryJob::Found::kPlanned) each(dir);
      if (found == DirectoryJob::Found::kTooLong) too_long(dir);
    }
    if (complete) return true;
  }
}

// Only the paths, for other programs to read; Ctrl-C ends the list without
// a question, which would land among them. -list0 hands each path over byte
// for byte; -list, one a line, escapes control bytes, which would split or
// garble a line. A directory that cannot be read, or is passed over for the
// length of a path, is said on the standard error stream, and the status
// tells that the list lacks it.
int List(cFileIterator& iterator, RunContext& context) {
  Output& output = context.output;
  int failed = 0;
  auto report = [&] {
    PassedOverCount passed = ReportPassedOver(iterator, output, true);
    failed += passed.unreadable + passed.too_long;
  };
  bool whole = ForEachPhotoDirectory(
      iterator, context,
      [&](const std::string& dir) {
        report();
        if (context.settings.List0) {
          output.ConsoleWrite(dir);
          output.ConsoleWrite(std::string_view("\0", 1));
        } else {
          output.ConsoleWrite(Escaped(dir));
          output.ConsoleLineEnd();
        }
      },
      [&](const std::string& dir) {
        report();
        output.ErrorWrite(Escaped(std::string(kTooLongText) + dir));
        output.ErrorLineEnd();
        ++failed;
      });
  report();
  if (!whole) {
    SetJobError(context.error, kErrorAborted, "");
    return EndOfRun(context.error, context.output);
  }
  return failed > 0 ? kStatusVideosFailed : 0;
}

// The directories a run will encode, counted by a walk of their own that
// leaves the keys to the run.
int CountPhotoDirectories(RunContext& context) {
  cFileIterator counter(context.platform);
  int total = 0;
  if (StartWalk(counter, context.settings, false)) {
    auto count = [&](const std::string&) { ++total; };
    ForEachPhotoDirectory(counter, context, count, count);
    // Those too deep to be walked are counted as failed too.
    for (const cFileIterator::PassedOver& passed : counter.TakePassedOver())
      total += passed.why == cFileIterator::PassedOver::Why::kTooLong;
  }
  return total;
}

int Walk(cFileIterator& iterator, RunContext& context) {
  Platform& platform = context.platform;
  Output& output = context.output;
  JobError& error = context.error;
  cFile file(platform);
  const std::size_t slots = context.settings.DryRun ? 1 : PoolSlots(context.settings.Jobs);
  JobPool pool(context, slots);
  // Several encoders start on the largest directories first, so that no
  // large one is left running alone at the end while the other processors
  // wait: the walk collects the photo directories, and they are encoded
  // after it. A single encoder keeps the walk's order.
  struct Pending {
    uint64_t workload;
    std::string dir;
  };
  std::vector<Pending> pending;
  if (!context.settings.DryRun && platform.ShowTitle("Slidemill")) {
    pool.ShowProgress(CountPhotoDirectories(context));
  }
  // A directory too deep for the system's paths is not walked, and says so;
  // a run counts it as failed, as it does one that the job passes over.
  int unreadable = 0;
  auto report_passed_over = [&] {
    PassedOverCount passed = ReportPassedOver(iterator, output);
    unreadable += passed.unreadable;
    for (int i = 0; i < passed.too_long && !context.settings.DryRun; ++i) pool.CountFailed();
  };
  for (;;) {
    if (platform.EndRequested()) break;
    std::string dir = iterator.MOVETONEXTDIR();
    report_passed_over();
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
    if (slots > 1) {
      if (uint64_t workload = DirectoryJob(context, dir).Workload(); workload > 0) {
        pending.push_back({workload, dir});
        continue;
      }
    }
    if (pool.Process(dir, file) == DirectoryResult::kEndRun) break;
  }
  if (!HasJobError(error)) {
    std::ranges::stable_sort(pending, std::greater{}, &Pending::workload);
    for (const Pending& next : pending) {
      if (platform.EndRequested()) break;
      if (pool.Process(next.dir, file) == DirectoryResult::kEndRun) break;
    }
  }
  // Encoders still running are waited for, unless the user chose to exit or
  // a signal ended the run; those left by an error that ended the run are
  // stopped.
  if (error.Code != kErrorAborted && !platform.EndRequested()) pool.Finish();
  pool.Stop();
  report_passed_over();
  platform.ShowTitle("");
  return EndOfRun(error, output, &pool, unreadable);
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
  std::string refusal = RootRefusal(platform, settings.Dir);
  if (refusal.empty() && !StartWalk(iterator, settings, true)) {
    refusal = "The directory specified by '-dir' does not exist.";
  }
  if (!refusal.empty()) {
    SetJobError(error, kErrorInvalidArgument, refusal);
    return EndOfRun(error, output);
  }
  RunContext context{platform, output,      settings, *FindEncoder(settings.Encoder),
                     error,    NewPartTag()};
  context.encoder_threads = EncoderThreads(PoolSlots(settings.Jobs));
  if (settings.List || settings.List0) return List(iterator, context);
  return Walk(iterator, context);
}

int RealMain(int argc, char** argv) { return RealMain(SystemPlatform(), argc, argv); }

}  // namespace slidemill
