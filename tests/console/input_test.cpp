// Reading through a real pseudo-terminal: the line editor's echo, number and
// character answers, the 256-byte line, KeyPressed and WaitKey, and reading
// from a pipe.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/console/console_session.hpp"

namespace {

using consoletest::Ops;
using consoletest::Output;
using consoletest::Start;
using pty::Visible;

struct Answer {
  const char* typed;
  const char* op;
  const char* expected;  // echo, then the report
};

void Check(const Answer& a) {
  auto session = Start(Ops({a.op}));
  session->Write(a.typed);
  EXPECT_EQ(Visible(Output(*session)), Visible(a.expected)) << Visible(a.typed);
  EXPECT_EQ(session->WaitExit().code, 0) << Visible(a.typed);
}

// --- Numbers as the game keeps them ------------------------------------------

TEST(Answers, Numbers) {
  const Answer answers[] = {
      {"70000\r", "num16", "70000\r\n{num16 4464}"},  // low 16 bits
      {"-1\r", "num16", "-1\r\n{num16 -1}"},
      {"32767\r", "num16", "32767\r\n{num16 32767}"},
      {"32768\r", "num16", "32768\r\n{num16 -32768}"},
      {"$10\r", "num", "$10\r\n{num 16}"},
      {"  +7 rest\r", "num", "  +7 rest\r\n{num 7}"},
      {"\r\r42\r", "num", "\r\n\r\n42\r\n{num 42}"},  // empty lines are skipped
      {"300\r", "unum8", "300\r\n{unum8 44}"},
      {"18446744073709551615\r", "unum", "18446744073709551615\r\n{unum 18446744073709551615}"},
  };
  for (const Answer& a : answers) Check(a);
}

// --- The line editor -----------------------------------------------------------

TEST(Editor, KeysThatEditTheLine) {
  const Answer answers[] = {
      {"\x7f" "5\r", "num", "5\r\n{num 5}"},             // backspace on an empty line
      {"12\x7f\r", "num", "12\b \b\r\n{num 1}"},          // 127 arrives as backspace
      {"12\b\b\b3\r", "num", "12\b \b\b \b3\r\n{num 3}"},  // never below the line start
      {"\x1b[A\x1bOP4\x1b[3~\r", "num", "4\r\n{num 4}"},  // extended keys are ignored
      {"9\n", "num", "9\r\n{num 9}"},                      // a typed byte 10 ends the line
      {"\r", "char", "\r\n{char 10}"},                     // Enter at a yes/no question
      {"\x03\r", "char", "\x03\r\n{char 3}"},              // Ctrl+C is an ordinary key
  };
  for (const Answer& a : answers) Check(a);
}

TEST(Editor, LoneEscapeIsIgnoredAfterItsPause) {
  auto session = Start(Ops({"num"}));
  session->Write("\x1b");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  session->Write("7\r");
  EXPECT_EQ(Visible(Output(*session)), Visible("7\r\n{num 7}"));
}

TEST(Editor, LineEndsAt256Bytes) {
  // No Enter: the 256th byte ends the line by itself.
  auto session = Start(Ops({"char", "lineend", "char"}, 25, 255));
  session->Write(std::string(256, 'a'));
  const pty::ReadResult first = session->ReadUntil("{char 97}");
  ASSERT_TRUE(first.found) << Visible(first.bytes);
  // The second row holds the last byte: 255 columns, then a line end.
  EXPECT_EQ(first.bytes, std::string(255, 'a') + "\r\na{char 97}");
  // The line holds no line end, so ReadLineEnd goes on through the next one.
  session->Write("b\rc\r");
  EXPECT_EQ(Visible(Output(*session)), Visible("b\r\nc\r\n{char 99}"));
}

TEST(Editor, ReadLineEndOnAUsedUpLineReturnsAtOnce) {
  auto session = Start(Ops({"num", "lineend", "lineend", "exhausted"}));
  session->Write("5 6\r");
  EXPECT_EQ(Visible(Output(*session)), Visible("5 6\r\n{num 5}{exhausted 0}"));
}

TEST(Editor, AnswerLeftInTheLineIsReadNext) {
  auto session = Start(Ops({"num", "num", "lineend", "num"}));
  session->Write("1 2 3\r4\r");
  EXPECT_EQ(Visible(Output(*session)), Visible("1 2 3\r\n{num 1}{num 2}4\r\n{num 4}"));
}

// --- Invalid answers -------------------------------------------------------------

TEST(Answers, InvalidNumbersEndWith217) {
  const Answer answers[] = {
      {"abc\r", "num", "abc\r\nzalpomet: Invalid input\r\n"},
      {"!7\r", "num", "!7\r\nzalpomet: Invalid input\r\n"},  // only bytes up to 32 are skipped
      {"-1\r", "unum", "-1\r\nzalpomet: Invalid input\r\n"},
      {"9223372036854775808\r", "num", "9223372036854775808\r\nzalpomet: Invalid input\r\n"},
  };
  for (const Answer& a : answers) {
    auto session = Start(Ops({a.op}));
    session->Write(a.typed);
    const pty::ExitStatus status = session->WaitExit();
    EXPECT_TRUE(status.exited && status.code == 217) << status.Describe();
    EXPECT_EQ(Visible(session->Unread()), Visible(a.expected));
    EXPECT_TRUE(pty::SameAttributes(session->Attributes(), session->AttributesAtStart()));
  }
}

// --- Waiting for a key ---------------------------------------------------------

TEST(Keys, KeyPressedTakesNothing) {
  auto session = Start(Ops({"keypressed", "keyloop", "char"}));
  ASSERT_TRUE(session->ReadUntil("{key 0}"));
  session->Write("q");
  ASSERT_TRUE(session->ReadUntil("{pressed}"));
  session->Write("\r");
  // The key that ended the wait is the first of the next line.
  EXPECT_EQ(Visible(Output(*session)), Visible("q\r\n{char 113}"));
}

TEST(Keys, WaitKeyBlocksWithoutBurningTime) {
  auto session = Start(Ops({"waitkey", "char"}));
  ASSERT_TRUE(session->ReadUntil("{waiting}"));
  const double before = session->CpuSeconds();
  EXPECT_EQ(session->ReadFor(std::chrono::milliseconds(1000)), "");
  const double after = session->CpuSeconds();
  EXPECT_LT(after - before, 0.1) << "CPU seconds while waiting";
  session->Write("z");
  ASSERT_TRUE(session->ReadUntil("{ready}"));
  session->Write("\r");
  EXPECT_EQ(Visible(Output(*session)), Visible("z\r\n{char 122}"));
}

TEST(Keys, PresentHookRunsBeforeWritesWaitsAndSleeps) {
  auto session = Start(Ops({"hook", "write:ab", "clr", "goto:80,80", "keypressed", "delay:1",
                            "waitkey"}));
  const pty::ReadResult waiting = session->ReadUntil("{waiting}");
  ASSERT_TRUE(waiting.found);
  session->Write("k");
  // GotoXY outside the window writes nothing, so nothing is presented.
  EXPECT_EQ(Visible(waiting.bytes + Output(*session)),
            Visible("{P}ab{P}\033[H\033[2J{P}{key 0}{P}{slept}{waiting}{P}{ready}"));
}

// --- Standard input from a pipe ------------------------------------------------

TEST(Pipe, LinesWithoutEchoAndTheEndOfInput) {
  pty::Options options = Ops({"num", "lineend", "num", "lineend", "char", "char", "char", "char",
                              "exhausted", "char", "exhausted", "num"});
  options.stdinPipe = true;
  auto session = Start(options);
  // A lone CR counts as a line feed; CR LF is kept as it came.
  session->WriteStdin("12\r34\n x\r\n");
  session->CloseStdin();
  EXPECT_EQ(Visible(Output(*session)),
            Visible("{num 12}{num 34}{char 32}{char 120}{char 13}{char 10}{exhausted 0}"
                    "{char 26}{exhausted 1}{num 0}"));
}

TEST(Pipe, KeyPressedSeesWaitingBytesAndEnd) {
  pty::Options options = Ops({"keypressed", "keyloop", "num", "keypressed"});
  options.stdinPipe = true;
  auto session = Start(options);
  ASSERT_TRUE(session->ReadUntil("{key 0}"));
  session->WriteStdin("8\n");
  session->CloseStdin();
  // After the end of input a read returns at once, so a wait loop ends.
  EXPECT_EQ(Visible(Output(*session)), Visible("{pressed}{num 8}{key 1}"));
}

}  // namespace
