// Terminal output: the 1024-byte buffer, the cursor-movement table, line
// ends and WriteText's own handling of escape sequences and control bytes.
// Writes console::CursorX/CursorY and the output buffer.
//
// Escape vocabulary sent here, and why so little: the console must always
// know where the cursor is, so it only sends what it can account for:
//   ESC [ r ; c H   absolute move         ESC [ n A/B/C/D   relative moves
//   ESC [ H ESC [ 2 J   clear and home    ESC [ K           clear to line end
//   ESC [ ... m     attributes (no cursor effect)
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <poll.h>
#include <unistd.h>

#include "console/console.hpp"
#include "console/internal.hpp"

namespace console {
namespace {

char OutBuffer[1024];
size_t OutLength = 0;

// An escape sequence begun in one WriteText and not yet ended; it is
// finished by the next write.
constexpr size_t kMaxEscapeLength = 32;
char PendingEscape[kMaxEscapeLength];
size_t PendingLength = 0;

void AddToEscape(char ch) { PendingEscape[PendingLength++] = ch; }

void EmitNumber(int n) { Emit(std::to_string(n)); }

void EmitAbsolute(int column, int row) {
  Emit("\033[");
  EmitNumber(row);
  Emit(";");
  EmitNumber(column);
  Emit("H");
}

// Length of the UTF-8 letter at the front of bytes: 2 to 4 for a valid
// multi-byte letter, 1 for anything else (ASCII, a stray continuation byte,
// an overlong or surrogate form), which then counts byte by byte. A letter
// cut short by the end of a write counts as whole when its bytes so far are
// valid: the line editor echoes a typed letter one byte at a time.
size_t LetterLength(std::string_view bytes, bool moreMayFollow) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  size_t length = 1;
  unsigned char low = 0x80;  // the second byte's range excludes overlong
  unsigned char high = 0xBF; // forms, surrogates and code points past U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  for (size_t i = 1; i < length; ++i) {
    if (i == bytes.size()) return moreMayFollow ? length : 1;
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) return 1;
  }
  return length;
}

// How many bytes at the front of run fill at most room columns without
// parting the bytes of a letter.
size_t WholeLetters(std::string_view run, size_t room, bool moreMayFollow) {
  size_t at = 0;
  while (at < run.size()) {
    const size_t length = LetterLength(run.substr(at), moreMayFollow);
    if (at + length > room) break;
    at += length;
  }
  return std::min(at, run.size());
}

// Writes bytes that occupy a column each, breaking the run where the row is
// full. The break comes before a letter whose bytes would straddle it, so a
// terminal never sees half a letter at a line end; columns are still bytes.
// moreMayFollow: the run ends the write, and the next write may finish its
// last letter.
void EmitCounted(std::string_view run, bool moreMayFollow = false) {
  while (!run.empty()) {
    const int room = ScreenColumns - CursorX + 1;
    const size_t fits = room > 0 ? static_cast<size_t>(room) : 0;
    size_t cut = WholeLetters(run, fits, moreMayFollow);
    // A row narrower than one letter takes its bytes as they come.
    if (cut == 0 && CursorX == 1) cut = std::min(fits, run.size());
    Emit(run.substr(0, cut));
    CursorX += static_cast<int>(cut);
    run.remove_prefix(cut);
    if (run.empty()) return;
    LineEnd();
  }
}

void ClearScreen() {
  if (!OutputRedirected) Emit("\033[H\033[2J");
  CursorX = 1;
  CursorY = 1;
}

// Parameters of a control sequence: "" or "n" or "n;m..." with decimal
// digits only. Missing or zero values take the default of 1.
bool ParseParams(std::string_view params, int (&out)[2], int& count) {
  count = 0;
  out[0] = out[1] = 0;
  int value = 0;
  bool any = false;
  for (char ch : params) {
    if (ch >= '0' && ch <= '9') {
      value = value * 10 + (ch - '0');
      if (value > 9999) value = 9999;
      any = true;
    } else if (ch == ';') {
      if (count < 2) out[count] = value;
      ++count;
      value = 0;
      any = false;
    } else {
      return false;
    }
  }
  if (any || count > 0) {
    if (count < 2) out[count] = value;
    ++count;
  }
  return count <= 2;
}

int AtLeastOne(int n) { return n < 1 ? 1 : n; }
int Clamp(int n, int low, int high) { return n < low ? low : (n > high ? high : n); }

// Carries out a complete "ESC [ params final" sequence; false when it is
// not one the console performs (the caller then counts its bytes).
bool PerformSequence(std::string_view seq) {
  if (seq.size() < 3 || seq[1] != '[') return false;
  const char final = seq.back();
  const std::string_view params = seq.substr(2, seq.size() - 3);
  int p[2];
  int count = 0;
  if (!ParseParams(params, p, count)) return false;
  const int n = AtLeastOne(p[0]);
  // The record may sit one past the last column; moves start from the
  // column the terminal actually shows.
  const int x = CursorX > ScreenColumns ? ScreenColumns : CursorX;
  switch (final) {
    case 'A':
    case 'B':
    case 'C':
    case 'D':
      if (count > 1) return false;
      if (final == 'A') MoveCursor(x, Clamp(CursorY - n, 1, ScreenRows));
      if (final == 'B') MoveCursor(x, Clamp(CursorY + n, 1, ScreenRows));
      if (final == 'C') MoveCursor(Clamp(x + n, 1, ScreenColumns), CursorY);
      if (final == 'D') MoveCursor(Clamp(CursorX - n, 1, ScreenColumns), CursorY);
      return true;
    case 'H':
      MoveCursor(Clamp(AtLeastOne(p[1]), 1, ScreenColumns), Clamp(n, 1, ScreenRows));
      return true;
    case 'J':
      if (params != "2") return false;
      ClearScreen();
      return true;
    case 'K':
      if (!params.empty() && params != "0") return false;
      if (!OutputRedirected) Emit(seq);
      return true;
    case 'm':
      if (!OutputRedirected) Emit(seq);
      return true;
    default:
      return false;
  }
}

enum class EscapeStep { kMore, kDone, kAbort };

// Feeds one byte to the pending sequence. kAbort means the byte does not
// belong to it: the sequence so far is counted and the byte is taken anew.
EscapeStep ContinueEscape(char ch) {
  const auto b = static_cast<unsigned char>(ch);
  EscapeStep step = EscapeStep::kAbort;
  if (PendingLength == 1) {
    if (ch == '[') step = EscapeStep::kMore;
    else if (b >= 0x20 && b <= 0x7E) step = EscapeStep::kDone;
  } else if (b >= 0x20 && b <= 0x3F && PendingLength < kMaxEscapeLength - 1) {
    // One place is always kept free for the final byte.
    step = EscapeStep::kMore;
  } else if (b >= 0x40 && b <= 0x7E) {
    step = EscapeStep::kDone;
  }
  if (step != EscapeStep::kAbort) AddToEscape(ch);
  return step;
}

void EndEscape() {
  const std::string seq(PendingEscape, PendingLength);
  PendingLength = 0;
  if (!PerformSequence(seq)) EmitCounted(seq);
}

}  // namespace

void Present() {
  if (PresentHook) PresentHook();
}

void BeforeRead() {
  Present();
  if (ReadHook) ReadHook();
}

void Emit(std::string_view bytes) {
  while (!bytes.empty()) {
    if (OutLength == sizeof OutBuffer) FlushOutput();
    const size_t n = std::min(bytes.size(), sizeof OutBuffer - OutLength);
    std::memcpy(OutBuffer + OutLength, bytes.data(), n);
    OutLength += n;
    bytes.remove_prefix(n);
  }
}

void FlushOutput(bool quiet) {
  if (OutLength == 0) return;
  if (!quiet) Present();
  size_t done = 0;
  while (done < OutLength) {
    const ssize_t n = write(kOutputFd, OutBuffer + done, OutLength - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Someone made the shared terminal non-blocking; wait instead of spinning.
      pollfd pfd{kOutputFd, POLLOUT, 0};
      poll(&pfd, 1, 1000);
      continue;
    }
    const int error = n < 0 ? errno : EIO;
    OutLength = 0;
    if (quiet) return;
    // A full disk, a closed pipe (EPIPE) and a vanished terminal (EIO) are
    // all the same failed output operation.
    Fatal(ExitIoError, std::string("Write error: ") + std::strerror(error));
  }
  OutLength = 0;
}

void MoveCursor(int column, int row) {
  const int c = CursorX;
  const int r = CursorY;
  if (OutputRedirected) {
    if (row == r + 1) Emit("\n");
  } else if (row == r) {
    if (column == c) {
      if (column == ScreenColumns) EmitAbsolute(column, row);
    } else if (column == 1) {
      Emit("\r");
    } else if (column > c) {
      Emit("\033[");
      EmitNumber(column - c);
      Emit("C");
    } else {
      Emit("\033[");
      EmitNumber(c - column);
      Emit("D");
    }
  } else if (column == c) {
    Emit("\033[");
    EmitNumber(row > r ? row - r : r - row);
    Emit(row > r ? "B" : "A");
  } else if (column == 1 && row == r + 1) {
    Emit("\r\n");
  } else {
    EmitAbsolute(column, row);
  }
  CursorX = column;
  CursorY = row;
}

// A line end is always "\r\n" (or "\n\r" on the last row, which scrolls),
// also from column 1: a cursor-down sequence would not scroll if the size
// record is ever wrong, and the bytes a reader expects are the plain ones.
void LineEnd() {
  if (OutputRedirected) {
    // A file gets plain line ends; carriage returns would only litter it.
    Emit("\n");
    if (CursorY < ScreenRows) ++CursorY;
  } else if (CursorY < ScreenRows) {
    Emit("\r\n");
    ++CursorY;
  } else {
    Emit("\n\r");
  }
  CursorX = 1;
}

}  // namespace console

bool ValidUtf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = console::LetterLength(bytes.substr(at), false);
    if (length == 1 && static_cast<unsigned char>(bytes[at]) >= 0x80) return false;
    at += length;
  }
  return true;
}

using namespace console;

void WriteText(std::string_view text) {
  size_t runStart = 0;
  auto endRun = [&](size_t at) {
    if (at > runStart) EmitCounted(text.substr(runStart, at - runStart), at == text.size());
    runStart = at + 1;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (PendingLength > 0) {
      const EscapeStep step = ContinueEscape(ch);
      if (step == EscapeStep::kMore) {
        runStart = i + 1;
        continue;
      }
      if (step == EscapeStep::kDone) {
        EndEscape();
        runStart = i + 1;
        continue;
      }
      // The byte is not part of the sequence: count what was collected and
      // look at the byte again below.
      const std::string broken(PendingEscape, PendingLength);
      PendingLength = 0;
      EmitCounted(broken);
      runStart = i;
    }
    switch (ch) {
      case '\033':
        endRun(i);
        AddToEscape(ch);
        break;
      case '\b':
        endRun(i);
        Emit("\b");
        if (CursorX > 1) --CursorX;
        break;
      case '\n':
        endRun(i);
        LineEnd();
        break;
      case '\r':
        endRun(i);
        MoveCursor(1, CursorY);
        break;
      case '\t': {
        endRun(i);
        const int column = CursorX > ScreenColumns ? 1 : CursorX;
        EmitCounted(std::string(static_cast<size_t>(8 - (column - 1) % 8), ' '));
        break;
      }
      default:
        break;
    }
  }
  endRun(text.size());
  FlushOutput();
}

// One write, so that a line ending in half a letter is not taken for a
// letter that the next write completes.
void WriteLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  WriteText(line);
}

void ClrScr() {
  ClearScreen();
  FlushOutput();
}

void GotoXY(uint8_t column, uint8_t row) {
  // Column or row 0 lies outside the 1-based window just as 81 does.
  if (column < 1 || row < 1 || column > ScreenColumns || row > ScreenRows) return;
  MoveCursor(column, row);
  FlushOutput();
}

int ConsoleColumns() { return ScreenColumns; }
int ConsoleRows() { return ScreenRows; }
uint8_t CursorColumn() { return static_cast<uint8_t>(CursorX > 255 ? 255 : CursorX); }
uint8_t CursorRow() { return static_cast<uint8_t>(CursorY); }
