// Random against independently known MT19937 outputs, reseeding, Randomize
// through its clock seam, and the pace Delay keeps on a fake monotonic clock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "tests/support/recording.hpp"

namespace {

// First outputs of MT19937 with the standard seeding, from the reference
// implementation (5489 is the reference's default seed).
constexpr uint32_t kSeed5489[] = {3499211612u, 581869302u, 3890346734u};
constexpr uint32_t kSeed0[] = {2357136044u, 2546248239u, 3071714933u};

int32_t Scaled(uint32_t u, int32_t n) {
  return static_cast<int32_t>((static_cast<int64_t>(u) * n) >> 32);
}

TEST(Random, ZeroAndOneGiveZero) {
  RandSeed = 5489;
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(Random(0), 0);
    EXPECT_EQ(Random(1), 0);
    EXPECT_EQ(Random(-1), 0);  // -1 + 1 = 0
  }
}

TEST(Random, ReseedsWheneverTheSeedChanges) {
  RandSeed = 0;
  Random(1);  // may or may not reseed; then a change must
  RandSeed = 5489;
  EXPECT_EQ(Random(2147483647), Scaled(kSeed5489[0], 2147483647));
  RandSeed = 0;
  EXPECT_EQ(Random(1000), Scaled(kSeed0[0], 1000));
  EXPECT_EQ(Random(1000), Scaled(kSeed0[1], 1000));
  RandSeed = 5489;
  EXPECT_EQ(Random(1000), Scaled(kSeed5489[0], 1000));
  // The same seed set again is no change: the sequence goes on.
  RandSeed = 5489;
  EXPECT_EQ(Random(1000), Scaled(kSeed5489[1], 1000));
}

TEST(Random, NegativeRangeUsesNPlusOne) {
  RandSeed = 0;
  Random(1);
  RandSeed = 5489;
  // n = -5 draws with -4, and the shift floors: u / 2^32 = 0.8147 gives
  // floor(-3.259) = -4, then 0.1355 gives floor(-0.542) = -1.
  EXPECT_EQ(Random(-5), -4);
  EXPECT_EQ(Random(-5), -1);
  // Positive n for the third draw: 0.9058 * 100 = 90.58.
  EXPECT_EQ(Random(100), 90);
}

int64_t FixedClock() { return 0x1'2345'6789LL; }

TEST(Randomize, TakesTheLow32BitsOfTheClock) {
  ClockSeconds = FixedClock;
  RandSeed = 0;
  Randomize();
  EXPECT_EQ(RandSeed, 0x2345'6789u);
  ClockSeconds = nullptr;
}

// ---- Delay's pace, on a fake monotonic clock -----------------------------------

constexpr int64_t kMs = 1'000'000;

// The fake clock moves when the test "draws" and when Delay sleeps; each
// sleep asked of the kernel is recorded in milliseconds.
int64_t FakeNow = 0;
std::vector<int64_t> Asked;
int Presents = 0;
int64_t PresentMs = 0;  // how long each present takes
int64_t LateMs = 0;     // how late the next sleep wakes up

int64_t FakeClock() { return FakeNow; }
void FakeSleepUntil(int64_t deadline) {
  Asked.push_back((deadline - FakeNow) / kMs);
  FakeNow = std::max(FakeNow, deadline) + LateMs * kMs;
  LateMs = 0;
}
void FakePresent() {
  ++Presents;
  FakeNow += PresentMs * kMs;
}

class Pace : public ::testing::Test {
 protected:
  void SetUp() override {
    DelayClock = FakeClock;
    DelaySleepUntil = FakeSleepUntil;
    SetPresentHook(FakePresent);
    FakeNow = 1000 * kMs;
    Presents = 0;
    PresentMs = 0;
    LateMs = 0;
    RestartPace();
    Asked.clear();
  }
  void TearDown() override {
    SetPresentHook(nullptr);
    DelayClock = MonotonicNanoseconds;
    DelaySleepUntil = SleepUntilNanoseconds;
  }
  // Draws for drawMs, then Delay(ms); the sleep it asked for, 0 for none.
  static int64_t Frame(int64_t drawMs, uint16_t ms) {
    FakeNow += drawMs * kMs;
    const size_t before = Asked.size();
    Delay(ms);
    if (Asked.size() == before) return 0;
    EXPECT_EQ(Asked.size(), before + 1);
    return Asked.back();
  }
};

TEST_F(Pace, DrawingAndPresentingCountAgainstTheWait) {
  PresentMs = 1;  // with 1 ms of drawing, 2 ms of each 5 ms frame are spent
  std::vector<int64_t> slept;
  for (int i = 0; i < 10; ++i) slept.push_back(Frame(1, 5));
  EXPECT_EQ(slept, (std::vector<int64_t>{5, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
  EXPECT_EQ(Presents, 10);
  // Delay(0) returns at once: nothing presented, nothing slept, and the
  // pace of the frames around it is kept.
  EXPECT_EQ(Frame(0, 0), 0);
  EXPECT_EQ(Presents, 10);
  EXPECT_EQ(Frame(1, 5), 3);
  EXPECT_EQ(Frame(1, 65535), 65533);  // the longest delay, in nanoseconds, in 64 bits
}

TEST_F(Pace, ALongFrameIsNotMadeUpLater) {
  EXPECT_EQ(Frame(0, 5), 5);
  EXPECT_EQ(Frame(7, 5), 0);  // drawing took longer than the delay
  EXPECT_EQ(Frame(2, 5), 3);  // counts from the end of the long frame
  EXPECT_EQ(Frame(2, 5), 3);
  // Exactly the delay's time of drawing: nothing left to sleep.
  EXPECT_EQ(Frame(5, 5), 0);
  EXPECT_EQ(Frame(4, 10), 6);
  // Nor is a sleep that woke up late: the next frame counts from its end.
  LateMs = 1;
  EXPECT_EQ(Frame(2, 5), 3);
  EXPECT_EQ(Frame(2, 5), 3);
}

// Standard input and output replaced by a pipe and /dev/null (the line
// editor's echo) while it lives: the console reads the pipe as it would read
// the terminal. Nothing may be checked meanwhile, as the test's own report
// would go to /dev/null too.
class Piped {
 public:
  Piped() {
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    read_ = fds[0];
    write_ = fds[1];
    savedIn_ = dup(0);
    savedOut_ = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    if (dup2(read_, 0) < 0 || dup2(null, 1) < 0) std::abort();
    close(null);
  }
  ~Piped() {
    dup2(savedIn_, 0);
    dup2(savedOut_, 1);
    for (const int fd : {read_, write_, savedIn_, savedOut_}) close(fd);
  }
  void Type(std::string_view bytes) const {
    const auto size = static_cast<ssize_t>(bytes.size());
    if (write(write_, bytes.data(), bytes.size()) != size) std::abort();
  }

 private:
  int read_ = -1, write_ = -1, savedIn_ = -1, savedOut_ = -1;
};

TEST_F(Pace, AWaitForThePlayerOrANewWindowStartsAFreshPace) {
  rec::Start();
  rec::Stop();
  SetUp();  // the recording installed its own clock
  struct Case {
    const char* what;
    int64_t expected;  // the sleep of Delay(5) after 2 ms of drawing
    std::function<bool(const Piped&)> between;  // false: the step itself went wrong
  };
  const Case cases[] = {
      {"nothing", 3, [](const Piped&) { return true; }},
      {"KeyPressed finding no key", 3, [](const Piped&) { return !KeyPressed(); }},
      {"WaitKey", 5, [](const Piped& t) { t.Type("a"); WaitKey(); return true; }},
      {"KeyPressed finding a key", 5, [](const Piped&) { return KeyPressed(); }},
      {"a terminal read", 5,
       [](const Piped& t) {
         t.Type("b\n");
         const uint8_t c = ReadChar();
         ReadLineEnd();
         return c == 'a';
       }},
      {"a window opening", 5,
       [](const Piped&) {
         int16_t driver = 0, mode = 30000;
         InitGraph(driver, mode, "");
         return GraphResult() == 0;
       }},
  };
  std::vector<std::pair<bool, int64_t>> got;
  {
    const Piped terminal;
    for (const Case& c : cases) {
      Frame(0, 5);
      const bool ok = c.between(terminal);
      got.emplace_back(ok, Frame(2, 5));
    }
  }
  rec::Stop();
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(got[i].first) << cases[i].what;
    EXPECT_EQ(got[i].second, cases[i].expected) << cases[i].what;
  }
}

}  // namespace
