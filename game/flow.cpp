// The program's top level on the terminal: the main and game-type menus, the
// about screen, the skirmish draw-up and the three game types. Writes the
// flow globals (MenuChoice, GameMode, QuitRequested, ReturnToMenu,
// LevelNumber, EnemySkill, SkirmishBudget) and, in the draw-up, the level.
#include "game/flow.hpp"

#include <cstdlib>
#include <string_view>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/level_file.hpp"
#include "game/state.hpp"
#include "game/texts.hpp"
#include "game/turn.hpp"
#include "graph/graph.hpp"

namespace {

// Both menus share their frame: title, three items, the prompt on row 8.
void ShowMenu(std::string_view subtitle, std::string_view item1, std::string_view item2,
              std::string_view item3) {
  ClrScr();
  GotoXY(15, 1);
  WriteLine(texts::Title);
  if (!subtitle.empty()) WriteLine(subtitle);
  GotoXY(10, 5);
  WriteLine(item1);
  GotoXY(10, 6);
  WriteLine(item2);
  GotoXY(10, 7);
  WriteLine(item3);
  GotoXY(8, 8);
  WriteLine(texts::ChooseItem);
}

// Menu answers keep their low 8 bits and take no rest-of-line discard, so
// "1 3" on one line answers both menus at once.
uint8_t ReadMenuAnswer() { return Store8(ReadUnsigned()); }

[[noreturn]] void EndProgram() { std::exit(0); }

void AfterWonLevel() {
  CloseGraph();
  ReturnToMenu = 1;
}

// The game types differ only in how a level is set up; a restart sets it up
// again, a declined restart ends the program. False when the level cannot go
// on for want of shells (the player has been told; back to the main menu).
bool PlayUntilWon(void (*setUp)()) {
  for (;;) {
    setUp();
    switch (PlayLevel()) {
      case LevelOutcome::Won:
        return true;
      case LevelOutcome::NoShells:
        return false;
      case LevelOutcome::End:
        EndProgram();
      case LevelOutcome::Restart:
        break;
    }
  }
}

}  // namespace

void MainMenu() {
  for (;;) {
    ShowMenu({}, texts::PlayItem, texts::AboutItem, texts::ExitItem);
    MenuChoice = ReadMenuAnswer();
    if (MenuChoice >= 1 && MenuChoice <= 3) return;
    EndIfInputExhausted();
  }
}

void GameTypeMenu() {
  for (;;) {
    ShowMenu(texts::GameTypeTitle, texts::CampaignItem, texts::SingleLevelItem,
             texts::SkirmishItem);
    GameMode = ReadMenuAnswer();
    if (GameMode >= 1 && GameMode <= 3) return;
    EndIfInputExhausted();
  }
}

void AboutScreen() {
  ClrScr();
  WriteLine(texts::About);
  WriteLine(texts::PressAnyKey);
  // The key is left unread: it starts the next answer at the main menu.
  WaitKey();
}

void GenerateSkirmish() {
  SkirmishBudget = Store16(10 * EnemySkill);
  UnitCount = 0;
  int i = 1;
  // The draw-up has no bound of its own; it stops when the table is full.
  do {
    const int32_t d = Random(11);
    if (d >= 1) {
      if (SkirmishBudget > d) Units[i].kind = Store16(d);
      SkirmishBudget = Store16(SkirmishBudget - d);
    }
    Units[i].x = Store16(Random(800) + 200);
    ++i;
    UnitCount = Store16(UnitCount + 1);
  } while (SkirmishBudget >= 5 && UnitCount < MaxUnits);
  AmmoHE = Store16(Random(20) + 20);
  AmmoAP = Store16(Random(10) + 10);
  AmmoNuclear = Store16(Random(3));
  PlayerMaxHealth = Store16(Random(600) + 700);
  PlayerHealth = PlayerMaxHealth;
  PlayerX = Store16(Random(100) + 10);
}

void PlayCampaign() {
  LevelNumber = 1;
  while (PlayUntilWon(LoadLevel)) {
    LevelNumber = Store16(LevelNumber + 1);
    CloseGraph();
  }
}

void PlaySingleLevel() {
  WriteLine(texts::LevelQuestion);
  LevelNumber = Store16(ReadNumber());
  ReadLineEnd();
  if (PlayUntilWon(LoadLevel)) AfterWonLevel();
}

void PlaySkirmish() {
  for (;;) {
    WriteLine(texts::SkillQuestion);
    EnemySkill = Store16(ReadNumber());
    ReadLineEnd();
    if (EnemySkill >= 1 && EnemySkill <= 5) break;
    EndIfInputExhausted();
  }
  GenerateSkirmish();
  // A restart keeps the battlefield as it stands: positions, the gun and what
  // is left of the stocks; only health and the level flags are renewed.
  const auto renew = [] {
    ResetLevelState();
    ClrScr();
    PrepareHealth();
  };
  if (PlayUntilWon(renew)) AfterWonLevel();
}

int GameMain() {
  if (!RoundingModeIsNearest())
    Fatal(ExitFailure, "floating-point rounding mode is not round-to-nearest");
  Randomize();
  UnitMoving = false;
  QuitRequested = false;
  while (!QuitRequested) {
    ClrScr();
    MainMenu();
    switch (MenuChoice) {
      case 1:
        GameTypeMenu();
        if (GameMode == 1) PlayCampaign();
        else if (GameMode == 2) PlaySingleLevel();
        else PlaySkirmish();
        break;
      case 2:
        AboutScreen();
        break;
      default:
        QuitRequested = true;
    }
  }
  return 0;
}
