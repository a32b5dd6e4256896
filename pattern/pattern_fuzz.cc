// Feeds arbitrary patterns and texts to the search. An input is one byte of
// pattern length, one byte of start position (signed), the pattern, then the
// text. Any wrong answer aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pattern/pattern.h"

namespace {

// Enough for the plain backtracker to finish on most small inputs; when it
// does, the remembering search must have found the same.
constexpr int64_t kPlainSteps = 20000;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t pattern_size = data[0];
  int32_t start = static_cast<int8_t>(data[1]);
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  if (pattern_size > rest.size()) pattern_size = rest.size();
  std::string_view pattern = rest.substr(0, pattern_size);
  std::string_view text = rest.substr(pattern_size);

  using slidemill::CompiledPattern;
  using slidemill::PatternMatch;
  CompiledPattern compiled = CompiledPattern::Compile(pattern);
  PatternMatch match = compiled.Search(text, start);
  const int64_t size_of_text = static_cast<int64_t>(text.size());
  if (match.position == 0) {
    Require(match.length == 0);
  } else {
    Require(compiled.valid());
    Require(match.position >= start && match.position >= 1);
    Require(match.length >= 1);
    Require(match.position - 1 + int64_t{match.length} <= size_of_text);
  }
  Require(compiled.Found(text, start) == (match.position != 0));
  Require(slidemill::PatternSearch(pattern, text, start) == match);

  PatternMatch plain;
  if (compiled.SearchWithoutMemo(text, start, kPlainSteps, &plain)) Require(plain == match);
  return 0;
}
