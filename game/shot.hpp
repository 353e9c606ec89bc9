// The flight of the player's shell.
#pragma once

void FlyShell();
