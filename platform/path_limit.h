// The longest path a directory-entry record holds, per system. Windows keeps
// its 260-byte name field (259 bytes and a NUL); POSIX sizes the field by
// PATH_MAX.
#ifndef SLIDEMILL_PLATFORM_PATH_LIMIT_H_
#define SLIDEMILL_PLATFORM_PATH_LIMIT_H_

#include <climits>
#include <cstddef>

namespace slidemill {

#ifdef _WIN32
inline constexpr bool kNativeIsWindows = true;
inline constexpr std::size_t kPosixNameFieldSize = 4096;
#else
inline constexpr bool kNativeIsWindows = false;
inline constexpr std::size_t kPosixNameFieldSize = PATH_MAX;
#endif

// Bytes of the name field of this system's directory-entry record, NUL
// included.
inline constexpr std::size_t kNameFieldSize =
    kNativeIsWindows ? 260 : kPosixNameFieldSize;

}  // namespace slidemill

#endif  // SLIDEMILL_PLATFORM_PATH_LIMIT_H_
