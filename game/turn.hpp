// One level: the opening view, then turns until an outcome.
#pragma once

// NoShells: the level cannot go on because no shell kind has a shell left
// (a skirmish restarted after its last shell, or a level file without any);
// the player has been told and the game goes back to the main menu.
enum class LevelOutcome { Won, Restart, End, NoShells };

void ShowBattlefield();
// Plays one turn; returns true with the outcome when the level is over.
bool PlayTurn(LevelOutcome& outcome);
LevelOutcome PlayLevel();
// The launch values for LaunchSpeed and LaunchAngle: ShellVX and ShellVY.
void ComputeLaunchValues();
