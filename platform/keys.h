// Key presses as Platform::ReadKey hands them over: a character, or the
// character 0 followed by the key's scan code.
#ifndef SLIDEMILL_PLATFORM_KEYS_H_
#define SLIDEMILL_PLATFORM_KEYS_H_

#include <string_view>

namespace slidemill {

inline constexpr int kF4ScanCode = 62;

inline constexpr std::string_view kCtrlCKey("\x03", 1);
inline constexpr char kF4KeyBytes[] = {'\0', static_cast<char>(kF4ScanCode)};
inline constexpr std::string_view kF4Key(kF4KeyBytes, sizeof kF4KeyBytes);

}  // namespace slidemill

#endif  // SLIDEMILL_PLATFORM_KEYS_H_
