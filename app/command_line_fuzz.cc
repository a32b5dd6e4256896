// Feeds arbitrary command lines to the splitter, the parser and validation.
// Whatever the bytes, the outcome is a checked settings record or an
// "Invalid argument" error with its detail; nothing crashes.
//
// Input: a first byte below 128 reads the rest as one Windows command line;
// otherwise the rest is a POSIX argument vector split at NUL bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace slidemill;
  if (size == 0) return 0;
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  ProcessCommandLine line;
  if (data[0] < 128) {
    line.is_single_text = true;
    line.text = rest;
  } else {
    std::size_t start = 0;
    for (std::size_t nul; (nul = rest.find('\0', start)) != std::string::npos; start = nul + 1) {
      line.arguments.push_back(rest.substr(start, nul - start));
    }
    line.arguments.push_back(rest.substr(start));
  }

  CommandArguments command = ReadCommandArguments(line);
  if (line.is_single_text) {
    for (const std::string& arg : command.args) Check(!arg.empty());
    Check(command.args == SplitArguments(CommandTail(line.text)));
  } else {
    Check(command.args == line.arguments);
  }

  RawOptions raw;
  JobError error;
  ParseCommandLine(command.args, raw, error);
  if (!HasJobError(error)) {
    Settings settings;
    ValidateSettings(raw, settings, error, SystemPlatform());
    // The settings the run relies on being set.
    if (!HasJobError(error)) {
      Check(settings.VideoFramesPerSecond >= 1 && !settings.VideoFilename.empty() &&
            !settings.SRTFilename.empty() && !settings.VideoCodec.empty());
      return 0;
    }
  }
  Check(error.Code == 2 && error.Message == "Invalid argument" && !error.Info.empty());
  return 0;
}
