// The terminal side of the game: raw mode, the cursor record, writing with
// escape sequences, the line editor, number and character reading, key
// polling, Delay and the MT19937 Random. Only this subsystem touches termios
// or the terminal's file descriptors.
#pragma once

#include <cstdint>
#include <string_view>

// Start-up: attach to standard input and output, query the size, switch to
// raw mode, ask for the cursor position, reset attributes. Installs the
// restore on every way out (atexit, fatal signals, job control).
void ConsoleInit();
// Sends pending output and gives the terminal its saved attributes back.
// Idempotent; async-signal-safe apart from the output flush.
void ConsoleRestore();

// How the program fails, layer by layer:
//  - Fatal is the one exit path, before the terminal is set up and after it:
//    it restores the terminal and prints one line "zalpomet: <what>"
//    (FatalLine: a line that must read exactly as it stands). Report prints
//    the same line and carries on, for a cause whose failure comes later.
//  - The level reader throws LevelFileError, so that the stream is closed on
//    the way out and the level checker can read a file that is no level;
//    LoadLevel turns it into Fatal with the file's name.
//  - The drawing layer keeps the last-error code that GraphResult reads and
//    ends the program only for drawing without a window, an OpenGL library
//    that cannot be loaded and a display that cannot be opened at start-up.
//  - The tools end on their own prefix and status (2).
// Statuses besides 0: a failed input or output operation (the terminal, a
// level file), and every other failure.
inline constexpr int ExitIoError = 217;
inline constexpr int ExitFailure = 1;
[[noreturn]] void Fatal(int status, std::string_view what);
// Writes the line "zalpomet: <what>" to standard error and carries on: the
// cause of a failure whose consequence comes later. On the game's raw
// terminal the line starts at column 1 and ends in a carriage return too.
void Report(std::string_view what);
// Fatal for a line that must read exactly as it stands, without the prefix
// (the drawing layer's not-in-graphics-mode line, a library that cannot be
// loaded): the same restore, the line and its line end, the exit.
[[noreturn]] void FatalLine(int status, std::string_view line);

// Called before the program sleeps, waits for, polls or reads a key, or writes
// to the terminal, so that whatever the window has drawn is on the screen by
// then. The graphics device installs it; null means nothing to present.
void SetPresentHook(void (*hook)());
// Called before the program reads, polls or waits for a key (after the
// present): where a program that plays the game itself puts its answer into
// the input. Null means nobody answers but the player.
void SetReadHook(void (*hook)());

void ClrScr();
void GotoXY(uint8_t column, uint8_t row);
void WriteText(std::string_view text);
void WriteLine(std::string_view text);
// Well-formed UTF-8 (no stray continuation bytes, overlong forms, surrogates
// or values past U+10FFFF): what the wrap keeps whole as letters.
bool ValidUtf8(std::string_view bytes);

int64_t ReadNumber();
uint64_t ReadUnsigned();
uint8_t ReadChar();
void ReadLineEnd();
// True once a read has met the end of standard input.
bool InputExhausted();
// A refused answer is asked again; once standard input has ended the same
// refusal would come back for ever, so this ends the program (ExitIoError).
void EndIfInputExhausted();
// The number-token grammar shared by ReadNumber, ReadUnsigned and the level
// reader: optional blanks, sign, base prefix ($ x X 0x hex, % binary, & octal),
// digits. Returns false for a malformed token or one outside 64 bits; the
// value is the 64-bit two's-complement pattern of the number.
bool ParseNumberToken(std::string_view token, bool unsignedOnly, uint64_t& value);

// True when a key is waiting; nothing is taken and nothing blocks.
bool KeyPressed();
// Blocks (no spinning) until KeyPressed would report a key; the key stays unread.
void WaitKey();

// Sleeps so that ms have passed since the previous Delay returned; the
// drawing in between counts against the wait (see RestartPace).
void Delay(uint16_t ms);
// The time since the previous Delay was spent on something else than a
// frame: waiting for the player or opening a window. The next Delay sleeps
// its whole time. The console calls it after every read or wait on the
// terminal.
void RestartPace();

// The program's one generator. Its seed stays here with it and not among the
// game's variables: Random reseeds whenever RandSeed changes, so seed and
// generator are one state, and the console cannot see the game's.
inline uint32_t RandSeed = 0;
int32_t Random(int32_t n);
void Randomize();

// The clock Delay keeps its pace by (CLOCK_MONOTONIC, in nanoseconds) and
// its sleep until a moment on that clock.
int64_t MonotonicNanoseconds();
void SleepUntilNanoseconds(int64_t deadline);

// Test seams. A virtual clock puts its own time behind Delay, moving it only
// when slept on (every sleep is then exactly the delay asked, and the time is
// their sum); the benchmark wraps the real ones to time them.
inline int64_t (*DelayClock)() = MonotonicNanoseconds;
inline void (*DelaySleepUntil)(int64_t deadline) = SleepUntilNanoseconds;
// The clock behind Randomize.
inline int64_t (*ClockSeconds)() = nullptr;  // null: time()

// The console's view of the terminal, for tests and for the level checker.
int ConsoleColumns();
int ConsoleRows();
uint8_t CursorColumn();
uint8_t CursorRow();
