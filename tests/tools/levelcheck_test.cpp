// The level checker on the shipped campaign and on level files with one fault
// each: every problem named with its file and item (the n-th number of the
// file) or briefing line, the exit status, and the bot's play: every shipped
// level both won and lost, results that follow the seed alone, and the two
// extremes of a level that cannot be lost and one that cannot be won.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/command.hpp"

namespace fs = std::filesystem;

namespace {

using Outcome = command::Result;

Outcome Checker(const std::vector<std::string>& args) {
  std::string line = command::Quote(ZALPOMET_LEVELCHECK);
  for (const std::string& a : args) line += " " + command::Quote(a);
  return command::Run(line);
}

std::vector<std::string> ShippedLevels() {
  std::vector<std::string> files;
  for (int n = 1; fs::exists(std::string(ZALPOMET_SOURCE_DIR) + "/level/" + std::to_string(n) + ".lvl"); ++n)
    files.push_back(std::string(ZALPOMET_SOURCE_DIR) + "/level/" + std::to_string(n) + ".lvl");
  return files;
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "levelcheck-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

 private:
  std::string path_;
};

// The stocks and objects of a shipped level, read with a plain stream: the
// campaign's own design, beyond what the checker asks of any level.
struct Level {
  int nuclear = 0;
  std::set<int> kinds;
};

Level Parse(const std::string& file) {
  std::ifstream in(file);
  int count = 0, gun = 0, he = 0, ap = 0, health = 0;
  Level l;
  in >> count >> gun >> he >> ap >> l.nuclear >> health;
  for (int i = 0, x = 0, kind = 0; i < count && in >> x >> kind; ++i) l.kinds.insert(kind);
  return l;
}

// ---- the shipped campaign ---------------------------------------------------

TEST(Campaign, TwelveLevelsNuclearShellsScarceAndAFinalBattle) {
  const std::vector<std::string> files = ShippedLevels();
  ASSERT_GE(files.size(), 12u);
  int nuclearTotal = 0;
  for (const std::string& file : files) {
    const int nuclear = Parse(file).nuclear;
    EXPECT_LE(nuclear, 2) << file << ": the nuclear shell is meant to be scarce";
    nuclearTotal += nuclear;
  }
  EXPECT_LE(nuclearTotal, 5);
  EXPECT_GE(Parse(files.back()).kinds.size(), 8u) << "the final battle brings most kinds together";
}

TEST(Campaign, EveryLevelPassesTheStaticChecks) {
  const Outcome run = Checker(ShippedLevels());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
}

// ---- problems, each with its item -------------------------------------------

TEST(Checker, NamesEveryProblemWithItsFileAndItem) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    const char* expected;  // after "<file>: "
  };
  const std::vector<Case> cases = {
      // The object count, first number of the file.
      {"count21", "21 50 1 0 0 1000\nText\n", "item 1: 21 objects, at most 20"},
      {"count0", "0 50 1 0 0 1000\nText\n", "item 1: no enemy objects (0)"},
      // A token that is no number: the third number is the high-explosive stock.
      {"token", "1 50 abc 0 0 1000 300 0\nText\n", "item 3: \"abc\" is not a whole number"},
      // Two objects need ten numbers; the file has eight.
      {"short", "2 50 3 0 0 1000 300 0\n", "item 9: missing: the file ends after 8 of 10 numbers"},
      // Object 1's x is item 7, its kind item 8; object 2's x is item 9.
      // A spotter truck's deployed lattice reaches 100 pixels right of its x.
      {"beyond", "3 50 8 2 0 1000 760 11 400 5 600 9\nText\n", "item 7: object 1 (kind 11 at x 760) drawn over x 730..860, outside the window's columns 0..799"},
      // A soldier standing inside an armoured car's outline cannot be seen.
      {"inside", "2 50 8 2 0 1000 400 4 410 8\nText\n", "item 9: object 2 (kind 8 at x 410) drawn wholly inside the outline of object 1 (kind 4 at x 400)"},
      {"left", "2 400 3 0 0 1000 500 0 300 0\nText\n", "item 9: object 2 (kind 0 at x 300) not right of the gun (x 400)"},
      // Shells fly towards larger x: nothing lands behind the gun.
      {"behind", "2 400 3 0 0 1000 500 0 300 0\nText\n", "item 9: object 2 (kind 0 at x 300) cannot be hit by any shot"},
      {"kind", "1 50 3 0 0 1000 300 12\nText\n", "item 8: object 1 (kind 12 at x 300): no such kind (0..11)"},
      {"kindneg", "1 50 3 0 0 1000 300 -1\nText\n", "item 8: object 1 (kind -1 at x 300): no such kind"},
      {"stock", "1 50 3 -2 0 1000 300 0\nText\n", "item 4: negative armour-piercing stock (-2)"},
      {"noshells", "1 50 0 0 0 1000 300 0\nText\n", "item 3: no shells at all"},
      {"gunhp", "1 50 3 0 0 0 300 0\nText\n", "item 6: gun hit points 0, at least 1"},
      {"gunx", "1 22 3 0 0 1000 300 0\nText\n", "item 2: gun at x 22: drawn over x -1..42, outside the window's columns 0..799"},
      // An armoured car 20 pixels from the gun reaches it with its first
      // pixel of movement (contact below 20).
      {"close", "1 50 3 2 0 1000 70 4\nText\n", "item 7: object 1 (kind 4 at x 70) moves and starts within 20 pixels"},
      // A hut has 450 hit points; one high-explosive hit does 500 - 2d + 1,
      // but spending the only shell loses the level.
      {"shells", "1 50 1 0 0 1000 300 1\nText\n", "item 3: the shells (1 high-explosive, 0 armour-piercing, 0 nuclear) cannot destroy"},
      // A house (1500) against two armour-piercing shells: 2 x 1001 is enough
      // only with a third shell over.
      {"shells2", "1 50 0 2 0 1000 400 2\nText\n", "item 3: the shells (0 high-explosive, 2 armour-piercing"},
      {"long", "1 50 3 0 0 1000 300 0\n" + std::string(256, 'a') + "\n", "line 2: 256 bytes of briefing; the game shows only the first 255"},
      // Forty Cyrillic letters are 80 bytes: the 80-column terminal wraps them.
      {"wide", "1 50 3 0 0 1000 300 0\nText\n" + [] { std::string s; for (int i = 0; i < 40; ++i) s += "ж"; return s; }() + "\n", "line 3: 80 bytes; at most 79"},
      // A Cyrillic letter is two bytes: 128 of them put the cut after byte 255,
      // inside the 128th.
      {"cut", "1 50 3 0 0 1000 300 0\n" + [] { std::string s; for (int i = 0; i < 128; ++i) s += "ж"; return s; }() + "\n", "line 2: the cut at 255 bytes falls inside a letter"},
      {"utf8", "1 50 3 0 0 1000 300 0\nText\n\xD0\n", "line 3: not valid UTF-8 text"},
      {"control", "1 50 3 0 0 1000 300 0\nA\x1b[2Jb\n", "line 2: control bytes, which the game shows as ?"},
      {"empty", "1 50 3 0 0 1000 300 0\n\n  \n", "no briefing: the closing text is empty"},
  };
  std::vector<std::string> files;
  for (const Case& c : cases) files.push_back(dir.Write(std::string(c.name) + ".lvl", c.bytes));
  files.push_back(dir.Write("absent-dir/none.lvl", ""));
  const Outcome run = Checker(files);
  EXPECT_EQ(run.status, 1);
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_NE(run.output.find(files[i] + ": " + cases[i].expected), std::string::npos)
        << cases[i].name << "\n" << run.output;
  EXPECT_NE(run.output.find(files.back() + ": cannot open"), std::string::npos) << run.output;
}

TEST(Checker, SoundNeighboursOfTheFaultsPass) {
  TempDir dir;
  const std::vector<std::string> files = {
      // A gun at 23 is still inside; the deployed lattice of a truck at 699
      // ends in the last column; two objects side by side may overlap as long
      // as neither hides in the other. A car 21 pixels away makes its first
      // step safely.
      dir.Write("edge.lvl", "3 23 8 2 0 1000 699 11 400 4 430 8\nText\n"),
      dir.Write("car.lvl", "1 50 3 2 0 1000 71 4\nText\n"),
      // A second high-explosive shell leaves one over after the hit on the hut.
      dir.Write("hut.lvl", "1 50 2 0 0 1000 300 1\nText\n"),
      dir.Write("house.lvl", "1 50 0 3 0 1000 400 2\nText\n"),
      // Numbers may be spread over lines in any way; CR LF ends lines too.
      dir.Write("spread.lvl", "1\r\n50 2\r\n0\r\n0 1000\r\n300\r\n1\r\nТекст\r\n"),
      dir.Write("wide.lvl", "1 50 3 0 0 1000 300 0\na" + [] { std::string s; for (int i = 0; i < 39; ++i) s += "ж"; return s; }() + "\n"),
  };
  const Outcome run = Checker(files);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
}

TEST(Checker, RefusesAWrongCommandLine) {
  EXPECT_EQ(Checker({}).status, 2);
  EXPECT_EQ(Checker({"--play", "0", "x.lvl"}).status, 2);
  EXPECT_EQ(Checker({"--bogus", "x.lvl"}).status, 2);
}

// ---- the bot ----------------------------------------------------------------

struct Played {
  int won = -1, seeds = -1;
};

Played Parse(const std::string& output, const std::string& file) {
  Played p;
  const std::string head = file + ": won ";
  const size_t at = output.find(head);
  if (at != std::string::npos &&
      std::sscanf(output.c_str() + at + head.size(), "%d of %d seeds", &p.won, &p.seeds) != 2)
    p = Played{};
  return p;
}

TEST(Bot, WinsAndLosesEveryShippedLevel) {
  const std::vector<std::string> files = ShippedLevels();
  std::vector<std::string> args = {"--play", "60", "--until-mixed"};
  args.insert(args.end(), files.begin(), files.end());
  const Outcome run = Checker(args);
  ASSERT_EQ(run.status, 0) << run.output;
  for (const std::string& file : files) {
    const Played p = Parse(run.output, file);
    EXPECT_GT(p.won, 0) << file << " is never won\n" << run.output;
    EXPECT_LT(p.won, p.seeds) << file << " is never lost\n" << run.output;
  }
}

TEST(Bot, TheSeedAloneDecidesAPlay) {
  const std::string file = ShippedLevels().at(4);
  const auto strip = [](const std::string& s) { return s.substr(0, s.rfind(';')); };
  const Outcome a = Checker({"--play", "4", "--first-seed", "7", "--trace", file});
  const Outcome b = Checker({"--play", "4", "--first-seed", "7", "--trace", file});
  ASSERT_EQ(a.status, 0) << a.output;
  EXPECT_NE(a.output.find("turn 1: "), std::string::npos) << a.output;
  EXPECT_EQ(strip(a.output), strip(b.output));
  const Outcome c = Checker({"--play", "4", "--first-seed", "8", "--trace", file});
  EXPECT_NE(strip(a.output), strip(c.output));
}

TEST(Bot, ReportsBothExtremes) {
  TempDir dir;
  // A lone target with shells to spare cannot be lost.
  const std::string easy = dir.Write("easy.lvl", "1 50 5 0 0 1000 300 0\nText\n");
  // A tank (1200) needs two armour-piercing hits and fires back at a gun
  // with 1 hit point: every shot of it that lands within 200 pixels kills.
  const std::string deadly = dir.Write("deadly.lvl", "1 50 0 3 0 1 450 5\nText\n");
  const Outcome run = Checker({"--play", "5", easy, deadly});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(easy + ": won 5 of 5 seeds (100%)"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("reached 0; first reply kills 0;"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(deadly + ": won 0 of 5 seeds (0%)"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("lost: killed 5, out of shells 0, reached 0; first reply kills 5;"),
            std::string::npos)
      << run.output;
}

TEST(Bot, AWastedFirstShotLeavesEverythingStanding) {
  TempDir dir;
  // Two targets 100 pixels apart leave a harmless landing only short of the
  // first one or beyond the second: the target is whole at the second shot.
  const std::string file = dir.Write("two.lvl", "2 50 5 0 0 1000 300 0 400 0\nText\n");
  const Outcome run = Checker({"--play", "3", "--waste-first", "--trace", file});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("turn 1: shell 1 at"), std::string::npos) << run.output;
  std::istringstream lines(run.output);
  std::string line, previous;
  int wasted = 0;
  while (std::getline(lines, line)) {
    if (previous.find("turn 1: shell 1 wasted") != std::string::npos) {
      ++wasted;
      EXPECT_EQ(line.find("  turn 2: shell 1 at x 300 (object 1, health 100)"), 0u) << run.output;
    }
    previous = line;
  }
  EXPECT_EQ(wasted, 3) << run.output;
  EXPECT_NE(run.output.find(file + ": won 3 of 3 seeds"), std::string::npos) << run.output;
}

TEST(Bot, PlaysOnlySoundLevels) {
  TempDir dir;
  const std::string bad = dir.Write("bad.lvl", "1 50 1 0 0 1000 300 1\nText\n");
  const Outcome run = Checker({"--play", "3", bad});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output.find("won"), std::string::npos) << run.output;
}

}  // namespace
