// What the real program writes that the end-to-end tests wait for, in one
// place, so a reworded question is mended once. The longer questions are
// kept to prefixes that fit in the first row: the console wraps at 80 bytes.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "tests/support/pty.hpp"

namespace e2e {

using namespace std::chrono_literals;

// Waits are long: machines are shared, and the sanitiser build is slower.
inline constexpr pty::Millis kWait = 30000ms;

inline const std::string kClear = "\033[H\033[2J";

inline constexpr std::string_view kMenuPrompt = "Выберите пункт меню";
inline constexpr std::string_view kGameTypeTitle = "Выберите тип игры";
inline constexpr std::string_view kAnyKey = "Нажмите любую клавишу";
inline constexpr std::string_view kLevelQuestion = "Введите номер уровня";
inline constexpr std::string_view kSkillQuestion = "Выберите уровень противника";
inline constexpr std::string_view kShellQuestion = "Введите тип снаряда";
inline constexpr std::string_view kLaunchQuestion = "Введите скорость и угол броска";
inline constexpr std::string_view kRestartQuestion = "Вы проиграли. Начать уровень заново?";
inline constexpr std::string_view kVictory = "Победа!!!";
inline constexpr std::string_view kKilled = "УБИТ";

// Non-overlapping occurrences of needle.
inline size_t Count(std::string_view haystack, std::string_view needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string_view::npos;
       at = haystack.find(needle, at + needle.size()))
    ++n;
  return n;
}

}  // namespace e2e
