#include <gtest/gtest.h>

#include <string>

#include "support/text.h"
#include "tests/host/utf8_cases.h"

static std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

TEST(Text, SystemConverterMatchesTheSharedCases) {
  for (const Utf8Case& c : kUtf8Cases) {
    EXPECT_EQ(Utf8ToWide(c.utf8), Wide(c.utf16)) << c.name;
    std::wstring wide = Wide(c.utf16);
    if (wide.find(L'\xFFFD') == std::wstring::npos) {
      EXPECT_EQ(WideToUtf8(wide), c.utf8) << c.name;
    }
  }
}

TEST(Text, EmptyAndLoneSurrogates) {
  EXPECT_TRUE(Utf8ToWide("").empty());
  EXPECT_TRUE(WideToUtf8(L"").empty());
  std::wstring lone = {L'a', static_cast<wchar_t>(0xD83D)};
  EXPECT_EQ(WideToUtf8(lone), "a\xEF\xBF\xBD");
}

TEST(Text, PathRuleOnWindows) {
  std::wstring out;
  ASSERT_TRUE(ToSafeRelativePath("data/caf\xC3\xA9.pak", out));
  EXPECT_EQ(out, L"data\\caf\u00E9.pak");
  EXPECT_FALSE(ToSafeRelativePath("data/../x", out));
  EXPECT_EQ(ToLowerAscii(L"BIN\\\u00C9"), L"bin\\\u00C9");
}
