// The number-token grammar of ReadNumber, ReadUnsigned and the level reader.
// The first byte chooses the unsigned form, the rest is the token. Every
// answer is checked against a second reading written here from the grammar,
// and plain decimal tokens also against the C library's strtoll/strtoull.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/console.hpp"

namespace {

[[noreturn]] void Mismatch(const char* what, std::string_view token, bool unsignedOnly) {
  std::fprintf(stderr, "number token %s: \"%.*s\" (%s)\n", what, static_cast<int>(token.size()),
               token.data(), unsignedOnly ? "unsigned" : "signed");
  std::abort();
}

// Blanks, sign, base prefix, digits; the magnitude must fit 64 bits and, for
// signed decimal or a minus sign, the value the signed 64-bit range.
bool Reference(std::string_view t, bool unsignedOnly, uint64_t& value) {
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (negative && unsignedOnly) return false;
  unsigned base = 10;
  if (t.substr(i, 2) == "0x") {
    base = 16, i += 2;
  } else if (i < t.size() && (t[i] == '$' || t[i] == 'x' || t[i] == 'X')) {
    base = 16, ++i;
  } else if (i < t.size() && t[i] == '%') {
    base = 2, ++i;
  } else if (i < t.size() && t[i] == '&') {
    base = 8, ++i;
  }
  if (i == t.size()) return false;
  uint64_t magnitude = 0;
  for (; i < t.size(); ++i) {
    const std::string digits = "0123456789abcdef";
    const char lower = t[i] >= 'A' && t[i] <= 'F' ? static_cast<char>(t[i] - 'A' + 'a') : t[i];
    const size_t d = digits.find(lower);
    if (d == std::string::npos || d >= base) return false;
    if (__builtin_mul_overflow(magnitude, uint64_t{base}, &magnitude) ||
        __builtin_add_overflow(magnitude, uint64_t{d}, &magnitude))
      return false;
  }
  if (!unsignedOnly && (negative || base == 10)) {
    const uint64_t limit = negative ? 0x8000000000000000u : 0x7FFFFFFFFFFFFFFFu;
    if (magnitude > limit) return false;
  }
  value = negative ? 0 - magnitude : magnitude;
  return true;
}

bool PlainDecimal(std::string_view t) {
  size_t i = t.empty() || (t[0] != '+' && t[0] != '-') ? 0 : 1;
  if (i == t.size()) return false;
  for (; i < t.size(); ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 300) return 0;
  const bool unsignedOnly = data[0] & 1;
  const std::string_view token(reinterpret_cast<const char*>(data + 1), size - 1);

  uint64_t value = 0x5A5A5A5A5A5A5A5A;  // a parser that never writes must not pass
  const bool ok = ParseNumberToken(token, unsignedOnly, value);
  uint64_t expected = 0;
  const bool expectedOk = Reference(token, unsignedOnly, expected);
  if (ok != expectedOk) Mismatch(ok ? "accepted" : "refused", token, unsignedOnly);
  if (ok && value != expected) Mismatch("misread", token, unsignedOnly);

  if (PlainDecimal(token) && !(unsignedOnly && token[0] == '-')) {
    const std::string text(token);
    errno = 0;
    char* end = nullptr;
    const uint64_t library = unsignedOnly ? std::strtoull(text.c_str(), &end, 10)
                                          : static_cast<uint64_t>(std::strtoll(text.c_str(), &end, 10));
    const bool libraryOk = errno != ERANGE && *end == '\0';
    if (ok != libraryOk || (ok && value != library)) Mismatch("differs from the C library", token, unsignedOnly);
  }
  return 0;
}
