// zalpomet-bench: the pace benchmark. On a private 1920x1080 Xvfb (so the
// game's 1280x1024 window) it runs the real drawing layer, window device and
// game procedures with the real Delay. Each animation runs first on a virtual
// clock, which gives the delays it asks for (their sum is its designed time),
// then timed, alternately with Delay sleeping its whole time after every
// frame (as before it kept a pace) and with Delay as it is. It prints one
// table: per scenario the wall time of both against the designed time, the
// ratios, and the intervals between the frames' presents; then the absolute
// figures of the real program under a pty.
//
//   zalpomet-bench [--runs N] [--only 1,2,...] [--game PATH] [--root DIR]
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bench/field.hpp"
#include "bench/pace.hpp"
#include "bench/program.hpp"
#include "console/console.hpp"
#include "game/effects.hpp"
#include "game/enemy_fire.hpp"
#include "game/advance.hpp"
#include "game/raids.hpp"
#include "game/state.hpp"
#include "game/status.hpp"
#include "game/turn.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "tests/support/reference_random.hpp"
#include "tests/support/xvfb.hpp"
#include "tools/fakes.hpp"

namespace {

FILE* Out = stdout;  // the table; the game's own terminal output goes elsewhere
int AnswerFd = -1;   // the game's standard input, for the whole turn

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "zalpomet-bench: %s\n", what.c_str());
  std::exit(1);
}

// ---- Battlefields ---------------------------------------------------------------

// Every kind, twenty objects from x 130 to 1232.
const std::vector<Placed> kFullField =
    Spread(130, 58, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 5, 4, 9, 7, 0, 2, 6, 10});
constexpr int16_t kFullFieldGun = 40;
constexpr int16_t kLauncher = 10;  // the rocket launcher's entry in kFullField

// Twenty objects that all move (kinds 4-9 and the driving spotter truck), far
// enough from the gun that none reaches it.
const std::vector<Placed> kMovingField =
    Spread(300, 50, {4, 5, 6, 7, 8, 9, 11, 4, 5, 6, 7, 8, 9, 11, 4, 5, 6, 7, 8, 9});
// Five movers among twelve.
const std::vector<Placed> kMixedField = Spread(330, 80, {0, 5, 1, 4, 2, 9, 3, 7, 10, 6, 0, 3});
constexpr int16_t kAdvanceGun = 20;

// Unarmed, still objects beyond the shot's reach: the enemy's half of the
// turn passes without a drawing or a delay.
const std::vector<Placed> kQuietField = Spread(480, 65, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3});
constexpr int16_t kQuietGun = 50;
// Speed 31 at 17 "degrees" (the game divides by 57) launches at 30 and 9
// pixels per step: ten steps, landing 300 pixels out, far from every object.
constexpr std::string_view kQuietShot = "1\n31 17\n";
constexpr int16_t kQuietImpactOffset = 300;
constexpr uint64_t kQuietTurnDelays = 11 * 50 + 300 + 100;  // circles, burst, pause

void OpenWindow() {
  GraphDriver = 0;
  GraphMode = 30000;
  InitGraph(GraphDriver, GraphMode, "");
  if (!X11WindowOpen()) Fail("the window did not open");
}

// Each picture gets a new window, as every turn of the game does.
void FreshWindow() {
  CloseGraph();
  OpenWindow();
}

void DrawScene() {
  DrawStatusLine();
  DrawAllUnits();
  DrawHealthBars();
  DrawPlayerGun();
}

// ---- Seeds ----------------------------------------------------------------------------

// The first seed whose draws the predicate accepts, replayed on an
// independent model of Random.
uint32_t FindSeed(const std::function<bool(ReferenceRandom&)>& accept) {
  for (uint32_t seed = 1; seed != 0; ++seed) {
    ReferenceRandom r(seed);
    if (accept(r)) return seed;
  }
  Fail("no seed gives the draws a scenario needs");
}

uint32_t SeedAllAdvance(int movers) {
  return FindSeed([movers](ReferenceRandom& r) {
    for (int i = 0; i < movers; ++i)
      if (r(2) != 0) return false;  // Random(2) - 1 = -1: toward the gun
    return true;
  });
}

// ---- Scenarios ----------------------------------------------------------------------

constexpr double kAnimationTarget = 1.03;  // largest paced ratio of an animation
constexpr double kTurnTarget = 1.05;       // of the whole turn, window opening included
constexpr double kFrameSlackMs = 1.0;      // 95th-percentile interval over the delay asked

// An animation, timed both ways, or a drawing or an opening without delays.
struct Row {
  std::string name;
  pace::Comparison c;
  pace::Summary once;  // rows without delays
  double target = 0;   // largest paced ratio allowed; 0 for none
  bool frameTarget = false;  // the paced p95 interval must be within kFrameSlackMs
};

std::vector<Row> Rows;
std::string Renderer = "?", GLVersion = "?", PresentPath = "?";

double Ratio(const pace::Summary& s, double delayMs) { return delayMs > 0 ? s.wallMs / delayMs : 0; }

void Print(const Row& r) {
  if (r.c.delayMs == 0) {
    std::fprintf(stderr, "  %-40s wall %8.1f  present %6.1f\n", r.name.c_str(), r.once.wallMs,
                 r.once.presentMs);
    return;
  }
  for (const auto& [way, s] : {std::pair{"whole", &r.c.whole}, std::pair{"paced", &r.c.paced}}) {
    std::fprintf(stderr,
                 "  %-40s %s: wall %8.1f  delays %6.0f  ratio %.3f  present %6.1f  oversleep %5.1f"
                 "  %zu frames of %u ms: median %.2f  p95 %.2f\n",
                 r.name.c_str(), way, s->wallMs, r.c.delayMs, Ratio(*s, r.c.delayMs), s->presentMs,
                 s->oversleepMs, s->intervals.frames, s->intervals.askedMs, s->intervals.medianMs,
                 s->intervals.p95Ms);
  }
}

void Add(Row r) {
  Print(r);
  Rows.push_back(std::move(r));
}

// An animation: prepare is not timed, body is, both ways of sleeping.
void AddAnimation(const std::string& name, int runs, const std::function<void()>& prepare,
                  const std::function<void()>& body, double target, bool frameTarget = false) {
  Row r{name, pace::Compare(runs, prepare, body), {}, target, frameTarget};
  if (r.c.delayMs == 0) Fail(name + ": nothing was animated");
  Add(std::move(r));
}

void AddOnce(const std::string& name, int runs, const std::function<void()>& prepare,
             const std::function<void()>& body) {
  Add({name, {}, pace::Repeat(runs, prepare, body)});
}

void ReadGLStrings() {
  PresentPath = X11PresentsByCopy() ? "back buffer, changed rectangle copied (GLX_MESA_copy_sub_buffer)"
                                    : "front buffer, flushed";
  void* gl = dlopen("libGL.so.1", RTLD_NOW | RTLD_NOLOAD);
  if (gl == nullptr) return;
  using GetString = const unsigned char* (*)(unsigned);
  auto get = reinterpret_cast<GetString>(dlsym(gl, "glGetString"));
  if (get != nullptr) {
    constexpr unsigned kRendererName = 0x1F01, kVersionName = 0x1F02;
    if (const unsigned char* s = get(kRendererName)) Renderer = reinterpret_cast<const char*>(s);
    if (const unsigned char* s = get(kVersionName)) GLVersion = reinterpret_cast<const char*>(s);
  }
  dlclose(gl);
}

void FullScene(int runs) {
  const auto prepare = [] {
    FreshWindow();
    SetUpLevel(kFullFieldGun, kFullField);
  };
  AddOnce("1 full scene, 20 objects, drawn once", runs, prepare, DrawScene);
}

void Advance(const char* name, const std::vector<Placed>& field, int runs, bool frameTarget) {
  int movers = 0;
  for (const Placed& p : field) movers += KindTable[p.kind].step > 0 ? 1 : 0;
  const uint32_t seed = SeedAllAdvance(movers);
  std::vector<EnemyUnit> before;
  const auto prepare = [&] {
    FreshWindow();
    SetUpLevel(kAdvanceGun, field);
    DrawScene();
    before.assign(Units.begin(), Units.end());
    fake::Reseed(seed);
  };
  const auto body = [&] {
    EnemyAdvance();
    for (int i = 1; i <= UnitCount; ++i) {
      if (Units[i].x != before[i].x - before[i].step) Fail(std::string(name) + ": an object stood still");
    }
  };
  AddAnimation(name, runs, prepare, body, kAnimationTarget, frameTarget);
}

// A scenario on the full field as the enemy's half of a turn finds it.
void OnFullField(const char* name, int runs, uint32_t seed, int16_t threat,
                 const std::function<void()>& body, bool frameTarget = false) {
  const auto prepare = [&] {
    FreshWindow();
    SetUpLevel(kFullFieldGun, kFullField);
    DrawScene();
    ThreatLevel = threat;
    fake::Reseed(seed);
  };
  AddAnimation(name, runs, prepare, body, kAnimationTarget, frameTarget);
}

void NuclearCloud(int runs) {
  OnFullField("4 DrawNuclearCloud", runs, 2026, 1, [] { DrawNuclearCloud(640, 500); }, true);
}

void SalvoAndRaids(int runs) {
  OnFullField("5 rocket salvo, 5 rockets", runs, 2026, 1, [] {
    const EnemyUnit& launcher = Units[kLauncher];
    const double v = std::sqrt(launcher.range * 9.8);
    RocketSalvo(kLauncher, v, static_cast<double>(launcher.x - PlayerX));
  });
  const uint32_t bomber = FindSeed([](ReferenceRandom& r) { return r(40) > 20; });
  OnFullField("5 bomber raid", runs, bomber, 15, BomberRaid);
  const uint32_t plane = FindSeed([](ReferenceRandom& r) { return r(6) > 2; });
  OnFullField("5 attack-plane raid", runs, plane, 10, AttackPlaneRaid);
}

void WholeTurn(int runs) {
  const auto prepare = [] {
    CloseGraph();
    SetUpLevel(kQuietGun, kQuietField);
    SetColor(15);
    if (write(AnswerFd, kQuietShot.data(), kQuietShot.size()) !=
        static_cast<ssize_t>(kQuietShot.size()))
      Fail("cannot type the turn's answers");
  };
  const auto body = [] {
    LevelOutcome outcome = LevelOutcome::End;
    if (PlayTurn(outcome)) Fail("6: the quiet turn ended the level");
    if (ShellDX != kQuietImpactOffset) Fail("6: the shot did not fly its ten steps");
  };
  AddAnimation("6 whole turn: 10-step flight, HE burst", runs, prepare, body, kTurnTarget);
  if (Rows.back().c.delayMs != kQuietTurnDelays) Fail("6: the enemy's half of the turn was not quiet");

  const auto openClose = [] {
    OpenWindow();
    CloseGraph();
  };
  AddOnce("6 InitGraph + CloseGraph", std::max(runs, 5), CloseGraph, openClose);
}

// ---- Machine --------------------------------------------------------------------

std::string FirstLine(const char* command) {
  std::string line;
  if (FILE* p = popen(command, "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) {
      std::string l = buffer;
      while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
      if (line.empty() && !l.empty()) line = l;
    }
    pclose(p);
  }
  return line;
}

std::string CpuModel() {
  std::ifstream info("/proc/cpuinfo");
  for (std::string line; std::getline(info, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "?";
}

std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string a, b, c;
  f >> a >> b >> c;
  return a + " " + b + " " + c;
}

std::string Today() {
  char text[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
  return text;
}

// ---- The table ----------------------------------------------------------------------

const char* Verdict(double value, double limit) { return value <= limit ? "met" : "MISSED"; }

const Row* Find(std::string_view prefix) {
  for (const Row& r : Rows) {
    if (r.name.starts_with(prefix)) return &r;
  }
  return nullptr;
}

void AnimationRow(const Row& r, const std::string& name, double windowMs) {
  const double wholeRatio = (r.c.whole.wallMs - windowMs) / r.c.delayMs;
  const double pacedRatio = (r.c.paced.wallMs - windowMs) / r.c.delayMs;
  const pace::Intervals& wi = r.c.whole.intervals;
  const pace::Intervals& pi = r.c.paced.intervals;
  std::string target;
  if (r.target > 0 && windowMs == 0) {
    char text[96];
    std::snprintf(text, sizeof text, "ratio <= %.2f %s", r.target, Verdict(pacedRatio, r.target));
    target = text;
    if (r.frameTarget) {
      std::snprintf(text, sizeof text, "; p95 within %.0f ms of %u %s", kFrameSlackMs, pi.askedMs,
                    Verdict(std::fabs(pi.p95Ms - pi.askedMs), kFrameSlackMs));
      target += text;
    }
  }
  std::fprintf(Out, "| %s | %.0f | %.1f / %.1f | %.3f | %.3f | ", name.c_str(), r.c.delayMs,
               r.c.whole.wallMs - windowMs, r.c.paced.wallMs - windowMs, wholeRatio, pacedRatio);
  if (windowMs > 0) {
    std::fprintf(Out, "- | - | - | - | - | %s |\n", target.c_str());
    return;
  }
  std::fprintf(Out, "%zu of %u ms | %.2f / %.2f | %.2f / %.2f | %.1f / %.1f | %.1f / %.1f | %s |\n",
               pi.frames, pi.askedMs, wi.medianMs, pi.medianMs, wi.p95Ms, pi.p95Ms,
               r.c.whole.presentMs, r.c.paced.presentMs, r.c.whole.oversleepMs,
               r.c.paced.oversleepMs, target.c_str());
}

// Overhead = wall - delays = presenting + oversleeping + the rest, which is
// drawing (and, for the turn, opening and closing the window). Frames: the
// intervals from one Delay's present to the next, for the scenario's most
// common delay, pooled over the runs of each way.
void AnimationTable() {
  std::fprintf(Out,
               "| scenario | delays ms | wall ms, whole / paced | ratio, whole | ratio, paced "
               "| frames | interval median ms, whole / paced | interval p95 ms, whole / paced "
               "| present ms, whole / paced | oversleep ms, whole / paced | target |\n");
  std::fprintf(Out, "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
  for (const Row& r : Rows) {
    if (r.c.delayMs > 0) AnimationRow(r, r.name, 0);
  }
  // What of the turn's distance is the window's: the turn less one opening
  // and closing timed on their own.
  const Row* turn = Find("6 whole turn");
  const Row* window = Find("6 InitGraph");
  if (turn != nullptr && window != nullptr) {
    AnimationRow(*turn, "6 whole turn less one InitGraph + CloseGraph", window->once.wallMs);
  }
}

void PrintTable(int runs, const std::string& loadBefore, const program::Figures* figures) {
  std::fprintf(Out, "zalpomet pace benchmark, %s\n", Today().c_str());
  std::fprintf(Out, "machine: %s, %u cores; load before %s, after %s\n", CpuModel().c_str(),
               std::thread::hardware_concurrency(), loadBefore.c_str(), LoadAverage().c_str());
  std::fprintf(Out, "X: %s, screen 1920x1080x24, window %dx%d\n",
               FirstLine("dpkg-query -W -f='Xvfb ${Version}' xvfb 2>/dev/null").c_str(), GetMaxX() + 1,
               GetMaxY() + 1);
  std::fprintf(Out, "GL: %s; %s\n", Renderer.c_str(), GLVersion.c_str());
  std::fprintf(Out, "window device: %s\n", PresentPath.c_str());
  std::fprintf(Out,
               "medians of %d runs of each way of sleeping, the two alternating (drawing once "
               "and opening: more runs)\n"
               "whole: every Delay sleeps its whole time after the frame's drawing (before "
               "pacing); paced: Delay as it is, the drawing since the previous Delay counted "
               "against the wait\n\n",
               runs);
  AnimationTable();
  std::fprintf(Out, "\n");
  std::fprintf(Out, "| scenario | value | present ms | target |\n");
  std::fprintf(Out, "|---|---:|---:|---|\n");
  for (const Row& r : Rows) {
    if (r.c.delayMs > 0) continue;
    std::string target;
    if (r.name.find("InitGraph") != std::string::npos)
      target = std::string("< 150 ms ") + Verdict(r.once.wallMs, 150);
    std::fprintf(Out, "| %s | %.1f ms | %.1f | %s |\n", r.name.c_str(), r.once.wallMs,
                 r.once.presentMs, target.c_str());
  }
  if (figures != nullptr) {
    const auto figure = [](const char* name, const std::string& value, const std::string& target) {
      std::fprintf(Out, "| 7 zalpomet: %s | %s | - | %s |\n", name, value.c_str(), target.c_str());
    };
    char value[32];
    std::snprintf(value, sizeof value, "%.1f ms", figures->startToMenuMs);
    figure("start to the main menu's last byte", value,
           std::string("< 100 ms ") + Verdict(figures->startToMenuMs, 100));
    std::snprintf(value, sizeof value, "%.2f %%", figures->aboutCpuPercent);
    figure("CPU while waiting 5 s at the about screen", value,
           std::string("< 1 % ") + Verdict(figures->aboutCpuPercent, 1));
    std::snprintf(value, sizeof value, "%.2f %%", figures->openingCpuPercent);
    figure("CPU while waiting 5 s at the opening view", value,
           std::string("< 1 % ") + Verdict(figures->openingCpuPercent, 1));
    std::snprintf(value, sizeof value, "%.1f MiB", static_cast<double>(figures->peakRssKb) / 1024);
    figure("peak resident memory, a turn included", value, "");
  }
  std::fflush(Out);
}

// The game's terminal: answers come from a pipe, its output goes nowhere, so
// that the table alone reaches standard output.
void AttachConsole() {
  const int table = dup(STDOUT_FILENO);
  Out = table >= 0 ? fdopen(table, "w") : nullptr;
  if (Out == nullptr) Fail("cannot keep standard output");
  int answers[2];
  if (pipe2(answers, O_CLOEXEC) != 0) Fail("cannot make the answer pipe");
  if (dup2(answers[0], STDIN_FILENO) < 0) Fail("cannot redirect standard input");
  close(answers[0]);
  AnswerFd = answers[1];
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0 || dup2(null, STDOUT_FILENO) < 0) Fail("cannot silence the game's terminal");
  close(null);
  ConsoleInit();
}

std::set<int> ParseList(const std::string& text) {
  std::set<int> out;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) out.insert(std::atoi(item.c_str()));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::set<int> only;
  std::string game = ZALPOMET_BINARY;
  std::string root = ZALPOMET_SOURCE_DIR;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--runs" && hasValue) runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--only" && hasValue) only = ParseList(argv[++i]);
    else if (arg == "--game" && hasValue) game = argv[++i];
    else if (arg == "--root" && hasValue) root = argv[++i];
    else {
      std::fprintf(stderr,
                   "usage: zalpomet-bench [--runs N] [--only 1,2,...] [--game PATH] [--root DIR]\n"
                   "  --runs  timed runs of each way of sleeping per scenario (default 5)\n"
                   "  --game  the zalpomet program for scenario 7 (default %s)\n"
                   "  --root  its working directory, holding level/ (default %s)\n",
                   ZALPOMET_BINARY, ZALPOMET_SOURCE_DIR);
      return 2;
    }
  }
  const auto wanted = [&](int scenario) { return only.empty() || only.count(scenario) > 0; };
  const std::string loadBefore = LoadAverage();

  try {
    xvfb::Server server(1920, 1080);
    server.Export();
    LoadGLLibraries();
    RegisterX11Modes();
    AttachConsole();
    pace::Install();
    OpenWindow();
    ReadGLStrings();

    std::fprintf(stderr, "zalpomet-bench: %s on %s, %d runs each\n", Renderer.c_str(),
                 server.Display().c_str(), runs);
    if (wanted(1)) FullScene(std::max(runs, 11));
    if (wanted(2)) Advance("2 EnemyAdvance, 20 of 20 moving", kMovingField, runs, false);
    if (wanted(3)) Advance("3 EnemyAdvance, 5 of 12 moving", kMixedField, runs, true);
    if (wanted(4)) NuclearCloud(runs);
    if (wanted(5)) SalvoAndRaids(runs);
    if (wanted(6)) WholeTurn(runs);
    CloseGraph();

    program::Figures figures;
    if (wanted(7)) {
      std::fprintf(stderr, "  the real program: %s in %s\n", game.c_str(), root.c_str());
      figures = program::Measure(game, root, server.Display(), 5, 5.0);
    }
    PrintTable(runs, loadBefore, wanted(7) ? &figures : nullptr);
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  return 0;
}
