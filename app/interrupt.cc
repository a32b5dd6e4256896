#include "app/interrupt.h"

#include <string>

namespace slidemill {

bool AskToExit(Output& output, std::string_view notice, bool extra_blank_line) {
  Platform& platform = output.platform();
  output.SetTextColor(kColorEmphasis);
  output.ConsoleLineEnd();
  if (extra_blank_line) output.ConsoleLineEnd();
  output.ConsoleWrite(notice);
  output.ConsoleLineEnd();
  output.ConsoleWrite("Would you like to exit now? [y/N]: ");
  output.SetTextColor(kColorNormal);

  // The console's own input is polled about once a millisecond; a key typed
  // earlier and still waiting answers at once.
  std::string key;
  while (key.empty()) {
    if (!platform.HasKeyboard()) {
      output.ConsoleLineEnd();
      return false;
    }
    key = platform.ReadKey();
    if (key.empty()) platform.Sleep(1);
  }
  return key == "Y" || key == "y";
}

int CheckEncoderInterrupt(Output& output, uint32_t exit_code) {
  if (exit_code != kExitCtrlC && exit_code != kExitCtrlBreak) return 0;
  bool ctrl_break = exit_code == kExitCtrlBreak;
  bool exit = AskToExit(output, ctrl_break ? kCtrlBreakNotice : kCtrlCNotice, ctrl_break);
  return exit ? 2 : 1;
}

}  // namespace slidemill
