// Runs of the real program for the fault and server tests: a working
// directory of its own with a level folder, the program under a pty on a
// given X server, the way from the menu to a level and a shot, a watching
// connection for its window, and the ways a run must end.
#pragma once

#include <gtest/gtest.h>

// Xlib's macros (Bool, None, Status) would break GoogleTest's templates.
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "tests/e2e/texts.hpp"
#include "tests/support/pty.hpp"
#include "tests/support/screenshot.hpp"
#include "tests/support/xvfb.hpp"

namespace e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A private working directory for one run: level files live in level/.
class Workdir {
 public:
  Workdir() {
    static int count = 0;
    path_ = fs::temp_directory_path() /
            ("zalpomet-run-" + std::to_string(getpid()) + "-" + std::to_string(++count));
    fs::remove_all(path_);
    fs::create_directories(path_ / "level");
  }
  ~Workdir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  void Level(int n, std::string_view content) const {
    std::ofstream(LevelPath(n), std::ios::binary) << content;
  }
  fs::path LevelPath(int n) const { return path_ / "level" / (std::to_string(n) + ".lvl"); }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

// The program in the directory, on the display (":<n>").
inline pty::Options GameOptions(const Workdir& dir, const std::string& display,
                                bool stdinPipe = false) {
  pty::Options o;
  o.argv = {ZALPOMET_BINARY};
  o.env = {"DISPLAY=" + display};
  o.cwd = dir.Path();
  o.stdinPipe = stdinPipe;
  return o;
}

inline pty::Options GameOptions(const Workdir& dir, const xvfb::Server& x, bool stdinPipe = false) {
  return GameOptions(dir, x.Display(), stdinPipe);
}

inline std::string Shown(const pty::Session& s) { return pty::Visible(s.Seen()); }

// The program under libfaketime: "@<date>" freezes the start, so that every
// Randomize gives the same seed; "+0 x10" makes every sleep ten times shorter
// and leaves the work as it is.
inline void FakeClock(pty::Options& o, const std::string& setting) {
  EXPECT_TRUE(fs::exists(ZALPOMET_FAKETIME)) << ZALPOMET_FAKETIME << " (package faketime)";
  o.env.push_back("LD_PRELOAD=" ZALPOMET_FAKETIME);
  o.env.push_back("FAKETIME=" + setting);
  // A preloaded library ahead of the sanitiser's run-time is fine here.
  const char* asan = getenv("ASAN_OPTIONS");
  o.env.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") +
                  "verify_asan_link_order=0");
}

// From the main menu to the opening view of a single level.
inline void OpenLevel(pty::Session& s, int n) {
  ASSERT_TRUE(s.ReadUntil(kMenuPrompt, kWait)) << Shown(s);
  s.Write("1\r");
  ASSERT_TRUE(s.ReadUntil(kGameTypeTitle, kWait)) << Shown(s);
  ASSERT_TRUE(s.ReadUntil(kMenuPrompt, kWait)) << Shown(s);
  s.Write("2\r");
  ASSERT_TRUE(s.ReadUntil(kLevelQuestion, kWait)) << Shown(s);
  s.Write(std::to_string(n) + "\r");
}

// From the opening view to a shot fired with the given launch answer. Enter
// ends the opening view; the number reading passes over it.
inline void Fire(pty::Session& s, std::string_view launch) {
  s.Write("\r");
  ASSERT_TRUE(s.ReadUntil(kShellQuestion, kWait)) << Shown(s);
  s.Write("1\r");
  ASSERT_TRUE(s.ReadUntil(kLaunchQuestion, kWait)) << Shown(s);
  s.Write(launch);
}

// A connection of the test's own to the server, to watch the game's window.
class Watcher {
 public:
  explicit Watcher(const xvfb::Server& x) : dpy_(xvfb::Connect(x.Display())) {}
  ~Watcher() { Close(); }
  bool Ok() const { return dpy_ != nullptr; }
  // Must be closed before the server is killed: Xlib ends a process whose
  // connection dies.
  void Close() {
    if (dpy_ != nullptr) XCloseDisplay(dpy_);
    dpy_ = nullptr;
  }
  // The game's mapped top-level window; 0 when none shows up in time.
  Window WaitForWindow(pty::Session& s) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (std::chrono::steady_clock::now() < deadline) {
      for (const Window w : xvfb::TopWindows(dpy_)) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(dpy_, w, &a) && a.map_state == IsViewable) return w;
      }
      s.ReadFor(20ms);
    }
    return 0;
  }
  void Kill(Window w) {
    XKillClient(dpy_, w);
    XSync(dpy_, False);
  }

 private:
  Display* dpy_;
};

// A still picture of the drawn 800x600 window: grabbed until three grabs in
// a row agree, so that a drawing held up between two primitives is not taken
// for the finished one, and until something is drawn at all: on a loaded
// machine the first picture can come seconds after the window.
inline shot::Image Settled(pty::Session& s, const std::string& display) {
  const auto drawn = [](const shot::Image& image) {
    return std::any_of(image.pixels.begin(), image.pixels.end(),
                       [](shot::Rgb p) { return !(p == shot::kBlack); });
  };
  shot::Image last = shot::Grab(display, 0, 0, 800, 600);
  int same = 0;
  for (int i = 0; i < 200 && same < 2; ++i) {
    s.ReadFor(150ms);
    shot::Image next = shot::Grab(display, 0, 0, 800, 600);
    same = next.pixels == last.pixels && drawn(next) ? same + 1 : 0;
    last = std::move(next);
  }
  EXPECT_EQ(same, 2) << "the window never showed a still drawing";
  return last;
}

// Ended by the signal itself, terminal as at start, nothing written after
// the mark.
inline void ExpectEndedBySignal(pty::Session& s, int sig, std::string_view where) {
  const pty::ExitStatus st = s.WaitExit(kWait);
  EXPECT_TRUE(!st.exited && st.signal == sig) << where << ": " << st.Describe();
  EXPECT_TRUE(pty::SameAttributes(s.AttributesAtStart(), s.Attributes())) << where;
  EXPECT_EQ(pty::Visible(s.Unread()), "") << where;
}

// Ended with the status and one line "zalpomet: ..." that holds cause.
inline pty::ExitStatus ExpectOneLineEnd(pty::Session& s, int code, std::string_view cause,
                                 std::string_view where) {
  const pty::ExitStatus st = s.WaitExit(kWait);
  EXPECT_TRUE(st.exited && st.code == code) << where << ": " << st.Describe() << "\n" << Shown(s);
  EXPECT_TRUE(pty::SameAttributes(s.AttributesAtStart(), s.Attributes())) << where;
  const std::string rest = s.Unread();
  const size_t at = rest.find("zalpomet: ");
  EXPECT_NE(at, std::string::npos) << where << ": " << pty::Visible(rest);
  if (at == std::string::npos) return st;
  const std::string line = rest.substr(at);
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << where << ": " << pty::Visible(line);
  EXPECT_NE(line.find(cause), std::string::npos) << where << ": " << pty::Visible(line);
  return st;
}

}  // namespace e2e
