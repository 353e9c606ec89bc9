// Trial flights: takes a snapshot of the game, flies with the virtual clock
// paused, restores it. Writes nothing of the game's state in the end.
#include "tools/aim.hpp"

#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

#include "game/shot.hpp"
#include "game/state.hpp"
#include "game/turn.hpp"
#include "tools/headless.hpp"

namespace aim {
namespace {

// The launch values the game would derive, without keeping them.
std::pair<int16_t, int16_t> LaunchValues(int16_t speed, int16_t angle) {
  const GameSnapshot before = TakeSnapshot();
  LaunchSpeed = speed;
  LaunchAngle = angle;
  ComputeLaunchValues();
  const std::pair<int16_t, int16_t> v{ShellVX, ShellVY};
  RestoreSnapshot(before);
  return v;
}

}  // namespace

Flight Trial(int16_t speed, int16_t angle) {
  const GameSnapshot before = TakeSnapshot();
  headless::PauseClock(true);
  LaunchSpeed = speed;
  LaunchAngle = angle;
  ComputeLaunchValues();
  FlyShell();
  Flight f{speed, angle, ShellVX, ShellVY, static_cast<int16_t>(PlayerX + ShellDX)};
  headless::PauseClock(false);
  RestoreSnapshot(before);
  return f;
}

std::vector<Flight> AllFlights(int16_t maxSpeed) {
  std::vector<Flight> flights;
  std::set<std::pair<int16_t, int16_t>> seen;  // flights depend only on vx, vy
  for (int16_t angle = 1; angle <= 89; ++angle) {
    for (int16_t speed = 1; speed <= maxSpeed; ++speed) {
      if (!seen.insert(LaunchValues(speed, angle)).second) continue;
      flights.push_back(Trial(speed, angle));
    }
  }
  return flights;
}

Flight Best(int16_t aimX) {
  const long double distance = std::max(1, aimX - PlayerX);
  Flight best;
  int bestMiss = 1 << 30;
  int bestSlant = 1 << 30;
  std::set<std::pair<int16_t, int16_t>> seen;
  for (int16_t angle = 10; angle <= 80; ++angle) {
    const long double a = angle / 57.0L;
    // Without obstacles the shell lands vx * (vy + 1) from the gun.
    const long double estimate = std::sqrt(distance / (std::cos(a) * std::sin(a)));
    const int centre = static_cast<int>(std::lround(estimate));
    for (int speed = centre - 2; speed <= centre + 2; ++speed) {
      if (speed < 1 || speed > 200) continue;
      if (!seen.insert(LaunchValues(static_cast<int16_t>(speed), angle)).second) continue;
      const Flight f = Trial(static_cast<int16_t>(speed), angle);
      // A few pixels either way make no difference to a person, who then
      // keeps to the familiar 45 degrees.
      const int miss = std::max(std::abs(f.impactX - aimX), 8);
      const int slant = std::abs(angle - 45);
      if (miss < bestMiss || (miss == bestMiss && slant < bestSlant)) {
        best = f;
        bestMiss = miss;
        bestSlant = slant;
      }
    }
  }
  return best;
}

}  // namespace aim
