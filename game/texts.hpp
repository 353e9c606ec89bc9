// What the game writes on the terminal, each text once: the menus, the
// questions, the refusals and the outcomes. The bot and the tests look for
// these same texts.
#pragma once

#include <string_view>

namespace texts {

// ---- Menus and the about screen ------------------------------------------
inline constexpr std::string_view Title = "ЗАЛПОМЕТ";
inline constexpr std::string_view ChooseItem = "Выберите пункт меню";
inline constexpr std::string_view PlayItem = "1.Играть";
inline constexpr std::string_view AboutItem = "2.Об игре";
inline constexpr std::string_view ExitItem = "3.Выйти";
inline constexpr std::string_view GameTypeTitle = "Выберите тип игры";
inline constexpr std::string_view CampaignItem = "1.Кампания";
inline constexpr std::string_view SingleLevelItem = "2.Отдельный уровень";
inline constexpr std::string_view SkirmishItem = "3.Скирмиш";
inline constexpr std::string_view About =
    "ЗАЛПОМЕТ v1.3 — артиллерийская дуэль; игру написала команда zalpomet, 2026";
inline constexpr std::string_view PressAnyKey = "Нажмите любую клавишу";

// ---- Questions ------------------------------------------------------------
inline constexpr std::string_view LevelQuestion = "Введите номер уровня";
inline constexpr std::string_view SkillQuestion =
    "Выберите уровень противника (1-очень легкий, 2-легкий, 3-средний, 4-сложный, 5-очень сложный";
inline constexpr std::string_view ShellQuestion =
    "Введите тип снаряда (1 - фугасный, 2 -бронебойный, 3 - тактический ядерный";
inline constexpr std::string_view LaunchQuestion = "Введите скорость и угол броска";
inline constexpr std::string_view RestartQuestion = "Вы проиграли. Начать уровень заново? (Y/N)";

// ---- Refusals and outcomes ------------------------------------------------
inline constexpr std::string_view NoHighExplosive = "У вас нет фугасных снарядов";
inline constexpr std::string_view NoArmourPiercing = "У вас нет бронебойных снарядов";
inline constexpr std::string_view NoNuclear = "У вас нет тактических ядерных снарядов";
inline constexpr std::string_view NoShellsLeft =
    "Снарядов не осталось: этот бой не выиграть. Возврат в главное меню.";
inline constexpr std::string_view Killed = "УБИТ";
inline constexpr std::string_view Victory = "Победа!!!";

// A question up to its list of choices: what fits the first row of an
// 80-column terminal, which wraps the rest.
constexpr std::string_view Lead(std::string_view question) {
  return question.substr(0, question.find(" ("));
}

}  // namespace texts
