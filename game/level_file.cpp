// Level files ./level/<n>.lvl: reads the numbers, shows the closing text as
// the briefing and prepares health. Writes UnitCount, PlayerX, the three
// stocks, PlayerMaxHealth, x and kind of the level's Units, BriefingLine, and
// (through ResetLevelState and PrepareHealth) the level-start state.
#include "game/level_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/state.hpp"

namespace {

constexpr size_t MaxToken = 255;
constexpr size_t MaxLine = 255;

// The file is read byte by byte through stdio's buffer and never a whole line
// or token at once, so a file of one endless line costs no more memory than
// a short one.
FILE* LevelFile = nullptr;
std::string LevelName;

[[noreturn]] void Fail(const std::string& cause) { Fatal(ExitIoError, LevelName + ": " + cause); }

// Failures while reading are thrown, so that the stream is closed on the way
// out and the reader can run on a stream that is not a level file.
[[noreturn]] void Refuse(const std::string& cause) { throw LevelFileError(cause); }

int NextByte() {
  const int c = std::getc(LevelFile);
  if (c == EOF && std::ferror(LevelFile)) Refuse(std::string("Read error: ") + std::strerror(errno));
  return c;
}

void OpenLevelFile() {
  // O_NONBLOCK keeps a FIFO named like the level from hanging the open; such
  // a file is refused below anyway.
  const int fd = open(LevelName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) Fail("File not found");
    Fail(std::strerror(err));
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int err = errno;
    close(fd);
    Fail(std::strerror(err));
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    Fail("Is a directory");
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    Fail("Not a regular file");
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  LevelFile = fdopen(fd, "r");
  if (LevelFile == nullptr) {
    const int err = errno;
    close(fd);
    Fail(std::strerror(err));
  }
}

// One whole number: blanks and controls (0..32) skipped; the end of the file
// gives 0. The byte that ends the token stays unread: it belongs to the first
// line of the closing text.
int16_t ReadLevelNumber() {
  int c = NextByte();
  while (c != EOF && static_cast<unsigned char>(c) <= 32) c = NextByte();
  if (c == EOF) return 0;
  std::string token;
  while (c != EOF && static_cast<unsigned char>(c) > 32) {
    // No integer needs more than 255 bytes; taking the rest as a second
    // number would shift every value after it.
    if (token.size() == MaxToken) Refuse("Invalid input");
    token.push_back(static_cast<char>(c));
    c = NextByte();
  }
  if (c != EOF) std::ungetc(c, LevelFile);
  uint64_t value = 0;
  if (!ParseNumberToken(token, false, value)) Refuse("Invalid input");
  return Store16(static_cast<int64_t>(value));
}

// One line of closing text: up to 255 bytes before the first CR or LF; the
// rest up to and including the LF is skipped. Returns false at the end of
// the file, tested after the line.
bool ReadBriefingLine(std::string& line) {
  line.clear();
  int c = NextByte();
  while (c != EOF && c != '\n' && c != '\r') {
    if (line.size() < MaxLine) line.push_back(static_cast<char>(c));
    c = NextByte();
  }
  while (c != EOF && c != '\n') c = NextByte();
  c = NextByte();
  if (c == EOF) return false;
  std::ungetc(c, LevelFile);
  return true;
}

// Length of the valid UTF-8 character at s[i] (lead byte 0xC2..0xF4), or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = b(i);
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
  return n;
}

}  // namespace

// A briefing is data from a file, never terminal control: every control
// character except tab (C0, DEL, C1 written as UTF-8, and stray 0x80..0x9F
// that 8-bit terminals take as C1) becomes "?", so a level cannot move the
// cursor, retitle the window or reprogram the terminal. Valid UTF-8 passes.
std::string SanitiseBriefing(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      const bool control = (c < 32 && c != '\t') || c == 0x7F;
      out.push_back(control ? '?' : static_cast<char>(c));
      ++i;
      continue;
    }
    const size_t n = Utf8Length(s, i);
    if (n == 0) {
      out.push_back(c <= 0x9F ? '?' : static_cast<char>(c));
      ++i;
      continue;
    }
    const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) <= 0x9F;
    if (c1)
      out.push_back('?');
    else
      out.append(s.substr(i, n));
    i += n;
  }
  return out;
}

std::string LevelFileName(int16_t number) { return "./level/" + std::to_string(number) + ".lvl"; }

void ReadLevelNumbers(FILE* file) {
  LevelFile = file;
  UnitCount = ReadLevelNumber();
  if (UnitCount > MaxUnits)
    Refuse(std::to_string(UnitCount) + " objects, at most " + std::to_string(MaxUnits));
  PlayerX = ReadLevelNumber();
  AmmoHE = ReadLevelNumber();
  AmmoAP = ReadLevelNumber();
  AmmoNuclear = ReadLevelNumber();
  PlayerMaxHealth = ReadLevelNumber();
  for (int i = 1; i <= UnitCount; ++i) {
    Units[i].x = ReadLevelNumber();
    Units[i].kind = ReadLevelNumber();
  }
}

void ReadClosingText(FILE* file, void (*show)(std::string_view line)) {
  LevelFile = file;
  bool more = true;
  while (more) {
    more = ReadBriefingLine(BriefingLine);
    show(SanitiseBriefing(BriefingLine));
  }
}

void LoadLevel() {
  ClrScr();
  LevelName = LevelFileName(LevelNumber);
  OpenLevelFile();
  try {
    ReadLevelNumbers(LevelFile);
    ResetLevelState();
    ClrScr();
    ReadClosingText(LevelFile, WriteLine);
  } catch (const LevelFileError& error) {
    std::fclose(LevelFile);
    LevelFile = nullptr;
    Fail(error.what());
  }
  std::fclose(LevelFile);
  LevelFile = nullptr;
  PrepareHealth();
}
