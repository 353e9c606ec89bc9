// The key decoder: byte 127 as backspace, escape sequences of cursor,
// editing and function keys (xterm, VT and Linux console forms) and Alt
// combinations as extended keys. Writes no globals.
#include "console/keys.hpp"

#include <cstring>

namespace console {
namespace {

constexpr uint8_t kEsc = 27;

// The letter row codes of the PC keyboard, which the Alt codes follow.
constexpr char kRows[] = "qwertyuiop\0\0\0\0asdfghjkl\0\0\0\0\0zxcvbnm";
constexpr uint8_t kFirstRowCode = 16;

void Extended(std::vector<uint8_t>& keys, uint8_t code) {
  keys.push_back(0);
  keys.push_back(code);
}

// ESC [ n ~ forms.
uint8_t TildeKey(int n) {
  switch (n) {
    case 1: case 7: return key::kHome;
    case 2: return key::kInsert;
    case 3: return key::kDelete;
    case 4: case 8: return key::kEnd;
    case 5: return key::kPageUp;
    case 6: return key::kPageDown;
    case 11: case 12: case 13: case 14: case 15:
      return static_cast<uint8_t>(key::kF1 + n - 11);
    case 17: case 18: case 19: case 20: case 21:
      return static_cast<uint8_t>(key::kF1 + 5 + n - 17);
    case 23: return key::kF11;
    case 24: return key::kF12;
    default: return 0;
  }
}

// Final letters shared by ESC [ and ESC O (xterm sends either).
uint8_t LetterKey(uint8_t final) {
  switch (final) {
    case 'A': return key::kUp;
    case 'B': return key::kDown;
    case 'C': return key::kRight;
    case 'D': return key::kLeft;
    case 'H': return key::kHome;
    case 'F': return key::kEnd;
    case 'P': case 'Q': case 'R': case 'S':
      return static_cast<uint8_t>(key::kF1 + final - 'P');
    default: return 0;
  }
}

}  // namespace

uint8_t AltCode(uint8_t byte) {
  if (byte >= '1' && byte <= '9') return static_cast<uint8_t>(key::kAlt1 + byte - '1');
  if (byte == '0') return static_cast<uint8_t>(key::kAlt1 + 9);
  if (byte >= 'A' && byte <= 'Z') byte = static_cast<uint8_t>(byte - 'A' + 'a');
  if (byte < 'a' || byte > 'z') return 0;
  const void* at = std::memchr(kRows, byte, sizeof kRows - 1);
  return static_cast<uint8_t>(kFirstRowCode + (static_cast<const char*>(at) - kRows));
}

void KeyDecoder::GiveBack(std::vector<uint8_t>& keys) {
  keys.insert(keys.end(), bytes_, bytes_ + length_);
  length_ = 0;
}

// bytes_ holds ESC, the introducer and the parameters; decides the key.
bool KeyDecoder::Complete(uint8_t final, std::vector<uint8_t>& keys) {
  const uint8_t introducer = bytes_[1];
  uint8_t code = 0;
  if (introducer == 'O') {
    code = length_ == 2 ? LetterKey(final) : 0;
  } else if (length_ == 3 && bytes_[2] == '[') {
    // Linux console: ESC [ [ A..E are F1..F5.
    code = final >= 'A' && final <= 'E' ? static_cast<uint8_t>(key::kF1 + final - 'A') : 0;
  } else {
    // ESC [ params final; a modifier after ';' (Shift, Ctrl) is not kept.
    int first = 0;
    bool digits = false;
    bool valid = true;
    for (unsigned i = 2; i < length_ && bytes_[i] != ';'; ++i) {
      if (bytes_[i] < '0' || bytes_[i] > '9') valid = false;
      if (first < 1000) first = first * 10 + (bytes_[i] - '0');
      digits = true;
    }
    if (valid && final == '~') code = digits ? TildeKey(first) : 0;
    if (valid && final != '~' && (!digits || first == 1)) code = LetterKey(final);
  }
  if (code == 0) {
    bytes_[length_++] = final;
    GiveBack(keys);
    return false;
  }
  length_ = 0;
  Extended(keys, code);
  return false;
}

bool KeyDecoder::Feed(uint8_t byte, std::vector<uint8_t>& keys) {
  if (length_ == 0) {
    if (byte == kEsc) {
      bytes_[length_++] = byte;
      return true;
    }
    // A bare 0 would read as the first half of an extended key and take the
    // next key as its code (an arrow after it would type a letter); it is
    // the extended key Ctrl+2, as a PC keyboard reports it.
    if (byte == 0) {
      Extended(keys, key::kCtrl2);
      return false;
    }
    keys.push_back(byte == 127 ? 8 : byte);
    return false;
  }
  if (length_ == 1) {
    if (byte == '[' || byte == 'O') {
      bytes_[length_++] = byte;
      return true;
    }
    if (const uint8_t alt = AltCode(byte)) {
      length_ = 0;
      Extended(keys, alt);
      return false;
    }
    // ESC then something unknown: the ESC is a key of its own and the byte
    // is looked at afresh (it may start another sequence).
    GiveBack(keys);
    return Feed(byte, keys);
  }
  const bool parameter = (byte >= '0' && byte <= '9') || byte == ';' ||
                         (byte == '[' && length_ == 2 && bytes_[1] == '[');
  if (parameter && length_ < sizeof bytes_ - 1) {
    bytes_[length_++] = byte;
    return true;
  }
  if (byte >= 0x40 && byte <= 0x7E) return Complete(byte, keys);
  GiveBack(keys);
  return Feed(byte, keys);
}

void KeyDecoder::Finish(std::vector<uint8_t>& keys) { GiveBack(keys); }

}  // namespace console
