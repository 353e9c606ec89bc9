// State shared by the console's source files: the screen size, the cursor
// record, the redirection flags and the output buffer. Written by
// terminal.cpp (start-up) and output.cpp (cursor, buffer); read by input.cpp.
#pragma once

#include <cstdint>
#include <string_view>

namespace console {

inline constexpr int kInputFd = 0;
inline constexpr int kOutputFd = 1;

// The cursor is 8-bit for the game, so a wider terminal is used only up to
// this many columns or rows.
inline constexpr int kMaxScreenSide = 255;

inline int ScreenColumns = 80;
inline int ScreenRows = 25;
// The console's own record of the terminal cursor, 1-based. The column may
// reach ScreenColumns + 1 after a row has been filled exactly: the terminal
// then waits to wrap, and the next counted byte starts a new line.
inline int CursorX = 1;
inline int CursorY = 1;
inline bool OutputRedirected = false;
inline bool InputRedirected = false;
// Flushes the graphics window before the program waits, reads or writes.
inline void (*PresentHook)() = nullptr;
// Answers for a program that plays itself, before the program reads.
inline void (*ReadHook)() = nullptr;

// Calls the present hook, if one is set.
void Present();
// Before a read, a poll or a wait for a key: the present, then the read hook.
void BeforeRead();

// Appends bytes to the 1024-byte output buffer, sending it when full.
void Emit(std::string_view bytes);
// Sends the buffer. A failed write ends the program (status 217) unless
// quiet is set, which the restore path uses so that it never recurses.
void FlushOutput(bool quiet = false);

// Moves the cursor record with the movement table's bytes.
void MoveCursor(int column, int row);
void LineEnd();

}  // namespace console
