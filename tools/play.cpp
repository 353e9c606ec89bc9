// The bot behind headless play. The game runs unchanged: its questions go to
// a memory file standing in for the terminal, and the console's read hook
// (called before every read of the terminal) lets the bot look at the text
// just written and the game's globals, and put its answer into the pipe that
// is the game's standard input. Delays run on the virtual clock.
#include "tools/play.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string_view>

#include "console/console.hpp"
#include "game/effects.hpp"
#include "game/level_file.hpp"
#include "game/state.hpp"
#include "game/texts.hpp"
#include "game/turn.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"
#include "tools/aim.hpp"
#include "tools/checks.hpp"
#include "tools/headless.hpp"

namespace play {
namespace {

// Seconds since the epoch of the first seed's clock; seeds are a day apart.
constexpr int64_t kClockBase = 1767225600;  // 2026-01-01

// The bot's hand: the spread of its typed speed and angle on the first shot
// at an object, narrowing as it corrects on the following ones.
constexpr double kSpeedSpread = 1.3;
constexpr double kAngleSpread = 2.0;
constexpr double kLearning = 0.3;
constexpr double kBestHand = 0.35;

int AnswerFd = -1;   // write end of the game's standard input
int ScreenFd = -1;   // the memory file that is the game's standard output
off_t ScreenRead = 0;
std::string Pending;  // output not yet matched against the questions

std::mt19937 Hand;
int Shots = 0;
bool Refused = false;  // the restart question has been answered
int AimX = 0;          // where the coming shot should land
int AimAt = 0;         // object aimed at
std::array<int, MaxUnits + 1> ShotsAt{};
FILE* Trace = nullptr;
bool WasteFirst = false;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "zalpomet-levelcheck: %s\n", what);
  std::exit(2);
}

void Answer(std::string_view text) {
  if (write(AnswerFd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    Fail("cannot write the bot's answer");
  // A person takes a few seconds over every answer; the enemy's reseeding
  // from the clock sees that time.
  headless::AddSeconds(2 + static_cast<int64_t>(Hand() % 9));
}

// Output the game has written since the last look, line ends removed: the
// console wraps long questions at the 80th byte, even inside a letter.
void TakeOutput() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = pread(ScreenFd, buffer, sizeof buffer, ScreenRead);
    if (n <= 0) break;
    ScreenRead += n;
    for (ssize_t i = 0; i < n; ++i)
      if (buffer[i] != '\n') Pending.push_back(buffer[i]);
  }
  // Writes append, so the file can start again once everything is read.
  if (ScreenRead > (1 << 20)) {
    if (ftruncate(ScreenFd, 0) != 0) Fail("cannot reset the screen file");
    ScreenRead = 0;
  }
}

bool Living(const EnemyUnit& u) {
  return u.destroyed == 0 && u.health > 0 && u.kind >= Target && u.kind <= SpotterTruck;
}

KindValues ValuesOf(const EnemyUnit& u) {
  return u.kind == SpotterTruck && SpotterMode == 2 ? DeployedSpotterValues : KindTable[u.kind];
}

// How urgently an object should go: one that will reach the gun, one that
// fires at it, the spotter truck that brings the aircraft; cheap kills first.
double Urgency(const EnemyUnit& u) {
  const KindValues v = ValuesOf(u);
  const int distance = u.x - PlayerX;
  double score = 1;
  if (v.step > 0) score += 400.0 / std::max(1, (distance - 20) / v.step);
  if (v.weapon >= 1 && v.weapon <= 4 && v.range > distance && distance > 100)
    score += v.weapon == 4 ? 250 : 150;
  if (u.kind == SpotterTruck) score += SpotterMode == 2 ? 300 : 200;
  const int perShot = AmmoAP > 0 ? 1000 : 500;
  return score / ((u.health + perShot - 1) / perShot);
}

// Hit points a nuclear burst at x takes from the living objects.
int NuclearValue(int x) {
  int value = 0;
  for (int i = 1; i <= UnitCount; ++i) {
    const EnemyUnit& u = Units[i];
    const int d = std::abs(u.x - x);
    if (Living(u) && d < 250) value += std::min<int>(u.health, 2000 - 3 * d);
  }
  return value;
}

// The shell kind and the aim point of the coming shot, as a sensible player
// picks them: the nuclear shell where it takes a crowd (or when the other
// shells cannot finish the job), and never within its reach of the gun;
// armour-piercing for what one high-explosive shell would not destroy.
int ChooseShot() {
  int target = 0;
  double best = -1;
  int remaining = 0;
  for (int i = 1; i <= UnitCount; ++i) {
    if (!Living(Units[i])) continue;
    remaining += Units[i].health;
    const double u = Urgency(Units[i]);
    if (u > best) {
      best = u;
      target = i;
    }
  }
  if (target == 0) target = 1;  // nothing left standing; any answer will do
  AimAt = target;
  AimX = Units[target].x;
  if (AmmoNuclear > 0) {
    int bestX = 0, bestValue = 0;
    for (int i = 1; i <= UnitCount; ++i) {
      if (!Living(Units[i]) || Units[i].x - PlayerX < 300) continue;
      const int value = NuclearValue(Units[i].x);
      if (value > bestValue) {
        bestValue = value;
        bestX = Units[i].x;
      }
    }
    const int conventional = 350 * AmmoHE + 700 * AmmoAP;
    if (bestValue >= 2500 || (bestValue > 0 && conventional < remaining)) {
      AimX = bestX;
      return 3;
    }
  }
  const bool tough = Units[target].health > 501;
  if (AmmoAP > 0 && (tough || AmmoHE <= 0)) return 2;
  if (AmmoHE > 0) return 1;
  return AmmoAP > 0 ? 2 : 3;
}

int Noisy(int value, double spread) {
  std::normal_distribution<double> error(0.0, spread);
  return value + static_cast<int>(std::lround(error(Hand)));
}

// Whether the chosen shell bursting at x would cost nothing at all, by the
// game's own damage and splash rules run on the state and then undone.
bool Harmless(int16_t x) {
  const GameSnapshot before = TakeSnapshot();
  ApplyShellDamage(x);
  ApplySplash(x);
  const bool harmless = TakeSnapshot() == before;
  RestoreSnapshot(before);
  return harmless;
}

// The opening miss: of the shots typed at 45 degrees, the harmless one that
// lands nearest the bot's aim, typed exactly.
std::string WasteLaunch() {
  aim::Flight best;
  int bestMiss = -1;
  for (int16_t speed = 1; speed <= 200; ++speed) {
    const aim::Flight f = aim::Trial(speed, 45);
    const int miss = std::abs(f.impactX - AimX);
    if (Harmless(f.impactX) && (bestMiss < 0 || miss < bestMiss)) {
      best = f;
      bestMiss = miss;
    }
  }
  if (bestMiss < 0) Fail("no harmless first shot for --waste-first");
  if (Trace != nullptr)
    std::fprintf(Trace, "  turn 1: shell %d wasted: typed %d 45, lands %d; gun %d\n", ShellKind,
                 best.speed, best.impactX, PlayerHealth);
  return std::to_string(best.speed) + " 45\n";
}

// The boxes as the coming turn's drawing will set them, on a copy of the
// state the drawing writes.
template <typename Decide>
std::string WithTurnBoxes(Decide decide) {
  const GameSnapshot before = TakeSnapshot();
  DrawAllUnits();
  std::string answer = decide();
  RestoreSnapshot(before);
  return answer;
}

// Aims through trial flights against the boxes the coming turn will draw,
// then types the shot with a human hand's error.
std::string ChooseLaunch() {
  if (WasteFirst && Shots == 0) return WithTurnBoxes(WasteLaunch);
  aim::Flight f;
  WithTurnBoxes([&f] {
    f = aim::Best(static_cast<int16_t>(AimX));
    return std::string();
  });
  const double hand = std::max(kBestHand, 1.0 - kLearning * ShotsAt[AimAt]);
  ++ShotsAt[AimAt];
  const int speed = std::max(1, Noisy(f.speed, kSpeedSpread * hand));
  const int angle = std::clamp(Noisy(f.angle, kAngleSpread * hand), 1, 89);
  if (Trace != nullptr)
    std::fprintf(Trace,
                 "  turn %d: shell %d at x %d (object %d, health %d): aimed %d %d, lands %d; "
                 "typed %d %d; gun %d\n",
                 Shots + 1, ShellKind, AimX, AimAt, Units[AimAt].health, f.speed, f.angle,
                 f.impactX, speed, angle, PlayerHealth);
  return std::to_string(speed) + " " + std::to_string(angle) + "\n";
}

// Called before every read of the terminal. The questions are looked for by
// what fits their first row.
void Hook() {
  TakeOutput();
  const std::string_view markers[] = {texts::Lead(texts::ShellQuestion), texts::LaunchQuestion,
                                      texts::Killed, texts::Lead(texts::RestartQuestion),
                                      texts::PressAnyKey};
  for (;;) {
    size_t at = std::string::npos;
    int which = -1;
    for (int m = 0; m < 5; ++m) {
      const size_t p = Pending.find(markers[m]);
      if (p < at) {
        at = p;
        which = m;
      }
    }
    if (which < 0) break;
    Pending.erase(0, at + markers[which].size());
    switch (which) {
      case 0:
        Answer(std::to_string(ChooseShot()) + "\n");
        break;
      case 1:
        Answer(ChooseLaunch());
        ++Shots;
        break;
      case 2:
      case 3:
        // One "n" serves both ends of a lost level: the key the advance
        // waits for after a contact stays unread and becomes the answer to
        // the restart question that follows.
        if (!Refused) Answer("n\n");
        Refused = true;
        break;
      default: Answer("\n"); break;
    }
  }
  // Keep a tail that may be the start of a question still being written.
  if (Pending.size() > 256) Pending.erase(0, Pending.size() - 256);
}

}  // namespace

void SetTrace(FILE* out) { Trace = out; }
void SetWasteFirst(bool waste) { WasteFirst = waste; }

void Setup() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) Fail("cannot make the input pipe");
  if (dup2(pipeFds[0], 0) < 0) Fail("cannot redirect standard input");
  close(pipeFds[0]);
  AnswerFd = pipeFds[1];
  ScreenFd = memfd_create("zalpomet-levelcheck-screen", MFD_CLOEXEC);
  if (ScreenFd < 0) Fail("cannot make the screen file");
  fcntl(ScreenFd, F_SETFL, fcntl(ScreenFd, F_GETFL) | O_APPEND);
  if (dup2(ScreenFd, 1) < 0) Fail("cannot redirect standard output");
  ConsoleInit();
  SetReadHook(Hook);
}

Result Play(const std::string& path, uint32_t seed) {
  // A fresh program: no spotter truck seen yet.
  ResetGameState();
  try {
    checks::Load(path);
  } catch (const LevelFileError& error) {
    Fail(error.what());
  }
  headless::ResetClock();
  headless::SetClockBase(kClockBase + int64_t{86400} * seed);
  Hand.seed(seed);
  Shots = 0;
  Refused = false;
  ShotsAt.fill(0);
  TakeOutput();
  Pending.clear();
  // The key that ends the opening view; it is an empty first line of the
  // shell answer, which the number reading passes over.
  Answer("\n");
  const LevelOutcome outcome = PlayLevel();
  TakeOutput();
  Pending.clear();
  int left = 0;
  if (ioctl(0, FIONREAD, &left) != 0 || left != 0) Fail("the game left answers unread");
  Result r;
  r.turns = Shots;
  if (outcome == LevelOutcome::Won)
    r.ending = Ending::Won;
  else if (PlayerHealth <= 0)
    r.ending = Ending::Killed;
  else if (int{AmmoHE} + AmmoAP + AmmoNuclear <= 0)
    r.ending = Ending::OutOfShells;
  else
    r.ending = Ending::Reached;
  if (Trace != nullptr) {
    const char* names[] = {"won", "killed", "out of shells", "reached"};
    std::fprintf(Trace, "  end: %s after %d shots; gun %d, threat %d\n",
                 names[static_cast<int>(r.ending)], Shots, PlayerHealth, ThreatLevel);
  }
  return r;
}

}  // namespace play
