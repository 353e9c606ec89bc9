// Enemy fire: the four firing tests and the one number every object draws,
// the aim spread narrowing as spotting lifts the threat, and every weapon's
// flight compared with a reference loop written from the weapon's rules:
// the shells' circles and bursts, the rockets' heads, and the guided
// missile's climb window and dive, with the numbers each draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "console/console.hpp"
#include "game/enemy_fire.hpp"
#include "game/state.hpp"
#include "tests/support/recording.hpp"

namespace {

using rec::Op;
using Points = std::vector<std::pair<int, int>>;

using rec::RoundTenth;

int Round(long double v) { return static_cast<int>(std::nearbyint(v)); }

// Centres of the white radius-3 circles and of the discs filled in a colour.
Points WhiteCircles() {
  Points out;
  for (const rec::Call& c : rec::Only(Op::Circle, 15))
    if (c.c == 3) out.push_back({c.a, c.b});
  return out;
}
Points Discs(int fill) {
  Points out;
  for (const rec::Call& c : rec::Only(Op::Disc))
    if (c.pattern == 1 && c.fill == fill) out.push_back({c.a, c.b});
  return out;
}

// A shell's circles (the start 5 above the ground, then t = 0, 1, ...) and
// its burst: offsets round(vx t) and round(vy t - 5 t^2) until below ground.
struct Flight {
  Points marks;  // circles, or the heads of rockets and the diving missile
  Points trail;  // the climbing missile's circles
  std::vector<int> bursts;
  int draws = 0;
};
Flight ReferenceShell(int x, int vx, int vy) {
  Flight f;
  int ox = 0, oy = 5;
  for (int t = 0; oy >= 0; ++t) {
    f.marks.push_back({x + ox, 500 - oy});
    ox = vx * t;
    oy = vy * t - 5 * t * t;
  }
  f.bursts.push_back(x + ox);
  return f;
}

// The guided missile from x at a gun at playerX: the climb until the gun's
// line A falls between B1 and B2 (or the missile is down), drawing q while
// vy < 0; then the dive growing by 1.11 and 1.13 until ny < 0 or nx < -2000.
Flight ReferenceMissile(int x, int playerX, ReferenceRandom& random) {
  Flight f;
  int px = 10, py = 5, vx = -45, vy = 65, q = 0;
  for (;;) {
    const int nx = RoundTenth(vx) + px, ny = RoundTenth(vy) + py;
    f.trail.push_back({x + nx, 500 - ny});
    vy -= 1;
    px = nx;
    py = ny;
    if (vy < 0) {
      do q = random(40) - 10, ++f.draws;
      while (!(std::abs(vy) > q));
    }
    const long double b1 = std::abs(vy + q) / -45.0L, b2 = std::abs(vy - q) / -45.0L;
    const long double a = static_cast<long double>(ny) / (nx - playerX);
    if ((nx != playerX && b1 < a && a < b2 && vy < 0) || py <= 1) break;
  }
  int nx = 0, ny = 0;
  do {
    nx = RoundTenth(vx) + px;
    ny = RoundTenth(vy) + py;
    vx = Round(vx * 1.11L);
    vy = Round(vy * 1.13L);
    f.marks.push_back({x + nx, 500 - ny});
    px = nx;
    py = ny;
  } while (!(ny < 0 || nx < -2000));
  f.bursts.push_back(x + px);
  return f;
}

int Loss(const std::vector<int>& bursts, int radius, int playerX) {
  int loss = 0;
  for (int b : bursts)
    if (std::abs(b - playerX) < radius) loss += 200 - std::abs(b - playerX);
  return loss;
}

const double V1000 = std::sqrt(1000 * 9.8);

class EnemyFireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec::Start();
    ResetGameState();
    PlayerX = 100;
    PlayerHealth = 5000;
    ThreatLevel = 3;
  }
  void TearDown() override { rec::Stop(); }
  static void Place(int i, int gap, int16_t range, int16_t weapon, int16_t health) {
    Units[static_cast<size_t>(i)] = EnemyUnit{.x = static_cast<int16_t>(PlayerX + gap),
                                              .health = health, .weapon = weapon, .range = range};
  }
  static void ExpectFlight(const Flight& f, const Points& marks, const Points& trail) {
    EXPECT_EQ(marks, f.marks);
    EXPECT_EQ(trail, f.trail);
    EXPECT_EQ(rec::Bursts(), f.bursts);
  }
};

// ---- Who fires: weapon, range, more than 100 pixels, alive ----

TEST_F(EnemyFireTest, FiringTestsAndOneNumberPerObject) {
  struct Row {
    int gap;
    int16_t range, weapon, health;
    bool fires;
  } rows[] = {
      {100, 1000, SpottingWeapon, 500, false},  {101, 1000, SpottingWeapon, 500, true},
      {-100, 1000, SpottingWeapon, 500, false}, {-101, 1000, SpottingWeapon, 500, true},
      {800, 800, SpottingWeapon, 500, false},   {799, 800, SpottingWeapon, 500, true},
      {300, 1000, NoWeapon, 500, false},        {300, 1000, SpottingWeapon, 0, false},
      {300, 1000, SpottingWeapon, -20, false},  {1200, 1000, SpottingWeapon, 500, false},
      {300, 1000, 6, 500, false},               {300, -5, SpottingWeapon, 500, false},
      {100, 1000, SteepShellWeapon, 500, false}, {101, 1000, SteepShellWeapon, 500, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("gap " + std::to_string(row.gap) + " range " + std::to_string(row.range) +
                 " weapon " + std::to_string(row.weapon) + " health " + std::to_string(row.health));
    rec::Clear();
    ThreatLevel = 3;
    UnitCount = 1;
    Place(1, row.gap, row.range, row.weapon, row.health);
    const uint32_t seed = rec::ArmClock();
    EnemyFire();
    EXPECT_EQ(AimSpread, 200);
    if (row.weapon == SteepShellWeapon) {
      EXPECT_EQ(WhiteCircles().empty(), !row.fires);
      continue;
    }
    EXPECT_EQ(ThreatLevel, row.fires ? 4 : 3);
    EXPECT_TRUE(rec::Calls().empty());
    rec::ExpectDraws(seed, 1);
  }
}

// ---- Aim spread and spotting within one call ----

TEST_F(EnemyFireTest, SpottingNarrowsTheAimOfLaterObjectsAndStopsAt15) {
  struct Row {
    int16_t threat;
    int spotters;
    int16_t threatAfter, spread;
  } rows[] = {
      {5, 1, 6, 130}, {10, 1, 11, 50}, {4, 1, 5, 200}, {3, 2, 5, 200},
      {14, 2, 15, 50}, {15, 2, 15, 50}, {0, 0, 0, 77}, {16, 0, 16, 77},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("threat " + std::to_string(row.threat));
    rec::Clear();
    ThreatLevel = row.threat;
    AimSpread = 77;
    UnitCount = static_cast<int16_t>(row.spotters + 1);
    for (int i = 1; i <= row.spotters; ++i) Place(i, 300 + i, 800, SpottingWeapon, 500);
    Place(row.spotters + 1, 400, 0, NoWeapon, 500);  // aims last, fires never
    const uint32_t seed = rec::ArmClock();
    EnemyFire();
    EXPECT_EQ(ThreatLevel, row.threatAfter);
    EXPECT_EQ(AimSpread, row.spread);
    rec::ExpectDraws(seed, UnitCount);
  }
}

// Each object draws its aim error from the spread of the threat at its turn,
// d = gap + Random(spread) - spread / 2, and its shell flies from that aim: a
// flat shot before a spotter, a steep one after it with the narrower spread.
// Many seeds, so that an aim off by a pixel shows in a rounded start speed.
TEST_F(EnemyFireTest, EachShotAimsWithTheSpreadOfItsTurn) {
  struct Row {
    int16_t threat;
    int before, after;
  } rows[] = {{5, 200, 130}, {10, 130, 50}};
  for (const Row& row : rows) {
    for (int run = 0; run < 40; ++run) {
      SCOPED_TRACE("threat " + std::to_string(row.threat) + " run " + std::to_string(run));
      rec::Clear();
      ThreatLevel = row.threat;
      UnitCount = 3;
      Place(1, 400, 1000, FlatShellWeapon, 500);
      Place(2, 300, 800, SpottingWeapon, 500);
      Place(3, 600, 1000, SteepShellWeapon, 500);
      const uint32_t seed = rec::ArmClock();
      ReferenceRandom ref(seed);
      Flight want;
      const auto shoot = [&](int gap, int spread, bool steep) {
        const auto [along, up] = rec::ReferenceArc(gap + ref(spread) - spread / 2, steep);
        const int vx = ref(20) - along - 10;
        const Flight f = ReferenceShell(PlayerX + gap, vx, ref(10) + up - 5);
        want.marks.insert(want.marks.end(), f.marks.begin(), f.marks.end());
        want.bursts.push_back(f.bursts[0]);
      };
      shoot(400, row.before, false);
      ref(row.before);
      shoot(600, row.after, true);
      EnemyFire();
      EXPECT_EQ(ThreatLevel, row.threat + 1);
      ExpectFlight(want, WhiteCircles(), {});
    }
  }
}

// ---- Shells: the arc, the fixed and random terms, gravity 10 ----

TEST_F(EnemyFireTest, ShellsFlyTheirArcAndCostWithin200) {
  struct Row {
    bool steep;
    int d, burstMinusGun;  // where the gun stands, measured from the burst
  } rows[] = {
      {true, 500, 200}, {true, 500, 199}, {true, 500, -200}, {true, 500, -199}, {true, 500, 0},
      {false, 500, 150}, {false, 800, 50}, {true, -300, 120},
      {true, 1100, 150}, {false, -1100, 150},  // beyond reach: only the fixed and random terms
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.steep ? "steep" : "flat") + " d " + std::to_string(row.d) +
                 " burst - gun " + std::to_string(row.burstMinusGun));
    rec::Clear();
    Units[1].x = 1500;
    const uint32_t seed = rec::SeedNow();
    ReferenceRandom ref(seed);
    const auto [along, up] = rec::ReferenceArc(row.d, row.steep);
    const int vx = ref(20) - along - 10;
    const int vy = ref(10) + up - 5;
    const Flight f = ReferenceShell(1500, vx, vy);
    PlayerX = static_cast<int16_t>(f.bursts[0] - row.burstMinusGun);
    PlayerHealth = 5000;
    if (row.steep) SteepShell(1, V1000, row.d);
    else FlatShell(1, V1000, row.d);
    ExpectFlight(f, WhiteCircles(), {});
    EXPECT_EQ(rec::Count(rec::DelayCall(50)), f.marks.size());
    EXPECT_EQ(PlayerHealth, 5000 - Loss(f.bursts, 200, PlayerX));
    rec::ExpectDraws(seed, 2);
  }
}

// ---- The rocket salvo ----

TEST_F(EnemyFireTest, SalvoRocketsStartSlowerEachAndHitWithoutTheRailOffset) {
  const int x = 1500;
  Units[1].x = x;
  // Rocket j: vx = 2 - round(v s) - j, vy = round(v u) + 1 - j, heads and
  // bursts 40 pixels right of the launcher.
  Flight f;
  std::vector<int> landed;
  for (const auto& rocket : rec::ReferenceSalvo(500)) {
    for (const rec::RocketStep& step : rocket) f.marks.push_back({x + step.nx + 40, 500 - step.ny});
    f.bursts.push_back(x + rocket.back().nx + 40);
    landed.push_back(x + rocket.back().nx);
  }
  // Rocket 1 bursts 60 right of the gun: 20 pixels without the offset.
  PlayerX = static_cast<int16_t>(landed[0] - 20);
  const uint32_t seed = rec::SeedNow();
  RocketSalvo(1, V1000, 500);
  ExpectFlight(f, Discs(14), {});
  EXPECT_EQ(PlayerHealth, 5000 - Loss(landed, 80, PlayerX));
  EXPECT_GE(Loss(landed, 80, PlayerX), 180);
  EXPECT_EQ(rec::Calls().back(), rec::DelayCall(100));
  rec::ExpectDraws(seed, 0);
}

// ---- The guided missile ----

// The gun's place decides where the climb ends, so the flight is compared
// step by step with the reference for guns all over the field, including
// far ones whose window opens at a slow descent that never speeds up.
TEST_F(EnemyFireTest, MissileClimbsToItsWindowAndDivesAsTheRulesSay) {
  const int x = 1000;
  int farLeft = 0, belowGround = 0;  // how the dives ended
  for (int gun = -20000; gun <= 1600; gun += gun < -2000 ? 3000 : 97) {
    SCOPED_TRACE("gun at " + std::to_string(gun));
    rec::Clear();
    Units[1].x = x;
    PlayerX = static_cast<int16_t>(gun);
    PlayerHealth = 5000;
    const uint32_t seed = rec::SeedNow();
    ReferenceRandom ref(seed);
    const Flight f = ReferenceMissile(x, gun, ref);
    GuidedMissile(1);
    ExpectFlight(f, Discs(14), WhiteCircles());
    EXPECT_EQ(PlayerHealth, 5000 - Loss(f.bursts, 200, gun));
    rec::ExpectDraws(seed, f.draws);
    ++(f.marks.back().second > 500 ? belowGround : farLeft);
  }
  EXPECT_GT(farLeft, 0);
  EXPECT_GT(belowGround, 0);
  // -45 x 0.1 = -4.5 and 65 x 0.1 = 6.5 round to even: the first step is (6, 11).
  ReferenceRandom any(1);
  EXPECT_EQ(ReferenceMissile(0, 5000, any).trail[0], (std::pair{6, 489}));
}

}  // namespace
