// A file path split into its directory, title, extension and name.
#ifndef SLIDEMILL_FILEINFO_PATH_PARTS_H_
#define SLIDEMILL_FILEINFO_PATH_PARTS_H_

#include <string>
#include <string_view>

#include "platform/path_rules.h"

namespace slidemill {

struct PathParts {
  std::string dir;    // the directory part, separators trimmed
  std::string title;  // the name without its extension
  std::string ext;    // the extension without its dot
  std::string name;   // the name with its extension
};

// Splits after the last separator; the extension starts at the last dot of
// the name. An empty path, or one too long for a record, has no parts.
PathParts SplitPathParts(std::string_view path, const PathRules& rules = NativePathRules());

}  // namespace slidemill

#endif  // SLIDEMILL_FILEINFO_PATH_PARTS_H_
