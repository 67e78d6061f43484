#pragma once
// Where a large file is cut into pieces. The cut points depend on the bytes around them, not on
// their offset, so an insertion or deletion moves only the pieces it touches: the pieces after
// it are cut where they were before. The publisher and the installer cut with this one code.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct JsonValue;

// A rule for cutting: fixed steps of maxSize (the first piece lists), or a rolling gear hash
// with these bounds (a piece is at least minSize, at most maxSize, about avgSize on average;
// the last piece of a file may be shorter than minSize).
struct PieceRule {
  enum Kind : uint8_t { Fixed, Gear } kind = Fixed;
  uint32_t minSize = 1u << 20;
  uint32_t avgSize = 1u << 20;
  uint32_t maxSize = 1u << 20;
};

// The name of the gear rule in a manifest's "pieces" member.
inline constexpr char kGearRuleName[] = "gear";
// The gear rule the publisher writes.
inline constexpr PieceRule kDefaultGearRule{PieceRule::Gear, 256u << 10, 1u << 20, 4u << 20};
// Fixed steps of 1 MiB: how piece lists without a named rule are cut.
inline constexpr PieceRule kFixedMiBRule{PieceRule::Fixed, 1u << 20, 1u << 20, 1u << 20};

// True for a rule an installer can cut with: fixed steps, or gear bounds with
// 64 KiB <= min <= avg <= max <= 16 MiB and avg a power of two.
bool PieceRuleUsable(const PieceRule& rule);
// Equal rules cut every file alike.
bool SamePieceRule(const PieceRule& a, const PieceRule& b);
// A short text naming the rule and its bounds ("gear 262144 1048576 4194304", "fixed 1048576").
std::string PieceRuleKey(const PieceRule& rule);

// The length of the piece that starts at data: 1..available (0 only when available is 0).
// available is what data holds; it must be at least rule.maxSize unless the file ends there.
size_t NextPieceLength(const PieceRule& rule, const uint8_t* data, size_t available);

enum class PieceRuleFound { Absent, Known, Unknown };
// The manifest's "pieces" member ({"rule": "gear", "min": .., "avg": .., "max": ..}) into rule.
// Absent (no member: lists are in fixed 1 MiB steps, rule = kFixedMiBRule), Known, or Unknown
// (a rule or bounds this program cannot cut with: its lists are to be ignored).
PieceRuleFound ReadPieceRule(const JsonValue& manifest, PieceRule& rule);
// True when sizes, in order, are the pieces the rule could give a file of fileSize bytes:
// they add up to it, none is empty or above the maximum, and every one but the last has the
// minimum (fixed steps: exactly the step).
bool PieceSizesFit(const PieceRule& rule, const std::vector<uint64_t>& sizes, uint64_t fileSize);
