#include "fileinfo/path_parts.h"

namespace slidemill {

PathParts SplitPathParts(std::string_view path, const PathRules& rules) {
  PathParts parts;
  if (path.empty() || path.size() > rules.name_field_size) return parts;

  std::size_t last_separator = path.find_last_of(rules.split_set);
  std::size_t split = last_separator == std::string_view::npos ? 0 : last_separator + 1;
  std::string_view dir = path.substr(0, split);
  parts.name = std::string(path.substr(split));

  if (rules.dir_part_trims_both_ends) {
    constexpr std::string_view kTrim = "/\\";
    std::size_t first = dir.find_first_not_of(kTrim);
    std::size_t last = dir.find_last_not_of(kTrim);
    parts.dir = first == std::string_view::npos ? std::string()
                                                : std::string(dir.substr(first, last - first + 1));
  } else {
    parts.dir = dir.empty() ? std::string() : TrimTrailingSeparators(dir, rules);
  }

  // Only the last dot of the name counts; dots in directory names never do.
  std::size_t dot = path.find_last_of(std::string(rules.split_set) + '.');
  if (dot != std::string_view::npos && path[dot] == '.') {
    parts.ext = std::string(path.substr(dot + 1));
    parts.title = std::string(path.substr(split, dot - split));
  } else {
    parts.title = parts.name;
  }
  return parts;
}

}  // namespace slidemill
