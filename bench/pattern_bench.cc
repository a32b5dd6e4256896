// Times filter patterns: ordinary filters on ordinary names beside std::regex
// doing the same work, then the slowest shapes a user could type (patterns up
// to 256 bytes on names up to 255 bytes). The last line is the worst time
// that any single pattern/name pair took.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "pattern/pattern.h"

namespace slidemill {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::vector<std::string> OrdinaryNames() {
  const char* kStems[] = {"Trip to Rome", "IMG_",         "Holiday ", "old-trips",
                          "DCIM",         "2019 Holiday", "scan.png", "family",
                          "Summer trip",  "photos.jpg",   "_movie",   "backup"};
  std::vector<std::string> names;
  std::mt19937 random(7);
  for (int i = 0; i < 1000; ++i) {
    std::string name = kStems[random() % std::size(kStems)];
    name += std::to_string(1990 + random() % 40);
    if (random() % 3 == 0) name = "20" + std::to_string(10 + random() % 20) + "-0" + name;
    names.push_back(name);
  }
  return names;
}

void OrdinaryFilters() {
  struct Filter {
    const char* pattern;
    const char* regex;
  };
  const Filter kFilters[] = {{"trip", "trip"},
                             {"^20[0-9][0-9]", "^20[0-9][0-9]"},
                             {"(jpg)|(png)", "(jpg)|(png)"},
                             {"\\bcat\\b", "\\bcat\\b"},
                             {"a.*b.*c", "a.*b.*c"}};
  std::vector<std::string> names = OrdinaryNames();
  constexpr int kRounds = 50;
  const double matches = static_cast<double>(names.size()) * kRounds;
  std::printf("ns per name (%zu names x %d)   Found  Search  PatternSearch  std::regex\n",
              names.size(), kRounds);
  for (const Filter& filter : kFilters) {
    CompiledPattern compiled = CompiledPattern::Compile(filter.pattern);
    std::regex regex(filter.regex, std::regex::ECMAScript | std::regex::icase);
    size_t found = 0, searched = 0, once = 0, by_regex = 0;
    auto t0 = Clock::now();
    for (int r = 0; r < kRounds; ++r) {
      for (const std::string& name : names) found += compiled.Found(name);
    }
    auto t1 = Clock::now();
    for (int r = 0; r < kRounds; ++r) {
      for (const std::string& name : names) searched += compiled.Search(name).position != 0;
    }
    auto t2 = Clock::now();
    for (int r = 0; r < kRounds; ++r) {
      for (const std::string& name : names) {
        once += PatternSearch(filter.pattern, name, 1).position != 0;
      }
    }
    auto t3 = Clock::now();
    for (int r = 0; r < kRounds; ++r) {
      for (const std::string& name : names) by_regex += std::regex_search(name, regex);
    }
    auto t4 = Clock::now();
    std::printf("%-16s (%4zu found)  %6.0f  %6.0f  %13.0f  %10.0f%s\n", filter.pattern,
                found / kRounds, Seconds(t1 - t0) * 1e9 / matches, Seconds(t2 - t1) * 1e9 / matches,
                Seconds(t3 - t2) * 1e9 / matches, Seconds(t4 - t3) * 1e9 / matches,
                found == searched && found == once && found == by_regex ? "" : "  (differ)");
  }
}

std::string Repeat(const std::string& piece, size_t max_size, const std::string& tail = "") {
  std::string s;
  while (s.size() + piece.size() + tail.size() <= max_size) s += piece;
  return s + tail;
}

struct Worst {
  double ms = 0;
  std::string what;
};

// Times compiling plus Found, and Search, of one pair, the best of three
// tries each so that other work on the machine does not count; keeps the
// slowest pair.
double TimePair(const std::string& pattern, const std::string& name, Worst* worst) {
  double ms = std::numeric_limits<double>::max();
  for (int i = 0; i < 3; ++i) {
    auto t0 = Clock::now();
    CompiledPattern compiled = CompiledPattern::Compile(pattern);
    bool found = compiled.Found(name);
    auto t1 = Clock::now();
    PatternMatch match = compiled.Search(name);
    auto t2 = Clock::now();
    ms = std::min(ms, std::max(Seconds(t1 - t0), Seconds(t2 - t1)) * 1e3);
    if (found != (match.position != 0)) {
      std::printf("  Found and Search differ on %s\n", pattern.c_str());
    }
  }
  if (ms > worst->ms) *worst = {ms, pattern.substr(0, 60) + " on " + name.substr(0, 20)};
  return ms;
}

void Adversarial(Worst* worst) {
  const std::string a255(255, 'a');
  const std::string a254b = std::string(254, 'a') + "b";
  const std::string ab255 = Repeat("ab", 255);
  std::string nested;
  for (int i = 0; i < 60; ++i) nested = "(" + nested + "a*)";
  std::string choices;
  for (char c = '!'; choices.size() < 250; ++c) choices += std::string(1, c) + "|";
  struct Pair {
    std::string pattern;
    std::string name;
  };
  const Pair kPairs[] = {
      {"a*a*a*a*a*a*a*a*a*a*b", a255},
      {"a*a*a*a*a*a*a*a*a*a*b", a254b},
      {Repeat("a*", 255, "b"), a255},
      {Repeat(".*", 255, "b"), a255},
      {Repeat("[ab]*", 255, "c"), ab255},
      {Repeat("a?", 170) + Repeat("a", 256), a255},
      {Repeat("(a*)|(b)", 255, "c"), a255},
      {Repeat("(a*a*a*b)|(a)", 255), a255},
      {Repeat("(a|b)", 255, "c"), ab255},
      {choices + "a*b", a255},
      {nested + "b", a255},
      {Repeat("a*\\s", 255, "b"), a254b},
      {"(a*)a*a*a*a*a*a*a*a*\\01b", a255},
      {"(a*)a*a*a*a*a*a*a*a*\\01b", a254b},
      {"(.*)(.*)(.*)\\01\\02\\03x", a255},
      {"(a*)(a*)(a*)(a*)\\04\\03\\02\\01b", a255},
      {Repeat("(a*)", 200) + "\\01\\02\\03\\04\\05\\06\\07\\08\\09\\10b", a255},
      {Repeat("(.*)\\01", 255, "b"), a255},
      {"(.*)\\01(.*)\\02(.*)\\03(.*)\\04b", ab255},
  };
  std::printf("\nslowest shapes (ms, the slower of Found and Search)\n");
  for (const Pair& pair : kPairs) {
    double ms = TimePair(pair.pattern, pair.name, worst);
    std::printf("%9.3f  %.60s%s on %zu bytes\n", ms, pair.pattern.c_str(),
                pair.pattern.size() > 60 ? "..." : "", pair.name.size());
  }

  // Random patterns of 256 bytes from the bytes that mean something, on
  // names of 255 bytes that they partly match.
  const std::string kPatternBytes = "aab.*+?|()[]^$\\01sb-";
  std::mt19937 random(11);
  double slowest = 0;
  std::string slowest_pattern;
  constexpr int kRandomPairs = 3000;
  for (int i = 0; i < kRandomPairs; ++i) {
    std::string pattern, name;
    size_t pattern_size = i % 2 ? 256 : 1 + random() % 40;
    while (pattern.size() < pattern_size) pattern += kPatternBytes[random() % kPatternBytes.size()];
    while (name.size() < 255) name += "aab"[random() % 3];
    double ms = TimePair(pattern, name, worst);
    if (ms > slowest) {
      slowest = ms;
      slowest_pattern = pattern;
    }
  }
  std::printf("%9.3f  slowest of %d random patterns: %.60s...\n", slowest, kRandomPairs,
              slowest_pattern.c_str());
}

}  // namespace
}  // namespace slidemill

int main() {
  slidemill::OrdinaryFilters();
  slidemill::Worst worst;
  slidemill::Adversarial(&worst);
  std::printf("slowest pair: %s\n", worst.what.c_str());
  std::printf("worst case: %.3f ms\n", worst.ms);
  return 0;
}
