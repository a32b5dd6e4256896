// A platform for in-process tests: the console, key presses, started
// commands and pauses are recorded or scripted, the clock and the Fonts
// folder are fixed; files and directories are the real system's.
#ifndef SLIDEMILL_TESTS_FAKE_PLATFORM_H_
#define SLIDEMILL_TESTS_FAKE_PLATFORM_H_

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/path_rules.h"
#include "platform/platform.h"

namespace slidemill::test {

class FakePlatform : public PlatformWrapper {
 public:
  FakePlatform() : PlatformWrapper(SystemPlatform()) {}

  // Standard output and standard error as written, colours left out.
  std::string out;
  std::string err;
  // Both streams in order, with each colour change shown as "<n>" and each
  // error-stream piece as "[E:...]".
  std::string transcript;
  std::string line_end = "\r\n";
  std::string fonts_folder;
  std::string current_directory;  // "" uses the real one
  LocalDateTime now{2026, 12, 5, 21, 7, 43};
  // Keys the user "types"; once they run out no more can come.
  std::deque<std::string> keys;
  bool has_keyboard = true;
  // Commands started, and what becomes of each (exit code 0 when none is
  // scripted); one that succeeds writes the video file it was given.
  struct Run {
    std::string command_line;
    std::vector<std::string> arguments;
    std::string dir;
  };
  std::vector<Run> runs;
  std::deque<CommandOutcome> outcomes;
  bool command_interpreter = false;
  std::vector<uint32_t> sleeps;

  void Write(ConsoleStream stream, std::string_view text) override {
    if (stream == ConsoleStream::kOutput) {
      out += text;
      transcript += text;
    } else {
      err += text;
      transcript += "[E:" + std::string(text) + "]";
    }
  }
  std::string_view LineEnd() override { return line_end; }
  void SetTextColor(int attribute) override {
    transcript += "<" + std::to_string(attribute) + ">";
  }
  std::unique_ptr<ConsoleSession> StartConsole() override {
    return std::make_unique<ConsoleSession>();
  }
  std::string FontsFolder() override { return fonts_folder; }
  std::string CurrentDirectory() override {
    return current_directory.empty() ? target().CurrentDirectory() : current_directory;
  }
  LocalDateTime LocalNow() override { return now; }
  std::string ReadKey() override {
    if (keys.empty()) return "";
    std::string key = keys.front();
    keys.pop_front();
    return key;
  }
  bool HasKeyboard() override { return has_keyboard && !keys.empty(); }
  bool HasCommandInterpreter() override { return command_interpreter; }
  CommandOutcome RunCommand(const std::string& command_line,
                            const std::vector<std::string>& arguments,
                            const std::string& dir) override {
    runs.push_back({command_line, arguments, dir});
    CommandOutcome outcome;
    if (!outcomes.empty()) {
      outcome = outcomes.front();
      outcomes.pop_front();
    }
    // A successful encoder leaves its video where it was asked to.
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
      if (arguments[i] != "-o" || outcome.status != CommandOutcome::Status::kExited ||
          outcome.exit_code != 0) {
        continue;
      }
      std::string video = arguments[i + 1];
      if (!IsAbsolutePath(video)) video = JoinPath(dir, video);
      if (std::FILE* file = std::fopen(video.c_str(), "wb")) {
        std::fputs("video", file);
        std::fclose(file);
      }
    }
    return outcome;
  }
  void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
};

}  // namespace slidemill::test

#endif  // SLIDEMILL_TESTS_FAKE_PLATFORM_H_
