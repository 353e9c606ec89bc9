// Terminal input: the raw byte ring, the key queue, the line editor (or
// plain line reading when standard input is not the terminal), and the
// reading operations built on the line buffer. Writes only its own state
// and, through the editor's echo, the cursor record.
#include <cerrno>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include "console/console.hpp"
#include "console/internal.hpp"
#include "console/keys.hpp"

namespace console {
namespace {

constexpr size_t kRawSize = 256;
constexpr size_t kKeySize = 20;
constexpr size_t kLineSize = 256;
constexpr int kEscapePauseMs = 10;

uint8_t RawRing[kRawSize];
size_t RawHead = 0;
size_t RawCount = 0;

uint8_t KeyRing[kKeySize];
size_t KeyHead = 0;
size_t KeyCount = 0;

KeyDecoder Decoder;

uint8_t Line[kLineSize];
size_t LineLength = 0;
size_t LinePos = 0;
bool Exhausted = false;

enum class Got { kData, kNothing, kEnd };

// Waits up to timeoutMs (-1: without limit) for input and moves what is
// available into the raw ring.
Got ReadInput(int timeoutMs) {
  BeforeRead();
  // Whatever comes back, the time since the last Delay went to the player.
  RestartPace();
  for (;;) {
    pollfd pfd{kInputFd, POLLIN, 0};
    const int ready = poll(&pfd, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return Got::kNothing;
    if (ready < 0) return Got::kEnd;
    uint8_t chunk[kRawSize];
    const ssize_t n = read(kInputFd, chunk, kRawSize - RawCount);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (timeoutMs == 0) return Got::kNothing;
      continue;
    }
    // 0 or an error such as EIO after a hang-up: the input is over.
    if (n <= 0) return Got::kEnd;
    for (ssize_t i = 0; i < n; ++i) {
      RawRing[(RawHead + RawCount) % kRawSize] = chunk[i];
      ++RawCount;
    }
    return Got::kData;
  }
}

uint8_t PopRaw() {
  const uint8_t b = RawRing[RawHead];
  RawHead = (RawHead + 1) % kRawSize;
  --RawCount;
  return b;
}

// Queues decoded keys; a full queue drops the new key (both halves of an
// extended key, never one alone).
void QueueKeys(const std::vector<uint8_t>& keys) {
  for (size_t i = 0; i < keys.size(); ++i) {
    const size_t width = keys[i] == 0 && i + 1 < keys.size() ? 2 : 1;
    if (KeyCount + width <= kKeySize) {
      for (size_t j = 0; j < width; ++j) {
        KeyRing[(KeyHead + KeyCount) % kKeySize] = keys[i + j];
        ++KeyCount;
      }
    }
    i += width - 1;
  }
}

// The next key from the terminal; false at the end of input.
bool TakeKey(uint8_t& key) {
  std::vector<uint8_t> keys;
  while (KeyCount == 0) {
    if (RawCount == 0) {
      if (Decoder.Pending()) {
        // A sequence has begun; if nothing follows soon it was a lone ESC.
        if (ReadInput(kEscapePauseMs) != Got::kData) {
          keys.clear();
          Decoder.Finish(keys);
          QueueKeys(keys);
        }
        continue;
      }
      if (ReadInput(-1) == Got::kEnd) return false;
    }
    while (RawCount > 0 && KeyCount == 0) {
      keys.clear();
      Decoder.Feed(PopRaw(), keys);
      QueueKeys(keys);
    }
  }
  key = KeyRing[KeyHead];
  KeyHead = (KeyHead + 1) % kKeySize;
  --KeyCount;
  return true;
}

void Echo(uint8_t byte) { WriteText(std::string_view(reinterpret_cast<const char*>(&byte), 1)); }

void EditLine() {
  while (LineLength < kLineSize) {
    uint8_t k = 0;
    if (!TakeKey(k)) return;
    if (k == 0) {
      TakeKey(k);  // the code of an extended key, ignored with it
      continue;
    }
    if (k == 8) {
      if (LineLength > 0) {
        --LineLength;
        WriteText("\b \b");
      }
      continue;
    }
    if (k == 27) continue;
    if (k == 13) {
      Line[LineLength++] = 10;
      WriteText("\n");
      return;
    }
    Echo(k);
    Line[LineLength++] = k;
    if (k == 10) return;
  }
}

// A byte of a non-terminal input, or -1 at its end.
int StreamByte(bool take) {
  if (RawCount == 0 && ReadInput(-1) != Got::kData) return -1;
  return take ? PopRaw() : RawRing[RawHead];
}

void ReadStreamLine() {
  while (LineLength < kLineSize) {
    const int b = StreamByte(true);
    if (b < 0) return;
    if (b == 13 && StreamByte(false) != 10) {
      Line[LineLength++] = 10;
      return;
    }
    Line[LineLength++] = static_cast<uint8_t>(b);
    if (b == 10) return;
  }
}

// The next byte of the line buffer, reading a new line when it is used up;
// false at the end of input.
bool PeekLineByte(uint8_t& b) {
  if (LinePos >= LineLength) {
    LinePos = LineLength = 0;
    if (!Exhausted) {
      if (InputRedirected) {
        ReadStreamLine();
      } else {
        EditLine();
      }
    }
    if (LineLength == 0) {
      Exhausted = true;
      return false;
    }
  }
  b = Line[LinePos];
  return true;
}

bool NextLineByte(uint8_t& b) {
  if (!PeekLineByte(b)) return false;
  ++LinePos;
  return true;
}

uint64_t ReadToken(bool unsignedOnly) {
  uint8_t b = 0;
  for (;;) {
    if (!PeekLineByte(b)) return 0;
    if (b > 32) break;
    ++LinePos;
  }
  std::string token;
  while (token.size() < 255 && LinePos < LineLength && Line[LinePos] > 32) {
    token += static_cast<char>(Line[LinePos++]);
  }
  uint64_t value = 0;
  if (!ParseNumberToken(token, unsignedOnly, value)) Fatal(ExitIoError, "Invalid input");
  return value;
}

// True when a key read would not block; waits up to timeoutMs for that.
bool InputReady(int timeoutMs) {
  if (KeyCount > 0 || RawCount > 0 || Exhausted) return true;
  pollfd pfd{kInputFd, POLLIN, 0};
  const int ready = poll(&pfd, 1, timeoutMs);
  // A hang-up or closed input also counts: the read that follows returns
  // at once and reports the end, so a wait loop cannot run forever.
  return ready > 0 && pfd.revents != 0;
}

}  // namespace
}  // namespace console

using namespace console;

int64_t ReadNumber() { return static_cast<int64_t>(ReadToken(false)); }

uint64_t ReadUnsigned() { return ReadToken(true); }

uint8_t ReadChar() {
  uint8_t b = 0;
  return NextLineByte(b) ? b : 26;
}

void ReadLineEnd() {
  if (LinePos >= LineLength) return;
  uint8_t b = 0;
  while (NextLineByte(b) && b != 10) {
  }
}

bool InputExhausted() { return Exhausted; }

void EndIfInputExhausted() {
  if (Exhausted) Fatal(ExitIoError, "Invalid input: standard input has ended");
}

bool KeyPressed() {
  BeforeRead();
  // A key reported ends a wait for any key; a poll that finds none leaves
  // the pace of an animation that looks for keys between its frames alone.
  if (!InputReady(0)) return false;
  RestartPace();
  return true;
}

void WaitKey() {
  BeforeRead();
  while (!InputReady(-1)) {
  }
  RestartPace();
}
