// What the real program writes that the end-to-end tests wait for: the
// game's own texts, the longer questions cut to what fits in the first row
// (the console wraps at 80 bytes).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "game/texts.hpp"
#include "tests/support/pty.hpp"

namespace e2e {

using namespace std::chrono_literals;

// Waits are long: machines are shared, and the sanitiser build is slower.
inline constexpr pty::Millis kWait = 30000ms;

inline const std::string kClear = "\033[H\033[2J";

inline constexpr std::string_view kMenuPrompt = texts::ChooseItem;
inline constexpr std::string_view kGameTypeTitle = texts::GameTypeTitle;
inline constexpr std::string_view kAnyKey = texts::PressAnyKey;
inline constexpr std::string_view kLevelQuestion = texts::LevelQuestion;
inline constexpr std::string_view kSkillQuestion = texts::Lead(texts::SkillQuestion);
inline constexpr std::string_view kShellQuestion = texts::Lead(texts::ShellQuestion);
inline constexpr std::string_view kLaunchQuestion = texts::LaunchQuestion;
inline constexpr std::string_view kRestartQuestion = texts::Lead(texts::RestartQuestion);
inline constexpr std::string_view kVictory = texts::Victory;
inline constexpr std::string_view kKilled = texts::Killed;

// Non-overlapping occurrences of needle.
inline size_t Count(std::string_view haystack, std::string_view needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string_view::npos;
       at = haystack.find(needle, at + needle.size()))
    ++n;
  return n;
}

}  // namespace e2e
