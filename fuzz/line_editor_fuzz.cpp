// Terminal bytes through the key decoder and the line editor, as typed keys.
// The decoder alone must pair every extended key and give back input without
// ESC unchanged (127 as backspace, 0 as Ctrl+2); through the editor, the answers must hold no key the
// editor consumes, and the cursor record stays on the screen. Input comes through a pipe on standard input, echo goes to
// /dev/null; the pipe is never closed, so the editor state carries over
// between inputs as it would between a player's lines.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "console/console.hpp"
#include "console/internal.hpp"
#include "console/keys.hpp"

namespace {

int PipeWrite = -1;

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "line editor: %s\n", what);
  std::abort();
}

void SetUp() {
  int fds[2];
  if (pipe(fds) != 0) Broken("no pipe");
  dup2(fds[0], console::kInputFd);
  close(fds[0]);
  PipeWrite = fds[1];
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, console::kOutputFd);
  close(null);
  console::InputRedirected = false;
  console::OutputRedirected = false;
  console::ScreenColumns = 80;
  console::ScreenRows = 25;
}

void CheckDecoder(const uint8_t* data, size_t size) {
  console::KeyDecoder decoder;
  std::vector<uint8_t> keys;
  bool escape = false;
  for (size_t i = 0; i < size; ++i) {
    decoder.Feed(data[i], keys);
    escape = escape || data[i] == 27;
  }
  decoder.Finish(keys);
  if (decoder.Pending()) Broken("a sequence still open after Finish");
  // Every 0 starts a pair of keys, so the editor can always skip pairs.
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] != 0) continue;
    if (i + 1 == keys.size()) Broken("an extended key without its code");
    ++i;
  }
  if (escape) return;
  // Without ESC: byte 0 is Ctrl+2 (0, 3), 127 is backspace, the rest as sent.
  std::vector<uint8_t> expected;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) expected.push_back(0);
    expected.push_back(data[i] == 0 ? 3 : data[i] == 127 ? 8 : data[i]);
  }
  if (keys != expected) Broken("plain bytes decoded otherwise");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;  // the pipe must take the whole input at once
  CheckDecoder(data, size);
  if (PipeWrite < 0) SetUp();

  // 1 then Enter always ends the last line: no byte or sequence can join
  // them.
  std::vector<uint8_t> input(data, data + size);
  input.push_back(1);
  input.push_back('\r');
  for (size_t done = 0; done < input.size();) {
    const ssize_t n = write(PipeWrite, input.data() + done, input.size() - done);
    if (n <= 0) Broken("pipe write failed");
    done += static_cast<size_t>(n);
  }

  for (;;) {
    const uint8_t b = ReadChar();
    if (b == 26 && InputExhausted()) Broken("input reported exhausted on an open pipe");
    if (b == 0 || b == 8 || b == 13 || b == 27 || b == 127) Broken("a consumed key reached the answer");
    if (CursorColumn() < 1 || CursorColumn() > 81 || CursorRow() < 1 || CursorRow() > 25)
      Broken("the cursor record left the screen");
    // Byte 10 always ends its line, so the line buffer is used up here.
    if (b == 10 && !KeyPressed()) break;
  }
  return 0;
}
