// The longest path a directory-entry record holds: the system's own limit,
// 260 bytes on Windows (259 and a NUL) and 4096 on Linux. path_rules.cc checks
// that it agrees with the system's path rules.
#ifndef SLIDEMILL_PLATFORM_PATH_LIMIT_H_
#define SLIDEMILL_PLATFORM_PATH_LIMIT_H_

#include <climits>
#include <cstddef>

namespace slidemill {

// Bytes of the name field of this system's directory-entry record, NUL
// included.
inline constexpr std::size_t kNameFieldSize = PATH_MAX;

}  // namespace slidemill

#endif  // SLIDEMILL_PLATFORM_PATH_LIMIT_H_
