// Delay and the program's one pseudo-random generator. Writes RandSeed
// (Randomize) and the generator's state.
#include <cerrno>
#include <ctime>
#include <random>

#include "console/console.hpp"
#include "console/internal.hpp"

namespace {

std::mt19937 Generator;
uint32_t GeneratorSeed = 0;
bool GeneratorSeeded = false;

}  // namespace

void Delay(uint16_t ms) {
  if (ms == 0) return;
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
