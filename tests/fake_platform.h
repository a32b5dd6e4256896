// A platform for in-process tests: the console, key presses, started
// children and pauses are recorded or scripted, the clock and the Fonts
// folder are fixed; files and directories are the real system's.
#ifndef SLIDEMILL_TESTS_FAKE_PLATFORM_H_
#define SLIDEMILL_TESTS_FAKE_PLATFORM_H_

#include <deque>
#include <fstream>
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
  // Children started, as shown and with their arguments, and what becomes
  // of each (exited with 0 when none is scripted); one that exits with 0
  // writes the video it was given after "-o".
  struct Run {
    std::string command_line;
    std::vector<std::string> arguments;
    std::string dir;
  };
  std::vector<Run> runs;
  std::deque<ChildOutcome> outcomes;
  std::vector<uint32_t> sleeps;

  void Write(ConsoleStream stream, std::string_view text) override {
    (stream == ConsoleStream::kOutput ? out : err) += text;
    transcript += stream == ConsoleStream::kOutput ? std::string(text)
                                                   : "[E:" + std::string(text) + "]";
  }
  std::string_view LineEnd() override { return line_end; }
  void SetTextColor(TextColor color) override {
    transcript += "<" + std::to_string(static_cast<int>(color)) + ">";
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
  ChildStart StartChild(const std::vector<CommandArgument>& arguments,
                        const std::string& dir) override {
    Run run{ShownCommandLine(arguments), {}, dir};
    for (const CommandArgument& argument : arguments) run.arguments.push_back(argument.text);
    runs.push_back(run);
    ChildOutcome outcome = outcomes.empty() ? ChildOutcome{} : outcomes.front();
    if (!outcomes.empty()) outcomes.pop_front();
    using Kind = ChildOutcome::Kind;
    if (outcome.kind == Kind::kNoDirectory || outcome.kind == Kind::kCannotStart) {
      return {0, outcome};
    }
    for (std::size_t i = 0; i + 1 < run.arguments.size(); ++i) {
      if (run.arguments[i] != "-o" || outcome.kind != Kind::kExited || outcome.code != 0) continue;
      const std::string& video = run.arguments[i + 1];
      std::ofstream(IsAbsolutePath(video) ? video : JoinPath(dir, video)) << "video";
    }
    ended_.push_back({runs.size(), outcome});
    return {runs.size(), {}};
  }
  EndedChild WaitForChild() override {
    if (ended_.empty()) return {0, {ChildOutcome::Kind::kLost, 0, "no child"}};
    EndedChild ended = ended_.front();
    ended_.pop_front();
    return ended;
  }
  void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }

 private:
  std::deque<EndedChild> ended_;
};

}  // namespace slidemill::test

#endif  // SLIDEMILL_TESTS_FAKE_PLATFORM_H_
