// A stand-in for the encoder, used only by tests. It records where it was
// started and with what, makes the video file it was asked for, and exits
// with a chosen code:
//   SLIDEMILL_TEST_ENCODER_LOG    file to append the record to
//   SLIDEMILL_TEST_ENCODER_EXIT   exit code (default 0)
//   SLIDEMILL_TEST_ENCODER_SLEEP  milliseconds to take first (default 0)
//   SLIDEMILL_TEST_ENCODER_REMOVE a directory to remove while it runs
//   SLIDEMILL_TEST_ENCODER_OUTPUT bytes of output to print (default 0)
//   SLIDEMILL_TEST_ENCODER_SIGNAL a signal to die of instead of exiting
//   SLIDEMILL_TEST_ENCODER_VIDEO  "none" or "empty": no video, or an empty one
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "platform/platform.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace slidemill;
  Platform& platform = SystemPlatform();
  ProcessCommandLine line = platform.CommandLine(argc, argv);
  CommandArguments command = ReadCommandArguments(line);

  if (std::string sleep = Env("SLIDEMILL_TEST_ENCODER_SLEEP"); !sleep.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep.c_str())));
  }
  if (std::string remove = Env("SLIDEMILL_TEST_ENCODER_REMOVE"); !remove.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(remove, ignored);
  }
  if (std::string log = Env("SLIDEMILL_TEST_ENCODER_LOG"); !log.empty()) {
    std::ofstream record(log, std::ios::app | std::ios::binary);
    record << "dir=" << platform.CurrentDirectory() << "\n";
    if (line.is_single_text) record << "line=" << line.text << "\n";
    for (const std::string& arg : command.args) record << "arg=" << arg << "\n";
    record << "end\n";
  }
  // The video file, where the command asked for it; "none" makes none and
  // "empty" an empty one.
  std::string video = Env("SLIDEMILL_TEST_ENCODER_VIDEO");
  for (std::size_t i = 0; i + 1 < command.args.size() && video != "none"; ++i) {
    if (command.args[i] == "-o") std::ofstream(command.args[i + 1]) << (video == "empty" ? "" : "video");
  }
  if (std::string output = Env("SLIDEMILL_TEST_ENCODER_OUTPUT"); !output.empty()) {
    std::string line(79, '#');
    line += '\n';
    for (long left = std::atol(output.c_str()); left > 0; left -= 80) std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  }
  if (std::string sig = Env("SLIDEMILL_TEST_ENCODER_SIGNAL"); !sig.empty()) {
    std::signal(std::atoi(sig.c_str()), SIG_DFL);
    std::raise(std::atoi(sig.c_str()));
  }
  return std::atoi(Env("SLIDEMILL_TEST_ENCODER_EXIT").c_str());
}
