// The level turn loop: the opening view, the shell and launch questions, the
// shot and its effects, the enemy phase, defeat, restart and victory. Writes
// ShellKind, LaunchSpeed, LaunchAngle, ShellVX, ShellVY, the stocks,
// ThreatLevel, LevelWon, LevelLost, EnemyHealthSum and RestartAnswer.
#include "game/turn.hpp"

#include <cmath>
#include <string_view>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/effects.hpp"
#include "game/advance.hpp"
#include "game/enemy_fire.hpp"
#include "game/raids.hpp"
#include "game/shot.hpp"
#include "game/state.hpp"
#include "game/status.hpp"
#include "game/texts.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"

namespace {

struct ShellStock {
  int16_t* count;
  std::string_view empty;  // said when the kind is chosen without shells
};
const ShellStock kStocks[4] = {
    {nullptr, {}},
    {&AmmoHE, texts::NoHighExplosive},
    {&AmmoAP, texts::NoArmourPiercing},
    {&AmmoNuclear, texts::NoNuclear},
};

void OpenWindow() {
  GraphDriver = 0;
  GraphMode = 30000;
  InitGraph(GraphDriver, GraphMode, "");
}

void DrawScene() {
  DrawStatusLine();
  DrawAllUnits();
  DrawHealthBars();
  DrawPlayerGun();
}

bool AnyShellLeft() { return AmmoHE > 0 || AmmoAP > 0 || AmmoNuclear > 0; }

// Without any shell the shell question could never be passed (a skirmish
// restarted after its last shell keeps its empty stocks), so the level ends
// here. The key is left unread, as on the about screen.
void TellNoShellsLeft() {
  WriteLine(texts::NoShellsLeft);
  WriteLine(texts::PressAnyKey);
  WaitKey();
}

// Refused answers ask again without clamping health again.
void AskShellKind() {
  for (;;) {
    WriteLine(texts::ShellQuestion);
    ShellKind = Store16(ReadNumber());
    ReadLineEnd();
    if (ShellKind >= 1 && ShellKind <= 3) {
      const ShellStock& stock = kStocks[ShellKind];
      if (*stock.count > 0) return;
      WriteLine(stock.empty);
    }
    EndIfInputExhausted();
  }
}

void AskLaunch() {
  WriteLine(texts::LaunchQuestion);
  LaunchSpeed = Store16(ReadNumber());
  LaunchAngle = Store16(ReadNumber());
  ReadLineEnd();
}

void DrawShellExplosion(int16_t impactX) {
  const int16_t y = ShellY > 0 ? Store16(GroundY - ShellY) : GroundY;
  switch (ShellKind) {
    case 1: DrawExplosion(impactX, y); break;
    case 2: DrawScatteredExplosion(impactX, y); break;
    case 3: DrawNuclearCloud(impactX, GroundY); break;
    default: break;
  }
}

void EnemyPhase() {
  EnemyFire();
  AttackPlaneRaid();
  BomberRaid();
  EnemyAdvance();
  UpdateSpotterMode();
}

// Asked while the last turn is still on screen; the window goes after the
// first answer, whatever it is.
LevelOutcome AskRestart() {
  for (;;) {
    WriteLine(texts::RestartQuestion);
    RestartAnswer = ReadChar();
    ReadLineEnd();
    CloseGraph();
    if (RestartAnswer == 'Y' || RestartAnswer == 'y') return LevelOutcome::Restart;
    if (RestartAnswer == 'N' || RestartAnswer == 'n') return LevelOutcome::End;
    EndIfInputExhausted();
  }
}

}  // namespace

void ComputeLaunchValues() {
  // Degrees become radians by dividing by 57, not by 180/pi: the game's
  // ballistics, and every level tuned to them, depend on it.
  const long double a = static_cast<long double>(LaunchAngle) / 57.0L;
  const long double speed = LaunchSpeed;
  ShellVX = Store16(RoundEven(std::cos(a) * speed));
  ShellVY = Store16(RoundEven(std::sin(a) * speed));
}

void ShowBattlefield() {
  OpenWindow();
  ThreatLevel = 1;
  DrawScene();
  // The key stays unread: it becomes the first key of the shell answer.
  WaitKey();
  CloseGraph();
  Randomize();
}

bool PlayTurn(LevelOutcome& outcome) {
  ClampHealth();
  if (!AnyShellLeft()) {
    TellNoShellsLeft();
    outcome = LevelOutcome::NoShells;
    return true;
  }
  AskShellKind();
  AskLaunch();
  ComputeLaunchValues();

  OpenWindow();
  ClearDevice();
  DrawScene();
  FlyShell();
  int16_t& stock = *kStocks[ShellKind].count;
  stock = Store16(stock - 1);
  const int16_t impactX = Store16(PlayerX + ShellDX);
  DrawShellExplosion(impactX);
  if (ThreatLevel > 0 && ThreatLevel < 15) ThreatLevel = Store16(ThreatLevel + 1);
  ApplyShellDamage(impactX);
  Delay(100);
  if (static_cast<int32_t>(AmmoHE) + AmmoAP + AmmoNuclear == 0) LevelLost = true;
  ApplySplash(impactX);
  MarkDestroyed();

  EnemyPhase();
  if (PlayerHealth <= 0) {
    WriteLine(texts::Killed);
    LevelLost = true;
  }
  if (LevelLost) {
    outcome = AskRestart();
    return true;
  }

  ClampHealth();
  EnemyHealthSum = 0;
  for (int i = 1; i <= UnitCount && i <= MaxUnits; ++i)
    EnemyHealthSum = Store16(EnemyHealthSum + Units[i].health);
  if (EnemyHealthSum == 0) LevelWon = true;
  if (LevelWon) {
    WriteLine(texts::Victory);
    Delay(1500);
    CloseGraph();
    outcome = LevelOutcome::Won;
    return true;
  }
  CloseGraph();
  return false;
}

LevelOutcome PlayLevel() {
  if (!AnyShellLeft()) {
    TellNoShellsLeft();
    return LevelOutcome::NoShells;
  }
  ShowBattlefield();
  LevelOutcome outcome = LevelOutcome::End;
  while (!PlayTurn(outcome)) {
  }
  return outcome;
}
