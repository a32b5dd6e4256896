#include "platform/path_rules.h"

#include <cctype>

namespace slidemill {
namespace {

bool IsSeparator(char c, const PathRules& rules) {
  return rules.trim_set.find(c) != std::string_view::npos;
}

#ifdef _WIN32
constexpr const PathRules& kNativeRules = kWindowsPathRules;
#else
constexpr const PathRules& kNativeRules = kPosixPathRules;
#endif
// Records are sized by the system's own limit; paths are checked against the
// rules, so the two must agree.
static_assert(kNativeRules.name_field_size == kNameFieldSize);

}  // namespace

const PathRules& NativePathRules() { return kNativeRules; }

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

std::string TrimTrailingSeparators(std::string_view path, const PathRules& rules) {
  std::size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1], rules)) --end;
  if (end == path.size()) return std::string(path);
  // Nothing but separators: the root of the file system (or of the drive).
  if (end == 0) return std::string(1, path[0]);
  // "C:" alone means the current directory of drive C, not its root.
  if (rules.drive_letters && end == 2 && path[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(path[0]))) {
    return std::string(path.substr(0, 3));
  }
  return std::string(path.substr(0, end));
}

std::string NativeSeparators(std::string_view path, const PathRules& rules) {
  std::string native(path);
  for (char& c : native) {
    if (IsSeparator(c, rules)) c = rules.separator;
  }
  return native;
}

std::string JoinPath(std::string_view dir, std::string_view name, const PathRules& rules) {
  std::string joined(dir);
  if (joined.empty() || !IsSeparator(joined.back(), rules)) {
    joined += rules.separator;
  }
  joined += name;
  return joined;
}

bool IsAbsolutePath(std::string_view path, const PathRules& rules) {
  if (!path.empty() && IsSeparator(path[0], rules)) return true;
  return rules.drive_letters && path.size() >= 3 &&
         std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         IsSeparator(path[2], rules);
}

std::string TemporaryFileName(uint32_t process_id) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name = ".slidemill-00000000.tmp";
  for (int i = 0; i < 8; ++i) name[18 - i] = kHex[(process_id >> (4 * i)) & 0xF];
  return name;
}

}  // namespace slidemill
