// Trial flights for the checker and the bot: a typed speed and angle flown
// through the game's own launch rule and FlyShell against the boxes in Units,
// leaving the game's state as it was.
#pragma once

#include <cstdint>
#include <vector>

namespace aim {

struct Flight {
  int16_t speed = 0, angle = 0;  // as typed
  int16_t vx = 0, vy = 0;        // launch values the game derived
  int16_t impactX = 0;           // PlayerX + ShellDX after the flight
};

// The headless window must be open or its device still installed (the layer
// keeps the device table after CloseGraph).
Flight Trial(int16_t speed, int16_t angle);

// Every distinct flight of the typed speeds 1..maxSpeed and angles 1..89.
std::vector<Flight> AllFlights(int16_t maxSpeed);

// The typed shot whose impact lands nearest aimX, searched over angles
// 10..80 and speeds around the obstacle-free estimate for each angle; among
// those within a few pixels the angle nearest 45 degrees, as a person would
// choose.
Flight Best(int16_t aimX);

}  // namespace aim
