// Delay and the program's one pseudo-random generator. Writes RandSeed
// (Randomize) and the generator's state.
#include <sys/prctl.h>

#include <cerrno>
#include <ctime>
#include <random>

#include "console/console.hpp"
#include "console/internal.hpp"

namespace {

std::mt19937 Generator;
uint32_t GeneratorSeed = 0;
bool GeneratorSeeded = false;

// Linux lets a sleep run up to 50 us late by default so that wake-ups can be
// batched; across the hundreds of 5 and 10 ms sleeps of an animation that
// adds up to a visible share of its pace. A nanosecond of slack makes each
// sleep end when asked.
bool AskForPunctualSleeps() { return prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0; }

}  // namespace

void Delay(uint16_t ms) {
  if (ms == 0) return;
  [[maybe_unused]] static const bool punctual = AskForPunctualSleeps();
  console::Present();
  if (SleepMilliseconds) {
    SleepMilliseconds(ms);
    return;
  }
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

int32_t Random(int32_t n) {
  if (!GeneratorSeeded || GeneratorSeed != RandSeed) {
    Generator.seed(RandSeed);
    GeneratorSeed = RandSeed;
    GeneratorSeeded = true;
  }
  if (n < 0) ++n;
  const int64_t u = static_cast<int64_t>(Generator());
  // Arithmetic shift: for a negative n the result lies in n..0.
  return static_cast<int32_t>((u * n) >> 32);
}

void Randomize() {
  const int64_t now = ClockSeconds ? ClockSeconds() : static_cast<int64_t>(std::time(nullptr));
  RandSeed = static_cast<uint32_t>(now);
}
