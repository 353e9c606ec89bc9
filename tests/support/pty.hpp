// A program run under a pseudo-terminal, for end-to-end tests of the console
// and the game: start it at a given size, type bytes, read until a pattern
// shows up, send signals, wait for it to end, and compare the terminal's
// attributes before and after. Answers the cursor-position query by default.
//
//   pty::Session game({.argv = {ZALPOMET_BINARY}, .cwd = ZALPOMET_SOURCE_DIR});
//   ASSERT_TRUE(game.ReadUntil("Выход")) << game.Seen();
//   game.Write("3\r");
//   EXPECT_EQ(game.WaitExit().code, 0);
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace pty {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

struct Options {
  std::vector<std::string> argv;          // argv[0] is the program's path
  std::vector<std::string> env;           // "NAME=value" added to (or replacing in) ours
  std::string cwd;                        // empty: ours
  int rows = 25;
  int cols = 80;
  // Answer "\033[6n" with cursorAnswer as soon as the program asks; without
  // an answer the console waits a second before it falls back.
  bool answerCursorQuery = true;
  std::string cursorAnswer = "\033[1;1R";
  // Give the program a pipe as standard input instead of the terminal
  // (WriteStdin / CloseStdin feed it); output still goes to the terminal.
  bool stdinPipe = false;
};

struct ExitStatus {
  bool timedOut = false;  // still running when the wait ended
  bool exited = false;    // ended by exit(); code is valid
  int code = -1;
  int signal = 0;         // ended by this signal
  long maxRssKb = -1;     // the program's peak resident memory, once reaped
  std::string Describe() const;
};

struct ReadResult {
  bool found = false;
  // Bytes from the read mark up to the end of the pattern, or all bytes
  // after the mark when the pattern did not appear in time.
  std::string bytes;
  explicit operator bool() const { return found; }
};

class Session {
 public:
  explicit Session(Options options);
  ~Session();  // kills the program if it still runs
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  pid_t Pid() const { return pid_; }

  // Types bytes on the terminal (as the keyboard would). While the terminal's
  // input queue is full the program's output is read meanwhile, so a long
  // paste cannot deadlock against the echo.
  void Write(std::string_view bytes);
  void WriteStdin(std::string_view bytes);  // needs stdinPipe
  void CloseStdin();

  // Reads until pattern appears after the read mark, then moves the mark
  // past it. The time-out is generous by default: machines are shared.
  ReadResult ReadUntil(std::string_view pattern, Millis timeout = 10000ms);
  // Reads whatever arrives during the period, moves the mark to the end and
  // returns those bytes (for "nothing else was sent" checks).
  std::string ReadFor(Millis period);
  // Everything the program has written so far, and the part after the mark.
  const std::string& Seen() const { return seen_; }
  std::string Unread() const { return seen_.substr(mark_); }

  void Signal(int sig);
  // Waits for the end, reading output meanwhile so the program never blocks.
  ExitStatus WaitExit(Millis timeout = 10000ms);
  // Waits until the program is stopped (job control); false on time-out.
  bool WaitStopped(Millis timeout = 10000ms);

  // The terminal's attributes when the program started, and now.
  const termios& AttributesAtStart() const { return atStart_; }
  termios Attributes() const;
  // Waits until the current attributes satisfy the predicate.
  bool WaitAttributes(bool (*predicate)(const termios&), Millis timeout = 10000ms);

  // User plus system CPU time the program has used, in seconds.
  double CpuSeconds() const;

 private:
  // Reads what is available within the wait; false when nothing came.
  bool Pump(int waitMs);
  void AnswerQueries();

  Options options_;
  pid_t pid_ = -1;
  int master_ = -1;
  int slave_ = -1;  // kept open so the terminal outlives the program
  int stdinWrite_ = -1;
  termios atStart_{};
  std::string seen_;
  size_t mark_ = 0;
  size_t queryScan_ = 0;
  bool reaped_ = false;
  ExitStatus status_;
};

// True when the attributes match in every flag and control character.
bool SameAttributes(const termios& a, const termios& b);
// The console's raw mode: no echo, no canonical lines, no signal keys, no
// output processing.
bool IsRaw(const termios& t);
// Printable form of bytes for failure messages ("\033[1;1H" shown as \e[1;1H).
std::string Visible(std::string_view bytes);

}  // namespace pty
