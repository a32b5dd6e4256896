// A platform for in-process tests: the console, key presses, started
// children and pauses are recorded or scripted; files, directories, the
// Fonts folder and the clock are the real system's.
#ifndef SLIDEMILL_TESTS_FAKE_PLATFORM_H_
#define SLIDEMILL_TESTS_FAKE_PLATFORM_H_

#include <deque>
#include <fstream>

#include "platform/platform.h"

namespace slidemill::test {

class FakePlatform : public PlatformWrapper {
 public:
  FakePlatform() : PlatformWrapper(SystemPlatform()) {}

  // Standard output and standard error as written, colours left out.
  std::string out, err;
  // Keys the user "types"; once they run out no more can come.
  std::deque<std::string> keys;
  // Children started, as shown, and what becomes of each in turn (exited
  // with 0 when none is scripted; kNoDirectory is one never started). They
  // end in the order started, each only once a wait is willing to take time.
  std::vector<std::string> runs;
  std::deque<ChildOutcome> outcomes;
  std::vector<uint32_t> sleeps;
  bool temporary_files_fail = false;
  // What a started encoder writes to its video (the argument after "-o"),
  // following links as an encoder does; "" for nothing.
  std::string video;

  void Write(ConsoleStream stream, std::string_view text) override {
    (stream == ConsoleStream::kOutput ? out : err) += text;
  }
  std::string_view LineEnd() override { return "\r\n"; }
  void SetTextColor(TextColor) override {}
  bool HasKeyboard() override { return !keys.empty(); }
  std::string ReadKey() override {
    std::string key = keys.empty() ? "" : keys.front();
    if (!keys.empty()) keys.pop_front();
    return key;
  }
  ChildStart StartChild(const std::vector<CommandArgument>& arguments, const std::string& dir,
                        bool) override {
    runs.push_back(ShownCommandLine(arguments));
    ChildOutcome ended = outcomes.empty() ? ChildOutcome{} : outcomes.front();
    if (!outcomes.empty()) outcomes.pop_front();
    bool started = ended.kind != ChildOutcome::Kind::kNoDirectory;
    if (started) running_.push_back({runs.size(), ended, ""});
    for (std::size_t i = 0; started && !video.empty() && i + 1 < arguments.size(); ++i) {
      if (arguments[i].text == "-o") std::ofstream(dir + "/" + arguments[i + 1].text) << video;
    }
    return {started ? runs.size() : 0, started ? ChildOutcome{} : ended};
  }
  // A pending key wakes a wait that asks for keys before any child ends.
  std::optional<EndedChild> WaitForChild(uint32_t milliseconds, bool or_key) override {
    if (milliseconds == 0 || (or_key && !keys.empty())) return std::nullopt;
    if (running_.empty()) return EndedChild{0, {ChildOutcome::Kind::kLost, 0, "none"}, ""};
    EndedChild ended = running_.front();
    running_.pop_front();
    return ended;
  }
  bool WriteTemporaryFile(std::string_view bytes, std::string* path, std::string* error) override {
    if (!temporary_files_fail) return target().WriteTemporaryFile(bytes, path, error);
    *error = "Disk full";
    return false;
  }
  void StopChildren() override { running_.clear(); }
  void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }

 private:
  std::deque<EndedChild> running_;
};

}  // namespace slidemill::test

#endif  // SLIDEMILL_TESTS_FAKE_PLATFORM_H_
