#include <gtest/gtest.h>

#include <string>

#include "support/text.h"

static bool Accepts(const std::string& in, std::wstring* out = nullptr) {
  std::wstring result;
  bool ok = ToSafeRelativePath(in, result);
  if (out) *out = result;
  return ok;
}

TEST(PathRule, ConvertsForwardSlashesAndKeepsCase) {
  std::wstring out;
  ASSERT_TRUE(Accepts("Data/Maps/Forest.PAK", &out));
  EXPECT_EQ(out, L"Data\\Maps\\Forest.PAK");
  ASSERT_TRUE(Accepts("bin\\Quorvel.exe", &out));
  EXPECT_EQ(out, L"bin\\Quorvel.exe");
  ASSERT_TRUE(Accepts("caf\xC3\xA9/x", &out));
  EXPECT_EQ(out, L"caf\u00E9\\x");
}

TEST(PathRule, RefusesEscapesFromTheFolder) {
  for (const char* bad : {"", "/abs", "\\abs", "a//b", "a\\\\b", "a/", "a\\", ".", "..", "./a", "a/./b",
                          "../a", "a/../b", "a/..", "C:/x", "a:b", "a/b.", "a /b", "a/b ", "dir./x"}) {
    EXPECT_FALSE(Accepts(bad)) << bad;
  }
}

TEST(PathRule, RefusesControlAndReservedCharacters) {
  for (const char* bad : {"a\"b", "a*b", "a<b", "a>b", "a?b", "a|b", "a\tb", "a\x1F" "b"}) {
    EXPECT_FALSE(Accepts(bad)) << bad;
  }
  EXPECT_FALSE(Accepts(std::string("a\0b", 3)));
  EXPECT_TRUE(Accepts("a\x7F" "b"));  // DEL is not below 32
}

TEST(PathRule, RefusesDeviceNamesInAnySegment) {
  for (const char* bad : {"CON", "prn", "Aux", "nul", "NUL.txt", "nul.tar.gz", "data/Com1.log", "x/CON",
                          "com0", "COM9/readme", "lpt0", "LPT9.bin", "com\xC2\xB9", "lpt\xC2\xB2.x",
                          "COM\xC2\xB3/a", "conin$", "CONOUT$.log", "con .txt", "nul  .a/b", "a/b/AUX.dat"}) {
    EXPECT_FALSE(Accepts(bad)) << bad;
  }
  for (const char* good : {"console", "con_x", "nul1/com10.txt", "com", "lpt", "comx", "com\xC2\xB4",
                           "xnul", "nula.txt", "conin", "conout$x", "a.con", "data/aux_/x"}) {
    EXPECT_TRUE(Accepts(good)) << good;
  }
}

TEST(PathRule, OwnFilesAreKnownInAnyCase) {
  for (const wchar_t* own : {L"bin\\Uninstall Quorvel.exe", L"BIN\\uninstall quorvel.EXE", L"bin\\quorvel.install",
                             L"Uninstall Quorvel.exe", L"quorvel.install", L"config\\patcher.ini",
                             L"Config\\Patcher_Cache.dat", L"patcher.ini", L"patcher_cache.dat", L"patcher_parts",
                             L"Patcher_Parts\\x.z", L"patcher_parts\\a\\b", L"Data\\map.pak.ap_tmp",
                             L"x.AP_TMP", L"config\\locale.cfg", L"CONFIG\\Loca.cfg", L"locale.cfg", L"loca.cfg"}) {
    EXPECT_TRUE(IsInstallerOwnPath(own)) << own;
  }
  for (const wchar_t* game : {L"bin\\Quorvel.exe", L"config\\locale.cfg2", L"patcher_parts2\\x.z",
                              L"Data\\patcher_parts", L"config\\patcher.ini.bak", L"x.ap_tmp2", L"bin\\quorvel.install2"}) {
    EXPECT_FALSE(IsInstallerOwnPath(game)) << game;
  }
}

TEST(PathRule, SegmentsMayContainDots) {
  for (const char* good : {"..a", "a..b", "...x/y", "a/.hidden", "v1.2.3/file.tar.gz", " lead"}) {
    EXPECT_TRUE(Accepts(good)) << good;
  }
}

TEST(PathRule, LengthLimitIsInBytes) {
  EXPECT_TRUE(Accepts(std::string(400, 'a')));
  EXPECT_FALSE(Accepts(std::string(401, 'a')));
  // 200 two-byte characters are 400 bytes; one more ASCII byte is too long.
  std::string accented;
  for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";
  EXPECT_TRUE(Accepts(accented));
  EXPECT_FALSE(Accepts(accented + "a"));
}

TEST(PathRule, RefusalLeavesOutUntouched) {
  std::wstring out = L"unchanged";
  EXPECT_FALSE(ToSafeRelativePath("a/../b", out));
  EXPECT_EQ(out, L"unchanged");
  EXPECT_FALSE(ToSafeRelativePath("", out));
  EXPECT_EQ(out, L"unchanged");
}

TEST(PathRule, InvalidUtf8PassesAsReplacementCharacters) {
  std::wstring out;
  ASSERT_TRUE(Accepts("a\xFF/b", &out));
  EXPECT_EQ(out, L"a\xFFFD\\b");
}

TEST(LowerAscii, OnlyAsciiCapitalsChange) {
  EXPECT_EQ(ToLowerAscii(L"AZaz09@[`{ Bin\\QUORVEL.EXE"), L"azaz09@[`{ bin\\quorvel.exe");
  EXPECT_EQ(ToLowerAscii(L"\u00C9\u00C0\u0130\u0391"), L"\u00C9\u00C0\u0130\u0391");
  EXPECT_EQ(ToLowerAscii(L""), L"");
}
