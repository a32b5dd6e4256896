// How paths are written on each system: the separator that joins a directory
// and a name, the separators trimmed from the end of a directory path, the
// separators that split a file path into its parts, and the longest path that
// a directory-entry record holds. The rules of both systems are here, so pure
// path logic can be tested for either system on either system; the program
// itself uses NativePathRules().
#ifndef SLIDEMILL_PLATFORM_PATH_RULES_H_
#define SLIDEMILL_PLATFORM_PATH_RULES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path_limit.h"

namespace slidemill {

struct PathRules {
  char separator;               // joins a directory and a name
  std::string_view trim_set;    // trimmed from the end of a directory path
  std::string_view split_set;   // split a file path into directory and name
  bool drive_letters;           // "C:" names a drive, "C:\" its root
  std::size_t name_field_size;  // bytes of a record's name field, NUL included
  // A file's directory part loses separators at both ends on Windows
  // ("\\host\share\a.jpg" is in "host\share"); on POSIX only at its end,
  // so an absolute directory stays absolute.
  bool dir_part_trims_both_ends;
  bool names_ignore_case;              // "IMG.JPG" is "img.jpg"
  std::string_view executable_suffix;  // of a program's file name
};

inline constexpr PathRules kWindowsPathRules{'\\', "/\\", "\\:", true, 260, true, true, ".exe"};
inline constexpr PathRules kPosixPathRules{'/', "/", "/", false, 4096, false, false, ""};

// The rules of the system the program was built for.
const PathRules& NativePathRules();

// The longest path the system takes, the one a record's name field holds.
inline std::size_t MaxPathLength(const PathRules& rules = NativePathRules()) {
  return rules.name_field_size - 1;
}

// Whether a name holds a wildcard byte, * or ?.
bool HasWildcard(std::string_view name);

// Removes the separators at the end of a directory path, but keeps a root
// usable: "/" stays "/", "C:\" stays "C:\", "\\host\share\" becomes
// "\\host\share". Separators at the start and inside are never touched.
std::string TrimTrailingSeparators(std::string_view path,
                                   const PathRules& rules = NativePathRules());

// Every separator written as the system's own: "Z:/photos" is "Z:\photos"
// on Windows, as its own tools show it.
std::string NativeSeparators(std::string_view path, const PathRules& rules = NativePathRules());

// Joins a directory and a name with one separator ("/" + "a" is "/a", not
// "//a"). An empty directory gives the name alone, rooted: "\name".
std::string JoinPath(std::string_view dir, std::string_view name,
                     const PathRules& rules = NativePathRules());

// Whether a path is absolute: "/x" on POSIX; "\x", "\\host\share" or
// "C:\x" on Windows.
bool IsAbsolutePath(std::string_view path, const PathRules& rules = NativePathRules());

// The temporary name under which a file is written before it is renamed
// into place, ".slidemill-<8 hex digits>.tmp": short and of fixed length, so
// any name that the file system takes for the file itself works.
std::string TemporaryFileName(uint32_t process_id);

}  // namespace slidemill

#endif  // SLIDEMILL_PLATFORM_PATH_RULES_H_
