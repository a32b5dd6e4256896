#include <gtest/gtest.h>

#include "platform/keys.h"
#include "platform/posix_internal.h"

namespace slidemill::posix {
namespace {

using Keys = std::vector<std::string>;

// The keys a terminal's bytes decode to.
Keys Decode(const std::string& bytes) {
  size_t at = 0;
  KeyDecoder decoder(
      [&](int) { return at < bytes.size() ? static_cast<unsigned char>(bytes[at++]) : -1; });
  Keys keys;
  for (std::string key; !(key = decoder.Next()).empty();) keys.push_back(key);
  return keys;
}

const std::string kF4(kF4Key);

// xterm, rxvt and others, with Ctrl or Shift held, and the Linux console.
TEST(KeyDecoderTest, EveryWayOfSendingF4) {
  for (const char* bytes : {"\x1bOS", "\x1b[14~", "\x1b[1;5S", "\x1b[[D"}) {
    EXPECT_EQ(Decode(bytes), Keys{kF4}) << testing::PrintToString(bytes);
  }
}

TEST(KeyDecoderTest, SequenceNamingNoKeyIsDroppedWhole) {
  EXPECT_EQ(Decode("\x1b[200~x"), Keys{"x"});
  EXPECT_EQ(Decode("\x1b[1"), Keys{});  // cut short
}

// Alt-y arrives as Escape and y: two keys, never a lost one. (Plain bytes
// show in whole runs on a terminal.)
TEST(KeyDecoderTest, EscapeAloneIsAKey) {
  EXPECT_EQ(Decode("\x1b"), Keys{"\x1b"});
  EXPECT_EQ(Decode("\x1by"), (Keys{"\x1b", "y"}));
}

}  // namespace
}  // namespace slidemill::posix
