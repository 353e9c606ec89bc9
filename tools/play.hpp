// Headless play: a simple aiming bot plays a level through the game's own
// PlayLevel, answering its questions through the console's input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace play {

enum class Ending { Won, Killed, OutOfShells, Reached };

struct Result {
  Ending ending = Ending::Killed;
  int turns = 0;  // shots fired
  // Killed, or reached, in the enemy's first reply (the end of turn 1).
  bool FirstReplyKill() const {
    return turns == 1 && (ending == Ending::Killed || ending == Ending::Reached);
  }
};

// Makes standard input a pipe the bot writes into and standard output a
// memory file it reads, then starts the console on them. Call once, before
// any Play; the checker's own report must go to a copy of the old output.
void Setup();

// Writes every shot of the bot (aim, typed values, the gun's hit points)
// to out; null stops it.
void SetTrace(FILE* out);

// With waste on, the bot's first shot of every game hits nothing: the shell
// it chose lands where it costs no object and the gun no hit point, as a
// player's opening miss would, so the enemy's first reply meets a full field.
void SetWasteFirst(bool waste);

// Plays the level file once. The seed decides the clock the game reads (and
// so every random draw of the enemy) and the bot's own aiming errors.
// The level must have passed the static checks.
Result Play(const std::string& path, uint32_t seed);

}  // namespace play
