#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "app/languages.h"

// Each test starts from the program's start-up state and leaves it behind.
class Languages : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    g_installerLanguage = kEnglishLanguage;
    g_launcherLanguage = kEnglishLanguage;
  }
};

TEST_F(Languages, EveryFieldOfEveryLanguageHasText) {
  for (const InstallerLanguage& lang : g_installerLanguages) {
    ASSERT_NE(lang.code, nullptr);
    EXPECT_EQ(std::strlen(lang.code), 2u) << lang.code;
    ASSERT_NE(lang.nativeName, nullptr);
    EXPECT_GT(std::wcslen(lang.nativeName), 0u) << lang.code;
    for (int f = 0; f < kInstallerTextCount; ++f) {
      ASSERT_NE(lang.texts[f], nullptr) << lang.code << " installer field " << f;
      EXPECT_GT(std::wcslen(lang.texts[f]), 0u) << lang.code << " installer field " << f;
    }
  }
  for (const LauncherLanguage& lang : g_launcherLanguages) {
    ASSERT_NE(lang.code, nullptr);
    EXPECT_EQ(std::strlen(lang.code), 2u) << lang.code;
    for (int f = 0; f < kLauncherTextCount; ++f) {
      ASSERT_NE(lang.texts[f], nullptr) << lang.code << " launcher field " << f;
      EXPECT_GT(std::wcslen(lang.texts[f]), 0u) << lang.code << " launcher field " << f;
    }
  }
}

TEST_F(Languages, ErrorTextsThatTakeDetailsEndInAColon) {
  for (const LauncherLanguage& lang : g_launcherLanguages) {
    for (LauncherText f : {LauncherText::ErrWriteFile, LauncherText::ErrCorruptFile, LauncherText::ErrFileInUse}) {
      std::wstring text = lang.texts[static_cast<int>(f)];
      ASSERT_FALSE(text.empty());
      EXPECT_EQ(text.back(), L':') << lang.code << " field " << static_cast<int>(f);
    }
  }
}

TEST_F(Languages, InstallerCodesAreCaseSensitive) {
  EXPECT_EQ(FindInstallerLanguage("pt"), 0);
  EXPECT_EQ(FindInstallerLanguage("en"), 1);
  EXPECT_EQ(FindInstallerLanguage("tr"), 10);
  EXPECT_EQ(FindInstallerLanguage("PT"), -1);
  EXPECT_EQ(FindInstallerLanguage("Pt"), -1);
  EXPECT_EQ(FindInstallerLanguage("gr"), -1);  // Greek exists only in the launcher table
  EXPECT_EQ(FindInstallerLanguage(""), -1);
  EXPECT_EQ(FindInstallerLanguage("p"), -1);
  EXPECT_EQ(FindInstallerLanguage("pt "), -1);
  EXPECT_EQ(FindInstallerLanguage(std::string("pt\0x", 4)), -1);
}

TEST_F(Languages, LauncherCodesIgnoreCaseAndFallBackToEnglish) {
  SelectLauncherLanguage("PT");
  EXPECT_EQ(g_launcherLanguage, 0);
  EXPECT_EQ(std::wstring(LauncherString(LauncherText::ErrManifest)), L"Manifesto do patch inválido.");
  SelectLauncherLanguage("gr");
  EXPECT_EQ(g_launcherLanguage, 11);
  SelectLauncherLanguage("Gr");
  EXPECT_EQ(g_launcherLanguage, 11);
  SelectLauncherLanguage("xx");
  EXPECT_EQ(g_launcherLanguage, 1);
  SelectLauncherLanguage("cz");
  SelectLauncherLanguage("");
  EXPECT_EQ(g_launcherLanguage, 1);
  SelectLauncherLanguage("cz");
  SelectLauncherLanguage(nullptr);
  EXPECT_EQ(g_launcherLanguage, 1);
  SelectLauncherLanguage("gre");  // a longer code is not a prefix match
  EXPECT_EQ(g_launcherLanguage, 1);
}

TEST_F(Languages, LauncherStringRange) {
  SelectLauncherLanguage("gr");
  EXPECT_EQ(std::wstring(LauncherString(75)), L"");
  EXPECT_EQ(std::wstring(LauncherString(-1)), L"");
  EXPECT_EQ(std::wstring(LauncherString(74)), std::wstring(g_launcherLanguages[11].texts[74]));
  SelectLauncherLanguage("en");
  EXPECT_EQ(std::wstring(LauncherString(LauncherText::PausedHint)), L"The download will continue where it stopped.");
  EXPECT_EQ(std::wstring(LauncherString(0)), L"Connecting to patch server...");
}

TEST_F(Languages, InstallerStringFollowsTheCurrentLanguage) {
  EXPECT_EQ(std::wstring(InstallerString(NextButton)), L"Next");
  EXPECT_EQ(std::wstring(InstallerString(WindowTitle)), L"Quorvel Setup");
  EXPECT_EQ(std::wstring(InstallerString(CloseButton)), L"Close");
  EXPECT_EQ(std::wstring(InstallerString(55)), L"");
  ASSERT_TRUE(SetInstallerLanguage(FindInstallerLanguage("de")));
  EXPECT_EQ(std::wstring(InstallerString(NextButton)), L"Weiter");
  EXPECT_EQ(std::wstring(LauncherString(LauncherText::ErrConnect)), L"Keine Verbindung zum Patch-Server möglich.");
  EXPECT_FALSE(SetInstallerLanguage(11));
  EXPECT_FALSE(SetInstallerLanguage(-1));
  EXPECT_EQ(g_installerLanguage, 4);
}
