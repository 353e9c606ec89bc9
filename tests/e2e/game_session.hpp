// The fixture of the end-to-end games: one private Xvfb per test program, a
// fresh working directory with a level folder per test, the real program
// under a pty (with a frozen clock when asked), the window tree and window
// creations as another X client sees them, and still pictures of the window.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/runs.hpp"
#include "tests/support/screenshot.hpp"

// After GoogleTest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>

using namespace std::chrono_literals;

namespace game_e2e {

using namespace e2e;

// A 1024x768 screen gets the 800x600 window: GetMaxX 799, GetMaxY 599.
constexpr int kScreenW = 1024, kScreenH = 768;
constexpr int kWindowW = 800, kWindowH = 600;

using namespace shot;

// ---- The fixture ----------------------------------------------------------------

class Games : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new xvfb::Server(kScreenW, kScreenH);
    display_ = xvfb::Connect(server_->Display());
    if (display_ != nullptr) XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
  }
  static void TearDownTestSuite() {
    if (display_ != nullptr) XCloseDisplay(display_);
    display_ = nullptr;
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(display_, nullptr) << "cannot reach the private X server";
    Created();
    created_ = 0;
  }

  void WriteLevel(int number, std::string_view text) const { dir_.Level(number, text); }

  // The program in the test's directory; with a frozen clock when asked, so
  // that every Randomize gives the same seed.
  std::unique_ptr<pty::Session> Start(std::string_view frozenAt = {}) const {
    pty::Options o = GameOptions(dir_, *server_);
    if (!frozenAt.empty()) {
      FakeClock(o, std::string(frozenAt));
      o.env.push_back("FAKETIME_DONT_FAKE_MONOTONIC=1");
      o.env.push_back("TZ=UTC");
    }
    return std::make_unique<pty::Session>(o);
  }

  std::unique_ptr<pty::Session> StartAtMenu(std::string_view frozenAt = {}) const {
    auto s = Start(frozenAt);
    EXPECT_TRUE(s->ReadUntil(kMenuPrompt, kWait)) << Shown(*s);
    return s;
  }

  // Windows at the top of the X server, as another client sees them.
  static std::vector<Window> TopWindows() { return xvfb::TopWindows(display_); }

  // Waits until the program has that many windows, reading its output meanwhile.
  static bool WaitWindows(pty::Session& s, size_t count, pty::Millis timeout = kWait) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (TopWindows().size() == count) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      s.ReadFor(10ms);
    }
  }

  // Windows created so far, counted from the root window's CreateNotify
  // events: a restart closes the window and opens the next at once, too fast
  // for a poll of the window tree to see none between.
  static int Created() {
    XSync(display_, False);
    while (XPending(display_) > 0) {
      XEvent e;
      XNextEvent(display_, &e);
      if (e.type == CreateNotify) ++created_;
    }
    return created_;
  }
  static bool WaitCreated(pty::Session& s, int count) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (Created() < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      s.ReadFor(10ms);
    }
    return true;
  }

  static shot::Image Screen() { return shot::Grab(server_->Display(), 0, 0, kWindowW, kWindowH); }

  static shot::Image Settled(pty::Session& s) { return e2e::Settled(s, server_->Display()); }

  // Starts a single level by number from the main menu (both menu answers and
  // the number on one line) and waits for its opening view.
  void OpenSingleLevel(pty::Session& s, int number, std::string_view briefing) const {
    s.Write("1 2 " + std::to_string(number) + "\r");
    ASSERT_TRUE(s.ReadUntil(briefing, kWait)) << Shown(s);
    ASSERT_TRUE(WaitWindows(s, 1)) << "no opening view; " << Shown(s);
  }

  // Shell kind typed as the key that ends the opening view, then the launch.
  void Fire(pty::Session& s, std::string_view kind, std::string_view launch) const {
    s.Write(std::string(kind) + "\r");
    ASSERT_TRUE(s.ReadUntil(kLaunchQuestion, kWait)) << Shown(s);
    EXPECT_TRUE(TopWindows().empty()) << "a window while the launch question waits";
    s.Write(std::string(launch) + "\r");
  }

  static inline xvfb::Server* server_ = nullptr;
  static inline Display* display_ = nullptr;
  static inline int created_ = 0;
  Workdir dir_;  // a fresh one with a level folder for every test
};

}  // namespace game_e2e
