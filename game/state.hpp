// Every program-wide game variable, one per line, grouped by concern, with the
// three level-start operations and the reset and snapshot of them all. Units
// is 1-based: entry 0 is never used, so loops read 1..UnitCount.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <tuple>

struct EnemyUnit {
  int16_t x = 0;          // centre on the ground line, pixels
  int16_t kind = 0;       // 0..11 selects drawing and values
  int16_t health = 0;     // current hit points
  int16_t destroyed = 0;  // 1 = not drawn, no bar, cannot stop a shell
  int16_t maxHealth = 0;  // full hit points by kind
  int16_t width = 0;      // hit box, written by the drawing
  int16_t height = 0;     // hit box above the ground line
  int16_t step = 0;       // pixels per enemy turn, 0 = stationary
  int16_t weapon = 0;     // 0 none .. 5 spotting
  int16_t range = 0;      // fires while the gun is closer than this
  bool operator==(const EnemyUnit&) const = default;
};

constexpr int MaxUnits = 20;
constexpr int16_t GroundY = 500;

// ---- Level and player ----------------------------------------------------
inline std::array<EnemyUnit, MaxUnits + 1> Units{};  // 1..20
inline int16_t LevelNumber = 0;      // n of ./level/<n>.lvl
inline int16_t UnitCount = 0;        // objects of the level, 0..20
inline int16_t PlayerX = 0;          // gun's x on the ground line
inline int16_t PlayerHealth = 0;     // may fall below 0
inline int16_t PlayerMaxHealth = 0;  // scale of the player's bar

// ---- Ammunition and the shot ---------------------------------------------
inline int16_t AmmoHE = 0;        // kind 1, high-explosive
inline int16_t AmmoAP = 0;        // kind 2, armour-piercing
inline int16_t AmmoNuclear = 0;   // kind 3, tactical nuclear
inline int16_t ShellKind = 0;     // 1..3, kind of the current shot
inline int16_t LaunchSpeed = 0;   // as typed
inline int16_t LaunchAngle = 0;   // degrees, as typed
inline int16_t ShellVX = 0;       // launch velocity, pixels per step
inline int16_t ShellVY = 0;
inline int16_t ShellStep = 0;     // flight counter t
inline int16_t ShellDX = 0;       // offset from PlayerX; impact x = PlayerX + ShellDX
inline int16_t ShellY = 0;        // height above the ground line
inline int16_t ShellStopped = 0;  // 1 once the flight has ended
inline int16_t SplashRadius = 0;  // 60 after every reset
inline int16_t SplashDamage = 0;  // 1 after every reset

// ---- Threat and the enemy side -------------------------------------------
inline int16_t ThreatLevel = 0;   // 1..15 during a level
inline int16_t SpotterMode = 0;   // 1 driving, 2 deployed
inline int16_t SpotterSeen = 0;   // 1 once a spotter truck was drawn; never cleared
inline int16_t SpotterIndex = 0;  // table index of the last spotter truck drawn
inline bool UnitMoving = false;   // the advance is moving an object
inline int16_t AimSpread = 0;     // enemy's random aim error, narrows with ThreatLevel
inline int16_t AdvanceDir = 0;    // -1 toward the gun, 0 stay
inline int16_t AdvanceStartX = 0; // x where the moving object started

// ---- Flow ----------------------------------------------------------------
inline uint8_t MenuChoice = 0;      // 1 play, 2 about, 3 exit
inline uint8_t GameMode = 0;        // 1 campaign, 2 single level, 3 skirmish
inline bool QuitRequested = false;  // the exit item was chosen
inline int16_t ReturnToMenu = 0;    // 1 after a won single level or skirmish
inline bool LevelWon = false;
inline bool LevelLost = false;
inline int16_t EnemyHealthSum = 0;  // 16-bit sum at the end of each turn
inline uint8_t RestartAnswer = 0;   // first byte of the restart answer
inline int16_t EnemySkill = 0;      // 1..5 for a skirmish
inline int16_t SkirmishBudget = 0;  // points left in the skirmish draw-up
inline int16_t GraphDriver = 0;     // always 0 before InitGraph
inline int16_t GraphMode = 0;       // always 30000 before InitGraph
inline std::string BriefingLine;    // one line of closing text, <= 255 bytes

// Every variable above, once: the reset and the snapshot go through this list,
// so a variable added above and here is reset and restored with the rest.
inline auto GameVariables() {
  return std::tie(Units, LevelNumber, UnitCount, PlayerX, PlayerHealth, PlayerMaxHealth, AmmoHE,
                  AmmoAP, AmmoNuclear, ShellKind, LaunchSpeed, LaunchAngle, ShellVX, ShellVY,
                  ShellStep, ShellDX, ShellY, ShellStopped, SplashRadius, SplashDamage,
                  ThreatLevel, SpotterMode, SpotterSeen, SpotterIndex, UnitMoving, AimSpread,
                  AdvanceDir, AdvanceStartX, MenuChoice, GameMode, QuitRequested, ReturnToMenu,
                  LevelWon, LevelLost, EnemyHealthSum, RestartAnswer, EnemySkill,
                  SkirmishBudget, GraphDriver, GraphMode, BriefingLine);
}
// The values of every game variable at one moment.
template <typename... T>
std::tuple<T...> ValuesOf(std::tuple<T&...>);
using GameSnapshot = decltype(ValuesOf(GameVariables()));

// Every game variable back to its start-up value, as a new process has them.
// The generator's seed is the console's (RandSeed) and is left alone.
inline void ResetGameState() { GameVariables() = GameSnapshot{}; }
inline GameSnapshot TakeSnapshot() { return GameVariables(); }
inline void RestoreSnapshot(const GameSnapshot& snapshot) { GameVariables() = snapshot; }

// destroyed := 0 for the level's objects, then the per-level flags and
// constants; touches nothing else.
void ResetLevelState();
// Objects' health below 0 becomes 0; PlayerHealth is left alone.
void ClampHealth();
// SetMaxHealth, then every object's health := maxHealth.
void PrepareHealth();
// Every loss the gun takes goes through here. The sum saturates at the 16-bit
// limits: a wrap would turn a gun far below zero into one at full strength.
void DamagePlayer(int64_t loss);
