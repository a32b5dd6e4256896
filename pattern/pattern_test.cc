#include "pattern/pattern.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace slidemill {

void PrintTo(const PatternMatch& match, std::ostream* os) {
  *os << "{" << match.position << ", " << match.length << "}";
}

namespace {

using namespace std::string_literals;

struct Case {
  std::string pattern;
  std::string text;
  int32_t position;
  int32_t length;
  int32_t start = 1;
};

// Checks a table through every way in: the one-off search, the compiled
// search, the found-only search and the plain backtracker.
void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE("pattern \"" + c.pattern + "\" text \"" + c.text + "\" start " +
                 std::to_string(c.start));
    PatternMatch expected{c.position, c.length};
    EXPECT_EQ(PatternSearch(c.pattern, c.text, c.start), expected);
    CompiledPattern compiled = CompiledPattern::Compile(c.pattern);
    EXPECT_EQ(compiled.Found(c.text, c.start), c.position != 0);
    PatternMatch plain;
    ASSERT_TRUE(compiled.SearchWithoutMemo(c.text, c.start, 1000000, &plain));
    EXPECT_EQ(plain, expected);
  }
}

void ExpectInvalid(const std::vector<std::string>& patterns) {
  for (const std::string& pattern : patterns) {
    SCOPED_TRACE("pattern \"" + pattern + "\"");
    EXPECT_FALSE(CompiledPattern::Compile(pattern).valid());
    for (const char* text : {"", "a", "abc()[]\\|?*+", "aaaaabbbbb"}) {
      EXPECT_EQ(PatternSearch(pattern, text, 1), PatternMatch{});
    }
  }
}

TEST(PatternSearchTest, BytesAndCase) {
  Check({
      {"JPG", "img.jpg", 5, 3},
      {"z", "Z", 1, 1},
      {"@", "`", 0, 0},  // 0x40 and 0x60 are no letters
      {"\\[", "{", 0, 0},
      {"\x80\x81\x82\x84\x86\x94\xA4", "\x87\x9A\x90\x8E\x8F\x99\xA5", 1, 7},
      {"\x87\x9A\x90\x8E\x8F\x99\xA5", "\x80\x81\x82\x84\x86\x94\xA4", 1, 7},
      {"\x83", "\x84", 0, 0},
      {"\xC4", "\xE4", 0, 0},  // not a pair of code page 437
      {"[\\x80-\\x82]", "\x87\x9A\x90", 1, 1},
      {"jpg\\c", "JPG", 0, 0},  // \c reaches back over literals
      {"jpg\\c", "jpg", 1, 3},
      {"[a-c]\\c", "B", 1, 1},  // but not over sets
      {"\\c[a-c]", "B", 0, 0},
      {"[a-c]\\cx", "BX", 0, 0},
      {"[^a]\\c", "A", 0, 0},
      {"\\c[^a]", "A", 1, 1},
      {"(a)\\01", "aA", 1, 2},
      {"(a)\\01\\c", "aA", 0, 0},
      {"\\\\c", "\\C", 1, 2},  // an escaped backslash, then c
      {"a.c", "a\rc", 0, 0},
      {"a.c", "a\nc", 1, 3},
      {".", "\0"s, 1, 1},
      {".+", "ab\rcd", 1, 2},
      {"\\x4a\\x4F", "jo", 1, 2},
      {"\\e\\f\\q\\r\\t\\n\\v", "\x1b\f\"\r\t\n\v", 1, 7},
      {"\\?\\+\\*\\.\\^\\$\\[\\]\\\\\\(\\)\\-\\|", "?+*.^$[]\\()-|", 1, 13},
      {"a\\", "a\\", 0, 0},
      {"\\5", "5", 0, 0},
  });
  ExpectInvalid({"\\d", "\\w", "\\a", "\\{", "\\ ", "\\E", "\\X41", "\\x4", "\\xg0", "a\\x"});
}

TEST(PatternSearchTest, Sets) {
  Check({
      {"[abc]", "xxb", 3, 1},
      {"[a-c]+", "xabcd", 2, 3},
      {"[c-a]", "abc", 0, 0},
      {"[]a]", "]a]", 0, 0},  // an empty set, then a]
      {"[^]a", "xa", 1, 2},
      {"[^]", "\r", 1, 1},
      {"[a-]", "-", 1, 1},
      {"[a-]", "b", 0, 0},
      {"[-a]", "-", 1, 1},
      {"[a-c-e]", "-", 1, 1},
      {"[a-c-e]", "d", 0, 0},
      {"[\\]]", "]", 1, 1},
      {"[\\x41-\\x43]", "b", 1, 1},
      {"[\\n\\t]", "\t", 1, 1},
      {"[\\--\\]]", "Z", 1, 1},
      {"[^a]", "A", 0, 0},
      {"[^a]", "\0"s, 0, 0},  // the byte 0 is never a member
      {"[\\x00]", "\0"s, 0, 0},
      {"\\x00", "\0"s, 1, 1},
      {"[.]", "a", 0, 0},
      {"[*]*", "x**", 2, 2},
      {"[(]", "(", 1, 1},
  });
  ExpectInvalid({"[", "[a-z", "[^", "[a\\]", "[\\d]", "[\\01]", "[\\1]", "[\\b]", "[\\c]",
                 "[\\s]", "[\\x4]", "[\\", "[a-\\", "[a-"});
}

TEST(PatternSearchTest, PositionsAndAnchors) {
  Check({
      {"a", "aXa", 1, 1, -5},
      {"a", "aXa", 3, 1, 3},
      {"a", "aXa", 0, 0, 4},
      {"a", "aXa", 0, 0, INT32_MAX},
      {"a+", "aaa", 2, 2, 2},
      {"^a", "ba", 0, 0},
      {"^a", "b\na", 3, 1},
      {"^a", "ba", 2, 1, 2},  // the search start counts
      {"^", "abc", 0, 0},
      {"$", "abc", 0, 0},
      {"c$", "abc", 3, 1},
      {"c$", "abc\r\n", 3, 1},
      {"c$", "abc\n", 0, 0},
      {"c$", "abc\rx", 0, 0},
      {"a$\r\nb", "a\r\nb", 1, 4},
      {"^*", "*a", 1, 1},
      {"^*", "a*", 0, 0},
      {"$+", "a+", 0, 0},
      {"\\bx", "ax x", 4, 1},
      {"\\bb", "ab", 2, 1, 2},
      {"t\\b", "cat", 3, 1},
      {"_\\b", "a_ b", 2, 1},
      {"\\b_", "a_", 0, 0},
      {"\\b\\x81", "a\x81", 2, 1},  // letters above 127 are not word bytes
  });
  ExpectInvalid({"\\b", "\\b\\b", "(\\b)\\c"});
}

TEST(PatternSearchTest, Quantifiers) {
  Check({
      {"a+", "baaa", 2, 3},
      {"a*", "bbb", 0, 0},
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
  });
  ExpectInvalid({"(a)*", "(a)+", "(a)?", "x(a)?y", "((a)b)+", "(a)|(b)*"});
}

TEST(PatternSearchTest, GroupsAndBackReferences) {
  std::string many, nested, name;
  for (int i = 0; i < 99; ++i) {
    many += "(a)";
    nested = "(" + nested + "a)";
    name += "a";
  }
  Check({
      {"(a(b)c)", "xabc", 2, 3},
      {"()a", "a", 1, 1},
      {"\\)", ")", 1, 1},
      {many, name, 1, 99},
      {nested, name, 1, 99},
      {"\\01(a)", "aa", 0, 0},
      {"(a)\\02(b)", "abb", 0, 0},  // group 2 was not opened yet
      {"(a\\01)", "aaa", 0, 0},
      {"(a*)b\\01", "b", 0, 0},  // an empty recording never matches
      {"(a*)a\\01", "aaa", 1, 3},
      {"(.)\\01", "abccd", 3, 2},
      {"(a)\\00", "aa", 0, 0},
      {"(a)\\1", "a1", 0, 0},
      {"(a)\\012", "aa2", 1, 3},
      {"(a)|(b)\\02", "bb", 1, 2},
      {"(a)|(b)\\02", "ab", 0, 0},
      {"((a)x)|a\\02", "aa", 0, 0},  // a failed alternative records nothing
      {"(.*)\\01", "xyzabcabc", 4, 6},
  });
  ExpectInvalid({"", "()", "(\\b)", "\\c", "\\s", "(\\c\\s)()", "(", ")", "a)", "(a",
                 "((a)", "(a))", many + "(a)", "(" + nested + ")"});
}

TEST(PatternSearchTest, Choices) {
  Check({
      {"ab|cd", "acd", 1, 3},
      {"ab|cd", "abd", 1, 3},
      {"ab|cd", "ab", 0, 0},
      {"a|b|c", "xc", 2, 1},
      {"|a", "|a", 1, 2},
      {"a|", "a|", 1, 2},
      {"(|a)", "|a", 1, 2},
      {"(a|)", "a|", 1, 2},
      {"a||b", "|b", 1, 2},
      {"a||b", "ab", 1, 2},
      {"a|\\", "a", 1, 1},
      {"\\5|a", "a", 1, 1},
      {"a*|b", "b", 0, 0},  // a* matches nothing, and that choice stands
      {"b|a*", "b", 1, 1},
      {"a|b*", "bbb", 1, 3},
      {"a*|xa", "aaa", 0, 0},  // the chosen a* gives nothing back
      {"a+|ab", "aab", 1, 3},
      {"(a*a)|xb", "aab", 1, 3},  // inside a group it does
      {"(a|ab)c", "abc", 1, 3},
      // Reached again with a? left out, a* must end where it did before.
      {"a?(a*)|(x)ab", "ab", 0, 0},
      {"a?(a*)|(x)ab", "aaab", 0, 0},
      {"^|xa", "xa", 0, 0},
      {"^|xa", "a", 1, 1},
      {"[ab]|c+", "ccc", 1, 3},
      {"(ab)|(a)c", "ac", 1, 2},
      {"(a)|(ab)c", "abc", 0, 0},
  });
}

TEST(PatternSearchTest, LongestOrShortest) {
  Check({
      // The first match found is a?=a with the choice taking b.
      {"a?((b)|(abcd))", "abcd", 1, 4},
      {"\\sa?((b)|(abcd))", "abcd", 1, 2},
      {"a+\\s", "aaa", 1, 1},
      {"\\sa.*b", "axbxb", 1, 3},
      {"a*\\s", "baa", 2, 1},
      {"\\sa?b?", "ab", 1, 1},
      {"x?x?\\s", "xx", 1, 1},
  });
}

// Shapes that take exponential time without remembering explored states, on
// names and on texts far longer, where every state must still fit.
TEST(PatternSearchTest, HardShapes) {
  const std::string a255(255, 'a');
  const std::string a254b = std::string(254, 'a') + "b";
  std::string optional_a;
  for (int i = 0; i < 300; ++i) optional_a += "a?";
  optional_a += std::string(300, 'a');
  std::string short_runs;  // each run one a short of a match
  while (short_runs.size() < 28000) short_runs += std::string(299, 'a') + "b";
  const struct {
    std::string pattern;
    std::string text;
    PatternMatch expected;
  } kCases[] = {
      {"a*a*a*a*a*a*a*a*a*a*b", a255, {}},
      {"a*a*a*a*a*a*a*a*a*a*b", a254b, {1, 255}},
      {"(a*)|(b)a*a*a*a*a*a*a*a*b", a255, {}},
      {"(a*)|(b)a*a*a*a*a*a*a*a*b", a254b, {1, 255}},
      {"[ab]*[ab]*[ab]*[ab]*[ab]*[ab]*b", a255, {}},
      {"[ab]*[ab]*[ab]*[ab]*[ab]*[ab]*b", a254b, {1, 255}},
      {".*.*.*.*.*.*.*.*.*.*b", a255, {}},
      {".*.*.*.*.*.*.*.*.*.*b", a254b, {1, 255}},
      // Recordings multiply the states, but such a filter on an ordinary
      // name is still answered exactly.
      {"(a*)a*a*a*a*a*a*a*a*\\01b", std::string(60, 'a'), {}},
      {"(a*)a*a*a*a*a*a*a*a*\\01b", "x" + std::string(60, 'a') + "b", {2, 61}},
      {optional_a, short_runs + std::string(300, 'a'), {28201, 300}},
      {optional_a, std::string(28000, 'b') + std::string(300, 'a'), {28001, 300}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("pattern \"" + c.pattern.substr(0, 40) + "\" on " +
                 std::to_string(c.text.size()) + " bytes");
    CompiledPattern compiled = CompiledPattern::Compile(c.pattern);
    EXPECT_EQ(compiled.Search(c.text), c.expected);
    EXPECT_EQ(compiled.Found(c.text), c.expected.position != 0);
  }
}

// Random patterns and texts: remembering explored states must not change
// any answer, and the found-only search must agree with the full one.
TEST(PatternSearchTest, MemoAgreesWithPlainBacktracking) {
  const std::string pattern_bytes = "ab.^$[]-()|?*+\\01sbcx";
  const std::string text_bytes = "abAB_ \n\r";
  std::mt19937 random(20240607);
  int compared = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string pattern, text;
    for (int n = random() % 12 + 1; n > 0; --n) {
      pattern += pattern_bytes[random() % pattern_bytes.size()];
    }
    for (int n = random() % 16; n > 0; --n) text += text_bytes[random() % text_bytes.size()];
    int32_t start = static_cast<int32_t>(random() % 4);
    CompiledPattern compiled = CompiledPattern::Compile(pattern);
    PatternMatch match = compiled.Search(text, start);
    SCOPED_TRACE("pattern \"" + pattern + "\" text \"" + text + "\"");
    ASSERT_EQ(compiled.Found(text, start), match.position != 0);
    PatternMatch plain;
    if (compiled.SearchWithoutMemo(text, start, 200000, &plain)) {
      ASSERT_EQ(match, plain);
      ++compared;
    }
  }
  EXPECT_GT(compared, 19000);
}

}  // namespace
}  // namespace slidemill
