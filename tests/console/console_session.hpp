// Starting consoletest under a pseudo-terminal for the console's tests: the
// program runs the operations given, and reports "{...}" on the terminal.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/pty.hpp"

namespace consoletest {

inline const std::string kProgram = std::string(ZALPOMET_TEST_PROGRAMS) + "/consoletest";

inline pty::Options Ops(std::vector<std::string> ops, int rows = 25, int cols = 80) {
  pty::Options options;
  options.argv = {kProgram};
  options.argv.insert(options.argv.end(), ops.begin(), ops.end());
  options.rows = rows;
  options.cols = cols;
  return options;
}

// Starts the program and checks the start-up bytes for an answered cursor
// query at row 1, column 1.
inline std::unique_ptr<pty::Session> Start(const pty::Options& options) {
  auto session = std::make_unique<pty::Session>(options);
  const pty::ReadResult started = session->ReadUntil("{started}");
  EXPECT_TRUE(started.found) << pty::Visible(started.bytes);
  if (options.answerCursorQuery && options.cursorAnswer == "\033[1;1R") {
    EXPECT_EQ(pty::Visible(started.bytes), pty::Visible("\033[6n\033[m{started}"));
  }
  return session;
}

// The bytes after start-up up to "{done}", which is left out.
inline std::string Output(pty::Session& session) {
  const pty::ReadResult done = session.ReadUntil("{done}");
  EXPECT_TRUE(done.found) << pty::Visible(done.bytes);
  return done.bytes.substr(0, done.bytes.size() - std::string("{done}").size());
}

}  // namespace consoletest
