// The question asked when the user presses Ctrl-C or Ctrl-Break, between
// directories or while the encoder runs.
#ifndef SLIDEMILL_APP_INTERRUPT_H_
#define SLIDEMILL_APP_INTERRUPT_H_

#include <string_view>

#include "app/output.h"

namespace slidemill {

inline constexpr std::string_view kCtrlCNotice = "Ctrl-C has been pressed.";
inline constexpr std::string_view kCtrlBreakNotice = "Ctrl-Break has been pressed.";
inline constexpr std::string_view kAltF4Notice = "Alt-F4 has been pressed.";

// Shows the notice and "Would you like to exit now? [y/N]: ", waits for one
// key and answers whether it was Y or y. Without a keyboard no key can come:
// the answer is the default, no, at once. Once the run is asked to end
// (SIGTERM) the answer is yes.
bool AskToExit(Output& output, std::string_view notice, bool extra_blank_line);

enum class InterruptAnswer {
  kNotInterrupted,  // nothing was asked
  kGoOn,
  kExit,
};

// Asks whether to exit when Ctrl-C or Ctrl-Break interrupted the encoder.
InterruptAnswer CheckEncoderInterrupt(Output& output, const ChildOutcome& outcome);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_INTERRUPT_H_
