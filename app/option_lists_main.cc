// Writes a text made from the table of options, for the build:
//   option_lists completion    the bash completion script
//   option_lists dictionary    the option names for the command-line fuzzer
#include <cstdio>
#include <cstring>
#include <string>

#include "app/option_lists.h"

int main(int argc, char** argv) {
  std::string text;
  if (argc == 2 && std::strcmp(argv[1], "completion") == 0) text = slidemill::BashCompletion();
  if (argc == 2 && std::strcmp(argv[1], "dictionary") == 0) text = slidemill::FuzzDictionary();
  if (text.empty()) {
    std::fputs("usage: option_lists completion|dictionary\n", stderr);
    return 2;
  }
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
