// Level files on real files in a fresh temporary directory: the numbers and
// what the level start derives from them, the briefing as the terminal gets
// it, the refusals (status 217 with the file's name and cause), control bytes
// kept off the terminal, and bounded cost for absurd tokens and lines.
#include "game/level_file.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "game/state.hpp"

namespace fs = std::filesystem;

namespace {

// What the child saw after LoadLevel, handed back through shared memory.
struct Snapshot {
  bool done;
  int16_t unitCount, playerX, ammoHE, ammoAP, ammoNuclear, playerMaxHealth, playerHealth;
  int16_t shellKind, spotterMode, splashRadius, splashDamage;
  std::array<EnemyUnit, MaxUnits + 1> units;
  // The six numbers at the head of a file, and the health the gun starts with.
  std::array<int, 7> Head() const {
    return {unitCount, playerX, ammoHE, ammoAP, ammoNuclear, playerMaxHealth, playerHealth};
  }
  // x, kind and starting health of object i.
  std::array<int, 3> Object(int i) const {
    const EnemyUnit& u = units[static_cast<size_t>(i)];
    return {u.x, u.kind, u.health};
  }
};

struct LoadRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out, err;
  Snapshot snap{};
};

void Redirect(int fd, const char* path, int flags) {
  const int f = open(path, flags, 0644);
  if (f < 0 || dup2(f, fd) < 0) _exit(90);
  close(f);
}

// Caps the child's address space a fixed amount above what it uses now, so
// a reader that kept a whole huge line or token in memory would fail.
void LimitMemory(long headroomMb) {
#if defined(__SANITIZE_ADDRESS__)
  (void)headroomMb;  // the sanitiser's shadow memory makes an address-space cap meaningless
#else
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key) {
    if (key == "VmSize:") {
      status >> kb;
      break;
    }
  }
  if (kb <= 0) _exit(91);
  const rlim_t bytes = static_cast<rlim_t>(kb + headroomMb * 1024) * 1024;
  const rlimit lim{bytes, bytes};
  if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(92);
#endif
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs LoadLevel for the level in a child whose standard output is a file,
// so the console writes the briefing as plain bytes.
LoadRun RunLoad(int16_t level, long memoryHeadroomMb = 0) {
  void* mem = mmap(nullptr, sizeof(Snapshot), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  EXPECT_NE(mem, MAP_FAILED);
  auto* snap = new (mem) Snapshot{};
  const pid_t pid = fork();
  if (pid == 0) {
    Redirect(0, "/dev/null", O_RDONLY);
    Redirect(1, "out.txt", O_WRONLY | O_CREAT | O_TRUNC);
    Redirect(2, "err.txt", O_WRONLY | O_CREAT | O_TRUNC);
    if (memoryHeadroomMb > 0) LimitMemory(memoryHeadroomMb);
    LevelNumber = level;
    ConsoleInit();
    LoadLevel();
    *snap = {true,         UnitCount, PlayerX,     AmmoHE,       AmmoAP,       AmmoNuclear,
             PlayerMaxHealth, PlayerHealth, ShellKind, SpotterMode, SplashRadius, SplashDamage,
             Units};
    ConsoleRestore();
    _exit(0);
  }
  LoadRun r;
  int ws = 0;
  waitpid(pid, &ws, 0);
  r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
  r.out = Slurp("out.txt");
  r.err = Slurp("err.txt");
  r.snap = *snap;
  munmap(mem, sizeof(Snapshot));
  return r;
}

// The bytes of the briefing without line ends: the console may wrap a long
// line at the screen width however it likes, but must send every byte once
// and in order.
std::string WithoutLineEnds(const std::string& out) {
  std::string text;
  for (char c : out)
    if (c != '\n' && c != '\r') text.push_back(c);
  return text;
}

class LevelFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::current_path();
    char tmpl[] = "/tmp/zalpomet-level-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    fs::current_path(dir_);
    fs::create_directory("level");
    Units = {};
    UnitCount = 0;
  }
  void TearDown() override {
    fs::current_path(home_);
    std::error_code ec;
    fs::permissions(dir_ / "level", fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  static void WriteLevel(int n, const std::string& content) {
    std::ofstream f("level/" + std::to_string(n) + ".lvl", std::ios::binary);
    f << content;
  }

  fs::path home_, dir_;
};

// ---- file names -------------------------------------------------------------

TEST(LevelFileName, DecimalWithSignNoLeadingZeros) {
  struct Case { int16_t n; const char* name; };
  const Case cases[] = {{1, "./level/1.lvl"},         {12, "./level/12.lvl"},
                        {0, "./level/0.lvl"},         {-7, "./level/-7.lvl"},
                        {32767, "./level/32767.lvl"}, {-32768, "./level/-32768.lvl"}};
  for (const Case& c : cases) EXPECT_EQ(LevelFileName(c.n), c.name);
}

// ---- numbers ----------------------------------------------------------------

TEST_F(LevelFileTest, WorkedExample) {
  WriteLevel(1, "2\n40\n10 5 1\n1000\n300 5\n600 2\nany line of text\n");
  // Leftovers a level start must overwrite.
  Units[1].destroyed = 1;
  Units[2].health = 7;
  ShellKind = 3;
  SpotterMode = 2;
  const LoadRun r = RunLoad(1);
  ASSERT_EQ(r.status, 0) << r.err;
  const Snapshot& s = r.snap;
  ASSERT_TRUE(s.done);
  EXPECT_EQ(s.Head(), (std::array{2, 40, 10, 5, 1, 1000, 1000}));
  EXPECT_EQ(s.Object(1), (std::array{300, 5, 1200}));
  EXPECT_EQ(s.Object(2), (std::array{600, 2, 1500}));
  EXPECT_EQ(s.units[1].maxHealth, 1200);
  EXPECT_EQ(s.units[1].destroyed, 0);
  EXPECT_EQ((std::array{s.shellKind, s.spotterMode, s.splashRadius, s.splashDamage}),
            (std::array<int16_t, 4>{1, 1, 60, 1}));
  EXPECT_EQ(r.out, "\nany line of text\n");
}

TEST_F(LevelFileTest, LayoutOfTheNumbersDoesNotMatter) {
  const std::string layouts[] = {
      "3 50 4 3 2 900 200 0 400 8 700 11\n",
      "3\n50\n4\n3\n2\n900\n200\n0\n400\n8\n700\n11\n",
      "\t3\r\n 50  4\x01" "3\x1f" "2 900\n\n\n200 0 400 8 700\v11\n",
  };
  for (const std::string& text : layouts) {
    WriteLevel(2, text);
    const LoadRun r = RunLoad(2);
    ASSERT_EQ(r.status, 0) << r.err;
    const Snapshot& s = r.snap;
    EXPECT_EQ(s.Head(), (std::array{3, 50, 4, 3, 2, 900, 900}));
    EXPECT_EQ(s.Object(1), (std::array{200, 0, 100}));
    EXPECT_EQ(s.Object(2), (std::array{400, 8, 150}));
    EXPECT_EQ(s.Object(3), (std::array{700, 11, 500}));
    EXPECT_EQ(r.out, "\n");
  }
}

TEST_F(LevelFileTest, NumbersKeepTheirLow16Bits) {
  WriteLevel(3, "1 70000 -1 65536 -65537 9223372036854775807 -9223372036854775808 12\n");
  const LoadRun r = RunLoad(3);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.snap.Head(), (std::array{1, 4464, -1, 0, -1, -1, -1}));
  // Kind 12 is outside the catalogue: it keeps the full health its entry held.
  EXPECT_EQ(r.snap.Object(1), (std::array{0, 12, 0}));
}

TEST_F(LevelFileTest, MissingNumbersAreZeroAndTheBriefingOneEmptyLine) {
  WriteLevel(4, "3 100 5");
  for (int i = 1; i <= 3; ++i) Units[i] = {.x = 999, .kind = 7, .maxHealth = 3};
  const LoadRun r = RunLoad(4);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.snap.Head(), (std::array{3, 100, 5, 0, 0, 0, 0}));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(r.snap.Object(i), (std::array{0, 0, 100})) << i;
  EXPECT_EQ(r.out, "\n");
}

TEST_F(LevelFileTest, CountOfZeroOrLessReadsNoPairs) {
  WriteLevel(5, "-2 40 1 2 3 800 300 5\nsecond\n");
  Units[1] = {.x = 11, .kind = 4};
  const LoadRun r = RunLoad(5);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.snap.unitCount, -2);
  EXPECT_EQ(r.snap.units[1].x, 11);
  EXPECT_EQ(r.snap.units[1].kind, 4);
  EXPECT_EQ(r.out, " 300 5\nsecond\n");  // what would have been pairs is briefing
}

TEST_F(LevelFileTest, TwentyObjectsAreTheLimit) {
  std::string text = "20 10 1 0 0 100";
  for (int i = 1; i <= 20; ++i) text += " " + std::to_string(100 + 40 * i) + " 1";
  WriteLevel(6, text + "\nok\n");
  const LoadRun ok = RunLoad(6);
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.snap.units[20].x, 900);
  EXPECT_EQ(ok.snap.units[20].health, 450);
  EXPECT_EQ(ok.out, "\nok\n");

  WriteLevel(7, "21 " + text.substr(3) + " 950 1\nbriefing\n");
  const LoadRun refused = RunLoad(7);
  EXPECT_EQ(refused.status, 217);
  EXPECT_NE(refused.err.find("./level/7.lvl"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("21"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out, "");  // refused before any briefing
  EXPECT_FALSE(refused.snap.done);
}

TEST_F(LevelFileTest, BadTokensEndTheProgram) {
  const char* bad[] = {"2 40 abc 5 1 100", "2 40 1.5", "2 40 --3", "2 40 7-", "2 40 10 5 1 1e3"};
  for (const char* text : bad) {
    WriteLevel(8, text);
    const LoadRun r = RunLoad(8);
    EXPECT_EQ(r.status, 217) << text;
    EXPECT_NE(r.err.find("./level/8.lvl: Invalid input"), std::string::npos) << text << ": " << r.err;
    EXPECT_FALSE(r.snap.done) << text;
  }
}

// ---- files that cannot be read ---------------------------------------------

void LoadQuietly(int16_t level) {
  const int nul = open("/dev/null", O_RDWR);
  dup2(nul, 0);
  dup2(nul, 1);
  LevelNumber = level;
  ConsoleInit();
  LoadLevel();
}

TEST_F(LevelFileTest, MissingFileOrDirectory) {
  EXPECT_EXIT(LoadQuietly(9), ::testing::ExitedWithCode(217), "\\./level/9\\.lvl: File not found");
  EXPECT_EXIT(LoadQuietly(-3), ::testing::ExitedWithCode(217), "\\./level/-3\\.lvl: File not found");
  fs::remove("level");
  EXPECT_EXIT(LoadQuietly(1), ::testing::ExitedWithCode(217), "\\./level/1\\.lvl: File not found");
}

TEST_F(LevelFileTest, OtherCausesAreNamed) {
  fs::create_directory("level/2.lvl");
  EXPECT_EXIT(LoadQuietly(2), ::testing::ExitedWithCode(217), "\\./level/2\\.lvl: Is a directory");
  // A FIFO would block a plain open until someone writes to it.
  ASSERT_EQ(mkfifo("level/3.lvl", 0644), 0);
  EXPECT_EXIT(LoadQuietly(3), ::testing::ExitedWithCode(217), "\\./level/3\\.lvl: Not a regular file");
  WriteLevel(4, "1 2 3 4 5 6 7 8\n");
  fs::permissions("level/4.lvl", fs::perms::none);
  if (geteuid() != 0) {  // root reads it anyway
    EXPECT_EXIT(LoadQuietly(4), ::testing::ExitedWithCode(217), "\\./level/4\\.lvl: Permission denied");
  }
  // A file where the directory should be.
  fs::remove_all("level");
  std::ofstream("level") << "x";
  EXPECT_EXIT(LoadQuietly(1), ::testing::ExitedWithCode(217), "\\./level/1\\.lvl: File not found");
}

// ---- the briefing ------------------------------------------------------------

constexpr const char* Head = "1 10 1 0 0 100 500 3";

TEST_F(LevelFileTest, BriefingLines) {
  struct Case { std::string file, out; };
  const Case cases[] = {
      {std::string(Head), "\n"},                                   // no final line end
      {std::string(Head) + "\n", "\n"},
      {std::string(Head) + "   with blanks\nnext\n", "   with blanks\nnext\n"},
      {std::string(Head) + "\r\nline one\r\nline two\r\n", "\nline one\nline two\n"},
      {std::string(Head) + "\nkept\rdropped to LF\nlast", "\nkept\nlast\n"},
      {std::string(Head) + "\n\nmiddle\n\n", "\n\nmiddle\n\n"},    // one empty line at the end
      {std::string(Head) + "\nПривет, командир! Цель — дом.\n", "\nПривет, командир! Цель — дом.\n"},
  };
  for (const Case& c : cases) {
    WriteLevel(10, c.file);
    const LoadRun r = RunLoad(10);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out) << c.file;
  }
}

TEST_F(LevelFileTest, LongLinesAreCutAt255Bytes) {
  std::string digits;
  for (int i = 0; i < 30; ++i) digits += "0123456789";  // 300 bytes
  std::string cyrillic;
  for (int i = 0; i < 150; ++i) cyrillic += "П";  // D0 9F, 300 bytes
  WriteLevel(11, std::string(Head) + "\n" + digits + "\n" + cyrillic + "\nend\n");
  const LoadRun r = RunLoad(11);
  ASSERT_EQ(r.status, 0) << r.err;
  // The cyrillic line keeps 127 whole letters and the first byte of the
  // 128th: a byte cut.
  EXPECT_EQ(WithoutLineEnds(r.out), digits.substr(0, 255) + cyrillic.substr(0, 255) + "end");
  EXPECT_EQ(cyrillic[254], '\xd0');
  EXPECT_TRUE(r.out.starts_with("\n")) << "first line not empty";
  EXPECT_TRUE(r.out.ends_with("\nend\n")) << "last line not alone";
}

TEST_F(LevelFileTest, ControlBytesNeverReachTheTerminal) {
  const std::string hostile =
      "\x1b]0;owned\x07 \x1b[2J\x1b[31mred \x9b" "1m \xc2\x9b" "2J \x1bP+q\x1b\\ bell\x07 nul";
  WriteLevel(12, std::string(Head) + "\n" + hostile + std::string(1, '\0') + "\x7f end\n");
  const LoadRun r = RunLoad(12);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\n?]0;owned? ?[2J?[31mred ?1m ?2J ?P+q?\\ bell? nul?? end\n");
}

// ---- bounded cost ------------------------------------------------------------

TEST_F(LevelFileTest, HugeTokenIsRefusedWithBoundedMemory) {
  {
    std::ofstream f("level/13.lvl", std::ios::binary);
    f << "2 ";
    f << std::string(32u << 20, '7');  // 32 MB of digits
    f << " 1 1 1 100\n";
  }
  const LoadRun r = RunLoad(13, 16);
  EXPECT_EQ(r.status, 217) << r.err;
  EXPECT_NE(r.err.find("./level/13.lvl: Invalid input"), std::string::npos) << r.err;

  // 255 bytes is still a token; leading zeros keep it a small number.
  WriteLevel(14, "1 " + std::string(253, '0') + "42 0 0 0 100 300 1\n");
  const LoadRun ok = RunLoad(14);
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.snap.playerX, 42);
  WriteLevel(16, "1 " + std::string(254, '0') + "42 0 0 0 100 300 1\n");
  const LoadRun over = RunLoad(16);
  EXPECT_EQ(over.status, 217);
  EXPECT_NE(over.err.find("./level/16.lvl: Invalid input"), std::string::npos) << over.err;
}

TEST_F(LevelFileTest, MultiMegabyteLineCostsBoundedMemory) {
  {
    std::ofstream f("level/15.lvl", std::ios::binary);
    f << Head << "\n";
    std::string chunk(1u << 20, 'x');
    for (int i = 0; i < 32; ++i) f << chunk;  // one line of 32 MB
    f << "\nend\n";
  }
  const LoadRun r = RunLoad(15, 16);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(WithoutLineEnds(r.out), std::string(255, 'x') + "end");
  EXPECT_TRUE(r.out.ends_with("\nend\n"));
}

// ---- the sanitiser on its own -------------------------------------------------

TEST(SanitiseBriefing, ControlsBecomeQuestionMarksTextPasses) {
  struct Case { std::string in, out; };
  const Case cases[] = {
      {"", ""},
      {"plain text 123", "plain text 123"},
      {"a\tb", "a\tb"},                                  // tab stays for the console
      {std::string("\0\x01\x1f\x7f", 4), "????"},       // C0 and DEL
      {"\x1b[2J", "?[2J"},
      {"\xc2\x80|\xc2\x9b|\xc2\x9f|\xc2\xa0", "?|?|?|\xc2\xa0"},  // C1 as UTF-8; NBSP is text
      {"\x80|\x9b|\x9f|\xa0|\xff", "?|?|?|\xa0|\xff"},   // stray bytes: only 80..9F
      {"Привет П р", "Привет П р"},                      // D0 9F and D1 80 are letters
      {"€ 😀", "€ 😀"},
      {"\xe2\x82", "\xe2?"},                             // a cut three-byte character
      {"\xc0\x80", "\xc0?"},                             // overlong encoding
      {"\xed\xa0\x80", "\xed\xa0?"},                     // surrogate
      {"\xe0\x9f\x80", "\xe0??"},                        // overlong three-byte form
      {"\xf4\x90\x80\x80", "\xf4???"},                   // beyond U+10FFFF
  };
  for (const Case& c : cases) EXPECT_EQ(SanitiseBriefing(c.in), c.out) << c.in;
}

}  // namespace
