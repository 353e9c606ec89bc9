// Taking the terminal over and giving it back: redirection checks, the size
// query, raw mode, the cursor-position query, and the one restore that runs
// at exit, on fatal signals and around job-control stops. Writes
// console::ScreenColumns/ScreenRows, CursorX/CursorY, the redirection flags.
#include <cerrno>
#include <csignal>
#include <algorithm>
#include <cstdlib>
#include <string>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "console/console.hpp"
#include "console/internal.hpp"

namespace console {
namespace {

termios SavedMode;
termios RawMode;
// Set while the program wants the terminal raw; the handlers read them, so
// they are plain flags of the signal-safe type.
volatile sig_atomic_t RawWanted = 0;
volatile sig_atomic_t RawApplied = 0;

// Async-signal-safe: only tcsetattr.
void ApplySaved() {
  if (RawApplied) {
    tcsetattr(kOutputFd, TCSANOW, &SavedMode);
    RawApplied = 0;
  }
}

// Async-signal-safe. A process in a background group must not change the
// terminal under the shell; it gets raw mode back when it is continued in
// the foreground (which sends SIGCONT again).
void ApplyRaw() {
  if (RawWanted && tcgetpgrp(kOutputFd) == getpgrp()) {
    tcsetattr(kOutputFd, TCSANOW, &RawMode);
    RawApplied = 1;
  }
}

void OnFatalSignal(int sig) {
  const int savedErrno = errno;
  ApplySaved();
  // SA_RESETHAND has put the default action back; the signal stays blocked
  // until the handler returns and then ends the process, so the parent sees
  // the real cause of death and a crash still writes its core. A second
  // fatal signal sent right after the first is held back the same way and
  // cannot cut the restore short. A fault (SEGV, BUS, FPE, ILL) raised by an
  // instruction meets the default action when the instruction runs again.
  raise(sig);
  errno = savedErrno;
}

void OnStop(int) {
  const int savedErrno = errno;
  ApplySaved();
  // SIGSTOP rather than SIGTSTP: the default action of SIGTSTP is dropped
  // in an orphaned process group, which would leave us running cooked.
  raise(SIGSTOP);
  ApplyRaw();
  errno = savedErrno;
}

void OnContinue(int) {
  const int savedErrno = errno;
  ApplyRaw();
  errno = savedErrno;
}

// Every signal whose default action ends the process and that a handler may
// catch: sent from outside (TERM, HUP, INT, QUIT, ALRM, USR1, USR2, VTALRM,
// PROF, XCPU, XFSZ) or raised by a fault of the program itself (ABRT, BUS,
// FPE, ILL, SEGV, SYS). A crash must not leave the player's shell raw.
// SIGPIPE is not here: it is ignored, and a write into a closed pipe fails
// like any other write.
constexpr int kFatalSignals[] = {SIGTERM, SIGHUP,    SIGINT,  SIGQUIT, SIGALRM, SIGUSR1,
                                 SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGABRT,
                                 SIGBUS,  SIGFPE,    SIGILL,  SIGSEGV, SIGSYS};

void Install(int sig, void (*handler)(int), int flags, bool blockFatal = false) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  if (blockFatal) {
    for (int fatal : kFatalSignals) sigaddset(&action.sa_mask, fatal);
  }
  action.sa_flags = flags;
  sigaction(sig, &action, nullptr);
}

void InstallHandlers() {
  for (int sig : kFatalSignals) {
    Install(sig, OnFatalSignal, SA_RESETHAND, true);
  }
  Install(SIGTSTP, OnStop, SA_RESTART);
  Install(SIGCONT, OnContinue, SA_RESTART);
}

void ExitRestore() { ConsoleRestore(); }

bool SameTerminal(int a, int b) {
  struct stat sa {};
  struct stat sb {};
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

void QuerySize() {
  winsize ws{};
  const bool ok = ioctl(kOutputFd, TIOCGWINSZ, &ws) == 0;
  ScreenColumns = ok && ws.ws_col > 0 ? ws.ws_col : 80;
  ScreenRows = ok && ws.ws_row > 0 ? ws.ws_row : 25;
  if (ScreenColumns > kMaxScreenSide) ScreenColumns = kMaxScreenSide;
  if (ScreenRows > kMaxScreenSide) ScreenRows = kMaxScreenSide;
}

void EnterRawMode() {
  if (tcgetattr(kOutputFd, &SavedMode) != 0) return;
  RawMode = SavedMode;
  // Input: no break-to-interrupt, no CR-to-NL (Enter arrives as 13, which
  // the line editor expects), no parity check, keep the 8th bit, no XON/XOFF
  // so Ctrl+S and Ctrl+Q are keys, no NL/CR rewriting at all.
  RawMode.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                            ICRNL | IXON | INPCK);
  // Output: no post-processing; the console writes "\r\n" itself and counts
  // every byte it sends.
  RawMode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  // Control: 8-bit characters, no parity.
  RawMode.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  RawMode.c_cflag |= CS8;
  // Local: no echo (the editor echoes), no canonical lines (the editor edits),
  // no signal keys (Ctrl+C and Ctrl+Z are ordinary keys), no extended input
  // processing (Ctrl+V would swallow the next key).
  RawMode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // A read returns as soon as one byte is there; waiting is done with poll().
  RawMode.c_cc[VMIN] = 1;
  RawMode.c_cc[VTIME] = 0;
  RawWanted = 1;
  InstallHandlers();
  std::atexit(ExitRestore);
  // TCSANOW keeps keys typed before start-up: they become the first answer.
  if (tcsetattr(kOutputFd, TCSANOW, &RawMode) == 0) RawApplied = 1;
}

// Reads the answer ESC [ row ; column R. Each byte is waited for at most
// 1000 ms; other bytes are dropped. A terminal that keeps sending other
// bytes is given up on after a bounded number of them, so start-up ends.
bool ReadCursorReport(int fd, int& row, int& column) {
  enum { kEsc, kBracket, kRow, kColumn } state = kEsc;
  int values[2] = {0, 0};
  for (int dropped = 0; dropped < 1024;) {
    pollfd pfd{fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, 1000);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || !(pfd.revents & POLLIN)) return false;
    unsigned char b = 0;
    const ssize_t n = read(fd, &b, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) return false;
    if (state == kEsc && b == 0x1B) {
      state = kBracket;
    } else if (state == kBracket && b == '[') {
      state = kRow;
      values[0] = values[1] = 0;
    } else if ((state == kRow || state == kColumn) && b >= '0' && b <= '9') {
      int& v = values[state == kRow ? 0 : 1];
      if (v < 100000) v = v * 10 + (b - '0');
    } else if (state == kRow && b == ';') {
      state = kColumn;
    } else if (state == kColumn && b == 'R') {
      row = values[0];
      column = values[1];
      return true;
    } else {
      ++dropped;
      state = b == 0x1B ? kBracket : kEsc;
    }
  }
  return false;
}

int Clamp(int v, int high) { return v < 1 ? 1 : (v > high ? high : v); }

void FindCursor() {
  Emit("\033[6n");
  FlushOutput();
  // The answer arrives on the terminal's input side; with standard input
  // elsewhere, the output descriptor (normally opened read-write) carries it.
  const int fd = InputRedirected ? kOutputFd : kInputFd;
  int row = 0;
  int column = 0;
  if (ReadCursorReport(fd, row, column)) {
    CursorX = Clamp(column, ScreenColumns);
    CursorY = Clamp(row, ScreenRows);
  } else {
    CursorX = 1;
    CursorY = 1;
    Emit("\033[H");
  }
  Emit("\033[m");
  FlushOutput();
}

}  // namespace
}  // namespace console

using namespace console;

void ConsoleInit() {
  // A reader that goes away (`zalpomet | head -c1`) must make the write fail
  // with EPIPE, which ends the program with a report like any failed write,
  // instead of killing it silently.
  signal(SIGPIPE, SIG_IGN);
  OutputRedirected = !isatty(kOutputFd);
  InputRedirected = !isatty(kInputFd) || OutputRedirected || !SameTerminal(kInputFd, kOutputFd);
  QuerySize();
  CursorX = 1;
  CursorY = 1;
  if (OutputRedirected) {
    std::atexit(ExitRestore);
    return;
  }
  EnterRawMode();
  FindCursor();
}

void ConsoleRestore() {
  FlushOutput(true);
  RawWanted = 0;
  ApplySaved();
}

namespace {

void WriteToStderr(std::string_view bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(STDERR_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void Fatal(int status, std::string_view what) {
  FatalLine(status, std::string("zalpomet: ").append(what));
}

void FatalLine(int status, std::string_view line) {
  ConsoleRestore();
  WriteToStderr(std::string(line) + '\n');
  std::exit(status);
}

void Report(std::string_view what) {
  FlushOutput();
  // On the raw terminal a bare line feed would leave the next line starting
  // under the end of this one, and the console's cursor record must follow
  // the line when it lands on the game's own screen.
  const bool onScreen =
      RawApplied && isatty(STDERR_FILENO) && SameTerminal(STDERR_FILENO, kOutputFd);
  std::string text = "zalpomet: ";
  text.append(what);
  if (!onScreen) {
    WriteToStderr(text + "\n");
    return;
  }
  const bool freshRow = CursorX == 1;
  WriteToStderr((freshRow ? "" : "\r\n") + text + "\r\n");
  const auto columns = static_cast<size_t>(ScreenColumns);
  const int rows = static_cast<int>((text.size() + columns - 1) / columns);
  CursorX = 1;
  CursorY = std::min(CursorY + rows + (freshRow ? 0 : 1), ScreenRows);
}

void SetPresentHook(void (*hook)()) { PresentHook = hook; }
void SetReadHook(void (*hook)()) { ReadHook = hook; }
