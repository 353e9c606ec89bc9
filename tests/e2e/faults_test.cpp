// Faults on the real program under a pseudo-terminal and a private Xvfb:
// signals in flight and in the enemy phase; the X server or the
// window going away; standard input ending at every kind of question; long
// pastes; hostile level files; and a long run whose descriptors and memory
// must not grow. Every way out must leave the terminal's attributes as they
// were, say at most one clear line, and end with the status or signal that
// belongs to it.
#include <gtest/gtest.h>

// Xlib's macros (Bool, None, Status) would break GoogleTest's templates.
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/runs.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

using namespace e2e;

// One target far away: a shot at speed 100 and angle 45 flies over it for
// more than 70 steps of 50 ms.
constexpr std::string_view kQuietLevel = "1 40 250 0 0 5000 900 0\nquiet\n";
// Eight field guns in range: their shells keep the enemy phase busy for
// several seconds after a short shot.
constexpr std::string_view kGunLevel =
    "8 40 20 0 0 30000 400 10 450 10 500 10 550 10 600 10 650 10 700 10 750 10\nguns\n";
// One shell only: the first shot ends the level and asks to restart.
constexpr std::string_view kOneShellLevel = "1 40 1 0 0 5000 900 0\none shell\n";

// Core dumps of SIGQUIT would litter the working directory; children inherit
// the limit.
class Faults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
  }
};

// ---- Signals --------------------------------------------------------------

enum class Moment { Flight, EnemyPhase };

// Starts a game and brings it to the moment; the read mark is then at the
// end of everything it has written. The game's window, or 0.
Window BringTo(pty::Session& s, Workdir& dir, Watcher& watcher, Moment m) {
  dir.Level(1, m == Moment::Flight ? kQuietLevel : kGunLevel);
  EXPECT_TRUE(watcher.Ok());
  OpenLevel(s, 1);
  // The shot of the flight lasts over three seconds; the short shot of the
  // enemy phase is over in half a second, and the guns then fire for several.
  Fire(s, m == Moment::Flight ? "100 45\r" : "10 -10\r");
  const Window w = watcher.WaitForWindow(s);
  EXPECT_NE(w, 0u) << Shown(s);
  s.ReadFor(m == Moment::Flight ? 500ms : 2500ms);
  return w;
}

// Every terminating signal at the menu is in the menu tests; here those a
// terminal or a user sends while the window is open and animating, and a
// second one arriving while the first is being handled.
TEST_F(Faults, FatalSignalsRestoreTheTerminalAndEndTheProgramByThatSignal) {
  struct Case {
    Moment moment;
    int sig;
    int times;
  };
  xvfb::Server x(1024, 768);
  for (const Case c : {Case{Moment::Flight, SIGTERM, 2}, Case{Moment::Flight, SIGQUIT, 1},
                       Case{Moment::EnemyPhase, SIGHUP, 1}, Case{Moment::EnemyPhase, SIGINT, 1}}) {
    const std::string where = std::string(strsignal(c.sig)) + " x" + std::to_string(c.times) +
                              " at moment " + std::to_string(static_cast<int>(c.moment));
    Workdir dir;
    pty::Session s(GameOptions(dir, x));
    Watcher watcher(x);
    if (BringTo(s, dir, watcher, c.moment) == 0) return;
    for (int i = 0; i < c.times; ++i) s.Signal(c.sig);
    ExpectEndedBySignal(s, c.sig, where);
  }
}

// ---- The display going away -------------------------------------------------

TEST_F(Faults, ServerKilledDuringATurnEndsWithStatusOneAndOneLine) {
  Workdir dir;
  auto x = std::make_unique<xvfb::Server>(1024, 768);
  pty::Session s(GameOptions(dir, *x));
  Watcher watcher(*x);
  if (BringTo(s, dir, watcher, Moment::Flight) == 0) return;
  watcher.Close();
  x->Kill();
  ExpectOneLineEnd(s, 1, "lost the connection to X display", "server killed");
}

TEST_F(Faults, WindowKilledByAnotherClientEndsWithStatusOneAndOneLine) {
  xvfb::Server x(1024, 768);
  Workdir dir;
  pty::Session s(GameOptions(dir, x));
  Watcher watcher(x);
  const Window w = BringTo(s, dir, watcher, Moment::Flight);
  if (w == 0) return;
  watcher.Kill(w);
  ExpectOneLineEnd(s, 1, "lost the connection to X display", "window killed");
}

// ---- Standard input ending -------------------------------------------------

struct Question {
  const char* name;
  std::string_view level;    // level 1's file, if the route needs one
  std::string answers;       // lines given before the question
  std::string_view waitFor;  // text that shows the question is being asked
  std::string_view cause;    // what the one-line report must say
};

TEST_F(Faults, InputClosedAtEveryKindOfQuestionEndsWith217AndAReport) {
  const std::string kEnded = "standard input has ended";
  const Question questions[] = {
      {"main menu", {}, "", kMenuPrompt, kEnded},
      {"about screen", {}, "2\n", kAnyKey, kEnded},
      {"game-type menu", {}, "1\n", kGameTypeTitle, kEnded},
      // An ended input reads as 0, and level 0 has no file.
      {"level number", {}, "1\n2\n", kLevelQuestion, "./level/0.lvl: File not found"},
      {"enemy skill", {}, "1\n3\n", kSkillQuestion, kEnded},
      {"opening view", kQuietLevel, "1\n2\n1\n", "quiet", kEnded},
      {"shell kind", kQuietLevel, "1\n2\n1\n\n", kShellQuestion, kEnded},
      // Speed and angle read as 0 0: that shot is fired, then the next
      // shell question meets the end.
      {"launch", kQuietLevel, "1\n2\n1\n\n1\n", kLaunchQuestion, kEnded},
      {"restart", kOneShellLevel, "1\n2\n1\n\n1\n10 -10\n", kRestartQuestion, kEnded},
  };
  xvfb::Server x(1024, 768);
  for (const Question& q : questions) {
    Workdir dir;
    if (!q.level.empty()) dir.Level(1, q.level);
    pty::Session s(GameOptions(dir, x, true));
    s.WriteStdin(q.answers);
    ASSERT_TRUE(s.ReadUntil(q.waitFor, kWait)) << q.name << ": " << Shown(s);
    s.ReadFor(200ms);
    s.CloseStdin();
    ExpectOneLineEnd(s, 217, q.cause, q.name);
  }
}

// ---- Pastes ----------------------------------------------------------------

// A paste of blanks only: all echoed, all passed over, then the answer
// counts. (A line ends by itself at 256 bytes, and a 255-digit token is too
// large a number: the line editor's and the number reader's tests.)
TEST_F(Faults, HundredKilobytePasteAtAPrompt) {
  xvfb::Server x(1024, 768);
  const size_t kPaste = 100 * 1024;
  Workdir dir;
  pty::Session s(GameOptions(dir, x));
  ASSERT_TRUE(s.ReadUntil(kMenuPrompt, kWait)) << Shown(s);
  s.Write(std::string(kPaste, ' '));
  s.Write("3\r");
  const pty::ExitStatus st = s.WaitExit(kWait);
  EXPECT_TRUE(st.exited && st.code == 0) << st.Describe();
  EXPECT_GE(Count(s.Unread(), " "), kPaste);
  EXPECT_TRUE(pty::SameAttributes(s.AttributesAtStart(), s.Attributes()));
}

// ---- Hostile level files ---------------------------------------------------

struct Hostile {
  const char* name;
  std::string content;       // written as level/3.lvl unless make is set
  void (*make)(const Workdir&) = nullptr;
  std::string_view cause{};  // empty: the level must play
};

std::string Garbage(size_t n) {
  std::mt19937 gen(20261209);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

const std::string kObjects = "1 40 5 0 0 1000 900 0";

std::vector<Hostile> HostileFiles() {
  return {
      {"binary garbage", Garbage(4096), nullptr, "./level/3.lvl: Invalid input"},
      {"NUL bytes between numbers", "1\0 40\0 5 0 0 1000\0 900\0 0\nbrief\0ing\n"s},
      {"10 MB briefing line", kObjects + "\n" + std::string(10 << 20, 'B') + "\n"},
      // Its low 16 bits are -1: no objects at all.
      {"-2147483649 objects", "-2147483649 40 5 0 0 1000\n"},
      {"kinds -1 and 12", "2 40 5 0 0 1000 500 -1 700 12\n"},
      // Root reads a file whatever its mode bits, so unreadable files are
      // made otherwise: a link that leads nowhere but to itself, and a file
      // that opens but whose first read fails.
      {"link loop", "", [](const Workdir& d) { fs::create_symlink("3.lvl", d.LevelPath(3)); },
       "Too many levels of symbolic links"},
      {"read error", "", [](const Workdir& d) { fs::create_symlink("/proc/self/mem", d.LevelPath(3)); },
       "Read error"},
  };
}

TEST_F(Faults, HostileLevelFilesEndCleanlyOrPlay) {
  xvfb::Server x(1024, 768);
  // What an ordinary level costs, as the yardstick of "bounded".
  long ordinaryKb = 0;
  {
    Workdir dir;
    dir.Level(3, kObjects + "\nordinary\n");
    pty::Session s(GameOptions(dir, x));
    OpenLevel(s, 3);
    s.Write("\r");
    ASSERT_TRUE(s.ReadUntil(kShellQuestion, kWait)) << Shown(s);
    s.Signal(SIGTERM);
    ordinaryKb = s.WaitExit(kWait).maxRssKb;
    ASSERT_GT(ordinaryKb, 0);
  }
  for (const Hostile& h : HostileFiles()) {
    Workdir dir;
    if (h.make) {
      h.make(dir);
    } else {
      dir.Level(3, h.content);
    }
    pty::Session s(GameOptions(dir, x));
    OpenLevel(s, 3);
    if (HasFatalFailure()) return;
    pty::ExitStatus st;
    if (h.cause.empty()) {
      s.Write("\r");
      EXPECT_TRUE(s.ReadUntil(kShellQuestion, kWait)) << h.name << ": " << Shown(s);
      s.Signal(SIGTERM);
      st = s.WaitExit(kWait);
      EXPECT_EQ(st.signal, SIGTERM) << h.name << ": " << st.Describe();
    } else {
      st = ExpectOneLineEnd(s, 217, h.cause, h.name);
    }
    // The window's libraries make the ordinary level the larger one; a
    // reader that kept a 10 MB line or token would stand out.
    EXPECT_LT(st.maxRssKb, ordinaryKb + 8 * 1024) << h.name;
  }
}

// ---- A long run --------------------------------------------------------------

size_t OpenDescriptors(pid_t pid) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) ++n;
  return n;
}

long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long kb = -1;
  while (status >> key) {
    if (key == "VmRSS:") status >> kb;
  }
  return kb;
}

TEST_F(Faults, TwoHundredTurnsKeepDescriptorsAndMemoryLevel) {
  xvfb::Server x(1024, 768);
  Workdir dir;
  dir.Level(1, kQuietLevel);
  pty::Options o = GameOptions(dir, x);
  // Every turn sleeps half a second in its animations.
  FakeClock(o, "+0 x10");
#if defined(__SANITIZE_ADDRESS__)
  // The sanitiser keeps freed memory in quarantine; a small one lets growth
  // show what is really kept.
  o.env.push_back(
      "ASAN_OPTIONS=halt_on_error=1:detect_leaks=0:exitcode=86:quarantine_size_mb=4:"
      "verify_asan_link_order=0");
#endif
  pty::Session s(o);
  OpenLevel(s, 1);
  s.Write("\r");
  size_t fdsEarly = 0;
  long kbEarly = 0;
  constexpr int kTurns = 200;
  constexpr int kEarly = 20;
#if defined(__SANITIZE_ADDRESS__)
  // Each window loads Mesa's driver afresh, and the shadow memory of every
  // place it was mapped at stays resident: some 80 kB a turn.
  constexpr long kGrowthKb = 32 * 1024;
#else
  constexpr long kGrowthKb = 8 * 1024;
#endif
  for (int turn = 1; turn <= kTurns; ++turn) {
    // At the shell question the window of the last turn is closed.
    ASSERT_TRUE(s.ReadUntil(kShellQuestion, kWait)) << "turn " << turn << ": " << Shown(s);
    s.ReadFor(5ms);
    if (turn == kEarly) {
      fdsEarly = OpenDescriptors(s.Pid());
      kbEarly = ResidentKb(s.Pid());
    }
    if (turn == kTurns) {
      const size_t fds = OpenDescriptors(s.Pid());
      const long kb = ResidentKb(s.Pid());
      std::printf("turn %d: %zu descriptors, %ld kB resident; turn %d: %zu, %ld kB\n", kEarly,
                  fdsEarly, kbEarly, kTurns, fds, kb);
      EXPECT_EQ(fds, fdsEarly);
      EXPECT_LT(kb, kbEarly + kGrowthKb) << "from " << kbEarly << " kB";
      break;
    }
    // Level, 300 pixels per step: the shell lands at x 340, far from the gun
    // and from the target.
    s.Write("1\r300 0\r");
  }
  s.Signal(SIGTERM);
  const pty::ExitStatus st = s.WaitExit(kWait);
  EXPECT_EQ(st.signal, SIGTERM) << st.Describe();
}

}  // namespace
