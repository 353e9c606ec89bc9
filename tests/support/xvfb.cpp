// The private Xvfb server of a test: start with -displayfd, wait for the
// display number and the first successful connection, end it on destruction.
// Writes DISPLAY only from Export.
#include "tests/support/xvfb.hpp"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace xvfb {
namespace {

using Clock = std::chrono::steady_clock;
// Generous: the machines are shared and a server can take seconds to start.
constexpr auto kStartTimeout = std::chrono::seconds(60);

std::string Describe(int status) {
  if (WIFEXITED(status)) {
    const int code = WEXITSTATUS(status);
    return code == 127 ? "Xvfb could not be executed (is the xvfb package installed?)"
                       : "Xvfb exited with status " + std::to_string(code);
  }
  if (WIFSIGNALED(status)) return "Xvfb was killed by signal " + std::to_string(WTERMSIG(status));
  return "Xvfb stopped";
}

// Reads the display number that Xvfb writes as one line on the -displayfd pipe.
std::string ReadDisplayNumber(int fd, pid_t pid) {
  std::string digits;
  const auto deadline = Clock::now() + kStartTimeout;
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 200);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      throw std::runtime_error(Describe(status));
    }
    if (c == '\n') return digits;
    digits += c;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  throw std::runtime_error("Xvfb did not report a display number in time");
}

}  // namespace

Server::Server(int width, int height, int depth) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  const std::string fdText = std::to_string(fds[1]);
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  std::vector<std::string> args{"Xvfb", "-displayfd", fdText, "-screen", "0", screen,
                                "-nolisten", "tcp"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork: " + std::string(strerror(errno)));
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a crashed test
    if (getppid() != parent) _exit(126);
    fcntl(fds[1], F_SETFD, 0);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    setpgid(0, 0);  // keeps a terminal's Ctrl-C for the test, not the server
    execvp("Xvfb", argv.data());
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;
  owner_ = getpid();
  try {
    display_ = ":" + ReadDisplayNumber(fds[0], pid);
  } catch (...) {
    close(fds[0]);
    pid_ = -1;
    throw;
  }
  close(fds[0]);

  // -displayfd is written once the server listens; still, make sure.
  ::Display* d = Connect(display_);
  if (d == nullptr) {
    Kill();
    throw std::runtime_error("Xvfb on " + display_ + " accepts no connection");
  }
  XCloseDisplay(d);
}

::Display* Connect(const std::string& display) {
  const auto deadline = Clock::now() + kStartTimeout;
  for (;;) {
    if (::Display* d = XOpenDisplay(display.c_str())) return d;
    if (Clock::now() > deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Server::~Server() {
  if (pid_ <= 0 || owner_ != getpid()) return;
  kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void Server::Export() const { setenv("DISPLAY", display_.c_str(), 1); }

void Server::Kill() {
  if (pid_ <= 0 || owner_ != getpid()) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

ComingAndGoing::ComingAndGoing(const std::string& display) {
  const std::string loop =
      "while :; do xprop -display " + display + " -root >/dev/null 2>&1; done";
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork: " + std::string(strerror(errno)));
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    setpgid(0, 0);
    execl("/bin/sh", "sh", "-c", loop.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid_, pid_);
}

ComingAndGoing::~ComingAndGoing() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::vector<unsigned long> TopWindows(::_XDisplay* display) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  std::vector<unsigned long> windows(children, children + count);
  if (children != nullptr) XFree(children);
  return windows;
}

}  // namespace xvfb
