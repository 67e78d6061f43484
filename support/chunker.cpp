#include "support/chunker.h"

#include <algorithm>
#include <array>

#include "support/json.h"

namespace {

// 256 fixed pseudo-random words (splitmix64 from a fixed seed): part of the rule, never to change.
constexpr std::array<uint64_t, 256> MakeGearTable() {
  std::array<uint64_t, 256> table{};
  uint64_t state = 0x51756f7276656c31ull;
  for (uint64_t& word : table) {
    state += 0x9e3779b97f4a7c15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    word = z ^ (z >> 31);
  }
  return table;
}
constexpr std::array<uint64_t, 256> kGear = MakeGearTable();

// A mask of the top bits of the hash: each top bit depends on the last 64 bytes, the low ones
// on only the last few.
constexpr uint64_t TopBits(unsigned bits) { return bits == 0 ? 0 : ~0ull << (64 - bits); }

unsigned Log2(uint32_t value) {
  unsigned bits = 0;
  while (value > 1) {
    value >>= 1;
    ++bits;
  }
  return bits;
}

}  // namespace

bool PieceRuleUsable(const PieceRule& rule) {
  if (rule.kind == PieceRule::Fixed) return rule.maxSize > 0 && rule.maxSize <= (16u << 20);
  return rule.kind == PieceRule::Gear && rule.minSize >= (64u << 10) && rule.minSize <= rule.avgSize &&
         rule.avgSize <= rule.maxSize && rule.maxSize <= (16u << 20) && (rule.avgSize & (rule.avgSize - 1)) == 0;
}

bool SamePieceRule(const PieceRule& a, const PieceRule& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == PieceRule::Fixed) return a.maxSize == b.maxSize;
  return a.minSize == b.minSize && a.avgSize == b.avgSize && a.maxSize == b.maxSize;
}

std::string PieceRuleKey(const PieceRule& rule) {
  if (rule.kind == PieceRule::Fixed) return "fixed " + std::to_string(rule.maxSize);
  return std::string(kGearRuleName) + " " + std::to_string(rule.minSize) + " " + std::to_string(rule.avgSize) + " " +
         std::to_string(rule.maxSize);
}

size_t NextPieceLength(const PieceRule& rule, const uint8_t* data, size_t available) {
  const size_t limit = std::min<size_t>(available, rule.maxSize);
  if (rule.kind == PieceRule::Fixed || limit <= rule.minSize) return limit;
  // Normalised cutting: a stricter mask before the average size and a looser one after it keep
  // the sizes close to the average.
  const unsigned bits = Log2(rule.avgSize);
  const uint64_t strict = TopBits(bits + 2), loose = TopBits(bits > 2 ? bits - 2 : 1);
  const size_t middle = std::min<size_t>(limit, rule.avgSize);
  uint64_t hash = 0;
  size_t i = rule.minSize;
  for (; i < middle; ++i) {
    hash = (hash << 1) + kGear[data[i]];
    if ((hash & strict) == 0) return i + 1;
  }
  for (; i < limit; ++i) {
    hash = (hash << 1) + kGear[data[i]];
    if ((hash & loose) == 0) return i + 1;
  }
  return limit;
}

// A whole number of bytes up to 16 MiB; 0 for anything else.
static uint32_t Bound(const JsonValue& value) {
  if (value.type != JsonType::Number || !(value.number >= 1) || value.number > (16u << 20) ||
      value.number != static_cast<double>(static_cast<uint32_t>(value.number)))
    return 0;
  return static_cast<uint32_t>(value.number);
}

PieceRuleFound ReadPieceRule(const JsonValue& manifest, PieceRule& rule) {
  rule = kFixedMiBRule;
  const JsonValue& member = JsonGetMember(manifest, "pieces");
  if (member.type == JsonType::Null) return PieceRuleFound::Absent;
  if (JsonAsString(JsonGetMember(member, "rule"), "") != kGearRuleName) return PieceRuleFound::Unknown;
  const PieceRule gear{PieceRule::Gear, Bound(JsonGetMember(member, "min")), Bound(JsonGetMember(member, "avg")),
                       Bound(JsonGetMember(member, "max"))};
  if (!PieceRuleUsable(gear)) return PieceRuleFound::Unknown;
  rule = gear;
  return PieceRuleFound::Known;
}

bool PieceSizesFit(const PieceRule& rule, const std::vector<uint64_t>& sizes, uint64_t fileSize) {
  uint64_t total = 0;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const bool last = i + 1 == sizes.size();
    const uint64_t least = rule.kind == PieceRule::Fixed ? rule.maxSize : rule.minSize;
    if (sizes[i] == 0 || sizes[i] > rule.maxSize || (!last && sizes[i] < least)) return false;
    total += sizes[i];
  }
  return !sizes.empty() && total == fileSize;
}
