// zalpomet-pixelhash: the window's pixels as a list of hashes, to prove that a
// change of the code left every picture as it was. On a private 1920x1080
// Xvfb (the game's 1280x1024 window) it draws the game's scenes with the real
// layer, window device and game procedures, and at every present point reads
// the window back from the X server and hashes it. Delay runs on a virtual
// clock, so nothing sleeps. Prints one line per present, "<scene> <n> <hash>",
// then one digest per scene and one of everything.
//
//   zalpomet-pixelhash [SCENE...]   (full, cloud, advance, salvo, raids, page)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "bench/field.hpp"
#include "console/console.hpp"
#include "game/advance.hpp"
#include "game/effects.hpp"
#include "game/enemy_fire.hpp"
#include "game/raids.hpp"
#include "game/state.hpp"
#include "game/status.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "tests/support/xvfb.hpp"

namespace {

Display* Watcher = nullptr;  // our own connection, as a screenshot tool has
FILE* Out = stdout;          // the list; the game's terminal output goes elsewhere
std::string Scene;
std::vector<uint64_t> Frames;  // this scene's hashes

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "zalpomet-pixelhash: %s\n", what.c_str());
  std::exit(1);
}

// FNV-1a over the 24-bit colour of every pixel, row by row.
uint64_t HashWindow() {
  XImage* image = XGetImage(Watcher, DefaultRootWindow(Watcher), 0, 0, MaxX + 1u, MaxY + 1u,
                            AllPlanes, ZPixmap);
  if (image == nullptr) Fail("cannot read the window back");
  uint64_t hash = 1469598103934665603ull;
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFFul;  // no padding byte
      for (int shift = 0; shift < 24; shift += 8) {
        hash = (hash ^ ((pixel >> shift) & 0xFF)) * 1099511628211ull;
      }
    }
  }
  XDestroyImage(image);
  return hash;
}

// The device's own present, then the picture as the server holds it. GL's
// copy reaches the server on the device's connection, so the reading waits
// for GL (a pixel read finishes it) and takes a picture only once two
// readings agree.
void HashingPresent() {
  const bool shown = X11NeedsPresent();
  X11Present();
  if (!shown) return;
  Device.getPixel(0, 0);
  uint64_t hash = HashWindow();
  for (int tries = 0; tries < 20; ++tries) {
    XSync(Watcher, False);
    const uint64_t again = HashWindow();
    if (again == hash) break;
    hash = again;
  }
  Frames.push_back(hash);
  std::fprintf(Out, "%s %zu %016llx\n", Scene.c_str(), Frames.size(),
              static_cast<unsigned long long>(hash));
}

int64_t VirtualNs = 0;
int64_t VirtualNow() { return VirtualNs; }
void VirtualSleepUntil(int64_t deadline) {
  if (deadline > VirtualNs) VirtualNs = deadline;
}

// ---- Battlefields ----------------------------------------------------------

void OpenFreshWindow() {
  CloseGraph();
  GraphDriver = 0;
  GraphMode = 30000;
  InitGraph(GraphDriver, GraphMode, "");
  if (!X11WindowOpen()) Fail("the window did not open");
}

// Objects of the given kinds from x = first, gap apart, with all three
// stocks and hit points no raid can use up; then the turn's picture.
void Field(int16_t playerX, int16_t first, int16_t gap, std::initializer_list<int16_t> kinds) {
  OpenFreshWindow();
  SetUpLevel(playerX, Spread(first, gap, kinds));
  DrawStatusLine();
  DrawAllUnits();
  DrawHealthBars();
  DrawPlayerGun();
  Delay(1);
}

void FullField() {
  Field(40, 130, 58, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 5, 4, 9, 7, 0, 2, 6, 10});
}
constexpr int16_t kLauncher = 10;  // the rocket launcher of the full field

// Random starts over from the seed (it reseeds only when RandSeed changes).
void Reseed(uint32_t seed) {
  RandSeed = seed + 1;
  (void)Random(1);
  RandSeed = seed;
}

// The first seed from 1 on whose first Random(n) exceeds above.
uint32_t SeedAbove(int32_t n, int32_t above) {
  for (uint32_t seed = 1;; ++seed) {
    Reseed(seed);
    if (Random(n) > above) {
      Reseed(seed);
      return seed;
    }
  }
}

// ---- The page of styles, widths, fills and text ------------------------------

void Page() {
  OpenFreshWindow();
  for (uint16_t style = 0; style <= 4; ++style) {
    for (const uint16_t thickness : {uint16_t{1}, uint16_t{3}}) {
      SetLineStyle(style, 0x3A5C, thickness);
      const auto y = static_cast<int16_t>(20 + style * 40 + thickness * 6);
      Line(20, y, 600, y);
      Line(static_cast<int16_t>(620 + style * 40 + thickness * 6), 20, 700, 400);
    }
  }
  SetLineStyle(0, 0, 1);
  Delay(1);
  // One picture per pattern, so that a change shows in its own frame alone.
  Graph.userFill = {0x55, 0xAA, 0x0F, 0xF0, 0x33, 0xCC, 0x81, 0x7E};
  for (uint16_t pattern = 0; pattern <= 12; ++pattern) {
    ClearDevice();
    SetFillStyle(pattern, static_cast<uint16_t>(pattern + 1));
    const auto x = static_cast<int16_t>(20 + pattern * 95);
    Bar(x, 440, static_cast<int16_t>(x + 80), 560);
    SetColor(static_cast<uint16_t>(15 - pattern));
    FillEllipse(static_cast<int16_t>(x + 40), 640, 40, 50);
    Delay(1);
  }
  // Every glyph of the font, a row of 32 in each of the colours 1..8.
  ClearDevice();
  for (int row = 0; row < 8; ++row) {
    std::string text;
    for (int c = 0; c < 32; ++c) text += static_cast<char>(row * 32 + c);
    SetColor(static_cast<uint16_t>(row + 1));
    OutTextXY(20, static_cast<int16_t>(720 + row * 10), text);
  }
  Delay(1);
}

// ---- Scenes ----------------------------------------------------------------

struct SceneRow {
  const char* name;
  std::function<void()> draw;
};

const std::vector<SceneRow>& Scenes() {
  static const std::vector<SceneRow> scenes{
      {"full", FullField},
      {"cloud",
       [] {
         FullField();
         DrawNuclearCloud(640, 500);
       }},
      {"advance",
       [] {
         Field(20, 300, 50, {4, 5, 6, 7, 8, 9, 11, 4, 5, 6, 7, 8, 9, 11, 4, 5, 6, 7, 8, 9});
         Reseed(2026);
         EnemyAdvance();
       }},
      {"salvo",
       [] {
         FullField();
         Reseed(2026);
         const EnemyUnit& launcher = Units[kLauncher];
         RocketSalvo(kLauncher, std::sqrt(launcher.range * 9.8),
                     static_cast<double>(launcher.x - PlayerX));
       }},
      {"raids",
       [] {
         FullField();
         ThreatLevel = 15;
         SeedAbove(40, 20);
         BomberRaid();
         FullField();
         ThreatLevel = 10;
         SeedAbove(6, 2);
         AttackPlaneRaid();
       }},
      {"page", Page},
  };
  return scenes;
}

uint64_t Digest(const std::vector<uint64_t>& hashes) {
  uint64_t digest = 1469598103934665603ull;
  for (const uint64_t h : hashes) digest = (digest ^ h) * 1099511628211ull;
  return digest;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> wanted(argv + 1, argv + argc);
  try {
    xvfb::Server server(1920, 1080);
    server.Export();
    // The game's own terminal output (a raid's report) must not mix with the list.
    const int list = dup(STDOUT_FILENO);
    Out = list >= 0 ? fdopen(list, "w") : nullptr;
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (Out == nullptr || null < 0 || dup2(null, STDOUT_FILENO) < 0) Fail("cannot set the output aside");
    close(null);
    LoadGLLibraries();
    RegisterX11Modes();
    Watcher = xvfb::Connect(server.Display());
    if (Watcher == nullptr) Fail("cannot watch " + server.Display());
    SetPresentHook(HashingPresent);
    DelayClock = VirtualNow;
    DelaySleepUntil = VirtualSleepUntil;

    std::vector<uint64_t> all;
    std::vector<std::string> digests;
    for (const SceneRow& row : Scenes()) {
      bool chosen = wanted.empty();
      for (const std::string& w : wanted) chosen = chosen || w == row.name;
      if (!chosen) continue;
      Scene = row.name;
      Frames.clear();
      row.draw();
      CloseGraph();
      all.insert(all.end(), Frames.begin(), Frames.end());
      char line[96];
      std::snprintf(line, sizeof line, "digest %s %zu %016llx", row.name, Frames.size(),
                    static_cast<unsigned long long>(Digest(Frames)));
      digests.push_back(line);
    }
    for (const std::string& d : digests) std::fprintf(Out, "%s\n", d.c_str());
    std::fprintf(Out, "digest all %zu %016llx\n", all.size(),
                static_cast<unsigned long long>(Digest(all)));
    std::fflush(Out);
    XCloseDisplay(Watcher);
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  return 0;
}
