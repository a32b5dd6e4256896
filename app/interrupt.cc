#include "app/interrupt.h"

#include <string>

namespace slidemill {

bool AskToExit(Output& output, std::string_view notice, bool extra_blank_line) {
  Platform& platform = output.platform();
  output.SetTextColor(TextColor::kEmphasis);
  output.ConsoleLineEnd();
  if (extra_blank_line) output.ConsoleLineEnd();
  output.ConsoleWrite(notice);
  output.ConsoleLineEnd();
  output.ConsoleWrite("Would you like to exit now? [y/N]: ");
  output.SetTextColor(TextColor::kNormal);

  // A key typed earlier and still waiting answers at once; otherwise the
  // wait blocks until one comes.
  std::string key;
  while (key.empty()) {
    if (!platform.HasKeyboard()) {
      output.ConsoleLineEnd();
      return false;
    }
    // The run is asked to end from outside: no answer is waited for.
    if (platform.EndRequested()) {
      output.ConsoleLineEnd();
      return true;
    }
    key = platform.ReadKey();
    if (key.empty()) platform.WaitForKey(kWaitForever);
  }
  return key == "Y" || key == "y";
}

InterruptAnswer CheckEncoderInterrupt(Output& output, const ChildOutcome& outcome) {
  bool ctrl_break = outcome.kind == ChildOutcome::Kind::kCtrlBreak;
  if (!ctrl_break && outcome.kind != ChildOutcome::Kind::kCtrlC) {
    return InterruptAnswer::kNotInterrupted;
  }
  bool exit = AskToExit(output, ctrl_break ? kCtrlBreakNotice : kCtrlCNotice, ctrl_break);
  return exit ? InterruptAnswer::kExit : InterruptAnswer::kGoOn;
}

}  // namespace slidemill
