// Key presses from the terminal's bytes. A key that sends an escape sequence
// becomes the character 0 and the key's scan code, as a console reports it.
#include <string>

#include "platform/keys.h"
#include "platform/posix_internal.h"

namespace slidemill::posix {
namespace {

// Time for the rest of an escape sequence to arrive after its ESC.
constexpr int kSequenceWaitMs = 25;

std::string ScanCode(int code) { return std::string{'\0', static_cast<char>(code)}; }

// Scan codes of the keys a terminal sends as "ESC [ n ~".
int TildeKey(int number) {
  switch (number) {
    case 1:
    case 7: return 71;  // Home
    case 2: return 82;  // Insert
    case 3: return 83;  // Delete
    case 4:
    case 8: return 79;   // End
    case 5: return 73;   // Page Up
    case 6: return 81;   // Page Down
    case 11: return 59;  // F1 ...
    case 12: return 60;
    case 13: return 61;
    case 14: return kF4ScanCode;
    case 15: return 63;
    case 17: return 64;
    case 18: return 65;
    case 19: return 66;
    case 20: return 67;
    case 21: return 68;   // F10
    case 23: return 133;  // F11
    case 24: return 134;  // F12
    default: return 0;
  }
}

// Scan codes of the keys sent as "ESC [ x" or "ESC O x" with a final letter.
int LetterKey(int letter) {
  switch (letter) {
    case 'A': return 72;  // Up
    case 'B': return 80;  // Down
    case 'C': return 77;  // Right
    case 'D': return 75;  // Left
    case 'H': return 71;  // Home
    case 'F': return 79;  // End
    case 'P': return 59;  // F1
    case 'Q': return 60;  // F2
    case 'R': return 61;  // F3
    case 'S': return kF4ScanCode;
    default: return 0;
  }
}

}  // namespace

int KeyDecoder::NextByte() {
  if (pushed_back_ >= 0) {
    int byte = pushed_back_;
    pushed_back_ = -1;
    return byte;
  }
  return source_(0);
}

int KeyDecoder::SequenceByte() {
  if (pushed_back_ >= 0) return NextByte();
  return source_(kSequenceWaitMs);
}

// Reads the rest of "ESC [": parameters, then a final byte. Answers the scan
// code, 0 for a sequence that names no key here.
int KeyDecoder::ReadControlSequence() {
  int byte = SequenceByte();
  if (byte == '[') {  // the Linux console's F1 to F5: ESC [ [ A ... E
    int letter = SequenceByte();
    return letter >= 'A' && letter <= 'E' ? 59 + (letter - 'A') : 0;
  }
  int first_number = -1;
  int number = -1;
  while (byte >= 0x20 && byte <= 0x3F) {  // parameters and intermediates
    if (byte >= '0' && byte <= '9') {
      number = (number < 0 ? 0 : number * 10) + (byte - '0');
      if (number > 1000) number = 1000;
    } else if (first_number < 0) {
      first_number = number;
      number = -1;
    }
    byte = SequenceByte();
  }
  if (byte < 0x40 || byte > 0x7E) return 0;
  if (first_number < 0) first_number = number;
  // Modifiers ride along as later parameters: Ctrl-F4 is F4 as well.
  if (byte == '~') return TildeKey(first_number);
  return LetterKey(byte);
}

std::string KeyDecoder::Next() {
  for (;;) {
    int byte = NextByte();
    if (byte < 0) return "";
    if (byte != 0x1b) return std::string(1, static_cast<char>(byte));
    int next = SequenceByte();
    if (next < 0) return "\x1b";  // Escape alone
    int code = 0;
    if (next == '[') {
      code = ReadControlSequence();
    } else if (next == 'O') {
      code = LetterKey(SequenceByte());
    } else {
      // Escape followed by an ordinary key: two keys, as typed.
      pushed_back_ = next;
      return "\x1b";
    }
    if (code > 0) return ScanCode(code);
    // A sequence that names no key is dropped whole; look at what follows.
  }
}

std::string NextKey() {
  static KeyDecoder decoder([](int wait_ms) {
    if (wait_ms > 0 && !WaitForTerminalByte(wait_ms)) return -1;
    return ReadTerminalByte();
  });
  return decoder.Next();
}

}  // namespace slidemill::posix
