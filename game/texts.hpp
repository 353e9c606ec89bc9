// What the game writes on the terminal, each text once: the menus and the
// about screen, the questions and refusals, the outcomes. The bot and the
// tests look for these same texts.
#pragma once

#include <string_view>

namespace texts {

// The two menus: a title, three items, the prompt.
inline constexpr std::string_view Title = "ЗАЛПОМЕТ", ChooseItem = "Выберите пункт меню";
inline constexpr std::string_view PlayItem = "1.Играть", AboutItem = "2.Об игре",
                                  ExitItem = "3.Выйти";
inline constexpr std::string_view GameTypeTitle = "Выберите тип игры";
inline constexpr std::string_view CampaignItem = "1.Кампания",
                                  SingleLevelItem = "2.Отдельный уровень",
                                  SkirmishItem = "3.Скирмиш";
inline constexpr std::string_view About =
    "ЗАЛПОМЕТ v1.3 — артиллерийская дуэль; игру написала команда zalpomet, 2026";
inline constexpr std::string_view PressAnyKey = "Нажмите любую клавишу";

// The questions, and what a refused shell kind is told.
inline constexpr std::string_view LevelQuestion = "Введите номер уровня";
inline constexpr std::string_view SkillQuestion =
    "Выберите уровень противника (1-очень легкий, 2-легкий, 3-средний, 4-сложный, 5-очень сложный";
inline constexpr std::string_view ShellQuestion =
    "Введите тип снаряда (1 - фугасный, 2 -бронебойный, 3 - тактический ядерный";
inline constexpr std::string_view NoHighExplosive = "У вас нет фугасных снарядов",
                                  NoArmourPiercing = "У вас нет бронебойных снарядов",
                                  NoNuclear = "У вас нет тактических ядерных снарядов";
inline constexpr std::string_view LaunchQuestion = "Введите скорость и угол броска";
inline constexpr std::string_view RestartQuestion = "Вы проиграли. Начать уровень заново? (Y/N)";

// The outcomes.
inline constexpr std::string_view NoShellsLeft =
    "Снарядов не осталось: этот бой не выиграть. Возврат в главное меню.";
inline constexpr std::string_view Killed = "УБИТ", Victory = "Победа!!!";

// A question up to its list of choices: what fits the first row of an
// 80-column terminal, which wraps the rest.
constexpr std::string_view Lead(std::string_view question) {
  return question.substr(0, question.find(" ("));
}

}  // namespace texts
