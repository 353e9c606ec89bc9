// Taking the terminal over and giving it back: start-up bytes, the size
// and cursor queries with their fall-backs, and the attributes after every
// kind of end, including signals and job control.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "tests/console/console_session.hpp"

namespace {

using consoletest::Ops;
using consoletest::Output;
using consoletest::Start;
using pty::Visible;

bool Raw(const termios& t) { return pty::IsRaw(t); }

// --- Start-up ------------------------------------------------------------------

TEST(StartUp, NoAnswerToTheCursorQueryFallsBackToHome) {
  pty::Options options = Ops({"cursor"});
  options.answerCursorQuery = false;
  pty::Session session(options);
  const pty::ReadResult started = session.ReadUntil("{started}");
  EXPECT_EQ(Visible(started.bytes), Visible("\033[6n\033[H\033[m{started}"));
  EXPECT_EQ(Visible(Output(session)), "{cursor 1 1}");
}

TEST(StartUp, AnswerSetsTheCursorAndStrayBytesAreDropped) {
  struct Case {
    const char* answer;
    const char* cursor;
    const char* lineEnd;
  } cases[] = {
      {"\033[7;12R", "{cursor 12 7}", "\r\n"},
      {"zz\033[3;4R", "{cursor 4 3}", "\r\n"},      // typed before the answer: dropped
      {"\033[5\033[9;2R", "{cursor 2 9}", "\r\n"},  // a broken answer, then the real one
      {"\033[99;300R", "{cursor 80 25}", "\n\r"},   // kept inside the screen: last row
  };
  for (const Case& c : cases) {
    pty::Options options = Ops({"cursor", "char"});
    options.cursorAnswer = c.answer;
    pty::Session session(options);
    const pty::ReadResult started = session.ReadUntil("{started}");
    EXPECT_EQ(Visible(started.bytes), Visible("\033[6n\033[m{started}")) << Visible(c.answer);
    // The dropped bytes are not keys: the next answer starts clean.
    session.Write("\r");
    EXPECT_EQ(Visible(Output(session)), Visible(std::string(c.cursor) + c.lineEnd + "{char 10}"));
  }
}

TEST(StartUp, ScreenSize) {
  struct Case {
    int rows, cols;
    const char* size;
  } cases[] = {
      {30, 100, "{size 100 30}"},
      {0, 0, "{size 80 25}"},  // a zero size falls back
      {1, 1, "{size 1 1}"},
      {300, 400, "{size 255 255}"},  // the 8-bit cursor bounds the window
  };
  for (const Case& c : cases) {
    auto session = Start(Ops({"size"}, c.rows, c.cols));
    EXPECT_EQ(Output(*session), c.size);
  }
}

// --- Giving the terminal back ----------------------------------------------------

TEST(Restore, AttributesAfterEveryEnd) {
  struct Case {
    const char* name;
    std::vector<std::string> ops;
    int sig;  // sent once the program waits; 0: none
    int code;  // exit status, or -1 when killed by sig
  } cases[] = {
      {"exit 0", {"exit:0"}, 0, 0},
      {"return from main", {}, 0, 0},
      {"fatal", {"fatal"}, 0, 217},
      {"SIGTERM", {"waitkey"}, SIGTERM, -1},
      {"SIGHUP", {"char"}, SIGHUP, -1},
      {"SIGINT", {"char"}, SIGINT, -1},
      {"SIGQUIT", {"waitkey"}, SIGQUIT, -1},
  };
  for (const Case& c : cases) {
    auto session = Start(Ops(c.ops));
    if (c.sig != 0) {
      ASSERT_TRUE(Raw(session->Attributes())) << c.name;
      session->Signal(c.sig);
    }
    const pty::ExitStatus status = session->WaitExit();
    if (c.code >= 0) {
      EXPECT_TRUE(status.exited && status.code == c.code) << c.name << ": " << status.Describe();
    } else {
      // The parent sees the real cause of death.
      EXPECT_EQ(status.signal, c.sig) << c.name << ": " << status.Describe();
    }
    EXPECT_TRUE(pty::SameAttributes(session->Attributes(), session->AttributesAtStart())) << c.name;
  }
}

TEST(Restore, FatalWritesItsLineAfterTheRestore) {
  auto session = Start(Ops({"write:ab", "fatal"}));
  const pty::ExitStatus status = session->WaitExit();
  EXPECT_EQ(status.code, 217);
  // Pending output first, then the report with the terminal's own line end.
  EXPECT_EQ(Visible(session->Unread()), Visible("abzalpomet: Invalid input\r\n"));
}

TEST(Restore, StoppedFromOutsideIsCookedAndRawAgainWhenContinued) {
  auto session = Start(Ops({"char"}));
  ASSERT_TRUE(Raw(session->Attributes()));
  session->Signal(SIGTSTP);
  ASSERT_TRUE(session->WaitStopped());
  EXPECT_TRUE(pty::SameAttributes(session->Attributes(), session->AttributesAtStart()));
  session->Signal(SIGCONT);
  EXPECT_TRUE(session->WaitAttributes(Raw));
  // Still reading, still its own echo.
  session->Write("y\r");
  EXPECT_EQ(Visible(Output(*session)), Visible("y\r\n{char 121}"));
  EXPECT_EQ(session->WaitExit().code, 0);
}

TEST(Restore, TypedSignalKeysAreOrdinaryKeys) {
  auto session = Start(Ops({"char", "char", "char"}));
  session->Write("\x03\x1a\x1c\r");  // Ctrl+C, Ctrl+Z, Ctrl+backslash
  EXPECT_EQ(Visible(Output(*session)), Visible("\x03\x1a\x1c\r\n{char 3}{char 26}{char 28}"));
}

}  // namespace
