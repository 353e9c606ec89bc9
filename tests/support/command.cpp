// Runs a command through /bin/sh and collects its output and status.
#include "tests/support/command.hpp"

#include <sys/wait.h>

#include <cstdio>

namespace command {

Result Run(const std::string& shellCommand) {
  Result result;
  FILE* pipe = popen(("(" + shellCommand + ") 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace command
