// The program's top level: menus, about screen, the three game types.
#pragma once

void MainMenu();
void GameTypeMenu();
void AboutScreen();
void GenerateSkirmish();
void PlayCampaign();
void PlaySingleLevel();
void PlaySkirmish();
// Start-up after the console is set: Randomize, the main loop. Returns the exit status.
int GameMain();
