// The real program's menus under a pseudo-terminal with a private Xvfb: the
// exact bytes of both menus and of the skirmish question, answers typed ahead
// on one line, the key that leaves the about screen, the ways out (exit item,
// a letter, every terminating signal) and the terminal they leave behind.
// The expected bytes are worked out by hand from the menu texts, their cursor
// positions and the console's movement rules, on an 80x25 terminal.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/runs.hpp"

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

using namespace e2e;

// The skirmish question whole: it is the one text these tests compare in full.
constexpr std::string_view kSkillQuestionText =
    "Выберите уровень противника (1-очень легкий, 2-легкий, 3-средний, 4-сложный, 5-очень сложный";

// Start-up: the cursor query (answered with row 1, column 1 by the harness),
// then the attribute reset.
const std::string kStartUp = "\033[6n\033[m";

// The main menu after its own clear, cursor at (1, 1). Every text is a whole
// line, so each ends with "\r\n" and leaves the cursor in column 1.
const std::string kMainMenu = kClear +
    "\033[14C" "ЗАЛПОМЕТ\r\n"                 // (1,1) -> (15,1): same row, right 14
    "\033[5;10H" "1.Играть\r\n"               // (1,2) -> (10,5): absolute
    "\033[9C" "2.Об игре\r\n"                 // (1,6) -> (10,6): same row, right 9
    "\033[9C" "3.Выйти\r\n"                   // (1,7) -> (10,7)
    "\033[7C" "Выберите пункт меню\r\n";      // (1,8) -> (8,8); answer on row 9

// The game-type menu: its subtitle follows the title without a cursor move.
const std::string kGameTypeMenu = kClear +
    "\033[14C" "ЗАЛПОМЕТ\r\n"
    "Выберите тип игры\r\n"                   // row 2 from column 1
    "\033[5;10H" "1.Кампания\r\n"             // (1,3) -> (10,5): absolute
    "\033[9C" "2.Отдельный уровень\r\n"
    "\033[9C" "3.Скирмиш\r\n"
    "\033[7C" "Выберите пункт меню\r\n";

// The skirmish question is 160 bytes written from column 1: the first 80
// fill the row and wrap; the other 80 end exactly at the last column, which
// is no wrap, so only the line end follows.
std::string SkillQuestionBytes() {
  const std::string q(kSkillQuestionText);
  EXPECT_EQ(q.size(), 160u);
  return q.substr(0, 80) + "\r\n" + q.substr(80) + "\r\n";
}

class Menus : public ::testing::Test {
 protected:
  // One X server serves the whole suite: the program needs a display to
  // start, and only the skirmish opens a window, which needs a screen wider
  // than 640 pixels to have a mode at all.
  static void SetUpTestSuite() {
    server_ = new xvfb::Server(1024, 768);
    // Signals of faults end in core dumps; nobody needs those here.
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  static std::unique_ptr<pty::Session> Start(bool stdinPipe = false) {
    static const Workdir dir;  // no game here reads a level
    return std::make_unique<pty::Session>(GameOptions(dir, *server_, stdinPipe));
  }

  // Starts the program and reads up to the end of the first main menu.
  static std::unique_ptr<pty::Session> StartAtMenu() {
    auto s = Start();
    EXPECT_TRUE(s->ReadUntil(std::string(kMenuPrompt) + "\r\n", kWait)) << Shown(*s);
    return s;
  }

  static xvfb::Server* server_;
};

xvfb::Server* Menus::server_ = nullptr;

// ---- What the menus write -------------------------------------------------

TEST_F(Menus, MainMenuBytesFromStartAndAfterARefusedAnswer) {
  auto s = StartAtMenu();
  // The main loop clears, then the menu clears again before drawing.
  EXPECT_EQ(pty::Visible(s->Seen()), pty::Visible(kStartUp + kClear + kMainMenu));
  EXPECT_EQ(pty::Visible(s->ReadFor(300ms)), "") << "the menu waits for an answer";

  // 4 is outside the menu: the same menu again, cleared once.
  s->Write("4\r");
  ASSERT_TRUE(s->ReadUntil(std::string(kMenuPrompt) + "\r\n", kWait)) << Shown(*s);
  // 256 keeps its low 8 bits, 0: refused as well.
  s->Write("256\r");
  ASSERT_TRUE(s->ReadUntil(std::string(kMenuPrompt) + "\r\n", kWait)) << Shown(*s);
  EXPECT_EQ(pty::Visible(s->Seen()),
            pty::Visible(kStartUp + kClear + kMainMenu + "4\r\n" + kMainMenu + "256\r\n" + kMainMenu));
}

TEST_F(Menus, OneAndThreeOnOneLineOpenTheSkirmishQuestionAtOnce) {
  auto s = StartAtMenu();
  s->Write("1 3\r");
  // No second line is typed: the 3 left in the line answers the game-type menu.
  const std::string expected = "1 3\r\n" + kGameTypeMenu + SkillQuestionBytes();
  ASSERT_TRUE(s->ReadUntil(expected.substr(expected.size() - 20), kWait)) << Shown(*s);
  EXPECT_EQ(pty::Visible(s->Seen()), pty::Visible(kStartUp + kClear + kMainMenu + expected));
}

TEST_F(Menus, SkillQuestionRepeatsBelowItselfUntilOneToFive) {
  auto s = StartAtMenu();
  s->Write("1 3\r");
  const std::string question = SkillQuestionBytes();
  ASSERT_TRUE(s->ReadUntil(question, kWait)) << Shown(*s);

  // The rest of a refused line is dropped: "0 3" asks again rather than
  // taking the 3. Neither is the screen cleared between the questions.
  s->Write("0 3\r");
  ASSERT_TRUE(s->ReadUntil(question, kWait)) << Shown(*s);
  s->Write("6\r");
  ASSERT_TRUE(s->ReadUntil(question, kWait)) << Shown(*s);
  s->Write("-1\r");
  ASSERT_TRUE(s->ReadUntil(question, kWait)) << Shown(*s);
  s->Write("2\r");
  // Accepted: the battlefield is drawn up and the level starts on a cleared
  // terminal.
  ASSERT_TRUE(s->ReadUntil("2\r\n" + kClear, kWait)) << Shown(*s);
  const std::string& seen = s->Seen();
  const size_t first = seen.find(question);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(pty::Visible(seen.substr(first)),
            pty::Visible(question + "0 3\r\n" + question + "6\r\n" + question + "-1\r\n" + question +
                         "2\r\n" + kClear + s->Unread()));
  EXPECT_EQ(Count(seen, question), 4u);

  s->Signal(SIGTERM);
  const pty::ExitStatus st = s->WaitExit(kWait);
  EXPECT_TRUE(!st.exited && st.signal == SIGTERM) << st.Describe() << "\n" << Shown(*s);
}

// ---- The about screen -----------------------------------------------------

struct AboutCase {
  const char* key;       // leaves the about screen
  const char* echoed;    // what the main menu's line editor shows of it
  const char* rest;      // typed afterwards to finish the answer
  int status;
};

// The key stays unread and starts the next answer: a digit joins it, Enter
// gives an empty line that the number reading passes over, a letter makes
// the answer invalid.
TEST_F(Menus, KeyLeavingTheAboutScreenStartsTheNextAnswer) {
  const AboutCase cases[] = {
      {"3", "3", "\r", 0},
      {"\r", "\r\n", "3\r", 0},
      {"q", "q", "\r", 217},
  };
  for (const AboutCase& c : cases) {
    SCOPED_TRACE(pty::Visible(c.key));
    auto s = StartAtMenu();
    s->Write("2\r");
    ASSERT_TRUE(s->ReadUntil(std::string(kAnyKey) + "\r\n", kWait)) << Shown(*s);
    EXPECT_EQ(pty::Visible(s->ReadFor(200ms)), "") << "the about screen waits for a key";
    s->Write(c.key);
    // Back in the main loop: its clear, the menu with its own clear, then
    // the key echoed as the start of the answer.
    const std::string expected = kClear + kMainMenu + c.echoed;
    const pty::ReadResult back = s->ReadUntil(expected, kWait);
    ASSERT_TRUE(back) << Shown(*s);
    EXPECT_EQ(pty::Visible(back.bytes), pty::Visible(expected));
    EXPECT_EQ(pty::Visible(s->ReadFor(200ms)), "");
    s->Write(c.rest);
    const pty::ExitStatus st = s->WaitExit(kWait);
    EXPECT_TRUE(st.exited && st.code == c.status) << st.Describe() << "\n" << Shown(*s);
  }
}

// ---- Ways out and the terminal they leave ---------------------------------

struct WayOut {
  const char* name;
  const char* typed;   // at the main menu; null: a signal instead
  int signal;          // sent from outside when nothing is typed
  int status;          // exit status, or -1 when ended by the signal
  const char* after;   // everything written after the menu, up to the report
  const char* report;  // must be in the report line; null: no report at all
};

// Each way out leaves the terminal with every flag and control character as
// the program found it, although the menu ran in raw mode.
TEST_F(Menus, EveryWayOutGivesTheTerminalBack) {
  std::vector<WayOut> cases = {
      {"exit item", "3\r", 0, 0, "3\r\n", nullptr},
      {"exit item by its low 8 bits", "259\r", 0, 0, "259\r\n", nullptr},
      {"a letter", "a\r", 0, 217, "a\r\n", "Invalid input"},
      {"a negative menu answer", "-3\r", 0, 217, "-3\r\n", "Invalid input"},
  };
  // Every signal that ends a process and can be caught: sent by a user, a
  // terminal, a timer or a limit, or raised by a fault of the program.
  for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF,
                  SIGXCPU, SIGXFSZ, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS})
    cases.push_back({sigabbrev_np(sig), nullptr, sig, -1, "", nullptr});
  for (const WayOut& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = StartAtMenu();
    ASSERT_TRUE(pty::IsRaw(s->Attributes())) << "the menu runs in raw mode";
    if (c.typed != nullptr) s->Write(c.typed);
    else s->Signal(c.signal);
    const pty::ExitStatus st = s->WaitExit(kWait);
    if (c.status >= 0) {
      EXPECT_TRUE(st.exited && st.code == c.status) << st.Describe() << "\n" << Shown(*s);
    } else {
      EXPECT_TRUE(!st.exited && st.signal == c.signal) << st.Describe();
    }
    EXPECT_TRUE(pty::SameAttributes(s->AttributesAtStart(), s->Attributes()));

    const std::string rest = s->Unread();
    ASSERT_TRUE(rest.starts_with(c.after)) << pty::Visible(rest);
    const std::string report = rest.substr(std::string_view(c.after).size());
    if (c.report == nullptr) {
      EXPECT_EQ(pty::Visible(report), "");
    } else {
      EXPECT_NE(report.find(c.report), std::string::npos) << pty::Visible(report);
      EXPECT_EQ(Count(report, "\n"), 1u) << "one line: " << pty::Visible(report);
    }
  }
}

// A reader that goes away is a failed write like a full disk: a report and
// 217, not a silent death by SIGPIPE.
TEST_F(Menus, WritingIntoAClosedPipeEndsWith217AndAReport) {
  const std::string err = ::testing::TempDir() + "zalpomet-pipe-err";
  // 256 keeps 0 in the menu's 8 bits: the menu is written again and again.
  const std::string script = "yes 256 | DISPLAY=" + server_->Display() + " " + ZALPOMET_BINARY +
                             " 2>" + err + " | head -c1 >/dev/null; echo ${PIPESTATUS[1]}";
  FILE* run = popen(("bash -c '" + script + "'").c_str(), "r");
  ASSERT_NE(run, nullptr);
  char status[16] = {};
  ASSERT_NE(std::fgets(status, sizeof status, run), nullptr);
  pclose(run);
  EXPECT_STREQ(status, "217\n");
  std::stringstream report;
  report << std::ifstream(err).rdbuf();
  EXPECT_EQ(report.str(), "zalpomet: Write error: Broken pipe\n");
  std::filesystem::remove(err);
}

}  // namespace
