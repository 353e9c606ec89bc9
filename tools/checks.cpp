// The level checker's static checks. Numbers are read by the game's reader;
// items are located again with the console's number grammar so that a
// problem names the n-th number of the file. Reachability flies every typed
// shot through the game's FlyShell against the opening view's boxes; the
// outlines are measured by drawing them on the headless device.
#include "tools/checks.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/level_file.hpp"
#include "game/state.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"
#include "tools/aim.hpp"
#include "tools/headless.hpp"

namespace checks {
namespace {

struct Token {
  size_t begin, end;  // byte offsets in the file
};

// The file's tokens as the reader separates them: runs of bytes above 32.
std::vector<Token> Tokens(const std::string& bytes) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < bytes.size()) {
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) <= 32) ++i;
    if (i == bytes.size()) break;
    const size_t begin = i;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) > 32) ++i;
    tokens.push_back({begin, i});
  }
  return tokens;
}

bool TokenValue(const std::string& bytes, const Token& t, int16_t& value) {
  if (t.end - t.begin > 255) return false;
  uint64_t v = 0;
  if (!ParseNumberToken(std::string_view(bytes).substr(t.begin, t.end - t.begin), false, v))
    return false;
  value = Store16(static_cast<int64_t>(v));
  return true;
}

// How many numbers the reader takes, given the object count it read.
size_t NumbersWanted(int16_t count) { return 6 + 2 * static_cast<size_t>(std::max<int16_t>(count, 0)); }

class Reporter {
 public:
  explicit Reporter(const std::string& path) : path_(path) {}
  void Item(size_t n, const std::string& what) {
    lines_.push_back(path_ + ": item " + std::to_string(n) + ": " + what);
  }
  void Line(size_t n, const std::string& what) {
    lines_.push_back(path_ + ": line " + std::to_string(n) + ": " + what);
  }
  void File(const std::string& what) { lines_.push_back(path_ + ": " + what); }
  std::vector<std::string>& Lines() { return lines_; }

 private:
  std::string path_;
  std::vector<std::string> lines_;
};

size_t XItem(int i) { return 7 + 2 * static_cast<size_t>(i - 1); }
size_t KindItem(int i) { return 8 + 2 * static_cast<size_t>(i - 1); }

std::string Describe(int i) {
  const EnemyUnit& u = Units[i];
  return "object " + std::to_string(i) + " (kind " + std::to_string(u.kind) + " at x " +
         std::to_string(u.x) + ")";
}

// Loss of one shell of each kind whose impact lies d pixels from an object,
// splash included, as the effects rules give it.
struct Losses {
  int he, ap, nuclear;
};
Losses LossesAt(int d) {
  const int splash = d < 60 ? 1 : 0;
  return {d < 80 ? 500 - 2 * d + splash : splash, d < 40 ? 1000 - 3 * d + splash : splash,
          d < 250 ? 2000 - 3 * d + splash : splash};
}

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

// Whether the stocks destroy every object by hits at the distances given,
// one object per shell, and still leave a shell over: the shot that spends
// the last shell loses the level even when it destroys the last object.
// Dynamic programme over (high-explosive, armour-piercing) used, keeping the
// fewest nuclear shells.
bool EnoughShells(const std::vector<std::pair<int, int>>& healthAndDistance) {
  constexpr int kCap = 200;
  const int he = std::clamp<int>(AmmoHE, 0, kCap), ap = std::clamp<int>(AmmoAP, 0, kCap);
  const int nuclear = std::max<int>(AmmoNuclear, 0);
  const long total = long{std::max<int16_t>(AmmoHE, 0)} + std::max<int16_t>(AmmoAP, 0) + nuclear;
  constexpr int kNone = INT_MAX / 2;
  std::vector<int> best((he + 1) * (ap + 1), kNone), next;
  best[0] = 0;
  for (const auto& [health, d] : healthAndDistance) {
    if (health <= 0) continue;
    const Losses loss = LossesAt(d);
    next.assign(best.size(), kNone);
    for (int a = 0; a <= he; ++a) {
      for (int b = 0; b <= ap; ++b) {
        const int used = best[a * (ap + 1) + b];
        if (used == kNone) continue;
        for (int c = 0; c <= std::min(nuclear, CeilDiv(health, loss.nuclear)); ++c) {
          const int maxB = loss.ap > 0 ? CeilDiv(health, loss.ap) : 0;
          for (int bb = 0; b + bb <= ap && bb <= maxB; ++bb) {
            const int rest = health - c * loss.nuclear - bb * loss.ap;
            const int aa = rest <= 0 ? 0 : (loss.he > 0 ? CeilDiv(rest, loss.he) : kNone);
            if (a + aa > he) continue;
            int& slot = next[(a + aa) * (ap + 1) + b + bb];
            slot = std::min(slot, used + c);
          }
        }
      }
    }
    best.swap(next);
  }
  for (int a = 0; a <= he; ++a)
    for (int b = 0; b <= ap; ++b) {
      const int c = best[a * (ap + 1) + b];
      if (c <= nuclear && a + b + c < total) return true;
    }
  return false;
}

// Fills width and height as the opening view's drawing does.
void DrawOpeningView() {
  ResetLevelState();
  PrepareHealth();
  headless::OpenWindow();
  DrawAllUnits();
}

// The outlines as the game draws them: index 0 the gun, then every object,
// the spotter truck by both its drawings since it deploys in view.
std::vector<headless::Box> Outlines() {
  std::vector<headless::Box> boxes(static_cast<size_t>(std::max<int16_t>(UnitCount, 0)) + 1);
  const int16_t savedMode = SpotterMode;
  headless::OpenWindow();
  headless::BeginMeasure();
  DrawPlayerGun();
  boxes[0] = headless::EndMeasure();
  for (int16_t i = 1; i <= UnitCount; ++i) {
    headless::BeginMeasure();
    SpotterMode = 1;
    DrawUnit(i);
    if (Units[i].kind == SpotterTruck) {
      SpotterMode = 2;
      DrawUnit(i);
    }
    boxes[i] = headless::EndMeasure();
  }
  CloseGraph();
  SpotterMode = savedMode;
  return boxes;
}

// Everything must be drawn inside the 800-pixel window, and no object may
// hide wholly inside another's outline, where a player cannot make it out.
void CheckDrawings(Reporter& report) {
  const std::vector<headless::Box> boxes = Outlines();
  const auto outside = [](const headless::Box& b) {
    return " drawn over x " + std::to_string(b.left) + ".." + std::to_string(b.right) +
           ", outside the window's columns 0.." + std::to_string(headless::kMaxX);
  };
  const auto inWindow = [](const headless::Box& b) {
    return b.left >= 0 && b.right <= headless::kMaxX;
  };
  if (!inWindow(boxes[0]))
    report.Item(2, "gun at x " + std::to_string(PlayerX) + ":" + outside(boxes[0]));
  for (int i = 1; i <= UnitCount; ++i) {
    const headless::Box& b = boxes[i];
    if (b.Empty()) continue;
    if (!inWindow(b)) report.Item(XItem(i), Describe(i) + outside(b));
    for (int j = 1; j <= UnitCount; ++j) {
      // Of two equal outlines the later one is named.
      const bool equal = b.Inside(boxes[j]) && boxes[j].Inside(b);
      if (j == i || !b.Inside(boxes[j]) || (equal && j > i)) continue;
      report.Item(XItem(i), Describe(i) + " drawn wholly inside the outline of " + Describe(j));
      break;
    }
  }
}

void CheckTargets(Reporter& report) {
  DrawOpeningView();
  const std::vector<aim::Flight> flights = aim::AllFlights(kMaxSpeed);
  CloseGraph();
  std::vector<std::pair<int, int>> needs;
  for (int i = 1; i <= UnitCount; ++i) {
    const EnemyUnit& u = Units[i];
    int nearest = INT_MAX;
    for (const aim::Flight& f : flights) nearest = std::min(nearest, std::abs(f.impactX - u.x));
    const int half = static_cast<int>(RoundEven(u.width / 2.0L));
    if (nearest > half) {
      report.Item(XItem(i), Describe(i) + " cannot be hit by any shot (speeds 1.." +
                                std::to_string(kMaxSpeed) + ", angles 1..89); nearest impact " +
                                std::to_string(nearest) + " pixels away");
      continue;
    }
    needs.push_back({u.maxHealth, nearest});
  }
  if (needs.size() == static_cast<size_t>(UnitCount) && !EnoughShells(needs))
    report.Item(3, "the shells (" + std::to_string(AmmoHE) + " high-explosive, " +
                       std::to_string(AmmoAP) + " armour-piercing, " +
                       std::to_string(AmmoNuclear) +
                       " nuclear) cannot destroy every object by direct hits and keep one "
                       "shell over (spending the last shell loses the level)");
}

void CheckNumbers(Reporter& report) {
  if (UnitCount < 1) report.Item(1, "no enemy objects (" + std::to_string(UnitCount) + ")");
  const char* names[] = {"high-explosive", "armour-piercing", "nuclear"};
  const int16_t stocks[] = {AmmoHE, AmmoAP, AmmoNuclear};
  for (int k = 0; k < 3; ++k)
    if (stocks[k] < 0)
      report.Item(3 + k, std::string("negative ") + names[k] + " stock (" +
                             std::to_string(stocks[k]) + ")");
  if (std::max<int16_t>(AmmoHE, 0) + std::max<int16_t>(AmmoAP, 0) +
          std::max<int16_t>(AmmoNuclear, 0) == 0)
    report.Item(3, "no shells at all");
  if (PlayerMaxHealth < 1)
    report.Item(6, "gun hit points " + std::to_string(PlayerMaxHealth) + ", at least 1");
  for (int i = 1; i <= UnitCount; ++i) {
    const EnemyUnit& u = Units[i];
    if (u.kind < 0 || u.kind > 11) {
      report.Item(KindItem(i), Describe(i) + ": no such kind (0..11)");
      continue;
    }
    if (u.x <= PlayerX) {
      report.Item(XItem(i), Describe(i) + " not right of the gun (x " +
                                std::to_string(PlayerX) + ")");
    } else if (KindTable[u.kind].step > 0 && u.x - PlayerX < 21) {
      report.Item(XItem(i), Describe(i) + " moves and starts within 20 pixels of the gun: "
                                          "its first step reaches it");
    }
  }
}

// The closing text as the reader cuts it: from the end of the last number,
// lines up to the first CR or LF, at most 255 bytes shown.
void CheckBriefing(Reporter& report, const std::string& bytes, size_t textBegin) {
  size_t lineNo = 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.begin() + textBegin, '\n'));
  bool anyText = false;
  size_t at = textBegin;
  while (true) {
    const size_t lf = bytes.find('\n', at);
    const size_t end = lf == std::string::npos ? bytes.size() : lf;
    std::string_view line = std::string_view(bytes).substr(at, end - at);
    line = line.substr(0, line.find('\r'));
    if (line.size() > 255)
      report.Line(lineNo, std::to_string(line.size()) +
                              " bytes of briefing; the game shows only the first 255");
    else if (line.size() > kMaxBriefingBytes)
      report.Line(lineNo, std::to_string(line.size()) + " bytes; at most " +
                              std::to_string(kMaxBriefingBytes) +
                              " fit an 80-column terminal unwrapped (a Cyrillic letter is 2)");
    const std::string_view shown = line.substr(0, 255);
    if (!ValidUtf8(line))
      report.Line(lineNo, "not valid UTF-8 text");
    else if (!ValidUtf8(shown))
      report.Line(lineNo, "the cut at 255 bytes falls inside a letter");
    else if (SanitiseBriefing(shown) != shown)
      report.Line(lineNo, "control bytes, which the game shows as ?");
    if (shown.find_first_not_of(" \t") != std::string_view::npos) anyText = true;
    if (lf == std::string::npos || lf + 1 == bytes.size()) break;
    at = lf + 1;
    ++lineNo;
  }
  if (!anyText) report.File("no briefing: the closing text is empty");
}

bool ReadFile(const std::string& path, std::string& bytes, std::string& cause) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    cause = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

void Load(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) throw LevelFileError(std::string("cannot open: ") + std::strerror(errno));
  try {
    ReadLevelNumbers(file);
  } catch (const LevelFileError&) {
    std::fclose(file);
    throw;
  }
  std::fclose(file);
  ResetLevelState();
  PrepareHealth();
}

std::vector<std::string> Check(const std::string& path) {
  Reporter report(path);
  std::string bytes, cause;
  if (!ReadFile(path, bytes, cause)) {
    report.File(cause);
    return report.Lines();
  }
  const std::vector<Token> tokens = Tokens(bytes);
  try {
    Load(path);
  } catch (const LevelFileError& error) {
    // Find the number the reader stumbled on.
    size_t wanted = 6;
    for (size_t k = 0; k < tokens.size() && k < wanted; ++k) {
      int16_t value = 0;
      if (!TokenValue(bytes, tokens[k], value)) {
        report.Item(k + 1, "\"" + bytes.substr(tokens[k].begin, std::min<size_t>(tokens[k].end - tokens[k].begin, 40)) +
                               "\" is not a whole number");
        return report.Lines();
      }
      if (k == 0 && value > MaxUnits) break;  // refused before any other number
      if (k == 0) wanted = NumbersWanted(value);
    }
    report.Item(1, error.what());
    return report.Lines();
  }
  const size_t wanted = NumbersWanted(UnitCount);
  if (tokens.size() < wanted)
    report.Item(tokens.size() + 1, "missing: the file ends after " + std::to_string(tokens.size()) +
                                       " of " + std::to_string(wanted) +
                                       " numbers (the game takes 0 for each)");
  CheckNumbers(report);
  CheckBriefing(report, bytes, tokens.size() >= wanted ? tokens[wanted - 1].end : bytes.size());
  const bool kindsKnown = std::all_of(Units.begin() + 1, Units.begin() + 1 + std::max<int16_t>(UnitCount, 0),
                                      [](const EnemyUnit& u) { return u.kind >= Target && u.kind <= SpotterTruck; });
  CheckDrawings(report);
  if (UnitCount >= 1 && kindsKnown) CheckTargets(report);
  return report.Lines();
}

}  // namespace checks
