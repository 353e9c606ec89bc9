// The game as a player gets it. `make run` builds the game and nothing else.
// cmake --install into a temporary prefix puts the program, the levels, the
// launcher, the manual page and the desktop entry where a Debian game keeps
// them, and the launcher started from another directory finds the levels and
// hands back the program's exit status. The Debian package passes lintian.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/command.hpp"
#include "tests/support/pty.hpp"
#include "tests/support/xvfb.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr pty::Millis kWait = 30000ms;

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = (fs::temp_directory_path() / "zalpomet-install-XXXXXX").string();
    prefix_ = new fs::path(mkdtemp(pattern.data()));
    const std::string command = std::string("'") + ZALPOMET_CMAKE + "' --install '" +
                                ZALPOMET_BUILD_DIR + "' --prefix '" + prefix_->string() +
                                "' > '" + (*prefix_ / "install.log").string() + "' 2>&1";
    installStatus_ = std::system(command.c_str());
    fs::create_directory(*prefix_ / "elsewhere");
    server_ = new xvfb::Server(1024, 768);
  }
  static void TearDownTestSuite() {
    delete server_;
    fs::remove_all(*prefix_);
    delete prefix_;
  }
  void SetUp() override {
    ASSERT_EQ(installStatus_, 0) << ReadAll(*prefix_ / "install.log");
  }

  // The launcher under a terminal, started in a directory without levels.
  // Windows keep GL allocations to the end, so the leak check is off for
  // the game as for every windowed test; the other checks stay on.
  static std::unique_ptr<pty::Session> Launch() {
    pty::Options o;
    o.argv = {(*prefix_ / "games" / "zalpomet").string()};
    o.cwd = (*prefix_ / "elsewhere").string();
    o.env = {"DISPLAY=" + server_->Display(),
             "ASAN_OPTIONS=halt_on_error=1:detect_leaks=0:exitcode=86"};
    return std::make_unique<pty::Session>(o);
  }

  static fs::path* prefix_;
  static int installStatus_;
  static xvfb::Server* server_;
};

fs::path* Installed::prefix_ = nullptr;
int Installed::installStatus_ = -1;
xvfb::Server* Installed::server_ = nullptr;

bool Executable(const fs::path& p) { return access(p.c_str(), X_OK) == 0 && fs::is_regular_file(p); }

TEST_F(Installed, FilesWhereADebianGameKeepsThem) {
  const fs::path& p = *prefix_;
  EXPECT_TRUE(Executable(p / "games" / "zalpomet"));
  EXPECT_TRUE(Executable(p / "lib" / "games" / "zalpomet" / "zalpomet"));
  // Every level of the campaign, byte for byte.
  int levels = 0;
  for (int n = 1;; ++n) {
    const fs::path source = fs::path(ZALPOMET_SOURCE_DIR) / "level" / (std::to_string(n) + ".lvl");
    if (!fs::exists(source)) break;
    const fs::path installed = p / "share" / "games" / "zalpomet" / "level" / source.filename();
    ASSERT_TRUE(fs::exists(installed)) << installed;
    EXPECT_EQ(ReadAll(installed), ReadAll(source)) << installed;
    ++levels;
  }
  EXPECT_GE(levels, 12);

  const command::Result man =
      command::Run("gzip -dc " + command::Quote((p / "share" / "man" / "man6" / "zalpomet.6.gz").string()));
  ASSERT_EQ(man.status, 0) << man.output;
  EXPECT_EQ(man.output, ReadAll(fs::path(ZALPOMET_SOURCE_DIR) / "dist" / "zalpomet.6"));

  const std::string desktop = ReadAll(p / "share" / "applications" / "zalpomet.desktop");
  EXPECT_NE(desktop.find("[Desktop Entry]"), std::string::npos);
  EXPECT_NE(desktop.find("\nTerminal=true\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nExec=zalpomet"), std::string::npos);
}

// The campaign starts with level 1, which the launcher found beside the
// program; a letter typed for the shell kind ends the game with 217, and
// the launcher passes that on.
TEST_F(Installed, CampaignFindsItsLevelsAndALetterGives217) {
  auto game = Launch();
  ASSERT_TRUE(game->ReadUntil("Выберите пункт меню", kWait)) << pty::Visible(game->Seen());
  game->Write("1\r");
  ASSERT_TRUE(game->ReadUntil("Выберите пункт меню", kWait)) << pty::Visible(game->Seen());
  game->Write("1\r");
  ASSERT_TRUE(game->ReadUntil("Учения", kWait)) << pty::Visible(game->Seen());
  EXPECT_EQ(game->Seen().find("File not found"), std::string::npos);
  // The key that ends the opening view becomes the first byte of the answer.
  game->Write("q");
  ASSERT_TRUE(game->ReadUntil("Введите тип снаряда", kWait)) << pty::Visible(game->Seen());
  game->Write("\r");
  const pty::ExitStatus status = game->WaitExit(kWait);
  EXPECT_TRUE(status.exited) << status.Describe();
  EXPECT_EQ(status.code, 217);
  EXPECT_NE(game->Seen().find("Invalid input"), std::string::npos) << pty::Visible(game->Seen());
}

// ---- What `make run` builds ----------------------------------------------------

class TempDir {
 public:
  explicit TempDir(const std::string& name) {
    std::string pattern = (fs::temp_directory_path() / (name + "-XXXXXX")).string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The commands ninja would run for a target of a fresh tree, one per line,
// with the tree's and the sources' paths cut out so that only the project's
// own directories show.
std::vector<std::string> BuildCommands(const std::string& tree, const std::string& target) {
  const command::Result listed =
      command::Run("ninja -C " + command::Quote(tree) + " -t commands " + target);
  EXPECT_EQ(listed.status, 0) << listed.output;
  std::vector<std::string> commands;
  std::istringstream lines(listed.output);
  for (std::string line; std::getline(lines, line);) {
    for (const std::string& root : {std::string(ZALPOMET_SOURCE_DIR) + "/", tree + "/"}) {
      for (size_t at; (at = line.find(root)) != std::string::npos;) line.erase(at, root.size());
    }
    commands.push_back(line);
  }
  return commands;
}

bool Mentions(const std::vector<std::string>& commands, const std::string& directory) {
  for (const std::string& c : commands) {
    if (c.find(directory) != std::string::npos) return true;
  }
  return false;
}

// A first `make run` waits for every program it builds: it builds the game
// alone, while a plain build (what `make check` runs) still builds the tests.
TEST(MakeRun, BuildsTheGameAndNoTestProgram) {
  TempDir tree("zalpomet-fresh");
  const command::Result recipe = command::Run("make -n --no-print-directory -C " +
                                              command::Quote(ZALPOMET_SOURCE_DIR) +
                                              " run BUILD=" + command::Quote(tree.Path()));
  ASSERT_EQ(recipe.status, 0) << recipe.output;
  std::vector<std::string> builds;
  std::istringstream lines(recipe.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("cmake --build") != std::string::npos) builds.push_back(line);
  }
  ASSERT_EQ(builds.size(), 1u) << recipe.output;
  const size_t target = builds[0].find("--target ");
  ASSERT_NE(target, std::string::npos) << builds[0];
  const std::string name = builds[0].substr(target + 9, builds[0].find(' ', target + 9) - target - 9);
  EXPECT_EQ(name, "zalpomet");

  const command::Result configured = command::Run(
      command::Quote(ZALPOMET_CMAKE) + " -S " + command::Quote(ZALPOMET_SOURCE_DIR) + " -B " +
      command::Quote(tree.Path()) + " -G Ninja");
  ASSERT_EQ(configured.status, 0) << configured.output;
  const std::vector<std::string> play = BuildCommands(tree.Path(), name);
  ASSERT_FALSE(play.empty());
  EXPECT_NE(play.back().find("-o zalpomet "), std::string::npos) << play.back();
  for (const char* other : {"tests/", "bench/", "fuzz/", "tools/"}) {
    EXPECT_FALSE(Mentions(play, other)) << other;
  }
  EXPECT_TRUE(Mentions(BuildCommands(tree.Path(), "all"), "tests/"));
}

// ---- The Debian package ----------------------------------------------------------

// CPack builds the package from this tree; Debian's own check finds neither
// an error nor a warning, and the libraries the game opens at run time (which
// dpkg-shlibdeps cannot see) are among its dependencies.
TEST(Package, PassesLintian) {
  TempDir out("zalpomet-package");
  const command::Result packed = command::Run(
      "cpack --config " + command::Quote(std::string(ZALPOMET_BUILD_DIR) + "/CPackConfig.cmake") +
      " -B " + command::Quote(out.Path()));
  ASSERT_EQ(packed.status, 0) << packed.output;
  std::string deb;
  for (const auto& entry : fs::directory_iterator(out.Path())) {
    if (entry.path().extension() == ".deb") deb = entry.path().string();
  }
  ASSERT_FALSE(deb.empty()) << packed.output;

  const command::Result depends = command::Run("dpkg-deb -f " + command::Quote(deb) + " Depends");
  ASSERT_EQ(depends.status, 0) << depends.output;
  for (const char* library : {"libc6", "libx11-6", "libgl1,", "libglu1-mesa", "libgl1-mesa-dri"}) {
    EXPECT_NE(depends.output.find(library), std::string::npos) << library << " in " << depends.output;
  }

  const command::Result lintian = command::Run("lintian --fail-on error,warning " + command::Quote(deb));
  EXPECT_NE(lintian.status, 127) << "lintian is missing: scripts/install-deps.sh installs it";
  EXPECT_EQ(lintian.status, 0) << lintian.output;
  // Every finding is a line "E: ..." or "W: ...".
  EXPECT_EQ(("\n" + lintian.output).find("\nE: "), std::string::npos) << lintian.output;
  EXPECT_EQ(("\n" + lintian.output).find("\nW: "), std::string::npos) << lintian.output;
}

}  // namespace
