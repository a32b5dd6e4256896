#include "app/options.h"

#include <gtest/gtest.h>

#include <fstream>

namespace slidemill {
namespace {

std::string SourceFile(const std::string& name) {
  std::ifstream in(std::string(SLIDEMILL_SOURCE_DIR) + "/" + name);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Each option is documented, so a new option cannot be forgotten by the
// README's table or the manual page.
TEST(OptionDocsTest, ReadmeTableHasEveryOption) {
  std::string readme = SourceFile("README.md");
  for (const OptionInfo& option : Options()) {
    EXPECT_NE(readme.find("\n| `" + option.name + "` |"), std::string::npos) << option.name;
  }
}

// An option's entry: ".TP", then its name first on a bold line, "\-" for "-".
TEST(OptionDocsTest, ManualPageHasEveryOption) {
  std::string page = SourceFile("slidemill.1");
  for (const OptionInfo& option : Options()) {
    std::string name;
    for (char c : option.name) name += c == '-' ? R"(\-)" : std::string(1, c);
    // No <regex>: GCC's own code warns under the sanitizers.
    bool found = false;
    for (std::string bold : {".B ", ".BI ", ".BR "}) {
      for (char after : {' ', '\n'})
        found = found || page.find(".TP\n" + bold + name + after) != std::string::npos;
    }
    EXPECT_TRUE(found) << option.name;
  }
}

}  // namespace
}  // namespace slidemill
