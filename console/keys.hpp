// Turning terminal bytes into keys: a pure decoder fed one byte at a time,
// with no reading and no timing of its own (the caller decides when an
// escape sequence has stopped arriving and calls Finish).
#pragma once

#include <cstdint>
#include <vector>

namespace console {

// Codes of the extended keys, which arrive as the two keys 0, code.
namespace key {
inline constexpr uint8_t kCtrl2 = 3;  // Ctrl+2 / Ctrl+@, which the terminal sends as byte 0
inline constexpr uint8_t kF1 = 59;    // F1..F10 are 59..68
inline constexpr uint8_t kF11 = 133, kF12 = 134;
inline constexpr uint8_t kHome = 71, kUp = 72, kPageUp = 73, kLeft = 75, kRight = 77;
inline constexpr uint8_t kEnd = 79, kDown = 80, kPageDown = 81, kInsert = 82, kDelete = 83;
inline constexpr uint8_t kAlt1 = 120;  // Alt+1..Alt+9 are 120..128, Alt+0 is 129
}  // namespace key

// The Alt code of a letter (either case) or digit; 0 for any other byte.
uint8_t AltCode(uint8_t byte);

class KeyDecoder {
 public:
  // Takes one byte and appends the keys it completes (none while a
  // sequence is open). Returns true while a sequence is open.
  bool Feed(uint8_t byte, std::vector<uint8_t>& keys);
  // No more bytes are coming for now: an open sequence is given back as
  // ordinary keys (a lone ESC is the key 27).
  void Finish(std::vector<uint8_t>& keys);
  bool Pending() const { return length_ > 0; }

 private:
  void GiveBack(std::vector<uint8_t>& keys);
  bool Complete(uint8_t final, std::vector<uint8_t>& keys);

  uint8_t bytes_[16] = {};
  unsigned length_ = 0;
};

}  // namespace console
