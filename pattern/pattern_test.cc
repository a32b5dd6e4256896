#include "pattern/pattern.h"

#include <gtest/gtest.h>

namespace slidemill {

void PrintTo(const PatternMatch& match, std::ostream* os) {
  *os << "{" << match.position << ", " << match.length << "}";
}

namespace {

using namespace std::string_literals;

// 99 groups side by side or nested, the most a pattern holds.
std::string Groups(bool nested) {
  std::string pattern;
  for (int i = 0; i < 99; ++i) pattern = nested ? "(" + pattern + "a)" : pattern + "(a)";
  return pattern;
}

// A position of -1 marks a pattern that is not valid and so finds nothing.
struct Case {
  std::string pattern, text;
  int32_t position, length = 0, start = 1;
};

// Each case goes through every way in: the one-off search, the compiled
// search, the found-only search and the plain backtracker (which gives up on
// the long texts of hard shapes).
TEST(PatternSearchTest, Dialect) {
  const std::string a99(99, 'a'), a255(255, 'a'), a254b = std::string(254, 'a') + "b", a60(60, 'a');
  std::string optional_a, short_runs;  // each run one a short of a match
  for (int i = 0; i < 300; ++i) optional_a += "a?";
  while (short_runs.size() < 28000) short_runs += std::string(299, 'a') + "b";
  const std::string long_one = optional_a + std::string(300, 'a');
  for (const Case& c :
       std::vector<Case>{// Bytes, letter case and escapes.
                         {"JPG", "img.jpg", 5, 3},
                         {"z", "Z", 1, 1},
                         {"@", "`", 0},  // 0x40 and 0x60 are no letters
                         {"\\[", "{", 0},
                         {"\x80\x81\x82\x84\x86\x94\xA4", "\x87\x9A\x90\x8E\x8F\x99\xA5", 1, 7},
                         {"\x87\x9A\x90\x8E\x8F\x99\xA5", "\x80\x81\x82\x84\x86\x94\xA4", 1, 7},
                         {"\x83", "\x84", 0},
                         {"\xC4", "\xE4", 0},  // not a pair of code page 437
                         {"[\\x80-\\x82]", "\x87\x9A\x90", 1, 1},
                         {"jpg\\c", "JPG", 0},  // \c reaches back over literals
                         {"jpg\\c", "jpg", 1, 3},
                         {"[a-c]\\c", "B", 1, 1},  // but not over sets
                         {"\\c[a-c]", "B", 0},
                         {"[a-c]\\cx", "BX", 0},
                         {"[^a]\\c", "A", 0},
                         {"\\c[^a]", "A", 1, 1},
                         {"(a)\\01", "aA", 1, 2},
                         {"(a)\\01\\c", "aA", 0},
                         {"\\\\c", "\\C", 1, 2},  // an escaped backslash, then c
                         {"a.c", "a\rc", 0},
                         {"a.c", "a\nc", 1, 3},
                         {".", "\0"s, 1, 1},
                         {".+", "ab\rcd", 1, 2},
                         {"\\x4a\\x4F", "jo", 1, 2},
                         {"\\e\\f\\q\\r\\t\\n\\v", "\x1b\f\"\r\t\n\v", 1, 7},
                         {"\\?\\+\\*\\.\\^\\$\\[\\]\\\\\\(\\)\\-\\|", "?+*.^$[]\\()-|", 1, 13},
                         {"a\\", "a\\", 0},
                         {"\\5", "5", 0},
                         // Sets.
                         {"[abc]", "xxb", 3, 1},
                         {"[a-c]+", "xabcd", 2, 3},
                         {"[c-a]", "abc", 0},
                         {"[]a]", "]a]", 0},  // an empty set, then a]
                         {"[^]a", "xa", 1, 2},
                         {"[^]", "\r", 1, 1},
                         {"[a-]", "-", 1, 1},
                         {"[a-]", "b", 0},
                         {"[-a]", "-", 1, 1},
                         {"[a-c-e]", "-", 1, 1},
                         {"[a-c-e]", "d", 0},
                         {"[\\]]", "]", 1, 1},
                         {"[\\x41-\\x43]", "b", 1, 1},
                         {"[\\n\\t]", "\t", 1, 1},
                         {"[\\--\\]]", "Z", 1, 1},
                         {"[^a]", "A", 0},
                         {"[^a]", "\0"s, 0},  // the byte 0 is never a member
                         {"[\\x00]", "\0"s, 0},
                         {"\\x00", "\0"s, 1, 1},
                         {"[.]", "a", 0},
                         {"[*]*", "x**", 2, 2},
                         {"[(]", "(", 1, 1},
                         // Positions and anchors.
                         {"a", "aXa", 1, 1, -5},
                         {"a", "aXa", 3, 1, 3},
                         {"a", "aXa", 0, 0, 4},
                         {"a", "aXa", 0, 0, INT32_MAX},
                         {"a+", "aaa", 2, 2, 2},
                         {"^a", "ba", 0},
                         {"^a", "b\na", 3, 1},
                         {"^a", "ba", 2, 1, 2},  // the search start counts
                         {"^", "abc", 0},
                         {"$", "abc", 0},
                         {"c$", "abc", 3, 1},
                         {"c$", "abc\r\n", 3, 1},
                         {"c$", "abc\n", 0},
                         {"c$", "abc\rx", 0},
                         {"a$\r\nb", "a\r\nb", 1, 4},
                         {"^*", "*a", 1, 1},
                         {"^*", "a*", 0},
                         {"$+", "a+", 0},
                         {"\\bx", "ax x", 4, 1},
                         {"\\bb", "ab", 2, 1, 2},
                         {"t\\b", "cat", 3, 1},
                         {"_\\b", "a_ b", 2, 1},
                         {"\\b_", "a_", 0},
                         {"\\b\\x81", "a\x81", 2, 1},  // letters above 127 are not word bytes
                                                       // Quantifiers.
                         {"a+", "baaa", 2, 3},
                         {"a*", "bbb", 0},
                         {"x*", "axxb", 2, 2},
                         {"a*ab", "aaab", 1, 4},
                         {"a?ab", "ab", 1, 2},
                         {".*x", "abxcx", 1, 5},
                         {"*a", "*a", 1, 2},
                         {"+", "1+1", 2, 1},
                         {"(?a)", "?a", 1, 2},
                         {"(?\x3f)", "?", 1, 1},
                         {"a**", "aa*", 1, 3},
                         {"a***", "aa", 1, 2},
                         {"\\x41+", "aAa", 1, 3},
                         {"[ab]?c", "bc", 1, 2},
                         {"\\b?", "a?", 2, 1},
                         {"(a)\\01*", "aa*", 1, 3},
                         {"a|*", "*", 1, 1},
                         {"(a*)ab", "aab", 1, 3},
                         // Groups and back-references.
                         {"(a(b)c)", "xabc", 2, 3},
                         {"()a", "a", 1, 1},
                         {"\\)", ")", 1, 1},
                         {Groups(false), a99, 1, 99},
                         {Groups(true), a99, 1, 99},
                         {"\\01(a)", "aa", 0},
                         {"(a)\\02(b)", "abb", 0},  // group 2 was not opened yet
                         {"(a\\01)", "aaa", 0},
                         {"(a*)b\\01", "b", 0},  // an empty recording never matches
                         {"(a*)a\\01", "aaa", 1, 3},
                         {"(.)\\01", "abccd", 3, 2},
                         {"(a)\\00", "aa", 0},
                         {"(a)\\1", "a1", 0},
                         {"(a)\\012", "aa2", 1, 3},
                         {"(a)|(b)\\02", "bb", 1, 2},
                         {"(a)|(b)\\02", "ab", 0},
                         {"((a)x)|a\\02", "aa", 0},  // a failed alternative records nothing
                         {"(.*)\\01", "xyzabcabc", 4, 6},
                         // Choices.
                         {"ab|cd", "acd", 1, 3},
                         {"ab|cd", "abd", 1, 3},
                         {"ab|cd", "ab", 0},
                         {"a|b|c", "xc", 2, 1},
                         {"|a", "|a", 1, 2},
                         {"a|", "a|", 1, 2},
                         {"(|a)", "|a", 1, 2},
                         {"(a|)", "a|", 1, 2},
                         {"a||b", "|b", 1, 2},
                         {"a||b", "ab", 1, 2},
                         {"a|\\", "a", 1, 1},
                         {"\\5|a", "a", 1, 1},
                         {"a*|b", "b", 0},  // a* matches nothing, and that choice stands
                         {"b|a*", "b", 1, 1},
                         {"a|b*", "bbb", 1, 3},
                         {"a*|xa", "aaa", 0},  // the chosen a* gives nothing back
                         {"a+|ab", "aab", 1, 3},
                         {"(a*a)|xb", "aab", 1, 3},  // inside a group it does
                         {"(a|ab)c", "abc", 1, 3},
                         // Reached again with a? left out, a* must end where it did before.
                         {"a?(a*)|(x)ab", "ab", 0},
                         {"a?(a*)|(x)ab", "aaab", 0},
                         {"^|xa", "xa", 0},
                         {"^|xa", "a", 1, 1},
                         {"[ab]|c+", "ccc", 1, 3},
                         {"(ab)|(a)c", "ac", 1, 2},
                         {"(a)|(ab)c", "abc", 0},
                         // Longest or shortest.
                         // The first match found is a?=a with the choice taking b.
                         {"a?((b)|(abcd))", "abcd", 1, 4},
                         {"\\sa?((b)|(abcd))", "abcd", 1, 2},
                         {"a+\\s", "aaa", 1, 1},
                         {"\\sa.*b", "axbxb", 1, 3},
                         {"a*\\s", "baa", 2, 1},
                         {"\\sa?b?", "ab", 1, 1},
                         {"x?x?\\s", "xx", 1, 1},
                         // Not valid.
                         {"\\d", "5", -1},
                         {"\\w", "w", -1},
                         {"\\a", "a", -1},
                         {"\\{", "{", -1},
                         {"\\ ", " ", -1},
                         {"\\E", "E", -1},
                         {"\\X41", "A", -1},
                         {"\\x4", "\x04", -1},
                         {"\\xg0", "g0", -1},
                         {"a\\x", "ax", -1},
                         {"[", "[", -1},
                         {"[a-z", "a", -1},
                         {"[^", "b", -1},
                         {"[a\\]", "a", -1},
                         {"[\\d]", "d", -1},
                         {"[\\01]", "1", -1},
                         {"[\\1]", "1", -1},
                         {"[\\b]", "b", -1},
                         {"[\\c]", "c", -1},
                         {"[\\s]", "s", -1},
                         {"[\\x4]", "\x04", -1},
                         {"[\\", "\\", -1},
                         {"[a-\\", "a", -1},
                         {"[a-", "a", -1},
                         {"\\b", "a", -1},
                         {"\\b\\b", "a", -1},
                         {"(\\b)\\c", "a", -1},
                         {"(a)*", "aa", -1},
                         {"(a)+", "aa", -1},
                         {"(a)?", "a", -1},
                         {"x(a)?y", "xay", -1},
                         {"((a)b)+", "abab", -1},
                         {"(a)|(b)*", "a", -1},
                         {"", "a", -1},
                         {"()", "a", -1},
                         {"(\\b)", "a", -1},
                         {"\\c", "a", -1},
                         {"\\s", "a", -1},
                         {"(\\c\\s)()", "a", -1},
                         {"(", "(", -1},
                         {")", ")", -1},
                         {"a)", "a)", -1},
                         {"(a", "(a", -1},
                         {"((a)", "a", -1},
                         {"(a))", "a)", -1},
                         {Groups(false) + "(a)", a99 + "a", -1},
                         {"(" + Groups(true) + ")", a99, -1},
                         // Shapes that take exponential time without remembering explored
                         // states, on names and on texts far longer, where every state must fit.
                         {"a*a*a*a*a*a*a*a*a*a*b", a255, 0},
                         {"a*a*a*a*a*a*a*a*a*a*b", a254b, 1, 255},
                         {"(a*)|(b)a*a*a*a*a*a*a*a*b", a255, 0},
                         {"(a*)|(b)a*a*a*a*a*a*a*a*b", a254b, 1, 255},
                         {"[ab]*[ab]*[ab]*[ab]*[ab]*[ab]*b", a255, 0},
                         {"[ab]*[ab]*[ab]*[ab]*[ab]*[ab]*b", a254b, 1, 255},
                         {".*.*.*.*.*.*.*.*.*.*b", a255, 0},
                         {".*.*.*.*.*.*.*.*.*.*b", a254b, 1, 255},
                         // Recordings multiply the states, but such a filter on an ordinary
                         // name is still answered exactly.
                         {"(a*)a*a*a*a*a*a*a*a*\\01b", a60, 0},
                         {"(a*)a*a*a*a*a*a*a*a*\\01b", "x" + a60 + "b", 2, 61},
                         {long_one, short_runs + std::string(300, 'a'), 28201, 300},
                         {long_one, std::string(28000, 'b') + std::string(300, 'a'), 28001, 300}}) {
    SCOPED_TRACE("pattern \"" + c.pattern + "\" text \"" + c.text + "\" start " +
                 std::to_string(c.start));
    PatternMatch expected{std::max(c.position, 0), c.length};
    EXPECT_EQ(PatternSearch(c.pattern, c.text, c.start), expected);
    CompiledPattern compiled = CompiledPattern::Compile(c.pattern);
    EXPECT_EQ(compiled.valid(), c.position >= 0);
    EXPECT_EQ(compiled.Search(c.text, c.start), expected);
    EXPECT_EQ(compiled.Found(c.text, c.start), c.position > 0);
    PatternMatch plain;
    if (compiled.SearchWithoutMemo(c.text, c.start, 1000000, &plain) || c.text.size() < 60) {
      EXPECT_EQ(plain, expected);
    }
  }
}

}  // namespace
}  // namespace slidemill
