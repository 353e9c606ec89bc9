// consoletest: runs the console operations named on its command line, in
// order, after ConsoleInit, and reports results on standard error as
// "{name value}" so that a pty test can check exact bytes around them.
//   write:TEXT line:TEXT (C escapes \e \n \r \b \t \\ \xHH)  clr  goto:C,R
//   cursor  size  mark  num  num16  unum  unum8  char  lineend  exhausted
//   keypressed  keyloop  waitkey  delay:MS  exit:N  fatal
//   hook (from then on, "{P}" marks each call of the present hook)
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "console/console.hpp"

namespace {

std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char e = s[++i];
    switch (e) {
      case 'e': out += '\033'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 'b': out += '\b'; break;
      case 't': out += '\t'; break;
      case 'x':
        out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
        i += 2;
        break;
      default: out += e; break;
    }
  }
  return out;
}

void Say(const std::string& text) {
  const std::string line = "{" + text + "}";
  (void)!write(2, line.data(), line.size());
}

// Marks every moment the console presents the window before going on.
void MarkPresent() { (void)!write(2, "{P}", 3); }

void Run(std::string_view op) {
  const size_t colon = op.find(':');
  const std::string_view name = op.substr(0, colon);
  const std::string arg = colon == std::string_view::npos ? "" : std::string(op.substr(colon + 1));
  if (name == "write") {
    WriteText(Unescape(arg));
  } else if (name == "line") {
    WriteLine(Unescape(arg));
  } else if (name == "clr") {
    ClrScr();
  } else if (name == "goto") {
    const size_t comma = arg.find(',');
    GotoXY(static_cast<uint8_t>(std::stoi(arg.substr(0, comma))),
           static_cast<uint8_t>(std::stoi(arg.substr(comma + 1))));
  } else if (name == "cursor") {
    Say("cursor " + std::to_string(CursorColumn()) + " " + std::to_string(CursorRow()));
  } else if (name == "size") {
    Say("size " + std::to_string(ConsoleColumns()) + " " + std::to_string(ConsoleRows()));
  } else if (name == "mark") {
    (void)!write(2, "#", 1);
  } else if (name == "num") {
    Say("num " + std::to_string(ReadNumber()));
  } else if (name == "num16") {
    Say("num16 " + std::to_string(static_cast<int16_t>(ReadNumber())));
  } else if (name == "unum") {
    Say("unum " + std::to_string(ReadUnsigned()));
  } else if (name == "unum8") {
    Say("unum8 " + std::to_string(static_cast<uint8_t>(ReadUnsigned())));
  } else if (name == "char") {
    Say("char " + std::to_string(ReadChar()));
  } else if (name == "lineend") {
    ReadLineEnd();
  } else if (name == "exhausted") {
    Say(std::string("exhausted ") + (InputExhausted() ? "1" : "0"));
  } else if (name == "keypressed") {
    Say(std::string("key ") + (KeyPressed() ? "1" : "0"));
  } else if (name == "keyloop") {
    // The game's wait for any key: KeyPressed in a loop without pause.
    while (!KeyPressed()) {
    }
    Say("pressed");
  } else if (name == "waitkey") {
    Say("waiting");
    WaitKey();
    Say("ready");
  } else if (name == "delay") {
    Delay(static_cast<uint16_t>(std::stoi(arg)));
    Say("slept");
  } else if (name == "exit") {
    std::exit(std::stoi(arg));
  } else if (name == "hook") {
    SetPresentHook(MarkPresent);
  } else if (name == "fatal") {
    Fatal(217, "Invalid input");
  } else {
    Say("unknown op " + std::string(op));
    std::exit(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ConsoleInit();
  Say("started");
  for (int i = 1; i < argc; ++i) Run(argv[i]);
  Say("done");
  return 0;
}
