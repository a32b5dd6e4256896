#include "app/slidemill.h"

#include "app/command_line.h"
#include "app/job_error.h"
#include "app/output.h"
#include "app/reports.h"
#include "app/settings.h"

namespace slidemill {
namespace {

// The end of every run that is not a report: the recorded error on the
// standard error stream in light red, or "Job complete." in light green.
int EndOfRun(const JobError& error, Output& output) {
  int status = error.Code;
  if (HasJobError(error)) {
    output.SetTextColor(kColorFailure);
    output.ConsoleLineEnd();
    PrintJobError(error, output);
    output.SetTextColor(kColorNormal);
  } else {
    output.SetTextColor(kColorSuccess);
    output.ConsoleLineEnd();
    output.ConsoleWrite("Job complete.");
    output.ConsoleLineEnd();
    output.SetTextColor(kColorNormal);
  }
  return status;
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

  output.set_log_path(settings.LogPath);
  if (!platform.DirectoryExists(settings.Dir)) {
    SetJobError(error, kErrorInvalidArgument,
                "The directory specified by '-dir' does not exist.");
  }
  return EndOfRun(error, output);
}

int RealMain(int argc, char** argv) { return RealMain(SystemPlatform(), argc, argv); }

}  // namespace slidemill
