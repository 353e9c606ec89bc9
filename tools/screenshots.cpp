// zalpomet-screenshots <directory> [campaign|nuclear|raid ...]: plays the
// real game under a private Xvfb and saves four pictures of its 800x600
// window there as PNG: the opening view of a campaign level, a shell in
// flight, the nuclear cloud and an air raid. `make screenshots` runs it for
// docs/screenshots/.
//
// The same run gives the same pictures. The clock starts at a fixed instant
// (libfaketime), so every Randomize gives the same seed and the battles
// unfold alike; it runs at a tenth of real speed, which makes each of the
// game's sleeps ten times longer, so that the frame wanted can be recognised
// on the screen and the game stopped (SIGSTOP) while it is read back.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/picture.hpp"
#include "tests/support/pty.hpp"
#include "tests/support/xvfb.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A 1024x768 screen gets the 800x600 window at the top left of the screen.
constexpr int kScreenW = 1024, kScreenH = 768;
constexpr int kWindowW = 800, kWindowH = 600;
constexpr pty::Millis kWait = 60000ms;

constexpr int kCampaignLevel = 9;
constexpr int kNuclearLevel = 50;
constexpr int kRaidLevel = 51;

// A tank under the burst, a hut and a house just beyond its 250 pixels, and
// the nuclear shell the only one: the level is lost with the last shell, and
// the restart question keeps the window, the cloud and the fire on screen.
constexpr char kNuclearLevelText[] =
    "3\n40\n0 0 1\n2000\n"
    "230 1\n520 5\n760 2\n"
    "Picture: the nuclear cloud.\n";

// Three spotter trucks within 800 pixels deploy after the first enemy turn
// and each then raises the threat by one per turn, to 10 and more from the
// third turn on, when the attack plane may come; the gun's hit points and
// shots that fly over everything keep the level going until it does.
constexpr char kRaidLevelText[] =
    "4\n40\n12 0 0\n30000\n"
    "200 11\n400 11\n600 11\n740 2\n"
    "Picture: an air raid.\n";

// Thrown, so that the games and the X server are ended on the way out.
[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path.string());
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool White(shot::Rgb p) { return p.r > 200 && p.g > 200 && p.b > 200; }

int WhitePixels(const shot::Image& image) {
  int n = 0;
  for (const shot::Rgb& p : image.pixels) n += White(p) ? 1 : 0;
  return n;
}

class Game {
 public:
  Game(const xvfb::Server& server, const fs::path& dir) : display_(server.Display()), screen_(display_) {
    pty::Options o;
    o.argv = {ZALPOMET_BINARY};
    o.cwd = dir.string();
    o.env = {"DISPLAY=" + display_, "LD_PRELOAD=" ZALPOMET_FAKETIME,
             "FAKETIME=@2026-01-01 00:00:00 x0.1", "FAKETIME_DONT_FAKE_MONOTONIC=1", "TZ=UTC"};
    session_ = std::make_unique<pty::Session>(o);
    Expect("Выберите пункт меню");
  }

  void Expect(std::string_view text, pty::Millis timeout = kWait) {
    if (!session_->ReadUntil(text, timeout)) {
      Fail("the game did not show \"" + std::string(text) + "\"; it wrote:\n" +
           pty::Visible(session_->Seen()));
    }
  }
  // Whether the text has come, after a short look at the terminal.
  bool Shows(std::string_view text) { return session_->ReadUntil(text, 5ms).found; }
  void Type(std::string_view keys) { session_->Write(keys); }

  // The single level n up to its opening view. The game waits for a key
  // there, so the picture is read back once it has stopped changing.
  shot::Image OpenLevel(int n) {
    Type("1\r");
    Expect("Выберите тип игры");
    Type("2\r");
    Expect("Введите номер уровня");
    Type(std::to_string(n) + "\r");
    return Still();
  }

  // One turn's answers; the key that ends the opening view may be the first.
  void Fire(int kind, int speed, int angle) {
    Type(std::to_string(kind) + "\r");
    Expect("Введите скорость и угол броска");
    Type(std::to_string(speed) + " " + std::to_string(angle) + "\r");
  }

  shot::Image Area(int x, int y, int w, int h) const { return screen_.Grab(x, y, w, h); }

  // The window once two readings 200 ms apart agree and something is drawn.
  shot::Image Still() const {
    const auto end = std::chrono::steady_clock::now() + kWait;
    shot::Image last = Area(0, 0, kWindowW, kWindowH);
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(200ms);
      shot::Image now = Area(0, 0, kWindowW, kWindowH);
      if (now.pixels == last.pixels && WhitePixels(now) > 100) return now;
      last = std::move(now);
    }
    Fail("the window did not settle");
  }

  // Polls a small part of the screen until seen() holds, then stops the game
  // and reads the window back: the picture is the frame that passed the test.
  // An empty picture when giveUp() says the moment will not come.
  shot::Image Frame(const std::function<bool()>& seen, const std::function<bool()>& giveUp) {
    const auto end = std::chrono::steady_clock::now() + kWait;
    while (std::chrono::steady_clock::now() < end) {
      if (seen()) {
        session_->Signal(SIGSTOP);
        if (!session_->WaitStopped()) Fail("the game did not stop");
        const bool still = seen();  // or did the game move on before it stopped?
        shot::Image picture = Area(0, 0, kWindowW, kWindowH);
        session_->Signal(SIGCONT);
        if (still) return picture;
      }
      if (giveUp()) return {};
    }
    Fail("the frame wanted did not come; the game wrote:\n" + pty::Visible(session_->Seen()));
  }

 private:
  std::string display_;
  shot::Screen screen_;
  std::unique_ptr<pty::Session> session_;
};

// The shell's circle of radius 3 drawn around (x, y), in the sky where
// nothing else is drawn: white pixels on its rim.
bool CircleAt(const Game& game, int x, int y) { return WhitePixels(game.Area(x - 4, y - 4, 9, 9)) >= 8; }

void Save(const shot::Image& picture, const fs::path& out, const std::string& name) {
  shot::SavePng(picture, (out / name).string());
  std::printf("%s\n", (out / name).string().c_str());
}

void CampaignLevelAndShellInFlight(const xvfb::Server& server, const fs::path& dir, const fs::path& out) {
  Game game(server, dir);
  Save(game.OpenLevel(kCampaignLevel), out, "opening-view.png");

  // Speed 40 at 60 degrees: vx 20, vy 35 from the gun at x 50. The circle
  // shown for step t stands at (50 + 20t, 500 - 35t + t*t); step 12 is
  // near the top of the arc.
  game.Fire(1, 40, 60);
  const int t = 12;
  const shot::Image picture = game.Frame([&] { return CircleAt(game, 50 + 20 * t, 500 - 35 * t + t * t); },
                                         [] { return false; });
  Save(picture, out, "shell-in-flight.png");
}

void NuclearCloud(const xvfb::Server& server, const fs::path& dir, const fs::path& out) {
  Game game(server, dir);
  game.OpenLevel(kNuclearLevel);
  // Speed 30 at 45 degrees comes down 462 pixels from the gun, at x 502.
  game.Fire(3, 30, 45);
  game.Expect("Вы проиграли. Начать уровень заново? (Y/N)");
  Save(game.Still(), out, "nuclear-cloud.png");
}

void AirRaid(const xvfb::Server& server, const fs::path& dir, const fs::path& out) {
  Game game(server, dir);
  game.OpenLevel(kRaidLevel);
  // The attack plane comes in from the right, its nose (40 pixels left of its
  // x, at y 45) its leftmost point; the picture is the one frame with the
  // nose at x 555 to 564, where the plane moves 5 or 10 pixels a frame.
  const auto noseNear560 = [&game] {
    const shot::Image band = game.Area(540, 38, 40, 10);
    for (int x = 0; x < band.width; ++x)
      for (int y = 0; y < band.height; ++y)
        if (White(band.At(x, y))) return x >= 15 && x < 25;
    return false;
  };
  for (int turn = 1; turn <= 10; ++turn) {
    // Over the field into x 1096, out of sight: nothing hit, nothing won.
    game.Fire(1, 45, 45);
    bool turnOver = false;
    const shot::Image picture = game.Frame(noseNear560, [&] { return turnOver = game.Shows("Введите тип снаряда"); });
    if (!turnOver) {
      Save(picture, out, "air-raid.png");
      return;
    }
  }
  Fail("no frame of an air raid caught in ten turns");
}

void TakePictures(const fs::path& out, const std::vector<std::string>& wanted, const fs::path& dir) {
  fs::create_directories(out);
  if (!fs::exists(ZALPOMET_FAKETIME)) Fail("libfaketime is missing (package faketime)");
  fs::create_directory(dir / "level");
  const std::string campaign = std::to_string(kCampaignLevel) + ".lvl";
  std::ofstream(dir / "level" / campaign, std::ios::binary)
      << ReadFile(fs::path(ZALPOMET_SOURCE_DIR) / "level" / campaign);
  std::ofstream(dir / "level" / (std::to_string(kNuclearLevel) + ".lvl")) << kNuclearLevelText;
  std::ofstream(dir / "level" / (std::to_string(kRaidLevel) + ".lvl")) << kRaidLevelText;

  // Each scene is a game of its own; naming some takes only those.
  const struct {
    const char* name;
    void (*take)(const xvfb::Server&, const fs::path&, const fs::path&);
  } scenes[] = {{"campaign", CampaignLevelAndShellInFlight}, {"nuclear", NuclearCloud}, {"raid", AirRaid}};
  xvfb::Server server(kScreenW, kScreenH);
  for (const auto& scene : scenes) {
    if (wanted.empty() || std::find(wanted.begin(), wanted.end(), scene.name) != wanted.end())
      scene.take(server, dir, out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zalpomet-screenshots <directory> [campaign|nuclear|raid ...]\n");
    return 2;
  }
  std::string pattern = (fs::temp_directory_path() / "zalpomet-screenshots-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("zalpomet-screenshots: working directory");
    return 1;
  }
  int status = 0;
  try {
    TakePictures(fs::absolute(argv[1]), std::vector<std::string>(argv + 2, argv + argc), pattern);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zalpomet-screenshots: %s\n", e.what());
    status = 1;
  }
  fs::remove_all(pattern);
  return status;
}
