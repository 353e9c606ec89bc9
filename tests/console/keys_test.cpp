// The key decoder fed one byte at a time, and the number-token grammar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/keys.hpp"

namespace {

using console::KeyDecoder;

// Feeds the bytes, then ends the input as the 10 ms pause would.
std::vector<uint8_t> Decode(const std::string& bytes, bool finish = true) {
  KeyDecoder decoder;
  std::vector<uint8_t> keys;
  for (char ch : bytes) decoder.Feed(static_cast<uint8_t>(ch), keys);
  if (finish) decoder.Finish(keys);
  return keys;
}

std::vector<uint8_t> Ext(uint8_t code) { return {0, code}; }

struct KeyCase {
  const char* bytes;
  std::vector<uint8_t> keys;
};

TEST(KeyDecoder, OrdinaryBytes) {
  const KeyCase cases[] = {
      {"a", {'a'}},
      {"\x7f", {8}},  // 127 is backspace
      {"\b", {8}},
      {"\r", {13}},
      {"\x03", {3}},
      {"\xd0\xb0", {0xd0, 0xb0}},  // UTF-8 bytes are keys one by one
      {"\x1b", {27}},             // a lone ESC once nothing follows
  };
  for (const KeyCase& c : cases) EXPECT_EQ(Decode(c.bytes), c.keys) << c.bytes;
}

// Byte 0 is a whole extended key, so it never pairs with the key after it:
// Ctrl+@ then the up arrow must not become the letter H (72).
TEST(KeyDecoder, NulByteIsTheExtendedKeyCtrl2) {
  EXPECT_EQ(Decode(std::string("\0", 1)), Ext(3));
  std::vector<uint8_t> both = Ext(3);
  both.insert(both.end(), {0, 72});
  EXPECT_EQ(Decode(std::string("\0\x1b[A", 4), false), both);
  EXPECT_EQ(Decode(std::string("\0a", 2)), (std::vector<uint8_t>{0, 3, 'a'}));
}

TEST(KeyDecoder, ExtendedKeys) {
  const KeyCase cases[] = {
      {"\x1b[A", Ext(72)},   {"\x1b[B", Ext(80)},   {"\x1b[C", Ext(77)},   {"\x1b[D", Ext(75)},
      {"\x1bOA", Ext(72)},   {"\x1b[H", Ext(71)},   {"\x1b[F", Ext(79)},   {"\x1b[1~", Ext(71)},
      {"\x1b[2~", Ext(82)},  {"\x1b[3~", Ext(83)},  {"\x1b[4~", Ext(79)},  {"\x1b[5~", Ext(73)},
      {"\x1b[6~", Ext(81)},  {"\x1bOP", Ext(59)},   {"\x1bOS", Ext(62)},   {"\x1b[15~", Ext(63)},
      {"\x1b[17~", Ext(64)}, {"\x1b[21~", Ext(68)}, {"\x1b[23~", Ext(133)}, {"\x1b[24~", Ext(134)},
      {"\x1b[[A", Ext(59)},  {"\x1b[[E", Ext(63)},  {"\x1b[1;5C", Ext(77)},  // modifier dropped
  };
  for (const KeyCase& c : cases) EXPECT_EQ(Decode(c.bytes, false), c.keys) << c.bytes + 1;
}

TEST(KeyDecoder, AltWithLetterOrDigit) {
  const KeyCase cases[] = {
      {"\x1bq", Ext(16)}, {"\x1bp", Ext(25)}, {"\x1b" "a", Ext(30)}, {"\x1bl", Ext(38)},
      {"\x1bz", Ext(44)}, {"\x1bm", Ext(50)}, {"\x1bQ", Ext(16)},     {"\x1b" "1", Ext(120)},
      {"\x1b" "9", Ext(128)}, {"\x1b" "0", Ext(129)},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(Decode(c.bytes, false), c.keys) << c.bytes + 1;
}

TEST(KeyDecoder, UnrecognisedSequencesComeBackAsKeys) {
  const KeyCase cases[] = {
      {"\x1b[Z", {27, '[', 'Z'}},
      {"\x1b[99~", {27, '[', '9', '9', '~'}},
      {"\x1b[", {27, '['}},          // cut short by the pause
      {"\x1b\x1b[A", {27, 0, 72}},   // ESC then a whole sequence
      {"\x1b\r", {27, 13}},
      {"\x1b[1\x7f", {27, '[', '1', 8}},  // a byte that cannot continue is a key again
      {"\x1bOx", {27, 'O', 'x'}},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(Decode(c.bytes), c.keys) << c.bytes + 1;
}

TEST(KeyDecoder, FeedReportsAnOpenSequence) {
  KeyDecoder decoder;
  std::vector<uint8_t> keys;
  EXPECT_TRUE(decoder.Feed(27, keys));
  EXPECT_TRUE(decoder.Feed('[', keys));
  EXPECT_TRUE(keys.empty());
  EXPECT_FALSE(decoder.Feed('A', keys));
  EXPECT_FALSE(decoder.Pending());
  EXPECT_EQ(keys, Ext(72));
}

// --- Number tokens ------------------------------------------------------------

struct Token {
  const char* text;
  bool unsignedOnly;
  bool ok;
  uint64_t value;
};

constexpr uint64_t kAll = ~uint64_t{0};

TEST(NumberToken, Grammar) {
  const Token cases[] = {
      // Limits of 64 bits first.
      {"9223372036854775807", false, true, 9223372036854775807u},
      {"9223372036854775808", false, false, 0},
      {"-9223372036854775808", false, true, uint64_t{1} << 63},
      {"-9223372036854775809", false, false, 0},
      {"18446744073709551615", true, true, kAll},
      {"18446744073709551616", true, false, 0},
      {"$FFFFFFFFFFFFFFFF", true, true, kAll},
      {"$10000000000000000", true, false, 0},
      {"$FFFFFFFFFFFFFFFF", false, true, kAll},  // a bit pattern: -1
      // Signs and blanks.
      {"-1", false, true, kAll},
      {"+5", false, true, 5},
      {"  \t12", false, true, 12},
      {"-1", true, false, 0},
      {"+5", true, true, 5},
      {"-", false, false, 0},
      {"+", false, false, 0},
      {"", false, false, 0},
      {"- 1", false, false, 0},
      // Bases.
      {"$10", false, true, 16},
      {"x1f", false, true, 31},
      {"X1F", false, true, 31},
      {"0x10", false, true, 16},
      {"0xaBc", false, true, 0xabc},
      {"%101", false, true, 5},
      {"&17", false, true, 15},
      {"-$10", false, true, uint64_t{0} - 16},
      // A minus sign asks for the signed range in every base.
      {"-$8000000000000000", false, true, uint64_t{1} << 63},
      {"-$8000000000000001", false, false, 0},
      {"-$FFFFFFFFFFFFFFFF", false, false, 0},
      {"0", false, true, 0},
      {"007", false, true, 7},
      // Digits outside the base and other junk.
      {"%102", false, false, 0},
      {"&8", false, false, 0},
      {"$g", false, false, 0},
      {"$", false, false, 0},
      {"0x", false, false, 0},
      {"abc", false, false, 0},
      {"12a", false, false, 0},
      {"1 2", false, false, 0},
      {"$-1", false, false, 0},
  };
  for (const Token& t : cases) {
    uint64_t value = 0xDEADBEEF;
    const bool ok = ParseNumberToken(t.text, t.unsignedOnly, value);
    EXPECT_EQ(ok, t.ok) << '"' << t.text << "\" unsigned=" << t.unsignedOnly;
    if (ok && t.ok) {
      EXPECT_EQ(value, t.value) << t.text;
    }
  }
}

}  // namespace
