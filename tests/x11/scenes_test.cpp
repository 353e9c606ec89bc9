// Whole game scenes in the real window on a private 1920x1080 Xvfb (the
// window is 1280x1024): the battlefield with every kind, a nuclear cloud, a
// high-explosive hit, a rocket salvo and a bomber run caught in mid-flight.
// Each scene is drawn by the game's own procedures over state set up here,
// saved as a PNG under the artifacts directory for people to look at, and
// checked at pixels inside filled shapes whose places the test works out
// itself. Animations are caught through the Delay seam: the console has
// presented the window by the time it sleeps, so the screen read there is
// exactly what a player sees during that pause.
// gtest first: Xlib's macros (None, Bool, Status) would break its templates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "game/effects.hpp"
#include "game/enemy_fire.hpp"
#include "game/raids.hpp"
#include "game/shot.hpp"
#include "game/state.hpp"
#include "game/status.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "tests/support/recording.hpp"
#include "tests/support/reference_random.hpp"
#include "tests/support/screenshot.hpp"
#include "tests/support/xvfb.hpp"

namespace {

using namespace shot;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr int kMaxX = kWidth - 1;

// ---- The Delay seam ----------------------------------------------------------
// Delay never sleeps here: the recording's virtual clock stands behind it,
// and each of its sleeps, exactly the delay asked, is counted by length; the
// screen is read back at the wanted one.
struct Catch {
  uint16_t ms = 0;      // which Delay length is counted
  int wanted = 0;       // 1-based number of the call to catch; 0: none
  int seen = 0;
  bool caught = false;
  shot::Image image;
};
Catch Pending;
const xvfb::Server* Server = nullptr;

void CountingSleep(uint16_t ms) {
  if (ms != Pending.ms || Pending.caught) return;
  if (++Pending.seen == Pending.wanted) {
    X11Present();  // Delay has presented already; this keeps the grab independent of it
    Pending.image = shot::Grab(Server->Display(), 0, 0, kWidth, kHeight);
    Pending.caught = true;
  }
}

void CatchAt(uint16_t ms, int call) {
  Pending = Catch{};
  Pending.ms = ms;
  Pending.wanted = call;
}

// ---- The battlefield ----------------------------------------------------------
struct Placed {
  int16_t x, kind;
};
// Every kind once, left to right as a level would set them, and a second
// spotter truck that the scene draws deployed. Each outline keeps clear of
// its neighbours.
constexpr Placed kField[] = {
    {100, Target},  {150, Hut},        {230, House},   {320, Flag},
    {410, ArmouredCar}, {500, Tank},   {600, HeavyTank}, {710, SelfPropelledGun},
    {785, Soldier}, {860, RocketLauncher}, {950, FieldGun}, {1010, SpotterTruck},
    {1100, SpotterTruck},
};
constexpr int kDrivingTruck = 12;
constexpr int kDeployedTruck = 13;
constexpr int16_t kFullHealth[12] = {100, 450, 1500, 3000, 1000, 1200, 1500, 1500, 150, 1000, 500, 500};

class Scenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new xvfb::Server(1920, 1080);
    server->Export();
    Server = server;
    LoadGLLibraries();
    ClearModes();
    RegisterX11Modes();
  }
  static void TearDownTestSuite() {
    CloseGraph();
    Server = nullptr;
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(server, nullptr) << "no X server";
    rec::InstallVirtualClock(CountingSleep);
    Pending = Catch{};
    ResetGame();
    GraphDriver = 0;
    GraphMode = 30000;
    InitGraph(GraphDriver, GraphMode, "");
    ASSERT_EQ(GraphResult(), 0);
    ASSERT_EQ(GetMaxX(), kMaxX);
    ClearDevice();
  }
  void TearDown() override {
    CloseGraph();
    DelayClock = MonotonicNanoseconds;
    DelaySleepUntil = SleepUntilNanoseconds;
    ClockSeconds = nullptr;
  }

  static void ResetGame() {
    ResetGameState();
    PlayerX = 50;
    PlayerMaxHealth = PlayerHealth = 1000;
    AmmoHE = 10;
    AmmoAP = 5;
    AmmoNuclear = 1;
    ResetLevelState();
    ThreatLevel = 3;
  }

  // A level's objects at full health, as the level start leaves them.
  static void Field(const std::vector<Placed>& objects) {
    UnitCount = static_cast<int16_t>(objects.size());
    for (size_t k = 0; k < objects.size(); ++k) {
      EnemyUnit& u = Units[k + 1];
      u = EnemyUnit{.x = objects[k].x, .kind = objects[k].kind};
      u.maxHealth = u.health = kFullHealth[objects[k].kind];
    }
  }

  // The turn loop's picture before a shot, in its order.
  static void DrawScene() {
    DrawStatusLine();
    DrawAllUnits();
    DrawHealthBars();
    DrawPlayerGun();
  }

  static shot::Image Screen() {
    X11Present();
    return shot::Grab(server->Display(), 0, 0, kWidth, kHeight);
  }
  static void Save(const shot::Image& image, const char* name) {
    shot::SavePng(image, shot::ArtifactPath(name));
  }

  static inline xvfb::Server* server = nullptr;
};

// ---- battlefield.png -------------------------------------------------------------
TEST_F(Scenes, BattlefieldWithEveryKindStatusAndHealthBars) {
  Field(std::vector<Placed>(std::begin(kField), std::end(kField)));
  Units[5].health = 500;  // the armoured car at half strength: a shorter bar
  // Both trucks share one SpotterMode, so the deployed one is drawn on its
  // own after the driving field, as the next turn would show it.
  Units[kDeployedTruck].destroyed = 1;
  SpotterMode = 1;
  DrawStatusLine();
  DrawAllUnits();
  Units[kDeployedTruck].destroyed = 0;
  SpotterMode = 2;
  DrawUnit(kDeployedTruck);
  DrawHealthBars();
  DrawPlayerGun();
  const shot::Image image = Screen();
  Save(image, "battlefield.png");

  // The drawings wrote their values, the deployed truck its own.
  EXPECT_EQ(Units[kDrivingTruck].weapon, 0);
  EXPECT_EQ(Units[kDeployedTruck].weapon, 5);

  // The target's white post, between the ground and the rings.
  EXPECT_TRUE(ColourAround(image, 100, 480, kWhite));
  EXPECT_TRUE(PixelIs(image, 105, 480, kBlack));
  // The flag's light-blue canton (a solid bar) and its red and white stripes.
  EXPECT_TRUE(PixelIs(image, 320 + 4, 444, kLightBlue));
  EXPECT_GE(CountColour(image, 320 + 12, 440, 320 + 12, 450, kRed), 4);
  EXPECT_GE(CountColour(image, 320 + 12, 440, 320 + 12, 450, kWhite), 4);
  // The deployed truck's lattice; the driving one has none.
  EXPECT_TRUE(ColourAround(image, 1100 + 50, 465, kWhite));
  EXPECT_TRUE(ColourAround(image, 1100 + 90, 455, kWhite));
  EXPECT_EQ(CountColour(image, 1010 + 40, 440, 1010 + 60, 468, kWhite), 0);
  // The gun's barrel rises to the right of its wheel.
  EXPECT_TRUE(ColourAround(image, 50 + 5, 485, kWhite));

  // Health bars: red fill inside the white frame for the gun and every
  // object at full strength; the half-strength car's fill stops at its middle.
  // Every full fill covers its centre's left neighbour, the target's
  // (97..100) and the soldier's (782..786) included.
  EXPECT_TRUE(PixelIs(image, 50 - 1, 512, kRed)) << "gun";
  for (int k = 0; k < 13; ++k) {
    if (k + 1 == 5) continue;
    EXPECT_TRUE(PixelIs(image, kField[k].x - 1, 512, kRed)) << "object " << k + 1;
    EXPECT_TRUE(PixelIs(image, kField[k].x - 1, 513, kRed)) << "object " << k + 1;
  }
  // Car: full value 1000 gives a frame 395..425; health 500 fills 394..409.
  EXPECT_TRUE(PixelIs(image, 400, 512, kRed));
  EXPECT_TRUE(PixelIs(image, 418, 512, kBlack));
  EXPECT_TRUE(ColourAround(image, 410, 510, kWhite));

  // The threat box: solid green for threat 3, the digit in black on it.
  const int bx = kMaxX - 100;
  EXPECT_TRUE(PixelIs(image, bx + 4, 104, kGreen));
  EXPECT_TRUE(PixelIs(image, bx + 26, 126, kGreen));
  EXPECT_TRUE(PixelIs(image, bx + 15, 125, kGreen));
  EXPECT_GT(CountColour(image, kMaxX - 90, 110, kMaxX - 83, 117, kBlack), 5);
  EXPECT_GT(CountColour(image, kMaxX - 90, 110, kMaxX - 83, 117, kGreen), 5);
  // The three stock rows, each with its label and count in white.
  for (int row : {40, 30, 20}) {
    const int y = kHeight - 1 - row;
    EXPECT_GT(CountColour(image, 10, y, 17, y + 7, kWhite), 5) << "label, row " << row;
    EXPECT_GT(CountColour(image, 40, y, 55, y + 7, kWhite), 5) << "count, row " << row;
  }
  // Sky stays black.
  EXPECT_EQ(CountColour(image, 0, 150, kMaxX, 420, kBlack), kWidth * 271);
}

// ---- nuclear_cloud.png -----------------------------------------------------------
TEST_F(Scenes, NuclearCloudKeepsItsLastCapOverAGreyStem) {
  Field({{100, Target}, {250, Hut}, {900, House}, {1050, Tank}});
  DrawScene();
  // 20 across and 25 up: no box in the way, down at t = 26.
  ShellVX = 20;
  ShellVY = 25;
  FlyShell();
  ASSERT_EQ(ShellDX, 20 * 26);
  const int ix = PlayerX + 20 * 26;
  AmmoNuclear = static_cast<int16_t>(AmmoNuclear - 1);
  rec::Reseed(4242);
  DrawNuclearCloud(static_cast<int16_t>(ix), 500);
  const shot::Image image = Screen();
  Save(image, "nuclear_cloud.png");

  // The last cap: rx 101, ry 50 around (ix or ix - 1, 335), yellow inside.
  EXPECT_TRUE(PixelIs(image, ix, 335, kYellow));
  EXPECT_TRUE(PixelIs(image, ix - 60, 335, kYellow));
  EXPECT_TRUE(PixelIs(image, ix + 60, 340, kYellow));
  EXPECT_TRUE(PixelIs(image, ix, 300, kYellow));
  // Its white outline passes within a pixel of the leftmost point.
  EXPECT_TRUE(ColourAround(image, ix - 102, 335, kWhite) || ColourAround(image, ix - 101, 335, kWhite));
  // The stem: light-grey discs at most two pixels off the impact from row 450 up.
  EXPECT_TRUE(PixelIs(image, ix, 450, kGrey));
  EXPECT_TRUE(PixelIs(image, ix, 420, kGrey));
  // Earlier caps were erased: beside the stem, where frames 30 to 40 had
  // their caps, it is black again.
  EXPECT_TRUE(PixelIs(image, ix + 15, 445, kBlack));
  EXPECT_TRUE(PixelIs(image, ix - 15, 440, kBlack));
  // The battlefield around it is still there.
  EXPECT_TRUE(ColourAround(image, 100, 480, kWhite));
  EXPECT_TRUE(PixelIs(image, 900, 512, kRed));
}

// ---- The front-buffer way ---------------------------------------------------------
// A screen without GLX_MESA_copy_sub_buffer gets a window drawn in its front
// buffer and flushed at every present. A flight, explosions, a cloud and a
// burning target must show there exactly what the copying way shows, at
// every pause a player sees.
std::vector<shot::Image> Pauses;
void GrabEveryPause(uint16_t) {
  X11Present();
  Pauses.push_back(shot::Grab(Server->Display(), 0, 0, kWidth, kHeight));
}

TEST_F(Scenes, FrontBufferWayShowsTheSamePicturesAtEveryPause) {
  std::vector<shot::Image> byWay[2];
  for (const bool front : {false, true}) {
    CloseGraph();
    X11PreferFrontBuffer(front);
    InitGraph(GraphDriver, GraphMode, "");
    ASSERT_EQ(GraphResult(), 0);
    EXPECT_EQ(X11PresentsByCopy(), !front);
    ResetGame();
    Field({{300, Target}, {700, House}, {1050, Tank}});
    DrawScene();
    Pauses.clear();
    rec::InstallVirtualClock(GrabEveryPause);
    ShellVX = 16;
    ShellVY = 8;
    FlyShell();
    rec::Reseed(77);
    DrawScatteredExplosion(static_cast<int16_t>(PlayerX + ShellDX), 500);
    DrawWreckFire(300, 500);
    rec::InstallVirtualClock();
    DrawNuclearCloud(700, 500);
    GrabEveryPause(0);
    byWay[front ? 1 : 0] = std::move(Pauses);
  }
  X11PreferFrontBuffer(false);
  ASSERT_EQ(byWay[0].size(), byWay[1].size());
  ASSERT_GT(byWay[0].size(), 10u);
  for (size_t i = 0; i < byWay[0].size(); ++i)
    EXPECT_TRUE(byWay[0][i].pixels == byWay[1][i].pixels) << "pause " << i;
  Save(byWay[1].back(), "front_buffer_way.png");
}

// ---- he_hit.png --------------------------------------------------------------------
TEST_F(Scenes, HighExplosiveHitBurstsInTheAirAndSetsTheTargetOnFire) {
  // The shell stops inside the house's box 36 pixels up; the target 79
  // pixels left of the impact loses 342 and burns.
  Field({{331, Target}, {400, House}, {700, Tank}, {950, FieldGun}});
  DrawScene();
  ShellVX = 20;
  ShellVY = 20;
  FlyShell();
  // X = 50 + 20 t, Y = 20 t - t^2: t = 18 gives (410, 36), inside 360 < X < 440, Y < 50.
  ASSERT_EQ(ShellDX, 360);
  ASSERT_EQ(ShellY, 36);
  const int ix = 410, iy = 500 - 36;
  const uint32_t seed = 5150;
  rec::Reseed(seed);

  // Steps 6 to 12 of a turn for a high-explosive shell.
  AmmoHE = static_cast<int16_t>(AmmoHE - 1);
  DrawExplosion(static_cast<int16_t>(ix), static_cast<int16_t>(iy));
  ThreatLevel = static_cast<int16_t>(ThreatLevel + 1);
  ShellKind = 1;
  ApplyShellDamage(static_cast<int16_t>(ix));
  Delay(100);
  ApplySplash(static_cast<int16_t>(ix));
  MarkDestroyed();
  const shot::Image image = Screen();
  Save(image, "he_hit.png");

  ASSERT_EQ(Units[1].destroyed, 1);
  ASSERT_EQ(Units[2].destroyed, 0);
  // The three discs, sampled where each shows on top and away from the fire,
  // which stays within 75 pixels of the target at 331.
  EXPECT_TRUE(PixelIs(image, ix + 5, iy + 35, kWhite)) << "white disc";
  EXPECT_TRUE(PixelIs(image, ix + 25, iy - 5, kRed)) << "red disc";
  EXPECT_TRUE(PixelIs(image, ix + 5, iy - 20, kYellow)) << "yellow disc";
  // The wreck fire: solid yellow discs at offsets drawn from the same seed.
  ReferenceRandom ref(seed);
  const int discs = ref(5) + 5;
  int lastX = 0, lastY = 0;
  for (int k = 0; k < discs; ++k) {
    lastX = 331 + ref(100) - 50;
    lastY = 500 + ref(100) - 50;
  }
  EXPECT_TRUE(PixelIs(image, lastX, lastY, kYellow)) << "last fire disc";
  EXPECT_TRUE(PixelIs(image, lastX + 15, lastY, kYellow)) << "last fire disc";
  // The tank far right is untouched.
  EXPECT_TRUE(PixelIs(image, 700, 512, kRed));
}

// ---- salvo.png ----------------------------------------------------------------------
TEST_F(Scenes, RocketSalvoCaughtWithTheThirdRocketComingDown) {
  Field({{900, RocketLauncher}, {450, Hut}, {1150, House}});
  PlayerX = 200;
  DrawScene();

  // EnemyFire seeds from the clock; the launcher aims first, with spread 200.
  const int64_t clock = 1767225600;  // 2026-01-01 00:00:00 UTC
  ClockSeconds = [] { return int64_t{1767225600}; };
  rec::Reseed(static_cast<uint32_t>(clock) + 1);  // so that the clock's seed starts over
  ReferenceRandom ref(static_cast<uint32_t>(clock));
  // Every rocket's steps: head (nx, ny) drawn yellow, then (px, py) grey.
  const auto rockets = rec::ReferenceSalvo((900 - 200) + ref(200) - 100);
  // Rocket 3, eight steps before it lands: falling fast, so its head lies
  // clear of the grey disc drawn behind it.
  const auto& third = rockets[2];
  const int k = static_cast<int>(third.size()) - 8;
  const rec::RocketStep at = third[static_cast<size_t>(k - 1)];
  ASSERT_GT(std::hypot(at.nx - at.px, at.ny - at.py), 8.0);
  CatchAt(5, static_cast<int>(rockets[0].size() + rockets[1].size()) + k);

  EnemyFire();
  ASSERT_TRUE(Pending.caught);
  Save(Pending.image, "salvo.png");
  const shot::Image& image = Pending.image;

  const int x = 900 + 40;  // the rails
  EXPECT_TRUE(PixelIs(image, x + at.nx, 500 - at.ny, kYellow)) << "rocket head";
  EXPECT_TRUE(PixelIs(image, x + at.px, 500 - at.py, kGrey)) << "trail behind it";
  // Two rockets have burst: the second one's white disc below the ground line.
  const int burst2 = x + rockets[1].back().nx;
  EXPECT_TRUE(PixelIs(image, burst2 - 15, 530, kWhite)) << "second burst";
  // The launcher's health bar is still drawn.
  EXPECT_TRUE(PixelIs(image, 900, 512, kRed));
}

// ---- bomber.png ---------------------------------------------------------------------
TEST_F(Scenes, BomberRunCaughtWithBombsFalling) {
  Field({{600, Tank}, {800, House}, {1000, SpotterTruck}});
  PlayerX = 150;
  ThreatLevel = 15;
  DrawScene();
  ASSERT_EQ(SpotterSeen, 1);

  // A seed whose first Random(40) is above 20: the raid comes.
  uint32_t seed = 777000;
  while (ReferenceRandom(seed)(40) <= 20) ++seed;
  // Approach from 1279 in steps of 25 while more than 437 right of the gun.
  int approach = 0, planeX = kMaxX;
  do {
    ++approach;
    planeX -= 25;
  } while (!(planeX - PlayerX < 437.1708245126284));
  ASSERT_EQ(planeX, 579);
  // Tick 14: bombs 1 to 3 have burst (bomb i at tick i + 10), bomb 4 has
  // just reached the ground, bombs 5 to 10 are falling.
  const int tick = 14;
  const int plane = planeX - 25 * tick;
  CatchAt(10, approach + tick + 1);
  rec::Reseed(seed);
  BomberRaid();
  ASSERT_TRUE(Pending.caught);
  Save(Pending.image, "bomber.png");
  const shot::Image& image = Pending.image;

  // The bomber's fuselage and wing lines.
  EXPECT_TRUE(ColourAround(image, plane, 40, kWhite));
  EXPECT_TRUE(ColourAround(image, plane, 60, kWhite));
  EXPECT_TRUE(ColourAround(image, plane + 85, 20, kWhite)) << "tail fin";
  // Falling bombs under the plane: bomb 6 at height 430 - 5 * 8^2 = 110,
  // bomb 10 at 430 - 5 * 4^2 = 350.
  EXPECT_TRUE(ColourAround(image, plane, 496 - 110, kWhite));
  EXPECT_TRUE(ColourAround(image, plane, 496 - 350, kWhite));
  // Bomb 3's explosion at 579 - 25 * 13 = 254, the last one drawn, sampled
  // where each disc shows on top and off every dash row.
  const int bx = 579 - 25 * 13;
  EXPECT_TRUE(PixelIs(image, bx + 5, 500 + 35, kWhite));
  EXPECT_TRUE(PixelIs(image, bx + 25, 500 - 5, kRed));
  EXPECT_TRUE(PixelIs(image, bx - 5, 500 - 15, kYellow));
  // Nothing has burst yet left of bomb 3 (the first bursts lie to the right).
  EXPECT_EQ(CountColour(image, bx - 80, 455, bx - 50, 495, kRed), 0);
}

}  // namespace
