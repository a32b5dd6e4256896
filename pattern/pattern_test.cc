#include "pattern/pattern.h"

#include <gtest/gtest.h>

namespace slidemill {

void PrintTo(const PatternMatch& match, std::ostream* os) {
  *os << "{" << match.position << ", " << match.length << "}";
}

namespace {

using namespace std::string_literals;

// A search and its answer: the position and length of the match, {0, 0}
// when there is none.
struct Case {
  std::string pattern, text;
  PatternMatch match = {};
  int32_t start = 1;
};

// Whether the filters' Found() and a compiled search agree with this one is
// the fuzz target's check.
void Expect(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(PatternSearch(c.pattern, c.text, c.start), c.match)
        << testing::PrintToString(c.pattern) << " in " << testing::PrintToString(c.text) << " from "
        << c.start;
  }
}

// 99 groups side by side or nested, the most a pattern holds.
std::string Groups(bool nested) {
  std::string pattern;
  for (int i = 0; i < 99; ++i) pattern = nested ? "(" + pattern + "a)" : pattern + "(a)";
  return pattern;
}

TEST(PatternTest, BytesMatchThemselvesAndTheirCasePartners) {
  Expect({{"JPG", "img.jpg", 5, 3},
          {"@", "`"},  // 0x40 and 0x60 are no letters
          {"\x80\x9A\x82\x8E\x86\x99\xA4", "\x87\x81\x90\x84\x8F\x94\xA5", 1, 7},
          {"\xC4", "\xE4"},  // not a pair of code page 437
          {"(a)\\01", "aA", 1, 2}});
}

TEST(PatternTest, BackslashCTurnsCasePartnersOff) {
  Expect({{"jpg\\c", "JPG"},        // reaching back over literals
          {"[a-c]\\c", "B", 1, 1},  // but not over sets
          {"\\c[a-c]", "B"},
          {"(a)\\01\\c", "aA"},
          {"\\\\c", "\\C", 1, 2}});  // an escaped backslash, then c
}

TEST(PatternTest, DotAndEscapes) {
  Expect({{"a.c", "a\rc"},
          {"a.c", "a\nc", 1, 3},
          {"\\e\\q\\t\\.\\[\\\\\\(\\|", "\x1b\"\t.[\\(|", 1, 8},
          {"a\\", "a\\"},  // valid, never found
          {"\\5", "5"}});
}

TEST(PatternTest, Sets) {
  Expect({{"[a-c]+", "xabcd", 2, 3},
          {"[c-a]", "abc"},
          {"[]a]", "]a]"},  // an empty set, then a]
          {"[^]a", "xa", 1, 2},
          {"[a-]", "-", 1, 1},
          {"[\\]]", "]", 1, 1},
          {"[^a]", "A"},
          {"[^a]", "\0"s}});  // the byte 0 is never a member
}

TEST(PatternTest, StartPosition) {
  Expect({{"a", "aXa", 1, 1, -5}, {"a", "aXa", 0, 0, INT32_MAX}});
}

TEST(PatternTest, Anchors) {
  Expect({{"^a", "ba"},
          {"^a", "b\na", 3, 1},
          {"^a", "ba", 2, 1, 2},  // the search start counts
          {"c$", "abc", 3, 1},
          {"c$", "abc\r\n", 3, 1},
          {"c$", "abc\n"}});
}

TEST(PatternTest, WordBoundary) {
  Expect({{"\\bx", "ax x", 4, 1},
          {"\\bb", "ab", 2, 1, 2},  // the search start counts as a non-word byte
          {"t\\b", "cat", 3, 1},
          {"\\b_", "a_"},
          {"\\b\\x81", "a\x81", 2, 1}});  // letters above 127 are not word bytes
}

TEST(PatternTest, QuantifiersAreGreedyAndGiveBack) {
  Expect({{"a*ab", "aaab", 1, 4}, {"(a*)ab", "aab", 1, 3}});
}

TEST(PatternTest, QuantifierWithNothingToRepeatIsItself) {
  Expect(
      {{"*a", "*a", 1, 2}, {"a**", "aa*", 1, 3}, {"\\b?", "a?", 2, 1}, {"(a)\\01*", "aa*", 1, 3}});
}

TEST(PatternTest, GroupsAndBackReferences) {
  const std::string a99(99, 'a');
  Expect({{Groups(false), a99, 1, 99},
          {Groups(true), a99, 1, 99},
          {"(a)\\02(b)", "abb"},  // group 2 was not opened yet
          {"(a\\01)", "aaa"},
          {"(a*)b\\01", "b"},  // an empty recording never matches
          {"(a)\\012", "aa2", 1, 3},
          {"((a)x)|a\\02", "aa"},  // a failed alternative records nothing
          {"(.*)\\01", "xyzabcabc", 4, 6}});
}

TEST(PatternTest, ChoiceIsBetweenSingleAtomsAndStands) {
  Expect({{"ab|cd", "acd", 1, 3},
          {"|a", "|a", 1, 2},
          {"a*|b", "b"},              // a* matches nothing, and that choice stands
          {"a*|xa", "aaa"},           // the chosen a* gives nothing back
          {"(a*a)|xb", "aab", 1, 3},  // inside a group it does
          {"^|xa", "xa"},
          {"(a)|(ab)c", "abc"}});
}

TEST(PatternTest, LongestMatchOrShortestUnderBackslashS) {
  Expect({{"a?((b)|(abcd))", "abcd", 1, 4},  // found first: a? taking a, then b
          {"\\sa?((b)|(abcd))", "abcd", 1, 2},
          {"a+\\s", "aaa", 1, 1},
          {"\\sa.*b", "axbxb", 1, 3}});
}

// That an invalid pattern is never found is the fuzz target's check.
TEST(PatternTest, InvalidPatterns) {
  for (const std::string& pattern : {""s, "\\d"s, "[a\\]"s, "\\b"s, "(a)*"s, "()"s, "("s, ")"s,
                                     Groups(false) + "(a)", "(" + Groups(true) + ")"}) {
    EXPECT_FALSE(CompiledPattern::Compile(pattern).valid()) << pattern;
  }
}

// Shapes that take exponential time without remembering explored states, on
// names and on texts far longer, where every state must fit.
TEST(PatternTest, HardShapesAreAnsweredExactly) {
  const std::string a255(255, 'a'), a254b = std::string(254, 'a') + "b", a60(60, 'a');
  std::string optional_a, short_runs;  // each run one a short of a match
  for (int i = 0; i < 300; ++i) optional_a += "a?";
  while (short_runs.size() < 28000) short_runs += std::string(299, 'a') + "b";
  Expect({{"a*a*a*a*a*a*a*a*a*a*b", a255},
          {"(a*)|(b)a*a*a*a*a*a*a*a*b", a254b, 1, 255},
          // Recordings multiply the states, but such a filter on an ordinary
          // name is still answered exactly.
          {"(a*)a*a*a*a*a*a*a*a*\\01b", "x" + a60 + "b", 2, 61},
          {optional_a + std::string(300, 'a'), short_runs + std::string(300, 'a'), 28201, 300}});
}

}  // namespace
}  // namespace slidemill
