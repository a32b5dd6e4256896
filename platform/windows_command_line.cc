#include "platform/windows_command_line.h"

namespace slidemill {

std::string WindowsCommandLine(const std::vector<CommandArgument>& arguments) {
  std::string line;
  for (const CommandArgument& argument : arguments) {
    if (!line.empty()) line += ' ';
    const std::string& text = argument.text;
    if (!argument.quoted && !text.empty() && text.find_first_of(" \t\n\v\"") == std::string::npos) {
      line += text;
      continue;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : text) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes count only before a quote: there each is doubled, and
      // the quote itself escaped.
      line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
      line += c;
      backslashes = 0;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
  }
  return line;
}

}  // namespace slidemill
