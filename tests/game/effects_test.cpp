// Shell effects: hit-point losses by kind and distance, the splash, marking
// and burning destroyed objects, and the explosion drawings checked call by
// call on the recording device against a reference MT19937.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "game/effects.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"
#include "tests/support/recording.hpp"

namespace {

using rec::Call;
using rec::DelayCall;
using rec::DiscCall;
using rec::Op;

// Discs and delays in log order.
std::vector<Call> DiscsAndDelays() {
  std::vector<Call> out;
  for (const Call& call : rec::Calls())
    if (call.op == Op::Disc || call.op == Op::Delay) out.push_back(call);
  return out;
}

class EffectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec::Start();
    Reset();
  }
  void TearDown() override { rec::Stop(); }

  static void Reset() {
    rec::Clear();
    rec::ResetGameState();
    PlayerX = -5000;  // far from every impact unless a test moves it
    PlayerHealth = 10000;
    SplashRadius = 60;
    SplashDamage = 1;
    ShellKind = 1;
  }

  static void Stand(int i, int16_t x, int16_t health) {
    Units[static_cast<std::size_t>(i)] =
        EnemyUnit{.x = x, .health = health, .destroyed = 0, .width = 30, .height = 20};
  }

  // The damage steps of a shot as the turn loop runs them.
  static void Hit(int16_t impactX) {
    ApplyShellDamage(impactX);
    ApplySplash(impactX);
  }
};

// ---- Object losses by kind and distance, with the splash ----

TEST_F(EffectsTest, ObjectLosesByKindAndDistanceStrictlyInsideTheRadius) {
  struct Case {
    int16_t kind, d;
    int16_t shellLoss, total;  // total includes the splash (1 while d < 60)
  };
  const Case cases[] = {
      {1, 0, 500, 501},   {1, 59, 382, 383},  {1, 60, 380, 380},  {1, 79, 342, 342},
      {1, 80, 0, 0},      {1, -59, 382, 383}, {1, -80, 0, 0},
      {2, 0, 1000, 1001}, {2, 39, 883, 884},  {2, 40, 0, 1},      {2, -40, 0, 1},
      {3, 0, 2000, 2001}, {3, 59, 1823, 1824}, {3, 249, 1253, 1253}, {3, 250, 0, 0},
      {3, -249, 1253, 1253},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " d " + std::to_string(c.d));
    Reset();
    ShellKind = c.kind;
    UnitCount = 1;
    Stand(1, 1000, 5000);
    const auto impact = static_cast<int16_t>(1000 + c.d);
    ApplyShellDamage(impact);
    EXPECT_EQ(Units[1].health, 5000 - c.shellLoss);
    ApplySplash(impact);
    EXPECT_EQ(Units[1].health, 5000 - c.total);
    EXPECT_EQ(PlayerHealth, 10000);
  }
}

TEST_F(EffectsTest, ShellKindOutsideTheTableChangesNothing) {
  for (int16_t kind : {int16_t{0}, int16_t{4}, int16_t{-1}, int16_t{32767}}) {
    SCOPED_TRACE(kind);
    Reset();
    ShellKind = kind;
    UnitCount = 2;
    Stand(1, 100, 700);
    Stand(2, 110, 700);
    PlayerX = 100;
    ApplyShellDamage(100);
    EXPECT_EQ(Units[1].health, 700);
    EXPECT_EQ(Units[2].health, 700);
    EXPECT_EQ(PlayerHealth, 10000);
  }
}

TEST_F(EffectsTest, EveryEntryInRangeLosesDestroyedOnesIncluded) {
  ShellKind = 1;
  UnitCount = 3;
  Stand(1, 500, 800);
  Stand(2, 530, 800);
  Stand(3, 700, 800);  // out of range
  Units[2].destroyed = 1;
  Units[2].width = Units[2].height = 0;
  Units[2].health = -20;
  Units[4] = EnemyUnit{.x = 500, .health = 800};  // above UnitCount: untouched
  Hit(500);
  EXPECT_EQ(Units[1].health, 800 - 500 - 1);
  EXPECT_EQ(Units[2].health, -20 - 440 - 1);
  EXPECT_EQ(Units[3].health, 800);
  EXPECT_EQ(Units[4].health, 800);
}

// ---- The player's loss, once per entry ----

TEST_F(EffectsTest, PlayerLosesOncePerEntryWithinTheRadius) {
  struct Case {
    int16_t kind, dp, lossPerEntry;
  };
  const Case cases[] = {
      {1, 0, 200},  {1, 79, 42},   {1, 80, 0},   {1, -80, 0},
      {2, 0, 1000}, {2, 39, 883},  {2, 40, 0},
      {3, 0, 1000}, {3, 249, 253}, {3, 250, 0}, {3, -249, 253},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " dp " + std::to_string(c.dp));
    Reset();
    ShellKind = c.kind;
    UnitCount = 3;
    Stand(1, 2000, 100);  // the objects stand far away; only the count matters
    Stand(2, 2100, 100);
    Stand(3, 2200, 100);
    Units[3].destroyed = 1;
    PlayerX = 300;
    PlayerHealth = 5000;
    ApplyShellDamage(static_cast<int16_t>(300 + c.dp));
    EXPECT_EQ(PlayerHealth, 5000 - 3 * c.lossPerEntry);
  }
}

TEST_F(EffectsTest, HighExplosiveOnTheGunWithThreeEntriesCosts600) {
  ShellKind = 1;
  UnitCount = 3;
  PlayerX = 100;
  PlayerHealth = 500;
  ApplyShellDamage(100);
  EXPECT_EQ(PlayerHealth, -100);  // not clamped
}

TEST_F(EffectsTest, NoEntriesMeansNoPlayerLoss) {
  ShellKind = 3;
  UnitCount = 0;
  PlayerX = 100;
  ApplyShellDamage(100);
  EXPECT_EQ(PlayerHealth, 10000);
}

TEST_F(EffectsTest, SplashTakesOneWithin60PixelsAndSparesThePlayer) {
  UnitCount = 5;
  Stand(1, 1000, 10);  // d = 0
  Stand(2, 1059, 10);  // d = 59
  Stand(3, 1060, 10);  // d = 60
  Stand(4, 941, 10);   // d = 59 on the left
  Stand(5, 940, 10);   // d = 60 on the left
  PlayerX = 1000;
  for (int16_t kind : {int16_t{0}, int16_t{2}}) {  // whatever the shell kind
    ShellKind = kind;
    ApplySplash(1000);
  }
  EXPECT_EQ(Units[1].health, 8);
  EXPECT_EQ(Units[2].health, 8);
  EXPECT_EQ(Units[3].health, 10);
  EXPECT_EQ(Units[4].health, 8);
  EXPECT_EQ(Units[5].health, 10);
  EXPECT_EQ(PlayerHealth, 10000);
}

// ---- Marking destroyed objects ----

TEST_F(EffectsTest, SplashAloneToExactlyZeroDestroysAndBurnsOnce) {
  const uint32_t seed = rec::SeedNow();
  ReferenceRandom ref(seed);
  UnitCount = 1;
  Stand(1, 400, 1);
  ApplySplash(420);
  EXPECT_EQ(Units[1].health, 0);
  MarkDestroyed();
  EXPECT_EQ(Units[1].destroyed, 1);
  EXPECT_EQ(Units[1].width, 0);
  EXPECT_EQ(Units[1].height, 0);
  const auto discs = static_cast<std::size_t>(ref(5) + 5);
  EXPECT_EQ(rec::Only(Op::Disc).size(), discs);

  // Hit again: it keeps losing, but burns no more.
  rec::Clear();
  ShellKind = 1;
  Hit(400);
  EXPECT_EQ(Units[1].health, -501);
  MarkDestroyed();
  EXPECT_EQ(Units[1].destroyed, 1);
  EXPECT_TRUE(rec::Only(Op::Disc).empty());
  EXPECT_TRUE(rec::Only(Op::Delay).empty());
}

TEST_F(EffectsTest, OnlyObjectsWithoutHitPointsAreMarked) {
  UnitCount = 3;
  Stand(1, 100, 1);
  Stand(2, 200, 0);
  Stand(3, 300, -32768);
  Stand(4, 400, 0);  // above UnitCount
  rec::SeedNow();
  MarkDestroyed();
  EXPECT_EQ(Units[1].destroyed, 0);
  EXPECT_EQ(Units[1].width, 30);
  EXPECT_EQ(Units[1].height, 20);
  EXPECT_EQ(Units[2].destroyed, 1);
  EXPECT_EQ(Units[3].destroyed, 1);
  EXPECT_EQ(Units[4].destroyed, 0);
  EXPECT_EQ(Units[4].width, 30);
}

TEST_F(EffectsTest, SeveralObjectsBurnInTableOrderAtTheirXOnTheGround) {
  const uint32_t seed = rec::SeedNow();
  ReferenceRandom ref(seed);
  UnitCount = 4;
  Stand(1, 100, 0);
  Stand(2, 200, 5);   // standing
  Stand(3, 300, -3);
  Stand(4, 400, -9);  // burnt in an earlier turn
  Units[4].destroyed = 1;
  SetColor(4);  // the fire's outline keeps whatever colour is current
  MarkDestroyed();

  std::vector<Call> expected;
  for (int x : {100, 300}) {
    const int n = ref(5) + 5;
    for (int i = 0; i < n; ++i) {
      const int ox = ref(100) - 50;
      const int oy = ref(100) - 50;
      expected.push_back(DiscCall(x + ox, 500 + oy, 25, 1, 14, 4));
      expected.push_back(DelayCall(50));
    }
  }
  EXPECT_EQ(DiscsAndDelays(), expected);
  EXPECT_EQ(Random(1 << 30), ref(1 << 30));  // nothing else was drawn
}

// ---- Drawings ----

TEST_F(EffectsTest, ExplosionIsThreeDiscsWhiteRedYellow150MsApart) {
  DrawExplosion(100, 500);
  EXPECT_EQ(DiscsAndDelays(), (std::vector<Call>{
                                  DiscCall(85, 520, 30, 0, 15, 15),
                                  DelayCall(150),
                                  DiscCall(110, 490, 20, 0, 15, 4),
                                  DelayCall(150),
                                  DiscCall(95, 485, 20, 0, 15, 14),
                              }));
  EXPECT_EQ(Graph.colour, 14);
}

TEST_F(EffectsTest, ScatteredExplosionDrawsVerticalOffsetBeforeHorizontal) {
  const uint32_t seed = rec::SeedNow();
  ReferenceRandom ref(seed);
  DrawScatteredExplosion(300, 450);

  std::vector<Call> expected;
  int oy = ref(40) - 20;
  int ox = ref(60) - 30;
  expected.push_back(DiscCall(300 + ox, 450 + oy, 20, 0, 15, 15));
  expected.push_back(DelayCall(150));
  oy = ref(20) - 10;
  ox = ref(40) - 20;
  expected.push_back(DiscCall(300 + ox, 450 + oy, 15, 0, 15, 4));
  expected.push_back(DelayCall(150));
  oy = ref(30) - 15;
  ox = ref(10) - 5;
  expected.push_back(DiscCall(300 + ox, 450 + oy, 10, 0, 15, 14));
  EXPECT_EQ(DiscsAndDelays(), expected);
  EXPECT_EQ(Graph.colour, 14);
  EXPECT_EQ(Random(1 << 30), ref(1 << 30));
}

TEST_F(EffectsTest, WreckFireDrawsCountThenHorizontalBeforeVerticalOffsets) {
  for (int run = 0; run < 5; ++run) {  // several seeds: counts 5..9 vary
    const uint32_t seed = rec::SeedNow();
    ReferenceRandom ref(seed);
    rec::Clear();
    SetColor(15);
    DrawWreckFire(640, 500);
    std::vector<Call> expected;
    const int n = ref(5) + 5;
    for (int i = 0; i < n; ++i) {
      const int ox = ref(100) - 50;
      const int oy = ref(100) - 50;
      expected.push_back(DiscCall(640 + ox, 500 + oy, 25, 1, 14, 15));
      expected.push_back(DelayCall(50));
    }
    EXPECT_EQ(DiscsAndDelays(), expected);
    EXPECT_EQ(Random(1 << 30), ref(1 << 30));
  }
}

TEST_F(EffectsTest, NuclearCloudGrowsItsCapAndErasesAllButTheLast) {
  const uint32_t seed = rec::SeedNow();
  ReferenceRandom ref(seed);
  DrawNuclearCloud(640, 500);

  // Frames with known values: k, rx, ry, stem spread n and shift s (Random(n) - s),
  // cap centre y.
  struct Frame {
    int k, rx, ry, n, s, capY;
  };
  const Frame known[] = {
      {1, 20, 10, 200, 100, 474}, {2, 20, 10, 100, 50, 473}, {10, 20, 10, 20, 10, 465},
      {16, 20, 10, 12, 6, 459},   {31, 21, 10, 6, 3, 444},   {60, 50, 10, 3, 2, 415},
      {61, 51, 11, 3, 2, 413},    {90, 81, 40, 2, 1, 355},   {100, 101, 50, 2, 1, 335},
  };

  const auto fills = rec::Only(Op::Disc);
  ASSERT_EQ(fills.size(), 100u * 41u + 99u);  // 40 stem discs and a cap per frame, 99 erases
  EXPECT_EQ(rec::Only(Op::Delay).size(), 100u);
  EXPECT_EQ(rec::Count(DelayCall(5)), 100u);

  // Frame k starts at index (k - 1) * 42 - 1 (frame 1 has no erase).
  auto frameStart = [](int k) { return k == 1 ? std::size_t{0} : std::size_t(42 * (k - 1) - 1); };
  std::size_t nextKnown = 0;
  for (int k = 1; k <= 100; ++k) {
    std::size_t at = frameStart(k);
    if (k > 1) {
      // The erase repeats the previous cap in black.
      Call cap = fills[at - 1];
      ASSERT_EQ(cap.fill, 14);
      cap.fill = cap.colour = 0;
      EXPECT_EQ(fills[at], cap) << "frame " << k;
      ++at;
    }
    const bool isKnown = nextKnown < std::size(known) && known[nextKnown].k == k;
    int lastX = 0;
    for (int disc = 0; disc < 40; ++disc) {
      const uint64_t u = ref.mt();
      if (!isKnown) continue;
      const Frame& f = known[nextKnown];
      const int r = static_cast<int>((u * static_cast<uint64_t>(f.n)) >> 32);
      lastX = 640 + r - f.s;
      EXPECT_EQ(fills[at + static_cast<std::size_t>(disc)], DiscCall(lastX, 500 - k, 5, 1, 7, 7))
          << "frame " << k << " disc " << disc;
    }
    if (isKnown) {
      const Frame& f = known[nextKnown];
      const Call cap{.op = Op::Disc, .a = lastX, .b = f.capY, .c = f.rx, .d = f.ry, .colour = 15,
                     .pattern = 1, .fill = 14};
      EXPECT_EQ(fills[at + 40], cap) << "frame " << k;
      ++nextKnown;
    }
  }
  EXPECT_EQ(nextKnown, std::size(known));
  // The last cap stays: only the last wait follows it.
  const auto tail = DiscsAndDelays();
  ASSERT_GE(tail.size(), 2u);
  EXPECT_EQ(tail[tail.size() - 2], fills[frameStart(100) + 1 + 40]);
  EXPECT_EQ(tail.back(), DelayCall(5));
  EXPECT_EQ(Random(1 << 30), ref(1 << 30));
}

}  // namespace
