// One level: the opening view, then turns until an outcome.
#pragma once

enum class LevelOutcome { Won, Restart, End };

void ShowBattlefield();
// Plays one turn; returns true with the outcome when the level is over.
bool PlayTurn(LevelOutcome& outcome);
LevelOutcome PlayLevel();
