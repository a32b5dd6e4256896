#include <gtest/gtest.h>

#include <deque>

#include "platform/posix_internal.h"

namespace slidemill::posix {
namespace {

// Decodes `bytes` as if typed at once; answers every key in order.
std::vector<std::string> Keys(const std::string& bytes) {
  std::deque<int> pending(bytes.begin(), bytes.end());
  KeyDecoder decoder([&pending](int) {
    if (pending.empty()) return -1;
    int byte = static_cast<unsigned char>(pending.front());
    pending.pop_front();
    return byte;
  });
  std::vector<std::string> keys;
  for (std::string key = decoder.Next(); !key.empty(); key = decoder.Next()) keys.push_back(key);
  return keys;
}

std::string Scan(int code) { return std::string{'\0', static_cast<char>(code)}; }

TEST(KeyDecoderTest, BytesAndEscapeSequences) {
  const std::string f4 = Scan(62);
  struct Case {
    std::string bytes;
    std::vector<std::string> keys;
  } cases[] = {
      {"a\x03" "b", {"a", "\x03", "b"}},
      {"\x1bOS", {f4}},                 // F4 from xterm
      {"\x1b[14~", {f4}},               // F4 from rxvt and others
      {"\x1b[1;5S", {f4}},              // Ctrl-F4
      {"\x1b[14;2~", {f4}},             // Shift-F4
      {"\x1b[[D", {f4}},                // the Linux console's F4
      {"\x1b[A\x1b[B", {Scan(72), Scan(80)}},
      {"\x1b[15~y", {Scan(63), "y"}},
      {"\x1b[200~x", {"x"}},            // names no key: dropped whole
      {"\x1b[?25hz", {"z"}},
      {"\x1b", {"\x1b"}},               // Escape alone
      {"\x1by", {"\x1b", "y"}},         // Alt-y: two keys, never a lost one
      {"\x1b[1", {}},                   // cut short: nothing stray
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Keys(c.bytes), c.keys) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
}  // namespace slidemill::posix
