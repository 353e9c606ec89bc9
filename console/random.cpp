// The program's one pseudo-random generator, MT19937 with the standard
// seeding, and its seed from the clock. Writes RandSeed (Randomize) and the
// generator's state.
#include <ctime>
#include <random>

#include "console/console.hpp"

namespace {

std::mt19937 Generator;
uint32_t GeneratorSeed = 0;
bool GeneratorSeeded = false;

}  // namespace

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
