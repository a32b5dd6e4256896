#include "app/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

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
    for (char c : option.name) name += c == '-' ? R"(\\-)" : std::string(1, c);
    EXPECT_TRUE(std::regex_search(page, std::regex(R"(\.TP\n\.B[IR]? )" + name + "[ \n]")))
        << option.name;
  }
}

}  // namespace
}  // namespace slidemill
