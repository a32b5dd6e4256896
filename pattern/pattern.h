// The filter pattern dialect of the directory and file filters, and the
// search that applies it.
//
// Pattern and text are byte strings. Every pattern byte matches itself and,
// unless the pattern holds \c, its case partner (A-Z/a-z and the letter pairs
// of code page 437). The other constructs:
//
//   .          any byte except carriage return
//   ^  $       the search start or after a line feed; before CR LF or at the end
//   [a-z] [^x] a set of bytes, or its complement
//   ( )        a group, numbered 1 to 99 by its opening parenthesis
//   ? + *      after a byte, '.', a set or a one-byte escape: greedy repeat;
//              anywhere else the byte itself (and after ')' an invalid pattern)
//   a|b        the first of the neighbouring atoms that matches; never revisited
//   \01..\99   the text a group recorded
//   \b         a word boundary
//   \c         no case partners in the whole pattern
//   \s         the shortest match instead of the longest
//   \xHH, \n, \t, \\ ...  one byte
//
// A match of length 0 is never accepted; the first start position with a
// match wins, with its longest (or shortest, under \s) match. An invalid
// pattern, the empty one among them, is never found: a filter that admits
// everything when empty has to say so itself.
#ifndef SLIDEMILL_PATTERN_PATTERN_H_
#define SLIDEMILL_PATTERN_PATTERN_H_

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace slidemill {

// Where a pattern was found: the 1-based position and the length in bytes,
// or 0 and 0 when it was not.
struct PatternMatch {
  int32_t position = 0;
  int32_t length = 0;

  friend bool operator==(const PatternMatch&, const PatternMatch&) = default;
};

// Looks for pattern anywhere in text from the 1-based position start on (below
// 1 counts as 1). An invalid pattern is never found.
PatternMatch PatternSearch(std::string_view pattern, std::string_view text, int32_t start);

// A pattern parsed once, to be searched for in many names.
class CompiledPattern {
 public:
  // Never fails: an invalid pattern compiles to one that finds nothing.
  static CompiledPattern Compile(std::string_view pattern);

  bool valid() const { return valid_; }

  // Patterns without back-references are answered exactly on texts of any
  // length, in time proportional to pattern size times text size, with a
  // bit of memory per pattern node and text position (4 bytes for nodes
  // inside alternatives, see pattern.cc).
  //
  // Patterns with back-references get a fixed number of steps (tens of
  // milliseconds; a filter such as (.*)\01 on a name of 255 bytes needs
  // half). When they run out, the position of a match found is still right,
  // as no earlier start has one, but its length may fall short of the
  // longest (exceed the shortest, under \s); and a search that has found
  // nothing yet answers not found, Found() false, though a match may exist.
  // A long text reaches that point sooner: each start position tried costs
  // steps.
  PatternMatch Search(std::string_view text, int32_t start = 1) const;

  // Whether Search() would find something; stops at the first match.
  bool Found(std::string_view text, int32_t start = 1) const;

  // Search() without remembering which states have been explored: simple and
  // exponential, so it gives up after max_steps and then answers false. Tests
  // use it to check the remembering.
  bool SearchWithoutMemo(std::string_view text, int32_t start, int64_t max_steps,
                         PatternMatch* match) const;

 private:
  class Parser;
  class Matcher;

  enum class Op : uint8_t {
    kOne,             // one byte of set `arg`
    kOptional,        // zero or one byte of set `arg`, one first
    kStar,            // any number of bytes of set `arg`, as many as possible first
    kLineStart,       // ^
    kLineEnd,         // $
    kWordBoundary,    // \b
    kBackReference,   // the text recorded by group `arg`
    kOpen,            // group `arg` starts here
    kClose,           // group `arg` ends here
    kChoice,          // `count` alternatives listed from alternatives_[arg]
    kNever,           // a back-reference that can never match, a lone backslash
    kAlternativeEnd,  // an alternative of a choice has matched
    kMatch,           // the whole pattern has matched
  };

  struct Node {
    Op op = Op::kMatch;
    int32_t arg = 0;
    int32_t count = 0;
    int32_t next = 0;
    // Paths can meet here: what matching from here found is worth keeping.
    bool remember = false;
    // Inside an alternative of a choice, whose first match is remembered.
    bool in_alternative = false;
    // A remembered node's row of the memo: among nodes outside alternatives,
    // or among those inside.
    int32_t memo_row = 0;
    // The groups that may have recorded something by this node and that a
    // back-reference can still read: live_groups_[live_begin, + live_count).
    int32_t live_begin = 0;
    int32_t live_count = 0;
  };

  using ByteSet = std::array<uint64_t, 4>;

  int64_t StepBudget() const;

  bool valid_ = false;
  bool fold_case_ = true;
  bool shortest_ = false;
  // Without any ? or * every path is a straight line, and nothing needs to be
  // remembered.
  bool branches_ = false;
  int32_t group_count_ = 0;
  ByteSet first_bytes_{};
  std::vector<Node> nodes_;
  std::vector<ByteSet> sets_;
  std::vector<int32_t> alternatives_;
  bool back_references_ = false;
  std::vector<int32_t> live_groups_;
  // Remembered nodes outside and inside alternatives.
  int32_t outer_rows_ = 0;
  int32_t alternative_rows_ = 0;
};

}  // namespace slidemill

#endif  // SLIDEMILL_PATTERN_PATTERN_H_
