#pragma once
// Where the piece rule cuts a table of inputs, as an independent reading of the rule
// (tests/tools/gear_cut.py) cut them: the host build and the Windows build must both agree.
#include <cstdint>
#include <string>
#include <vector>

#include "support/chunker.h"

struct CutCase {
  uint64_t seed;  // 0: zero bytes
  size_t size;
  std::vector<size_t> pieces;
};

inline const std::vector<CutCase>& CutCases() {
  static const std::vector<CutCase> cases = {
      {1, 9 * 1048576 + 123, {1225073, 1186220, 419056, 1077326, 1202941, 1210259, 1104530, 1368838, 643064}},
      {2, 300000, {300000}},
      {3, 4 * 1048576, {1126600, 2067224, 1000480}},
      {0, 10 * 1048576, {4194304, 4194304, 2097152}},  // nothing to cut at: the largest pieces
  };
  return cases;
}

// The case's bytes: splitmix64 words, little-endian, from seed.
inline std::string CutCaseBytes(uint64_t seed, size_t size) {
  std::string out;
  out.reserve(size + 8);
  uint64_t state = seed;
  while (seed != 0 && out.size() < size) {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (int b = 0; b < 8; ++b) out += static_cast<char>((z >> (8 * b)) & 0xFF);
  }
  out.resize(size, '\0');
  return out;
}

// The piece sizes the default gear rule gives bytes.
inline std::vector<size_t> CutWithDefaultRule(const std::string& bytes) {
  std::vector<size_t> sizes;
  for (size_t at = 0; at < bytes.size();) {
    const size_t n = NextPieceLength(kDefaultGearRule, reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                                     bytes.size() - at);
    sizes.push_back(n);
    at += n;
  }
  return sizes;
}
