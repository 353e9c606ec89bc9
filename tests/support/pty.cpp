// The pseudo-terminal harness: openpty, fork, make the slave the child's
// controlling terminal, exec; then the master is read, written and queried
// for the slave's attributes. Writes no program globals.
#include "tests/support/pty.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace pty {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& additions) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& add : additions) {
    const std::string name = add.substr(0, add.find('=') + 1);
    std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
    env.push_back(add);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd pfd{fd, POLLOUT, 0};
      poll(&pfd, 1, 100);
      continue;
    }
    if (n <= 0) throw std::runtime_error(std::string("pty: write: ") + std::strerror(errno));
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

std::string ExitStatus::Describe() const {
  if (timedOut) return "still running";
  if (exited) return "exit status " + std::to_string(code);
  return std::string("killed by signal ") + strsignal(signal);
}

Session::Session(Options options) : options_(std::move(options)) {
  if (options_.argv.empty()) throw std::invalid_argument("pty: no program given");
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(options_.rows);
  ws.ws_col = static_cast<unsigned short>(options_.cols);
  if (openpty(&master_, &slave_, nullptr, nullptr, &ws) != 0) {
    throw std::runtime_error(std::string("pty: openpty: ") + std::strerror(errno));
  }
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  tcgetattr(slave_, &atStart_);

  int stdinPipe[2] = {-1, -1};
  if (options_.stdinPipe && pipe2(stdinPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pty: pipe: ") + std::strerror(errno));
  }
  // Everything the child needs is built before fork: only async-signal-safe
  // calls run between fork and exec.
  std::vector<std::string> args = options_.argv;
  std::vector<std::string> env = MergedEnvironment(options_.env);
  std::vector<char*> argp = Pointers(args);
  std::vector<char*> envp = Pointers(env);
  const char* cwd = options_.cwd.empty() ? nullptr : options_.cwd.c_str();

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error(std::string("pty: fork: ") + std::strerror(errno));
  if (pid_ == 0) {
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(options_.stdinPipe ? stdinPipe[0] : slave_, 0);
    dup2(slave_, 1);
    dup2(slave_, 2);
    // The test runner may have left signals ignored or blocked; the program
    // must start with the defaults a shell would give it.
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGPIPE, SIGTTOU, SIGTTIN}) {
      signal(sig, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (cwd && chdir(cwd) != 0) _exit(126);
    execve(argp[0], argp.data(), envp.data());
    const char msg[] = "pty: exec failed\n";
    (void)!write(2, msg, sizeof msg - 1);
    _exit(127);
  }
  if (options_.stdinPipe) {
    close(stdinPipe[0]);
    stdinWrite_ = stdinPipe[1];
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Session::~Session() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {master_, slave_, stdinWrite_}) {
    if (fd >= 0) close(fd);
  }
}

void Session::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(master_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // Keys typed to a program that has ended go nowhere; the status is
      // only peeked at, WaitExit still collects it.
      siginfo_t info{};
      if (reaped_ || (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                      info.si_pid == pid_))
        return;
      Pump(20);
      continue;
    }
    if (n <= 0) throw std::runtime_error(std::string("pty: write: ") + std::strerror(errno));
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void Session::WriteStdin(std::string_view bytes) {
  if (stdinWrite_ < 0) throw std::logic_error("pty: no standard-input pipe");
  WriteAll(stdinWrite_, bytes);
}

void Session::CloseStdin() {
  if (stdinWrite_ >= 0) close(stdinWrite_);
  stdinWrite_ = -1;
}

bool Session::Pump(int waitMs) {
  pollfd pfd{master_, POLLIN, 0};
  if (poll(&pfd, 1, waitMs) <= 0 || !(pfd.revents & POLLIN)) return false;
  bool any = false;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    seen_.append(buffer, static_cast<size_t>(n));
    any = true;
  }
  AnswerQueries();
  return any;
}

void Session::AnswerQueries() {
  static constexpr std::string_view kQuery = "\033[6n";
  for (;;) {
    const size_t at = seen_.find(kQuery, queryScan_);
    if (at == std::string::npos) break;
    queryScan_ = at + kQuery.size();
    if (options_.answerCursorQuery) Write(options_.cursorAnswer);
  }
  // A query cut between two reads is found on the next pass.
  if (seen_.size() >= kQuery.size() && queryScan_ < seen_.size() - (kQuery.size() - 1)) {
    queryScan_ = seen_.size() - (kQuery.size() - 1);
  }
}

ReadResult Session::ReadUntil(std::string_view pattern, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const size_t at = seen_.find(pattern, mark_);
    if (at != std::string::npos) {
      const size_t end = at + pattern.size();
      ReadResult result{true, seen_.substr(mark_, end - mark_)};
      mark_ = end;
      return result;
    }
    const int left = RemainingMs(deadline);
    if (left == 0) return {false, seen_.substr(mark_)};
    Pump(left < 50 ? left : 50);
  }
}

std::string Session::ReadFor(Millis period) {
  const auto deadline = Clock::now() + period;
  while (const int left = RemainingMs(deadline)) Pump(left);
  std::string out = seen_.substr(mark_);
  mark_ = seen_.size();
  return out;
}

void Session::Signal(int sig) {
  if (pid_ > 0 && !reaped_) kill(pid_, sig);
}

ExitStatus Session::WaitExit(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!reaped_) {
    int status = 0;
    rusage usage{};
    const pid_t done = wait4(pid_, &status, WNOHANG, &usage);
    if (done == pid_) {
      reaped_ = true;
      status_.maxRssKb = usage.ru_maxrss;
      status_.exited = WIFEXITED(status);
      status_.code = status_.exited ? WEXITSTATUS(status) : -1;
      status_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
      break;
    }
    const int left = RemainingMs(deadline);
    if (left == 0) {
      ExitStatus running;
      running.timedOut = true;
      return running;
    }
    Pump(left < 20 ? left : 20);
  }
  while (Pump(0)) {
  }
  return status_;
}

bool Session::WaitStopped(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG | WUNTRACED) == pid_ && WIFSTOPPED(status)) return true;
    const int left = RemainingMs(deadline);
    if (left == 0) return false;
    Pump(left < 20 ? left : 20);
  }
}

termios Session::Attributes() const {
  termios t{};
  tcgetattr(slave_, &t);
  return t;
}

bool Session::WaitAttributes(bool (*predicate)(const termios&), Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (predicate(Attributes())) return true;
    const int left = RemainingMs(deadline);
    if (left == 0) return false;
    Pump(left < 20 ? left : 20);
  }
}

double Session::CpuSeconds() const {
  std::ifstream file("/proc/" + std::to_string(pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  // Fields after the command name: state is field 3, utime 14, stime 15.
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  long long utime = 0;
  long long stime = 0;
  for (int n = 3; n <= 15 && fields >> field; ++n) {
    if (n == 14) utime = std::stoll(field);
    if (n == 15) stime = std::stoll(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool SameAttributes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

bool IsRaw(const termios& t) {
  return !(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN)) && !(t.c_oflag & OPOST) &&
         !(t.c_iflag & (ICRNL | IXON)) && (t.c_cflag & CSIZE) == CS8;
}

std::string Visible(std::string_view bytes) {
  std::string out;
  static const char hex[] = "0123456789abcdef";
  for (unsigned char b : bytes) {
    if (b == 0x1B) {
      out += "\\e";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '\b') {
      out += "\\b";
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

}  // namespace pty
