// The question asked when the user presses Ctrl-C or Ctrl-Break, between
// directories or while the encoder runs.
#ifndef SLIDEMILL_APP_INTERRUPT_H_
#define SLIDEMILL_APP_INTERRUPT_H_

#include <cstdint>
#include <string_view>

#include "app/output.h"

namespace slidemill {

inline constexpr std::string_view kCtrlCNotice = "Ctrl-C has been pressed.";
inline constexpr std::string_view kCtrlBreakNotice = "Ctrl-Break has been pressed.";
inline constexpr std::string_view kAltF4Notice = "Alt-F4 has been pressed.";

// Encoder exit codes that mean it was interrupted.
inline constexpr uint32_t kExitCtrlC = 2;
inline constexpr uint32_t kExitCtrlBreak = 3221225786u;  // 0xC000013A

// Shows the notice and "Would you like to exit now? [y/N]: ", waits for one
// key and answers whether it was Y or y. Without a keyboard no key can come:
// the answer is the default, no, at once.
bool AskToExit(Output& output, std::string_view notice, bool extra_blank_line);

// 0: the exit code is no interrupt (nothing is asked); 1: interrupted, the
// user goes on; 2: interrupted, the user wants to exit.
int CheckEncoderInterrupt(Output& output, uint32_t exit_code);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_INTERRUPT_H_
