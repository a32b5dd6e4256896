// The options, described once: each one's name, kind, default, usage line
// and how the settings report shows it. The parse, the usage text, the
// settings report and the bash completion are all read from this table.
#ifndef SLIDEMILL_APP_OPTIONS_H_
#define SLIDEMILL_APP_OPTIONS_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"

namespace slidemill {

enum class OptionKind {
  kFlag,       // no value: given or not
  kText,       // any text
  kInteger,    // a 32-bit integer within the option's range
  kFile,       // the path of an existing file
  kDirectory,  // the path of a directory
  kChoice,     // one of the option's choices
};

struct OptionInfo {
  std::string name;
  OptionKind kind = OptionKind::kFlag;
  std::string description;  // the usage text's line
  // Where the parse stores the option's text.
  std::function<std::string&(RawOptions&)> raw;
  // The value as the settings report shows it; nothing: not shown.
  std::function<std::optional<std::string>(const Settings&)> shown;
  // The value when the option is not given, where it is fixed ("" for a
  // value that depends on others, or none); an integer's range.
  std::string default_value;
  int32_t minimum = 0;
  int32_t maximum = 0;
  std::vector<std::string> choices;  // the values of a choice

  bool takes_value() const { return kind != OptionKind::kFlag; }
};

// Every option, the encoders' path options among them, in the order the
// settings report lists them: by name, but for the last few, which follow
// the settings record.
const std::vector<OptionInfo>& Options();
// The same by name, as the usage text lists them.
std::vector<const OptionInfo*> OptionsByName();
// The option of that name; nullptr for none.
const OptionInfo* FindOption(std::string_view name);

// The most encoders that run at once.
inline constexpr int32_t kMaxJobs = 64;

}  // namespace slidemill

#endif  // SLIDEMILL_APP_OPTIONS_H_
