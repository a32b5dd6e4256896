#include "pattern/pattern.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace slidemill {
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

TEST(PatternSearchTest, FilterExamples) {
  Check({
      {"jpg", "IMG_0001.JPG", 10, 3},
      {"\\cjpg", "IMG_0001.JPG", 0, 0},
      {"^trip", "Trip 2019", 1, 4},
      {"^trip", "old-trips", 0, 0},
      {"trip", "old-trips", 5, 4},
      {"20[0-9][0-9]$", "Holiday 2019", 9, 4},
      {"20[0-9][0-9]$", "2019 Holiday", 0, 0},
      {"[^a-z]", "abc", 0, 0},
      {"[^a-z]", "abc1", 4, 1},
      {"\\x41", "Xa", 2, 1},
      {"(a|b)x", "bx", 1, 2},
      {"ab|cd", "acd", 1, 3},
      {"ab|cd", "cd", 0, 0},
      {"(ab)|(cd)", "cd", 1, 2},
      {"(jpg)|(png)", "img.png", 5, 3},
      {"(jpg|png)", "img.jpg", 0, 0},
      {"(ab)*", "ababab", 0, 0},
      {"\\d", "d 123", 0, 0},
      {"a?", "bab", 2, 1},
      {"a?", "bbb", 0, 0},
      {"\\bcat\\b", "the cat sat", 5, 3},
      {"\\bcat\\b", "concatenate", 0, 0},
      {"(ab)\\01", "xabab", 2, 4},
  });
}

TEST(PatternSearchTest, CasePartners) {
  Check({
      {"JPG", "img.jpg", 5, 3},
      {"z", "Z", 1, 1},
      {"@", "`", 0, 0},     // 0x40 and 0x60 are no letters
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
  });
}

TEST(PatternSearchTest, AnyByte) {
  Check({
      {"a.c", "abc", 1, 3},
      {"a.c", "a\rc", 0, 0},
      {"a.c", "a\nc", 1, 3},
      {".", "\r", 0, 0},
      {".", "\0"s, 1, 1},
      {".+", "ab\rcd", 1, 2},
      {".", "", 0, 0},
  });
}

TEST(PatternSearchTest, Anchors) {
  Check({
      {"^a", "ba", 0, 0},
      {"^a", "b\na", 3, 1},
      {"^a", "ba", 2, 1, 2},  // the search start counts
      {"^a", "aba", 3, 1, 3},
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
  });
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
      {"[\\e]", "\x1b", 1, 1},
      {"[\\--\\]]", "Z", 1, 1},
      {"[^a]", "A", 0, 0},
      {"[^a]", "b", 1, 1},
      {"[^a]", "\0"s, 0, 0},  // the byte 0 is never a member
      {"[\\x00]", "\0"s, 0, 0},
      {"\\x00", "\0"s, 1, 1},
      {"[.]", "a", 0, 0},
      {"[.]", ".", 1, 1},
      {"[*]*", "x**", 2, 2},
      {"[(]", "(", 1, 1},
  });
  ExpectInvalid({"[", "[a-z", "[^", "[a\\]", "[\\d]", "[\\01]", "[\\1]", "[\\b]", "[\\c]",
                 "[\\s]", "[\\x4]", "[\\", "[a-\\", "[a-"});
}

TEST(PatternSearchTest, Quantifiers) {
  Check({
      {"a+", "baaa", 2, 3},
      {"a*", "bbb", 0, 0},
      {"x*", "axxb", 2, 2},
      {"ba*", "baaa", 1, 4},
      {"a*ab", "aaab", 1, 4},
      {"a?ab", "ab", 1, 2},
      {".*x", "abxcx", 1, 5},
      {"*a", "*a", 1, 2},
      {"*a", "a", 0, 0},
      {"+", "1+1", 2, 1},
      {"(?a)", "?a", 1, 2},
      {"(?\x3f)", "x", 0, 0},
      {"(?\x3f)", "?", 1, 1},
      {"a**", "aa*", 1, 3},
      {"a**", "aa", 0, 0},
      {"a***", "aa", 1, 2},
      {"\\.+", "a..b", 2, 2},
      {"\\x41+", "aAa", 1, 3},
      {"[ab]?c", "bc", 1, 2},
      {"\\b?", "a?", 2, 1},
      {"(a)\\01*", "aa*", 1, 3},
      {"a|*", "*", 1, 1},
      {"(a*)ab", "aab", 1, 3},
  });
  ExpectInvalid({"(a)*", "(a)+", "(a)?", "x(a)?y", "((a)b)+", "(a)|(b)*"});
}

TEST(PatternSearchTest, Groups) {
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
  });
  ExpectInvalid({"", "()", "(\\b)", "\\c", "\\s", "(\\c\\s)()", "(", ")", "a)", "(a",
                 "((a)", "(a))", many + "(a)", "(" + nested + ")"});
}

TEST(PatternSearchTest, BackReferences) {
  Check({
      {"(a)\\01", "aA", 1, 2},
      {"\\01(a)", "aa", 0, 0},
      {"(a)\\02(b)", "abb", 0, 0},  // group 2 was not opened yet
      {"(a\\01)", "aaa", 0, 0},
      {"(a*)b\\01", "b", 0, 0},  // an empty recording never matches
      {"(a*)b\\01", "aba", 1, 3},
      {"(a*)a\\01", "aaa", 1, 3},
      {"(.)\\01", "abccd", 3, 2},
      {"(a)\\00", "aa", 0, 0},
      {"(a)\\1", "a1", 0, 0},
      {"(a)\\1x", "a1x", 0, 0},
      {"(a)\\012", "aa2", 1, 3},
      {"(a)|(b)\\02", "bb", 1, 2},
      {"(a)|(b)\\02", "ab", 0, 0},
      {"((a)x)|a\\02", "aa", 0, 0},  // a failed alternative records nothing
      {"(.*)\\01", "xyzabcabc", 4, 6},
  });
}

TEST(PatternSearchTest, Choices) {
  Check({
      {"ab|cd", "acd", 1, 3},
      {"ab|cd", "abd", 1, 3},
      {"ab|cd", "ab", 0, 0},
      {"a|b|c", "xc", 2, 1},
      {"(jpg|png)", "jpgng", 1, 5},
      {"(jpg|png)", "jppng", 1, 5},
      {"|a", "|a", 1, 2},
      {"|a", "a", 0, 0},
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
      {"(a*)|xa", "aa", 0, 0},
      {"(a|ab)c", "abc", 1, 3},
      {"^|xa", "xa", 0, 0},
      {"^|xa", "a", 1, 1},
      {"[ab]|c+", "ccc", 1, 3},
      {"(ab)|(a)c", "ac", 1, 2},
      {"(a)|(ab)c", "abc", 0, 0},
  });
}

TEST(PatternSearchTest, WordBoundary) {
  Check({
      {"\\bx", "ax x", 4, 1},
      {"\\bb", "ab", 2, 1, 2},
      {"t\\b", "cat", 3, 1},
      {"_\\b", "a_ b", 2, 1},
      {"\\b_", "a_", 0, 0},
      {"\\b\\x81", "a\x81", 2, 1},  // letters above 127 are not word bytes
  });
  ExpectInvalid({"\\b", "\\b\\b", "(\\b)\\c"});
}

TEST(PatternSearchTest, Shortest) {
  Check({
      {"a+\\s", "aaa", 1, 1},
      {"\\sa.*b", "axbxb", 1, 3},
      {"a*\\s", "baa", 2, 1},
      {"\\sa?b?", "ab", 1, 1},
      {"x?x?\\s", "xx", 1, 1},
      {"\\sa?((b)|(abcd))", "abcd", 1, 2},
  });
}

TEST(PatternSearchTest, Escapes) {
  Check({
      {"\\x4a\\x50", "jp", 1, 2},
      {"\\x4A", "j", 1, 1},
      {"\\e\\f\\q\\r\\t\\n\\v", "\x1b\f\"\r\t\n\v", 1, 7},
      {"\\?\\+\\*\\.\\^\\$\\[\\]\\\\\\(\\)\\-\\|", "?+*.^$[]\\()-|", 1, 13},
      {"\\", "\\", 0, 0},
      {"a\\", "a\\", 0, 0},
      {"\\5", "5", 0, 0},
  });
  ExpectInvalid({"\\d", "\\w", "\\a", "\\{", "\\ ", "\\E", "\\X41", "\\x4", "\\xg0", "a\\x"});
}

TEST(PatternSearchTest, StartPosition) {
  Check({
      {"a", "aXa", 3, 1, 2},
      {"a", "aXa", 1, 1, 0},
      {"a", "aXa", 1, 1, -5},
      {"a", "aXa", 3, 1, 3},
      {"a", "aXa", 0, 0, 4},
      {"a", "aXa", 0, 0, INT32_MAX},
      {"a+", "aaa", 2, 2, 2},
  });
}

TEST(PatternSearchTest, LongestMatch) {
  Check({
      {"a.*b", "axbxb", 1, 5},
      // The first match found is a?=a with the choice taking b.
      {"a?((b)|(abcd))", "abcd", 1, 4},
  });
}

// Shapes that take exponential time without remembering explored states.
TEST(PatternSearchTest, NestedQuantifiers) {
  std::string a255(255, 'a');
  std::string a254b = std::string(254, 'a') + "b";
  for (const char* pattern : {"a*a*a*a*a*a*a*a*a*a*b", "(a*)|(b)a*a*a*a*a*a*a*a*b",
                              "[ab]*[ab]*[ab]*[ab]*[ab]*[ab]*b", ".*.*.*.*.*.*.*.*.*.*b"}) {
    SCOPED_TRACE(pattern);
    CompiledPattern compiled = CompiledPattern::Compile(pattern);
    EXPECT_FALSE(compiled.Found(a255));
    EXPECT_EQ(compiled.Search(a255), PatternMatch{});
    EXPECT_TRUE(compiled.Found(a254b));
    EXPECT_EQ(compiled.Search(a254b), (PatternMatch{1, 255}));
  }
  // Recordings multiply the states, but such a filter on an ordinary name
  // is still answered exactly.
  CompiledPattern backreference = CompiledPattern::Compile("(a*)a*a*a*a*a*a*a*a*\\01b");
  EXPECT_FALSE(backreference.Found(std::string(60, 'a')));
  EXPECT_EQ(backreference.Search("x" + std::string(60, 'a') + "b"), (PatternMatch{2, 61}));
}

// Texts far longer than names: every state must still be remembered, or
// the search turns exponential and gives up.
TEST(PatternSearchTest, LongTexts) {
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
      {optional_a, short_runs + std::string(300, 'a'), {28201, 300}},
      {optional_a, std::string(28000, 'b') + std::string(300, 'a'), {28001, 300}},
  };
  for (const auto& c : kCases) {
    CompiledPattern compiled = CompiledPattern::Compile(c.pattern);
    EXPECT_EQ(compiled.Search(c.text), c.expected);
    EXPECT_TRUE(compiled.Found(c.text));
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
