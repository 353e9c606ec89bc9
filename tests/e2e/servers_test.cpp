// The real program on the X servers players have rather than the test's own:
// a bare server that resets whenever its last client leaves, screens of
// other depths, a server that is gone by the time a window is wanted, a
// compositor's XWayland, and a desktop whose window manager hands out the
// keyboard focus.
#include <gtest/gtest.h>

// Xlib's macros (Bool, None, Status) would break GoogleTest's templates.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/runs.hpp"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

// One target 60 pixels from the gun: speed 10 at 45 degrees (7, 7) comes
// down at x 96, inside its box, and a single high-explosive shell destroys
// it. A game of it lasts about three seconds, most of it the victory pause.
constexpr std::string_view kRangeLevel = "1 40 5 0 0 1000 100 0\nТир\n";
constexpr std::string_view kOneGame = "1 2 1\r\r1\r10 45\r";

// A tank at 300: white outlines, the green threat box, red health bars.
constexpr std::string_view kTankLevel = "1 40 5 0 0 1000 300 5\nТанк\n";

// A child process of the test's, ended with it.
class Child {
 public:
  explicit Child(std::vector<std::string> argv, const std::vector<std::string>& env = {},
                 const std::string& log = "/dev/null") {
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ != 0) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    setpgid(0, 0);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  ~Child() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
};

// ---- A server that resets ------------------------------------------------------

// Nothing but the program and another client that comes and goes: every
// moment the program holds no connection, the server may be resetting.
TEST(Servers, TwentyGamesTypedAheadOnAServerThatResets) {
  xvfb::Server x(1024, 768);
  xvfb::ComingAndGoing other(x.Display());
  Workdir dir;
  dir.Level(1, kRangeLevel);
  pty::Options o = GameOptions(dir, x);
  // The games' pauses, at ten times the speed, leave the windows opening
  // and closing more often, the connection retries shorter: a harder test
  // in a seventh of the time.
  FakeClock(o, "+0 x10");
  pty::Session s(o);
  ASSERT_TRUE(s.ReadUntil(kMenuPrompt, kWait)) << Shown(s);
  std::string answers;
  for (int game = 0; game < 20; ++game) answers += kOneGame;
  s.Write(answers + "3\r");
  const pty::ExitStatus st = s.WaitExit(180s);
  EXPECT_TRUE(st.exited && st.code == 0) << st.Describe() << "\n" << Shown(s);
  EXPECT_EQ(Count(s.Seen(), kVictory), 20u) << Shown(s);
  EXPECT_TRUE(pty::SameAttributes(s.AttributesAtStart(), s.Attributes()));
}

// The server is gone between the start-up check and the first window: the
// player is told which display failed, then the drawing ends the program as
// any drawing without a window does.
TEST(Servers, ServerGoneBeforeTheOpeningViewIsNamed) {
  auto x = std::make_unique<xvfb::Server>(1024, 768);
  const std::string display = x->Display();
  Workdir dir;
  dir.Level(1, kRangeLevel);
  pty::Session s(GameOptions(dir, *x));
  ASSERT_TRUE(s.ReadUntil(kMenuPrompt, kWait)) << Shown(s);
  x->Kill();
  // While the game tries again, another test's new server would take the
  // first free display number, this one: its lock, naming a live process
  // (ours), keeps it taken.
  const std::string lock = "/tmp/.X" + display.substr(1) + "-lock";
  std::ofstream(lock) << std::setw(10) << getpid() << "\n";
  s.Write("1 2 1\r");
  const pty::ExitStatus st = s.WaitExit(kWait);
  std::remove(lock.c_str());
  EXPECT_TRUE(st.exited && st.code == 1) << st.Describe() << "\n" << Shown(s);
  EXPECT_TRUE(pty::SameAttributes(s.AttributesAtStart(), s.Attributes()));
  const std::string cause = "zalpomet: X11: cannot open display \"" + display + "\"\r\n";
  const std::string clear =
      "Error: Not in graphics mode (use InitGraph and test GraphResult afterwards)\r\n";
  const std::string seen = s.Seen();
  const size_t at = seen.find(cause);
  ASSERT_NE(at, std::string::npos) << Shown(s);
  EXPECT_EQ(seen.substr(at + cause.size()), clear) << Shown(s);
}

// ---- Depths ---------------------------------------------------------------------

TEST(Servers, OpeningViewOnScreensOfDepthSixteenTwentyFourAndThirty) {
  for (int depth : {16, 24, 30}) {
    SCOPED_TRACE("depth " + std::to_string(depth));
    xvfb::Server x(1024, 768, depth);
    Workdir dir;
    dir.Level(1, kTankLevel);
    pty::Session s(GameOptions(dir, x));
    OpenLevel(s, 1);
    Watcher watcher(x);
    ASSERT_NE(watcher.WaitForWindow(s), 0u) << Shown(s);
    const shot::Image view = Settled(s, x.Display());
    shot::SavePng(view, shot::ArtifactPath("opening_view_depth" + std::to_string(depth) + ".png"));
    // A 16-bit screen keeps 5 or 6 bits of each component.
    EXPECT_TRUE(shot::IsColour(view.At(400, 500), shot::kWhite, 8)) << "ground line";
    EXPECT_TRUE(shot::IsColour(view.At(40, 512), shot::kRed, 8)) << "gun's health bar";
    EXPECT_TRUE(shot::IsColour(view.At(702, 127), shot::kGreen, 8)) << "threat box";
    s.Signal(SIGTERM);
    EXPECT_EQ(s.WaitExit(kWait).signal, SIGTERM);
  }
}

// An 8-bit screen offers no RGBA configuration: the cause, then the end.
TEST(Servers, EightBitScreenNamesTheCauseAndEndsWithStatusOne) {
  xvfb::Server x(1024, 768, 8);
  Workdir dir;
  dir.Level(1, kTankLevel);
  pty::Session s(GameOptions(dir, x));
  OpenLevel(s, 1);
  const pty::ExitStatus st = s.WaitExit(kWait);
  EXPECT_TRUE(st.exited && st.code == 1) << st.Describe() << "\n" << Shown(s);
  EXPECT_TRUE(pty::SameAttributes(s.AttributesAtStart(), s.Attributes()));
  EXPECT_NE(s.Seen().find("zalpomet: GLX: no matching frame-buffer configuration on display \"" +
                          x.Display() + "\"\r\nError: Not in graphics mode"),
            std::string::npos)
      << Shown(s);
}

// ---- A compositor's X server --------------------------------------------------------

// A headless Wayland compositor with XWayland, as a desktop of today runs
// X programs; it tells the X display it listens on in its log.
class Weston {
 public:
  Weston() {
    char pattern[] = "/tmp/zalpomet-weston-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
    runtime_ = pattern;
    const std::string log = runtime_ + "/weston.log";
    child_ = std::make_unique<Child>(
        std::vector<std::string>{"weston", "--backend=headless-backend.so", "--xwayland",
                                 "--width=1024", "--height=768", "--socket=zalpomet",
                                 "--log=" + log},
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime_}, runtime_ + "/out.log");
    const std::string listening = "xserver listening on display :";
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (display_.empty() && std::chrono::steady_clock::now() < deadline) {
      std::stringstream text;
      text << std::ifstream(log).rdbuf();
      const std::string s = text.str();
      if (const auto at = s.find(listening); at != std::string::npos) {
        const auto digits = at + listening.size();
        const auto end = s.find_first_not_of("0123456789", digits);
        if (end != std::string::npos && end > digits)
          display_ = ":" + s.substr(digits, end - digits);
      }
      if (!child_->Running()) break;
      std::this_thread::sleep_for(50ms);
    }
    if (display_.empty()) {
      std::stringstream out;
      out << std::ifstream(runtime_ + "/out.log").rdbuf() << std::ifstream(log).rdbuf();
      throw std::runtime_error("weston with XWayland did not start (packages weston and "
                               "xwayland): " + out.str());
    }
  }
  ~Weston() {
    child_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(runtime_, ignored);
  }
  const std::string& Display() const { return display_; }

 private:
  std::string runtime_, display_;
  std::unique_ptr<Child> child_;
};

// A viewable window of the size anywhere below the window, frames included.
bool ViewableWindowOfSize(::Display* d, Window w, int width, int height) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return false;
  bool found = false;
  for (unsigned c = 0; c < count && !found; ++c) {
    XWindowAttributes a{};
    found = (XGetWindowAttributes(d, children[c], &a) && a.map_state == IsViewable &&
             a.width == width && a.height == height) ||
            ViewableWindowOfSize(d, children[c], width, height);
  }
  if (children != nullptr) XFree(children);
  return found;
}

TEST(Servers, WholeGameOnXWayland) {
  Weston weston;
  Workdir dir;
  dir.Level(1, kRangeLevel);
  pty::Session s(GameOptions(dir, weston.Display()));
  ASSERT_TRUE(s.ReadUntil(kMenuPrompt, kWait)) << Shown(s);
  s.Write("1 2 1\r");
  ASSERT_TRUE(s.ReadUntil("Тир", kWait)) << Shown(s);
  // The opening view stands until a key; the compositor frames the window.
  ::Display* watch = xvfb::Connect(weston.Display());
  ASSERT_NE(watch, nullptr);
  bool mapped = false;
  for (int i = 0; i < 200 && !mapped; ++i) {
    s.ReadFor(50ms);
    mapped = ViewableWindowOfSize(watch, DefaultRootWindow(watch), 800, 600);
  }
  XCloseDisplay(watch);
  EXPECT_TRUE(mapped) << "no 800x600 window on XWayland";
  s.Write("\r1\r10 45\r");
  ASSERT_TRUE(s.ReadUntil(kVictory, kWait)) << Shown(s);
  ASSERT_TRUE(s.ReadUntil(kMenuPrompt, kWait)) << "back to the menu: " << Shown(s);
  s.Write("3\r");
  const pty::ExitStatus st = s.WaitExit(kWait);
  EXPECT_TRUE(st.exited && st.code == 0) << st.Describe() << "\n" << Shown(s);
}

// ---- A window manager -----------------------------------------------------------------

Window Focus(::Display* d) {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  return focus;
}

// The clients the window manager manages, by its _NET_CLIENT_LIST.
size_t ManagedClients(::Display* d) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom list = XInternAtom(d, "_NET_CLIENT_LIST", False);
  if (XGetWindowProperty(d, DefaultRootWindow(d), list, 0, 64, False, XA_WINDOW, &type, &format,
                         &items, &after, &data) != Success)
    return 0;
  if (data != nullptr) XFree(data);
  return items;
}

template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 600; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

// The game runs in a terminal window that has the keyboard focus. Its
// battlefield window must not take the focus when it maps, or the key that
// ends the opening view would go to a window that never reads keys.
TEST(Servers, UnderAWindowManagerTheTerminalKeepsTheKeyboard) {
  xvfb::Server x(1024, 768);
  const std::vector<std::string> env{"DISPLAY=" + x.Display()};
  ::Display* d = xvfb::Connect(x.Display());
  ASSERT_NE(d, nullptr);
  Child manager({"openbox", "--sm-disable"}, env);
  // A window manager announces itself on the root window once it runs.
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  ASSERT_TRUE(WaitFor([&] {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format,
                       &items, &after, &data);
    if (data != nullptr) XFree(data);
    return items == 1;
  })) << "openbox did not start (package openbox)";
  Workdir dir;
  dir.Level(1, kTankLevel);
  const std::string status = dir.Path() + "/status";
  const std::string shown = dir.Path() + "/shown";
  // script(1) copies what the game writes into a file, so that the keys are
  // typed once the menu is up: keys typed before the game reads its terminal
  // are no answer to anything.
  Child terminal({"xterm", "-geometry", "80x25+100+100", "-e", "sh", "-c",
                  "cd '" + dir.Path() + "' && script -qfec \"'" + ZALPOMET_BINARY +
                      "'\" shown; echo $? > status"},
                 env);
  const auto focusable = [&] {
    const Window f = Focus(d);
    return ManagedClients(d) == 1 && f != 0 && f != PointerRoot && f != DefaultRootWindow(d);
  };
  ASSERT_TRUE(WaitFor(focusable)) << "openbox never focused the terminal";
  const Window terminalFocus = Focus(d);
  const auto keys = [&](const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    Child run(argv, env);
    WaitFor([&] { return !run.Running(); });
  };
  ASSERT_TRUE(WaitFor([&] {
    std::stringstream text;
    text << std::ifstream(shown).rdbuf();
    return text.str().find(kMenuPrompt) != std::string::npos;
  })) << "no menu in the terminal";
  keys({"type", "--delay", "30", "1 2 1"});
  keys({"key", "Return"});
  ASSERT_TRUE(WaitFor([&] { return ManagedClients(d) == 2; })) << "no battlefield window";
  std::this_thread::sleep_for(500ms);  // the manager's focus decisions come after the map
  EXPECT_EQ(Focus(d), terminalFocus) << "the battlefield window took the focus";
  keys({"key", "Return"});
  EXPECT_TRUE(WaitFor([&] { return ManagedClients(d) == 1; }))
      << "the key did not end the opening view";
  keys({"type", "x"});
  keys({"key", "Return"});
  // The shell creates the file before echo writes the status into it.
  std::string code;
  EXPECT_TRUE(WaitFor([&] { return static_cast<bool>(std::ifstream(status) >> code); }));
  EXPECT_EQ(code, "217") << "the letter at the shell question";
  XCloseDisplay(d);
}

}  // namespace
