// An independent model of the program's Random(n) for expectations in tests:
// std::mt19937 with its standard seeding, one 32-bit draw u per call, scaled
// as (u n) >> 32. Tests seed it as the program seeds its own generator and
// replay the draws a procedure should make.
#pragma once

#include <cstdint>
#include <random>

struct ReferenceRandom {
  std::mt19937 mt;
  explicit ReferenceRandom(uint32_t seed) : mt(seed) {}
  int32_t operator()(int32_t n) {
    return static_cast<int32_t>((static_cast<uint64_t>(mt()) * static_cast<uint64_t>(n)) >> 32);
  }
};
