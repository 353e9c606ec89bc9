// Bytes the console sends for writes and cursor moves, through a real
// pseudo-terminal; the cursor record is reported after each case.
#include <string>

#include "tests/console/console_session.hpp"

namespace {

using consoletest::Ops;
using consoletest::Output;
using consoletest::Start;
using pty::Visible;

std::string Sent(std::vector<std::string> ops, int rows = 25, int cols = 80) {
  auto session = Start(Ops(std::move(ops), rows, cols));
  const std::string out = Output(*session);
  EXPECT_EQ(session->WaitExit().code, 0);
  return out;
}

// --- Wrapping by byte columns, letters kept whole -------------------------

// A letter whose bytes would straddle the last column moves to the next row
// whole; a line end never stands between the bytes of a letter.
struct Wrapped {
  int cols;
  std::vector<std::string> ops;
  std::string bytes;
};

TEST(Wrap, ALetterThatWouldStraddleTheLastColumnStartsTheNextRow) {
  const std::string prompt =
      "Введите тип снаряда (1 - фугасный, 2 -бронебойный, 3 - тактический ядерный";
  const std::string briefing =
      "Разведка: 2 танка у реки в 600 шагах, за холмом корректировщик. "
      "Бейте сначала по дальней группе, потом по ближней.";
  ASSERT_EQ(prompt.size(), 128u);
  const Wrapped cases[] = {
      // Byte 80 is the second byte of "н": 79 bytes, then the letter.
      {80, {"write:" + prompt, "cursor"},
       "Введите тип снаряда (1 - фугасный, 2 -бронебой\r\n"
       "ный, 3 - тактический ядерный{cursor 50 2}"},
      {100, {"write:" + prompt, "cursor"},
       "Введите тип снаряда (1 - фугасный, 2 -бронебойный, 3 - такт\r\n"
       "ический ядерный{cursor 30 2}"},
      // A row broken one byte early shifts every later break.
      {50, {"line:" + briefing, "cursor"},
       "Разведка: 2 танка у реки в 600 \r\n"  // 50 bytes
       "шагах, за холмом корректиро\r\n"      // 50
       "вщик. Бейте сначала по даль\r\n"      // 49
       "ней группе, потом по ближне\r\n"      // 49
       "й.\r\n{cursor 1 6}"},
      // Three- and four-byte letters.
      {10, {"write:12345678€x", "cursor"}, "12345678\r\n€x{cursor 5 2}"},
      {10, {"write:1234567\xF0\x9F\x98\x80", "cursor"}, "1234567\r\n\xF0\x9F\x98\x80{cursor 5 2}"},
      // A letter that ends a full row exactly is not moved.
      {10, {"write:12345678ж", "cursor"}, "12345678ж{cursor 11 1}"},
      // The line editor echoes a letter byte by byte in separate writes: the
      // first byte already knows the letter will not fit.
      {10, {"write:123456789", "write:\\xD0", "write:\\xB6", "cursor"}, "123456789\r\nж{cursor 3 2}"},
      // Invalid UTF-8 is broken byte-wise, as before: a lead byte followed
      // by ASCII or by a control byte, an overlong form, a surrogate.
      {10, {"write:123456789\\xD0x", "cursor"}, "123456789\xD0\r\nx{cursor 2 2}"},
      {10, {"line:123456789\\xD0", "cursor"}, "123456789\xD0\r\n{cursor 1 2}"},
      {10, {"write:123456789\\xC0\\x80", "cursor"}, "123456789\xC0\r\n\x80{cursor 2 2}"},
      {10, {"write:12345678\\xED\\xA0\\x80", "cursor"}, "12345678\xED\xA0\r\n\x80{cursor 2 2}"},
      // A row narrower than one letter takes its bytes as they come.
      {2, {"write:€", "cursor"}, "\xE2\x82\r\n\xAC{cursor 2 2}"},
  };
  for (const Wrapped& w : cases) {
    EXPECT_EQ(Visible(Sent(w.ops, 25, w.cols)), Visible(w.bytes)) << w.cols << " " << w.ops[0];
  }
}

// What a person types is echoed whole as well.
TEST(Wrap, TypedLetterAtTheLastColumnIsEchoedOnTheNextRow) {
  auto session = Start(Ops({"goto:80,1", "char"}));
  session->Write("жx\r");
  EXPECT_EQ(Visible(Output(*session)), Visible("\033[79C\r\nжx\r\n{char 208}"));
}

TEST(Wrap, RowBoundaries) {
  const std::string x80(80, 'x');
  // Exactly a full row: no break yet; the next byte starts the new row.
  EXPECT_EQ(Visible(Sent({"write:" + x80, "cursor", "write:y", "cursor"})),
            Visible(x80 + "{cursor 81 1}\r\ny{cursor 2 2}"));
  // From column 75 six bytes fit.
  EXPECT_EQ(Visible(Sent({"goto:75,1", "write:abcdefghij", "cursor"})),
            Visible("\033[74Cabcdef\r\nghij{cursor 5 2}"));
  // A run longer than two rows on a narrow terminal.
  EXPECT_EQ(Visible(Sent({"write:0123456789abcdefghijklmnopqrstuvwxyz", "cursor"}, 25, 10)),
            Visible("0123456789\r\nabcdefghij\r\nklmnopqrst\r\nuvwxyz{cursor 7 4}"));
}

// --- Line ends ---------------------------------------------------------------

TEST(LineEnd, AboveAndOnTheLastRow) {
  EXPECT_EQ(Visible(Sent({"line:ab", "cursor", "line:", "cursor"})),
            Visible("ab\r\n{cursor 1 2}\r\n{cursor 1 3}"));
  // On the last row the terminal scrolls and the cursor stays on that row.
  EXPECT_EQ(Visible(Sent({"goto:1,5", "line:abc", "cursor", "line:", "cursor"}, 5, 80)),
            Visible("\033[4Babc\n\r{cursor 1 5}\n\r{cursor 1 5}"));
}

// --- Cursor-movement table ----------------------------------------------------

struct Move {
  int c, r, c2, r2;
  const char* bytes;
};

TEST(Movement, EveryCaseOfTheTable) {
  const Move moves[] = {
      {80, 3, 80, 3, "\033[3;80H"},  // same place in the last column: absolute
      {5, 3, 5, 3, ""},              // same place elsewhere: nothing
      {10, 3, 1, 3, "\r"},
      {10, 3, 15, 3, "\033[5C"},
      {15, 3, 10, 3, "\033[5D"},
      {7, 3, 7, 9, "\033[6B"},
      {7, 9, 7, 3, "\033[6A"},
      {12, 3, 1, 4, "\r\n"},
      {1, 3, 1, 4, "\033[1B"},  // same column wins over the line-end case
      {12, 3, 20, 9, "\033[9;20H"},
      {12, 3, 1, 2, "\033[2;1H"},
      {2, 3, 1, 4, "\r\n"},
  };
  std::vector<std::string> ops;
  for (const Move& m : moves) {
    ops.push_back("goto:" + std::to_string(m.c) + "," + std::to_string(m.r));
    ops.push_back("mark");
    ops.push_back("goto:" + std::to_string(m.c2) + "," + std::to_string(m.r2));
    ops.push_back("cursor");
    ops.push_back("mark");
  }
  const std::string out = Sent(ops);
  size_t at = 0;
  for (const Move& m : moves) {
    const size_t begin = out.find('#', at) + 1;
    const size_t end = out.find('#', begin);
    ASSERT_NE(end, std::string::npos) << Visible(out);
    const std::string expected =
        std::string(m.bytes) + "{cursor " + std::to_string(m.c2) + " " + std::to_string(m.r2) + "}";
    EXPECT_EQ(Visible(out.substr(begin, end - begin)), Visible(expected))
        << "from " << m.c << "," << m.r << " to " << m.c2 << "," << m.r2;
    at = end + 1;
  }
}

TEST(Movement, GotoOutsideTheWindowDoesNothing) {
  EXPECT_EQ(Visible(Sent({"goto:5,2", "mark", "goto:81,1", "goto:80,26", "goto:0,3", "goto:3,0",
                          "cursor", "goto:80,25", "cursor"})),
            Visible("\033[2;5H#{cursor 5 2}\033[25;80H{cursor 80 25}"));
}

TEST(Movement, ClrScrThenAbsoluteThenRelative) {
  EXPECT_EQ(Visible(Sent({"goto:9,9", "mark", "clr", "cursor", "goto:30,5", "goto:30,6"})),
            Visible("\033[9;9H#\033[H\033[2J{cursor 1 1}\033[5;30H\033[1B"));
}

// --- Escape sequences and control bytes in WriteText ------------------------

struct Written {
  std::vector<std::string> ops;
  const char* bytes;
};

TEST(WriteText, SequencesTheConsoleCarriesOut) {
  const Written cases[] = {
      {{"write:\\e[5C", "cursor"}, "\033[5C{cursor 6 1}"},
      {{"goto:10,3", "mark", "write:\\e[99A", "cursor"}, "\033[3;10H#\033[2A{cursor 10 1}"},
      {{"goto:10,3", "mark", "write:\\e[D", "cursor"}, "\033[3;10H#\033[1D{cursor 9 3}"},
      {{"goto:10,3", "mark", "write:\\e[200C", "cursor"}, "\033[3;10H#\033[70C{cursor 80 3}"},
      {{"write:\\e[10;5H", "cursor"}, "\033[10;5H{cursor 5 10}"},
      {{"write:\\e[H", "cursor"}, "{cursor 1 1}"},
      {{"goto:4,4", "mark", "write:\\e[2J", "cursor"}, "\033[4;4H#\033[H\033[2J{cursor 1 1}"},
      {{"write:ab\\e[K", "cursor"}, "ab\033[K{cursor 3 1}"},
      {{"write:\\e[1;31mA\\e[m", "cursor"}, "\033[1;31mA\033[m{cursor 2 1}"},
      // Other sequences are counted bytes, also where they break a row.
      {{"write:\\e[?25l", "cursor"}, "\033[?25l{cursor 7 1}"},
      {{"write:\\e[J", "cursor"}, "\033[J{cursor 4 1}"},
      {{"write:\\e7", "cursor"}, "\0337{cursor 3 1}"},
      // A sequence cut between two writes is continued.
      {{"goto:3,3", "mark", "write:x\\e[", "cursor", "write:2B", "cursor"},
       "\033[3;3H#x{cursor 4 3}\033[2B{cursor 4 5}"},
      // A control byte ends a sequence: what came before is counted.
      {{"write:\\e[\\n", "cursor"}, "\033[\r\n{cursor 1 2}"},
  };
  for (const Written& w : cases) {
    std::vector<std::string> ops = w.ops;
    EXPECT_EQ(Visible(Sent(ops)), Visible(w.bytes)) << w.ops.back();
  }
}

TEST(WriteText, ControlBytes) {
  const Written cases[] = {
      {{"write:\\b", "cursor"}, "\b{cursor 1 1}"},
      {{"write:ab\\b", "cursor"}, "ab\b{cursor 2 1}"},
      {{"write:abc\\r", "cursor"}, "abc\r{cursor 1 1}"},
      {{"write:\\r", "cursor"}, "{cursor 1 1}"},
      {{"write:\\t|", "cursor"}, "        |{cursor 10 1}"},
      {{"write:abc\\td", "cursor"}, "abc     d{cursor 10 1}"},
      {{"write:\\x01\\x7f", "cursor"}, "\x01\x7f{cursor 3 1}"},
  };
  for (const Written& w : cases) {
    EXPECT_EQ(Visible(Sent(w.ops)), Visible(w.bytes)) << w.ops[0];
  }
}

TEST(WriteText, OutputLongerThanTheBufferArrivesWhole) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += std::string(70, static_cast<char>('a' + i % 26)) + "\\n";
  std::string expected;
  for (int i = 0; i < 30; ++i) {
    expected += std::string(70, static_cast<char>('a' + i % 26)) + (i < 24 ? "\r\n" : "\n\r");
  }
  EXPECT_EQ(Visible(Sent({"write:" + text, "cursor"})), Visible(expected + "{cursor 1 25}"));
}

}  // namespace
