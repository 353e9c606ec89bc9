// The number-token grammar of the reading operations and the level reader.
// Writes no globals.
#include <limits>

#include "console/console.hpp"

namespace {

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return 99;
}

}  // namespace

bool ParseNumberToken(std::string_view token, bool unsignedOnly, uint64_t& value) {
  size_t i = 0;
  while (i < token.size() && (token[i] == ' ' || token[i] == '\t')) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '-' || token[i] == '+')) {
    negative = token[i] == '-';
    if (negative && unsignedOnly) return false;
    ++i;
  }
  unsigned base = 10;
  const std::string_view rest = token.substr(i);
  if (rest.starts_with("0x")) {
    base = 16;
    i += 2;
  } else if (!rest.empty()) {
    switch (rest.front()) {
      case '$': case 'x': case 'X': base = 16; ++i; break;
      case '%': base = 2; ++i; break;
      case '&': base = 8; ++i; break;
      default: break;
    }
  }
  if (i == token.size()) return false;
  uint64_t magnitude = 0;
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  for (; i < token.size(); ++i) {
    const auto digit = static_cast<unsigned>(DigitValue(token[i]));
    if (digit >= base) return false;
    if (magnitude > (kMax - digit) / base) return false;
    magnitude = magnitude * base + digit;
  }
  // A base prefix alone writes a bit pattern, so any 64-bit pattern is
  // accepted there ($FFFFFFFFFFFFFFFF is -1). A minus sign asks for the
  // negated magnitude, which must lie in the signed 64-bit range whatever the
  // base, as must an unprefixed decimal: -$FFFFFFFFFFFFFFFF is not 1.
  if (!unsignedOnly && (negative || base == 10)) {
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (magnitude > limit) return false;
  }
  value = negative ? uint64_t{0} - magnitude : magnitude;
  return true;
}
