// Texts made from the table of options for the tools around the program:
// the bash completion and the option names for the command-line fuzzer.
#ifndef SLIDEMILL_APP_OPTION_LISTS_H_
#define SLIDEMILL_APP_OPTION_LISTS_H_

#include <string>

namespace slidemill {

// A bash completion script: every option's name, file names after the
// options that take a file, directories after those that take one, the
// encoders' names after -encoder, nothing after other values.
std::string BashCompletion();

// A libFuzzer dictionary of the option names and the encoders' names.
std::string FuzzDictionary();

}  // namespace slidemill

#endif  // SLIDEMILL_APP_OPTION_LISTS_H_
