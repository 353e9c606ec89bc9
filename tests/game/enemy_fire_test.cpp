// Enemy fire: the four firing tests and the one number every object draws,
// the start speeds of shells and rockets, damage near the gun, and the aim
// spread narrowing as spotting lifts the threat, checked on the recording
// device against a reference MT19937.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "game/enemy_fire.hpp"
#include "game/state.hpp"
#include "tests/support/recording.hpp"
#include "tests/support/reference_random.hpp"

namespace {

uint32_t FreshSeed() {
  static uint32_t next = 7300000;
  return ++next;
}

int64_t ClockValue = 0;
int64_t FixedClock() { return ClockValue; }

// Asserts that exactly `draws` numbers were taken since the generator was
// seeded with `seed`.
void ExpectDraws(uint32_t seed, int draws) {
  const int32_t next = Random(1 << 30);
  ReferenceRandom ref(seed);
  for (int k = 0; k < draws; ++k) ref.mt();
  EXPECT_EQ(next, ref(1 << 30)) << "expected " << draws << " numbers drawn";
}

struct Disc {
  int x, y, rx, ry;
};

// White radius-3 circles (the shell and the climbing missile), in order.
std::vector<Disc> WhiteCircles() {
  std::vector<Disc> out;
  for (const auto& line : rec::Log()) {
    Disc d{};
    if (line.starts_with("Ellipse(") && line.ends_with("colour 15") &&
        std::sscanf(line.c_str(), "Ellipse(%d,%d,%d,%d)", &d.x, &d.y, &d.rx, &d.ry) == 4 &&
        d.rx == 3)
      out.push_back(d);
  }
  return out;
}
// Centres of the explosions: their first disc lies 15 left of the burst.
std::vector<int> Bursts() {
  std::vector<int> out;
  for (const auto& line : rec::Log()) {
    int x = 0, y = 0, matched = 0;
    std::sscanf(line.c_str(), "FillEllipse(%d,%d,30,30) fill 0/15%n", &x, &y, &matched);
    if (matched > 0) out.push_back(x + 15);
  }
  return out;
}
std::vector<Disc> FilledWith(const std::string& fill) {
  std::vector<Disc> out;
  for (const auto& line : rec::Log()) {
    Disc d{};
    if (line.find(" fill " + fill + " ") != std::string::npos &&
        std::sscanf(line.c_str(), "FillEllipse(%d,%d,%d,%d)", &d.x, &d.y, &d.rx, &d.ry) == 4)
      out.push_back(d);
  }
  return out;
}

// n / 10 rounded to nearest, ties to even, in integers.
int RoundTenth(int n) {
  int q = n / 10, r = n % 10;
  if (r < 0) r += 10, --q;  // floor division
  if (r > 5 || (r == 5 && q % 2 != 0)) ++q;
  return q;
}

const double V1000 = std::sqrt(1000 * 9.8);

class EnemyFireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec::Start();
    for (auto& u : Units) u = EnemyUnit{};
    UnitCount = 0;
    PlayerX = 100;
    PlayerHealth = 5000;
    ThreatLevel = 3;
    AimSpread = 0;
    ClockSeconds = FixedClock;
  }
  void TearDown() override {
    rec::Stop();
    ClockSeconds = nullptr;
  }
  // The next Randomize seeds with a value the generator has not had.
  static uint32_t ArmClock() {
    const uint32_t seed = FreshSeed();
    ClockValue = seed;
    return seed;
  }
  static uint32_t SeedNow() {
    const uint32_t seed = FreshSeed();
    RandSeed = seed;
    return seed;
  }
  static void Place(int i, int gap, int16_t range, int16_t weapon, int16_t health) {
    Units[static_cast<size_t>(i)] = EnemyUnit{.x = static_cast<int16_t>(PlayerX + gap),
                                              .health = health, .weapon = weapon, .range = range};
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
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("gap " + std::to_string(row.gap) + " range " + std::to_string(row.range) +
                 " weapon " + std::to_string(row.weapon) + " health " + std::to_string(row.health));
    rec::ClearLog();
    ThreatLevel = 3;
    UnitCount = 1;
    Place(1, row.gap, row.range, row.weapon, row.health);
    const uint32_t seed = ArmClock();
    EnemyFire();
    EXPECT_EQ(ThreatLevel, row.fires ? 4 : 3);
    EXPECT_TRUE(rec::Log().empty());
    EXPECT_EQ(AimSpread, 200);
    ExpectDraws(seed, 1);
  }
}

TEST_F(EnemyFireTest, ShellAt100PixelsStaysSilentAt101Fires) {
  for (int gap : {100, 101}) {
    rec::ClearLog();
    UnitCount = 1;
    Place(1, gap, 1000, SteepShellWeapon, 500);
    ArmClock();
    EnemyFire();
    EXPECT_EQ(WhiteCircles().empty(), gap == 100) << gap;
  }
}

// ---- Start speeds for range 1000 and d = 500 ----

TEST_F(EnemyFireTest, ShellStartSpeedsFollowTheArc) {
  struct Row {
    bool steep;
    int alongPlus10, upMinus5;  // vx = R20 - alongPlus10, vy = R10 + upMinus5
  } rows[] = {{true, 36, 91}, {false, 106, 21}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.steep ? "steep" : "flat");
    rec::ClearLog();
    Units[1].x = 3000;  // far right of the gun: no damage
    const uint32_t seed = SeedNow();
    ReferenceRandom ref(seed);
    const int vx = ref(20) - row.alongPlus10;
    const int vy = ref(10) + row.upMinus5;
    if (row.steep) SteepShell(1, V1000, 500);
    else FlatShell(1, V1000, 500);

    // Circles: the start 5 above the ground, t = 0, then t = 1, 2, ... until
    // the height vy t - 5 t^2 drops below zero.
    const int tEnd = vy / 5 + 1;
    const auto circles = WhiteCircles();
    ASSERT_EQ(circles.size(), static_cast<size_t>(tEnd + 1));
    EXPECT_EQ(circles[0].y, 495);
    EXPECT_EQ(circles[1].x, 3000);
    EXPECT_EQ(circles[1].y, 500);
    EXPECT_EQ(circles[2].x, 3000 + vx);
    EXPECT_EQ(circles[2].y, 500 - (vy - 5));
    EXPECT_EQ(Bursts(), std::vector<int>{3000 + vx * tEnd});
    EXPECT_EQ(rec::Filter("Delay(50)").size(), circles.size());
    ExpectDraws(seed, 2);
  }
}

TEST_F(EnemyFireTest, AimBeyondReachKeepsOnlyTheFixedAndRandomTerms) {
  for (bool steep : {true, false}) {
    const ArcSpeeds arc = ArcStartSpeeds(V1000, 1100, steep);
    EXPECT_EQ(arc.along, 0);
    EXPECT_EQ(arc.up, 0);
  }
  // Both arcs: vx = Random(20) - 10, and vy = Random(10) - 5 is below 5, so
  // the shell is down at t = 1, next to the shooter.
  for (bool steep : {true, false}) {
    SCOPED_TRACE(steep ? "steep" : "flat");
    rec::ClearLog();
    Units[1].x = 400;
    PlayerX = 400 - 150;
    PlayerHealth = 5000;
    const uint32_t seed = SeedNow();
    ReferenceRandom ref(seed);
    const int vx = ref(20) - 10;
    if (steep) SteepShell(1, V1000, 1100);
    else FlatShell(1, V1000, -1100);
    const auto circles = WhiteCircles();
    ASSERT_EQ(circles.size(), 2u);
    EXPECT_EQ(circles[0].x, 400);
    EXPECT_EQ(circles[0].y, 495);
    EXPECT_EQ(circles[1].x, 400);
    EXPECT_EQ(circles[1].y, 500);
    EXPECT_EQ(Bursts(), std::vector<int>{400 + vx});
    EXPECT_EQ(PlayerHealth, 5000 - (200 - std::abs(150 + vx)));
    ExpectDraws(seed, 2);
  }
}

TEST_F(EnemyFireTest, ShellDamageStrictlyWithin200) {
  struct Row {
    int burstMinusGun, loss;
  } rows[] = {{200, 0}, {199, 1}, {-200, 0}, {-199, 1}, {0, 200}, {150, 50}};
  for (const Row& row : rows) {
    rec::ClearLog();
    PlayerHealth = 5000;
    Units[1].x = 2000;
    const uint32_t seed = SeedNow();
    ReferenceRandom ref(seed);
    const int vx = ref(20) - 36, vy = ref(10) + 91;
    PlayerX = static_cast<int16_t>(2000 + vx * (vy / 5 + 1) - row.burstMinusGun);
    SteepShell(1, V1000, 500);
    EXPECT_EQ(PlayerHealth, 5000 - row.loss) << row.burstMinusGun;
  }
}

// ---- The rocket salvo ----

TEST_F(EnemyFireTest, SalvoRocketsStartSlowerEachAndHitWithoutTheRailOffset) {
  const int x = 1500;
  Units[1].x = x;
  // Independent flight of rocket j: vx = -24 - j, vy = 97 - j, from (0, 20).
  std::vector<Disc> heads;
  std::vector<int> landing;
  for (int j = 1; j <= 5; ++j) {
    int px = 0, py = 20, vy = 97 - j;
    const int vx = -24 - j;
    do {
      const int nx = RoundTenth(vx) + px, ny = RoundTenth(vy) + py;
      heads.push_back({x + nx + 40, 500 - ny, 5, 5});
      --vy;
      px = nx;
      py = ny;
    } while (py > 1);
    landing.push_back(px);
  }
  // Rocket 1 bursts 60 right of the gun: 20 pixels without the offset.
  PlayerX = static_cast<int16_t>(x + landing[0] + 40 - 60);
  int expectedLoss = 0;
  for (int px : landing) {
    const int dist = std::abs(x + px - PlayerX);
    if (dist < 80) expectedLoss += 200 - dist;
  }
  ASSERT_EQ(std::abs(x + landing[0] - PlayerX), 20);

  const uint32_t seed = SeedNow();
  RocketSalvo(1, V1000, 500);

  const auto drawn = FilledWith("1/14");
  ASSERT_EQ(drawn.size(), heads.size());
  for (size_t k = 0; k < heads.size(); ++k) {
    EXPECT_EQ(drawn[k].x, heads[k].x) << k;
    EXPECT_EQ(drawn[k].y, heads[k].y) << k;
  }
  std::vector<int> bursts;
  for (int px : landing) bursts.push_back(x + px + 40);
  EXPECT_EQ(Bursts(), bursts);
  EXPECT_EQ(PlayerHealth, 5000 - expectedLoss);
  EXPECT_GE(expectedLoss, 180);
  EXPECT_EQ(rec::Log().back(), "Delay(100)");
  ExpectDraws(seed, 0);
}

// ---- The guided missile ----

TEST_F(EnemyFireTest, MissileFirstStepRoundsHalvesToEven) {
  Units[1].x = 2000;
  PlayerX = -20000;
  SeedNow();
  GuidedMissile(1);
  // -45 x 0.1 = -4.5 gives -4 and 65 x 0.1 = 6.5 gives 6: offset (6, 11).
  const auto circles = WhiteCircles();
  ASSERT_FALSE(circles.empty());
  EXPECT_EQ(circles[0].x, 2006);
  EXPECT_EQ(circles[0].y, 489);
  EXPECT_EQ(Bursts().size(), 1u);
}

TEST_F(EnemyFireTest, MissileCostsWithin200OfTheGunWhereverItAims) {
  // The climb ends by the gun's position, so the burst moves with PlayerX;
  // every outcome must follow the distance rule and the boundary must occur.
  bool saw199 = false, saw200 = false;
  for (int16_t x = 1000; x < 1006 && !(saw199 && saw200); ++x) {
    Units[1].x = x;
    for (int p = -1500; p <= 1000; ++p) {
      rec::ClearLog();
      PlayerX = static_cast<int16_t>(p);
      PlayerHealth = 5000;
      SeedNow();
      GuidedMissile(1);
      const auto bursts = Bursts();
      ASSERT_EQ(bursts.size(), 1u) << p;
      const int dist = std::abs(bursts[0] - p);
      EXPECT_EQ(PlayerHealth, 5000 - (dist < 200 ? 200 - dist : 0)) << p;
      saw199 |= dist == 199;
      saw200 |= dist == 200;
    }
  }
  EXPECT_TRUE(saw199);
  EXPECT_TRUE(saw200);
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
    rec::ClearLog();
    ThreatLevel = row.threat;
    AimSpread = 77;
    UnitCount = static_cast<int16_t>(row.spotters + 1);
    for (int i = 1; i <= row.spotters; ++i) Place(i, 300 + i, 800, SpottingWeapon, 500);
    Place(row.spotters + 1, 400, 0, NoWeapon, 500);  // aims last, fires never
    const uint32_t seed = ArmClock();
    EnemyFire();
    EXPECT_EQ(ThreatLevel, row.threatAfter);
    EXPECT_EQ(AimSpread, row.spread);
    ExpectDraws(seed, UnitCount);
  }
}

// The object after the spotter draws its aim error from the narrower spread
// and flies accordingly: its shell's first step shows the speeds that aim gives.
TEST_F(EnemyFireTest, ShotAfterSpottingAimsWithTheNarrowerSpread) {
  struct Row {
    int16_t threat;
    int before, after;
  } rows[] = {{5, 200, 130}, {10, 130, 50}};
  for (const Row& row : rows) {
    SCOPED_TRACE("threat " + std::to_string(row.threat));
    rec::ClearLog();
    ThreatLevel = row.threat;
    UnitCount = 2;
    Place(1, 300, 800, SpottingWeapon, 500);
    Place(2, 600, 1000, SteepShellWeapon, 500);
    const uint32_t seed = ArmClock();
    ReferenceRandom ref(seed);
    ref(row.before);
    const long double d = 600 + ref(row.after) - row.after / 2;  // both halves exact
    const long double v = std::sqrt(1000 * 9.8L), v4 = v * v * v * v;
    const long double q = std::sqrt((v4 - d * d * 9.8L * 9.8L) / v4);
    const long double s = std::sqrt((1 - q) / 2), u = std::sqrt(1 - s * s);
    const int vx = ref(20) - static_cast<int>(std::nearbyint(v * s)) - 10;
    const int vy = ref(10) + static_cast<int>(std::nearbyint(v * u)) - 5;
    EnemyFire();
    EXPECT_EQ(ThreatLevel, row.threat + 1);
    EXPECT_EQ(AimSpread, row.after);
    const auto circles = WhiteCircles();
    ASSERT_GE(circles.size(), 3u);
    EXPECT_EQ(circles[2].x, PlayerX + 600 + vx);
    EXPECT_EQ(circles[2].y, 500 - (vy - 5));
  }
}

}  // namespace
