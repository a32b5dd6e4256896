// The one-line command a Windows program is started with, written so that
// the C runtime's own split gives back every argument exactly. No command
// interpreter reads it, so %, &, ^, ! and parentheses are plain text.
#ifndef SLIDEMILL_PLATFORM_WINDOWS_COMMAND_LINE_H_
#define SLIDEMILL_PLATFORM_WINDOWS_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "platform/platform.h"

namespace slidemill {

// Each argument as it stands when it needs no quotes, else in double quotes
// with backslashes doubled before a quote and at the end, and quotes
// escaped. An argument that the template writes in quotes keeps them.
std::string WindowsCommandLine(const std::vector<CommandArgument>& arguments);

}  // namespace slidemill

#endif  // SLIDEMILL_PLATFORM_WINDOWS_COMMAND_LINE_H_
