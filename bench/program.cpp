// The real program under the pty harness: start to menu, CPU while waiting
// for a key at the about screen and at the opening view, peak memory over a
// turn. Writes no program globals.
#include "bench/program.hpp"

#include <X11/Xlib.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/pace.hpp"
#include "game/texts.hpp"
#include "tests/support/pty.hpp"

namespace program {
namespace {

using namespace std::chrono_literals;

// Generous waits: the machine is shared. Only the start is timed, and a
// slow start shows in its figure, not as a failure.
constexpr pty::Millis kWait = 30000ms;

// The menu is complete when its prompt's line end has been written; the
// terminal is a pty, so line ends are CR LF.
const std::string kMenuEnd = std::string(texts::ChooseItem) + "\r\n";
constexpr std::string_view kAnyKey = texts::PressAnyKey;
constexpr std::string_view kShellQuestion = texts::Lead(texts::ShellQuestion);
constexpr std::string_view kLaunchQuestion = texts::LaunchQuestion;

std::unique_ptr<pty::Session> Start(const std::string& binary, const std::string& root,
                                    const std::string& display) {
  pty::Options o;
  o.argv = {binary};
  o.env = {"DISPLAY=" + display};
  o.cwd = root;
  return std::make_unique<pty::Session>(o);
}

void Expect(pty::Session& s, std::string_view pattern) {
  if (!s.ReadUntil(pattern, kWait)) {
    throw std::runtime_error("zalpomet did not show \"" + std::string(pattern) +
                             "\"; it showed: " + pty::Visible(s.Unread()));
  }
}

// Waits until the program has used no CPU for a while: whatever it does
// before it blocks (drawing the opening view) is not part of the waiting.
void Settle(pty::Session& s) {
  double before = s.CpuSeconds();
  for (int i = 0; i < 50; ++i) {
    s.ReadFor(300ms);
    const double now = s.CpuSeconds();
    if (now == before) return;
    before = now;
  }
}

double IdlePercent(pty::Session& s, double seconds) {
  Settle(s);
  const double cpuBefore = s.CpuSeconds();
  const double start = pace::NowMs();
  s.ReadFor(pty::Millis(static_cast<long>(seconds * 1000)));
  const double elapsed = (pace::NowMs() - start) / 1000;
  return 100 * (s.CpuSeconds() - cpuBefore) / elapsed;
}

// The opening view is on screen once the window the program opened is mapped
// on the private server (the program says nothing on the terminal then).
void WaitForWindow(pty::Session& s, const std::string& display) {
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) throw std::runtime_error("cannot reach " + display);
  const double deadline = pace::NowMs() + static_cast<double>(kWait.count());
  bool mapped = false;
  while (!mapped && pace::NowMs() < deadline) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
      for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable) mapped = true;
      }
      if (children != nullptr) XFree(children);
    }
    if (!mapped) s.ReadFor(20ms);
  }
  XCloseDisplay(d);
  if (!mapped) throw std::runtime_error("zalpomet opened no window for the opening view");
}

}  // namespace

Figures Measure(const std::string& binary, const std::string& root, const std::string& display,
                int starts, double idleSeconds) {
  Figures f;
  std::vector<double> startMs;
  for (int i = 0; i < starts; ++i) {
    const double t0 = pace::NowMs();
    auto s = Start(binary, root, display);
    Expect(*s, kMenuEnd);
    startMs.push_back(pace::NowMs() - t0);
    s->Write("3\r");
    const pty::ExitStatus end = s->WaitExit(kWait);
    if (!end.exited || end.code != 0) throw std::runtime_error("zalpomet: " + end.Describe());
  }
  f.startToMenuMs = pace::Median(startMs);

  auto s = Start(binary, root, display);
  Expect(*s, kMenuEnd);
  s->Write("2\r");
  Expect(*s, kAnyKey);
  f.aboutCpuPercent = IdlePercent(*s, idleSeconds);

  // The key that ends the about screen starts the answers to both menus and
  // the level question: play, a single level, level 1.
  s->Write("1 2 1\r");
  WaitForWindow(*s, display);
  f.openingCpuPercent = IdlePercent(*s, idleSeconds);

  // Enter ends the opening view and is an empty line for the shell question.
  s->Write("\r");
  Expect(*s, kShellQuestion);
  s->Write("1\r");
  Expect(*s, kLaunchQuestion);
  s->Write("31 17\r");
  Expect(*s, kShellQuestion);
  s->Signal(SIGTERM);
  const pty::ExitStatus end = s->WaitExit(kWait);
  if (end.timedOut) throw std::runtime_error("zalpomet did not end on SIGTERM");
  f.peakRssKb = end.maxRssKb;
  return f;
}

}  // namespace program
