#include <gtest/gtest.h>

#include <string>

#include "support/text.h"
#include "tests/host/utf8_cases.h"

static std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

TEST(TextHost, DecodesLikeTheWindowsConverter) {
  for (const Utf8Case& c : kUtf8Cases) {
    EXPECT_EQ(Utf8ToWide(c.utf8), Wide(c.utf16)) << c.name;
  }
}

TEST(TextHost, EncodesWellFormedTextBack) {
  for (const Utf8Case& c : kUtf8Cases) {
    std::wstring wide = Wide(c.utf16);
    if (wide.find(L'\xFFFD') != std::wstring::npos) continue;
    EXPECT_EQ(WideToUtf8(wide), c.utf8) << c.name;
  }
}

TEST(TextHost, CutSequenceKeepsTheTextAfterIt) {
  EXPECT_EQ(Utf8ToWide("\xE2" "A"), L"\xFFFD" L"A");
  EXPECT_EQ(Utf8ToWide("\xF0\x9F" "A"), L"\xFFFD" L"A");
}

TEST(TextHost, EmptyAndBrokenWideText) {
  EXPECT_TRUE(Utf8ToWide("").empty());
  EXPECT_TRUE(WideToUtf8(L"").empty());
  // Lone surrogates (high at the end, high before a letter, low alone) become U+FFFD.
  std::wstring lone = {L'a', static_cast<wchar_t>(0xD83D)};
  EXPECT_EQ(WideToUtf8(lone), "a\xEF\xBF\xBD");
  std::wstring highThenLetter = {static_cast<wchar_t>(0xD83D), L'b'};
  EXPECT_EQ(WideToUtf8(highThenLetter), "\xEF\xBF\xBD" "b");
  std::wstring lowAlone = {static_cast<wchar_t>(0xDE00)};
  EXPECT_EQ(WideToUtf8(lowAlone), "\xEF\xBF\xBD");
}

TEST(TextHost, EveryByteStringDecodesAndReencodes) {
  // Any bytes give text that encodes back without loss of the well-formed parts.
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  std::wstring wide = Utf8ToWide(all);
  std::string back = WideToUtf8(wide);
  EXPECT_EQ(back.substr(0, 128), all.substr(0, 128));
  EXPECT_EQ(Utf8ToWide(back), wide);
}
