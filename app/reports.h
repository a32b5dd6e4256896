// The three texts that end the program instead of a run: the settings
// report, the usage text and the version.
#ifndef SLIDEMILL_APP_REPORTS_H_
#define SLIDEMILL_APP_REPORTS_H_

#include <string_view>

#include "app/output.h"
#include "app/settings.h"

namespace slidemill {

inline constexpr std::string_view kProductName = "Slidemill";
inline constexpr std::string_view kVersion = "1.00";

void PrintSettings(const Settings& settings, Output& output);
void PrintUsage(Output& output);
void PrintVersion(Output& output);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_REPORTS_H_
