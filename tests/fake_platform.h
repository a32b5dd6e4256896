// A platform for in-process tests: the console is recorded, the clock and
// the Fonts folder are fixed, everything else goes to the real system.
#ifndef SLIDEMILL_TESTS_FAKE_PLATFORM_H_
#define SLIDEMILL_TESTS_FAKE_PLATFORM_H_

#include <string>

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
};

}  // namespace slidemill::test

#endif  // SLIDEMILL_TESTS_FAKE_PLATFORM_H_
