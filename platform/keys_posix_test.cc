#include <gtest/gtest.h>

#include "platform/keys.h"
#include "platform/posix_internal.h"

namespace slidemill::posix {
namespace {

TEST(KeyDecoderTest, BytesAndEscapeSequences) {
  const std::string f4(kF4Key), up("\0\x48", 2), down("\0\x50", 2), f5("\0\x3f", 2);
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"a\x03"
       "b",
       {"a", "\x03", "b"}},
      {"\x1bOS", {f4}},
      {"\x1b[14~", {f4}},  // xterm; rxvt and others
      {"\x1b[1;5S", {f4}},
      {"\x1b[14;2~", {f4}},  // Ctrl-F4, Shift-F4
      {"\x1b[[D", {f4}},     // the Linux console
      {"\x1b[A\x1b[B", {up, down}},
      {"\x1b[15~y", {f5, "y"}},
      {"\x1b[200~x", {"x"}},
      {"\x1b[?25hz", {"z"}},     // name no key: dropped whole
      {"\x1b", {"\x1b"}},        // Escape alone
      {"\x1by", {"\x1b", "y"}},  // Alt-y: two keys, never a lost one
      {"\x1b[1", {}},            // cut short: nothing stray
  };
  for (const auto& [bytes, keys] : cases) {
    size_t at = 0;
    KeyDecoder decoder(
        [&](int) { return at < bytes.size() ? static_cast<unsigned char>(bytes[at++]) : -1; });
    std::vector<std::string> decoded;
    for (std::string key; !(key = decoder.Next()).empty();) decoded.push_back(key);
    EXPECT_EQ(decoded, keys) << testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace slidemill::posix
