#include <gtest/gtest.h>

#include "support/json.h"
#include "tests/host/chunker_cases.h"

TEST(Chunker, CutsWhereTheIndependentReadingOfTheRuleCuts) {
  for (const CutCase& c : CutCases()) {
    SCOPED_TRACE(c.seed);
    EXPECT_EQ(CutWithDefaultRule(CutCaseBytes(c.seed, c.size)), c.pieces);
  }
}

// An insertion or deletion changes the piece it lands in (and at most the next); every piece
// after that is cut where it was, so an update fetches one or two pieces, not the rest.
TEST(Chunker, PiecesAfterAnEditAreCutAsBefore) {
  const std::string base = CutCaseBytes(1, 9 * 1048576 + 123);
  const std::vector<size_t> before = CutWithDefaultRule(base);
  for (const auto& [at, insert, remove] : {std::tuple<size_t, size_t, size_t>{1048576, 100, 0}, {0, 100, 0},
                                           {base.size() / 2, 0, 4096}}) {
    SCOPED_TRACE(at);
    std::string edited = base;
    edited.erase(at, remove);
    edited.insert(at, std::string(insert, 'i'));
    const std::vector<size_t> after = CutWithDefaultRule(edited);
    size_t same = 0;  // pieces equal from the end backwards
    while (same < before.size() && same < after.size() &&
           before[before.size() - 1 - same] == after[after.size() - 1 - same])
      ++same;
    size_t pieceOfEdit = 0;
    for (size_t end = 0; pieceOfEdit < before.size() && end + before[pieceOfEdit] <= at; ++pieceOfEdit)
      end += before[pieceOfEdit];
    EXPECT_GE(same + 2, before.size() - pieceOfEdit) << "the pieces after the edit resynchronise";
  }
}

TEST(Chunker, TheManifestsRuleAndWhichListsFitIt) {
  const auto rule = [](const char* json, PieceRule& out) {
    JsonValue doc;
    EXPECT_TRUE(JsonParse(json, doc, nullptr));
    return ReadPieceRule(doc, out);
  };
  PieceRule r;
  EXPECT_EQ(rule(R"({"files":[]})", r), PieceRuleFound::Absent);
  EXPECT_TRUE(SamePieceRule(r, kFixedMiBRule));
  EXPECT_EQ(rule(R"({"pieces":{"rule":"gear","min":262144,"avg":1048576,"max":4194304}})", r), PieceRuleFound::Known);
  EXPECT_TRUE(SamePieceRule(r, kDefaultGearRule));
  EXPECT_EQ(PieceRuleKey(r), "gear 262144 1048576 4194304");
  for (const char* unknown : {R"({"pieces":{"rule":"buzhash","min":262144,"avg":1048576,"max":4194304}})",
                              R"({"pieces":{"rule":"gear","min":262144,"avg":1000000,"max":4194304}})",
                              R"({"pieces":{"rule":"gear","min":2097152,"avg":1048576,"max":4194304}})",
                              R"({"pieces":{"rule":"gear","min":262144,"avg":1048576,"max":33554432}})",
                              R"({"pieces":"gear"})"}) {
    EXPECT_EQ(rule(unknown, r), PieceRuleFound::Unknown) << unknown;
  }
  const uint64_t mib = 1048576;
  EXPECT_TRUE(PieceSizesFit(kFixedMiBRule, {mib, mib, 5}, 2 * mib + 5));
  EXPECT_FALSE(PieceSizesFit(kFixedMiBRule, {mib, 5, mib}, 2 * mib + 5));
  EXPECT_TRUE(PieceSizesFit(kDefaultGearRule, {300000, 4 * mib, 7}, 300000 + 4 * mib + 7));
  EXPECT_FALSE(PieceSizesFit(kDefaultGearRule, {7, 300000}, 300007)) << "below the minimum before the end";
  EXPECT_FALSE(PieceSizesFit(kDefaultGearRule, {4 * mib + 1}, 4 * mib + 1)) << "above the maximum";
  EXPECT_FALSE(PieceSizesFit(kDefaultGearRule, {300000, 300000}, 600001)) << "not the file's size";
  EXPECT_FALSE(PieceSizesFit(kDefaultGearRule, {}, 0));
}
