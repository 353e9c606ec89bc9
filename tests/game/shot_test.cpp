// FlyShell on the recording device: where the shell stops, which boxes stop
// it, how many circles and 50 ms waits a flight takes, and that every launch
// the 16-bit velocities allow comes down in bounded time.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "game/shot.hpp"
#include "game/state.hpp"
#include "game/turn.hpp"
#include "tests/support/recording.hpp"

namespace {

struct Box {
  int16_t x, width, height;
};

class FlyShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec::Start();
    Reset();
  }
  void TearDown() override { rec::Stop(); }

  static void Reset() {
    rec::VirtualMs() = 0;
    ResetGameState();
    // Wrong values everywhere FlyShell must reset or write.
    ShellStopped = 1;
    ShellStep = 999;
    ShellDX = 777;
    ShellY = 777;
  }

  static void Place(const std::vector<Box>& boxes) {
    UnitCount = static_cast<int16_t>(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      Units[i + 1].x = boxes[i].x;
      Units[i + 1].width = boxes[i].width;
      Units[i + 1].height = boxes[i].height;
    }
  }

  static void Fly(int16_t vx, int16_t vy) {
    ShellVX = vx;
    ShellVY = vy;
    rec::Clear();
    FlyShell();
  }

  static std::size_t Circles(uint16_t colour) { return rec::Only(rec::Op::Circle, colour).size(); }
};

// ---- Open ground: the flight ends one step after the height passes 0 ----

TEST_F(FlyShellTest, GroundStopsEveryShotWhereTheParabolaCrossesTheGroundLine) {
  struct Case {
    int16_t vx, vy;
    int16_t dx, y;    // stopping position
    int16_t steps;    // ShellStep after the flight = t_end + 1
  };
  const Case cases[] = {
      // ShellVY >= 0: t_end = VY + 1, DX = VX (VY + 1), Y = -(VY + 1).
      {70, 0, 70, -1, 2},
      {70, 1, 140, -2, 3},
      {70, 71, 70 * 72, -72, 73},
      {-1, 100, -101, -101, 102},  // steep shot drifts backwards
      {0, 50, 0, -51, 52},         // straight up falls back on the gun
      {3, 362, 3 * 363, -363, 364},  // highest arc that fits 16 bits
      // ShellVY < 0: t_end = 1, DX = VX, Y = VY - 1.
      {25, -1, 25, -2, 2},
      {-40, -300, -40, -301, 2},
      {0, -32767, 0, -32768, 2},
      // The horizontal offset keeps 16 bits: 2 x 30000 wraps.
      {30000, 1, 60000 - 65536, -2, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("VX " + std::to_string(c.vx) + " VY " + std::to_string(c.vy));
    Reset();
    Fly(c.vx, c.vy);
    EXPECT_EQ(ShellStopped, 1);
    EXPECT_EQ(ShellDX, c.dx);
    EXPECT_EQ(ShellY, c.y);
    EXPECT_EQ(ShellStep, c.steps);
    EXPECT_EQ(ShellVX, c.vx);  // the launch values are left alone
    EXPECT_EQ(ShellVY, c.vy);
    // One circle per step, each erased, each with one 50 ms wait.
    EXPECT_EQ(Circles(15), static_cast<std::size_t>(c.steps));
    EXPECT_EQ(Circles(0), static_cast<std::size_t>(c.steps));
    EXPECT_EQ(rec::Count(rec::DelayCall(50)), static_cast<std::size_t>(c.steps));
    EXPECT_EQ(rec::VirtualMs(), 50u * static_cast<uint64_t>(c.steps));
  }
}

TEST_F(FlyShellTest, DrawsWaitsAndErasesEachCircleOneStepBehindTheTestedPosition) {
  PlayerX = 100;
  Fly(10, 2);  // heights 5 at the start, then 2t - t^2 = 0, 1, 0, -3
  std::vector<rec::Call> expected;
  for (const auto& [x, y] : {std::pair{100, 495}, {100, 500}, {110, 499}, {120, 500}}) {
    expected.push_back(rec::CircleCall(x, y, 3, 15));
    expected.push_back(rec::DelayCall(50));
    expected.push_back(rec::CircleCall(x, y, 3, 0));
  }
  EXPECT_EQ(rec::Calls(), expected);
  // The position tested last (t = 3) is never drawn.
  EXPECT_EQ(ShellDX, 30);
  EXPECT_EQ(ShellY, -3);
}

// ---- Object boxes: strict on both sides and on top ----

// The shell stops where it was tested, (VX t, VY t - t^2) with t = steps - 1,
// inside the box or below the ground. An entry beyond UnitCount, left over
// from a bigger level, stands where the usual flight passes at t = 3.
TEST_F(FlyShellTest, BoxesStopTheShellOnlyStrictlyInside) {
  // Usual flight: PlayerX 0, VX 20, VY 10. Positions (X, Y) by t:
  // 0:(0,0) 1:(20,9) 2:(40,16) 3:(60,21) 4:(80,24) 5:(100,25) ... 11:(220,-11).
  struct Case {
    const char* what;
    std::vector<Box> boxes;
    int16_t steps;  // ShellStep at the end; 12 = reached the ground
    int16_t playerX = 0, vx = 20, vy = 10;
  };
  const Case cases[] = {
      {"X on both edges of a 20 wide box passes", {{50, 20, 100}}, 12},
      {"one pixel right puts X = 60 inside", {{51, 20, 100}}, 4},
      {"width 25 has half 12: X = 40 is the edge", {{52, 25, 100}}, 4},
      {"width 27 has half 14: X = 60 is inside", {{73, 27, 100}}, 4},
      {"width 26 has half 13", {{73, 26, 100}}, 5},
      {"height equal to the shell's height passes over", {{60, 10, 21}}, 12},
      {"one pixel taller stops it in the air, at its height", {{60, 10, 22}}, 4},
      {"destroyed object: no box", {{60, 0, 0}}, 12},
      {"zero width with a height still holds nothing", {{60, 0, 100}}, 12},
      {"the third entry is tested too", {{500, 20, 100}, {-60, 20, 100}, {60, 10, 100}}, 4},
      {"two boxes in one step stop it once", {{60, 10, 100}, {61, 10, 100}}, 4},
      {"a box below the ground line never holds", {{60, 10, -5}}, 12},
      {"a box straddling the gun stops it at t = 0", {{105, 25, 10}}, 1, 100, 30, 40},
      {"a leftward shot meets a box behind the gun", {{240, 10, 100}}, 4, 300, -20},
      // X = 30000 + 1000 t is formed wide: at t = 3 it is 33000, past 16 bits,
      // and must not wrap onto a box near the left of the field.
      {"far outside the window", {{33000 - 65536, 10, 1000}}, 12, 30000, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    PlayerX = c.playerX;
    Place(c.boxes);
    Units[c.boxes.size() + 1] = EnemyUnit{.x = 60, .width = 10, .height = 100};
    Fly(c.vx, c.vy);
    const int t = c.steps - 1;
    EXPECT_EQ(ShellStopped, 1);
    EXPECT_EQ(ShellStep, c.steps);
    EXPECT_EQ(ShellDX, c.vx * t);
    EXPECT_EQ(ShellY, c.vy * t - t * t);
    EXPECT_EQ(Circles(15), static_cast<std::size_t>(c.steps));
  }
}

// ---- Every launch ends ----

// The height keeps 16 bits. Up to ShellVY = 362 the arc fits and the flight
// takes VY + 2 steps; from 363 on the stored height wraps below zero before
// the true apex. So no launch, whatever its speed, flies more than 364 steps.
TEST_F(FlyShellTest, EveryVerticalLaunchEndsWithin364Steps) {
  uint64_t longest = 0;
  int32_t longestVY = 0;
  for (int32_t vy = -32768; vy <= 32767; ++vy) {
    rec::VirtualMs() = 0;
    Fly(7, static_cast<int16_t>(vy));
    ASSERT_EQ(ShellStopped, 1) << vy;
    ASSERT_LT(ShellY, 0) << vy;
    const uint64_t steps = rec::VirtualMs() / 50;
    ASSERT_EQ(steps, static_cast<uint64_t>(ShellStep)) << vy;
    if (steps > longest) {
      longest = steps;
      longestVY = vy;
    }
  }
  EXPECT_EQ(longest, 364u);
  EXPECT_EQ(longestVY, 362);
}

TEST_F(FlyShellTest, NoLevelObjectsLeavesTheGroundTestAlone) {
  UnitCount = 0;
  Units[1] = EnemyUnit{.x = 20, .width = 50, .height = 1000};
  Fly(20, 10);
  EXPECT_EQ(ShellStep, 12);
  EXPECT_EQ(ShellY, -11);
}

// ---- The manual's table ----

// The manual page tells players the ranges at 45 degrees; typed speeds go
// through the game's own launch rule and fly with nothing in the way.
std::vector<int> TableRow(const std::string& page, const std::string& name) {
  std::vector<int> row;
  const size_t at = page.find("\n" + name + ";");
  if (at == std::string::npos) return row;
  std::istringstream cells(page.substr(at + name.size() + 2, page.find('\n', at + 1) - at - name.size() - 2));
  for (std::string cell; std::getline(cells, cell, ';');) row.push_back(std::stoi(cell));
  return row;
}

TEST_F(FlyShellTest, TheManualsRangesAt45DegreesAreWhatTheGameFlies) {
  std::ifstream file(std::string(ZALPOMET_SOURCE_DIR) + "/dist/zalpomet.6");
  std::stringstream page;
  page << file.rdbuf();
  const std::vector<int> speeds = TableRow(page.str(), "speed");
  const std::vector<int> velocities = TableRow(page.str(), "vx, vy");
  const std::vector<int> ranges = TableRow(page.str(), "range");
  ASSERT_GE(speeds.size(), 5u);
  ASSERT_EQ(velocities.size(), speeds.size());
  ASSERT_EQ(ranges.size(), speeds.size());
  for (size_t i = 0; i < speeds.size(); ++i) {
    LaunchSpeed = static_cast<int16_t>(speeds[i]);
    LaunchAngle = 45;
    ComputeLaunchValues();
    EXPECT_EQ(ShellVX, velocities[i]) << speeds[i];
    EXPECT_EQ(ShellVY, velocities[i]) << speeds[i];
    Fly(ShellVX, ShellVY);
    EXPECT_EQ(PlayerX + ShellDX, ranges[i]) << speeds[i];
  }
}

}  // namespace
