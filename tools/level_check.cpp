// zalpomet-levelcheck: checks level files with the game's own reader,
// catalogue, flight and damage rules, and with --play lets a simple aiming
// bot play each sound level through the game's PlayLevel for many seeds.
//
//   zalpomet-levelcheck [--play N [--first-seed S] [--until-mixed] [--waste-first]
//                        [--trace]] FILE...
//
// --until-mixed stops playing a level once it has been both won and lost
// (a quick proof that it is neither trivial nor impossible); --waste-first
// makes the bot's first shot hit nothing (what the enemy's first reply does
// to a player who missed); --trace shows every shot of the bot.
//
// Exit status: 0 when every file is sound, 1 when any problem was reported,
// 2 for a usage error.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/checks.hpp"
#include "tools/headless.hpp"
#include "tools/play.hpp"

namespace {

FILE* Report = stdout;

int Usage() {
  std::fprintf(stderr,
               "usage: zalpomet-levelcheck [--play N [--first-seed S] [--until-mixed] "
               "[--waste-first] [--trace]] FILE...\n");
  return 2;
}

bool Count(const char* text, long low, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= low && value <= 1000000;
}

bool UntilMixed = false;
bool TraceShots = false;

void PlayFile(const std::string& path, long seeds, long firstSeed) {
  int won = 0, turns = 0, wonTurns = 0, firstReplyKills = 0;
  long played = 0;
  int endings[4] = {0, 0, 0, 0};
  const auto start = std::chrono::steady_clock::now();
  for (long s = firstSeed; s < firstSeed + seeds; ++s) {
    if (UntilMixed && won > 0 && won < played) break;
    if (TraceShots) std::fprintf(Report, "%s: seed %ld\n", path.c_str(), s);
    const play::Result r = play::Play(path, static_cast<uint32_t>(s));
    ++played;
    ++endings[static_cast<int>(r.ending)];
    turns += r.turns;
    if (r.FirstReplyKill()) ++firstReplyKills;
    if (r.ending == play::Ending::Won) {
      ++won;
      wonTurns += r.turns;
    }
  }
  const double n = static_cast<double>(played);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(Report,
               "%s: won %d of %ld seeds (%.0f%%), mean turns %.1f (won %.1f); lost: killed %d, "
               "out of shells %d, reached %d; first reply kills %d; %.0f ms per play\n",
               path.c_str(), won, played, 100.0 * won / n, turns / n,
               won ? double(wonTurns) / won : 0.0, endings[1], endings[2], endings[3],
               firstReplyKills, ms / n);
  std::fflush(Report);
}

}  // namespace

int main(int argc, char** argv) {
  long seeds = 0, firstSeed = 1;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--play" && i + 1 < argc) {
      if (!Count(argv[++i], 1, seeds)) return Usage();
    } else if (arg == "--until-mixed") {
      UntilMixed = true;
    } else if (arg == "--waste-first") {
      play::SetWasteFirst(true);
    } else if (arg == "--trace") {
      TraceShots = true;
    } else if (arg == "--first-seed" && i + 1 < argc) {
      if (!Count(argv[++i], 0, firstSeed)) return Usage();
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return Usage();

  // The game's standard output becomes the bot's screen; the report keeps
  // the real one.
  Report = fdopen(dup(1), "w");
  if (Report == nullptr) return 2;
  headless::Install();

  bool problems = false;
  std::vector<std::string> sound;
  for (const std::string& path : files) {
    const std::vector<std::string> lines = checks::Check(path);
    for (const std::string& line : lines) std::fprintf(Report, "%s\n", line.c_str());
    if (lines.empty())
      sound.push_back(path);
    else
      problems = true;
  }
  std::fflush(Report);
  if (seeds > 0 && !sound.empty()) {
    play::Setup();
    if (TraceShots) play::SetTrace(Report);
    for (const std::string& path : sound) PlayFile(path, seeds, firstSeed);
  }
  return problems ? 1 : 0;
}
