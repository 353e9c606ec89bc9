// The level-file reader on arbitrary bytes: the numbers, then the closing
// text. A file may be refused (LevelFileError); otherwise the object count
// stays within the table and every briefing line reaches the terminal short
// and free of control bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "game/level_file.hpp"
#include "game/state.hpp"

namespace {

size_t Lines = 0;

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "level reader: %s\n", what);
  std::abort();
}

void Show(std::string_view line) {
  ++Lines;
  if (line.size() > 255) Broken("a briefing line longer than 255 bytes");
  for (size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if ((c < 32 && c != '\t') || c == 0x7F) Broken("a control byte in a briefing line");
    if (c == 0xC2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) <= 0x9F &&
        static_cast<unsigned char>(line[i + 1]) >= 0x80)
      Broken("a C1 control in a briefing line");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> bytes(data, data + size);
  bytes.push_back('\0');  // fmemopen wants a buffer; the extra byte is not part of the file
  FILE* file = fmemopen(bytes.data(), size, "r");
  if (file == nullptr) return 0;
  Lines = 0;
  try {
    ReadLevelNumbers(file);
    if (UnitCount > MaxUnits) Broken("more objects than the table holds");
    ReadClosingText(file, Show);
    if (Lines == 0) Broken("no briefing line shown");
    size_t lineEnds = 0;
    for (size_t i = 0; i < size; ++i) lineEnds += data[i] == '\n';
    if (Lines > lineEnds + 1) Broken("more briefing lines than the file has");
  } catch (const LevelFileError&) {
  }
  std::fclose(file);
  return 0;
}
