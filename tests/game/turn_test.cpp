// The turn loop on the recording device, with the answers typed ahead into
// standard input: the threat rising once per turn up to 15, the stock of the
// kind fired going down, the last shell losing the level (a restart answer
// beginning with y restarts), and victory once every object is down, won by
// the worked launch of speed 100 at 45 degrees.
#include "game/turn.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "game/state.hpp"
#include "tests/support/recording.hpp"

namespace {

TEST(PlayTurn, ThreatStocksDefeatAndVictory) {
  // Shell kind, then speed and angle: speed 1 at angle 0 bursts beside the gun.
  std::string answers;
  for (int turn = 0; turn < 15; ++turn) answers += "1\n1 0\n";
  answers += "2\n1 0\n" "1\n1 0\n" "yes\n" "1\n100 45\n";
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
  ASSERT_EQ(dup2(fds[0], 0), 0);
  close(fds[1]);  // answers that run out end the program instead of hanging the test
  rec::Start();
  rec::Stop();  // every turn opens the window itself
  ResetGameState();
  UnitCount = 1;
  Units[1] = {.x = 700, .kind = 0, .health = 100, .maxHealth = 100};
  PlayerX = 100;
  PlayerHealth = PlayerMaxHealth = 30000;
  AmmoHE = 16;
  AmmoAP = 1;
  ResetLevelState();
  ThreatLevel = 1;
  // The questions go to standard output; failures are reported at the end.
  ::testing::internal::CaptureStdout();
  LevelOutcome outcome = LevelOutcome::End;
  for (int turn = 1; turn <= 15; ++turn) {
    EXPECT_FALSE(PlayTurn(outcome)) << "turn " << turn;
    EXPECT_EQ(ThreatLevel, turn < 14 ? turn + 1 : 15) << "turn " << turn;
    EXPECT_EQ(AmmoHE, 16 - turn);
    EXPECT_EQ(PlayerHealth, 30000 - 198 * turn);  // 200 - 2 x 1 pixel from the gun
  }
  EXPECT_FALSE(PlayTurn(outcome));
  EXPECT_EQ(AmmoAP, 0);
  EXPECT_EQ(PlayerHealth, 30000 - 15 * 198 - 997);
  // The last shell: lost, whatever it hit; "yes" restarts.
  EXPECT_TRUE(PlayTurn(outcome));
  EXPECT_TRUE(LevelLost);
  EXPECT_EQ(outcome, LevelOutcome::Restart);
  // Speed 100 at 45 degrees is (70, 71), down after 72 steps 5040 pixels on:
  // exactly on a field gun (500 hit points), which falls only to a shell on
  // its x. (71, 71), what 180 / pi would give, stops a pixel off.
  AmmoHE = 5;
  LevelLost = false;
  PlayerX = 20;
  Units[1] = {.x = 5060, .kind = 10, .health = 500, .maxHealth = 500};
  EXPECT_TRUE(PlayTurn(outcome));
  EXPECT_EQ(ShellDX, 5040);
  EXPECT_EQ(outcome, LevelOutcome::Won);
  EXPECT_EQ(Units[1].destroyed, 1);
  const std::string shown = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(shown.find("Победа!!!"), std::string::npos);
  EXPECT_EQ(rec::Calls().back(), rec::DelayCall(1500));
}

}  // namespace
