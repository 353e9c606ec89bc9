// Running a shell command from a test and keeping what it printed (standard
// output and standard error together) with its exit status, for the tests
// that drive the build, the package and Debian's tools.
#pragma once

#include <string>

namespace command {

struct Result {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string output;
};

Result Run(const std::string& shellCommand);

// A word for the shell, in single quotes.
std::string Quote(const std::string& word);

}  // namespace command
