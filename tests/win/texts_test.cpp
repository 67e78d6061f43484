// The language tables and number formatting again, built by the cross compiler: wide
// literals become UTF-16 and printf comes from the Windows C runtime here.
#include "tests/host/format_test.cpp"
#include "tests/host/languages_test.cpp"

#include <windows.h>

#include <cstdlib>
#include <string>

// Wine takes the display language from LANG; tests/e2e/test_display_language.sh runs this
// test under several and passes the codes it expects as "installer,launcher".
TEST(DisplayLanguage, DefaultsFollowTheDisplayLanguage) {
  const char* expect = std::getenv("QV_EXPECT_LANGUAGE");
  if (!expect) GTEST_SKIP() << "run by test_display_language.sh";
  std::string codes = expect;
  size_t comma = codes.find(',');
  ASSERT_NE(comma, std::string::npos);
  EXPECT_STREQ(InstallerLanguageCode(DefaultInstallerLanguage()), codes.substr(0, comma).c_str());
  EXPECT_STREQ(DefaultLanguageCode(DisplayPrimaryLanguage(), true), codes.substr(comma + 1).c_str());
  // The whole start-up choice with nothing given and nothing stored.
  int32_t index = ChooseStartupLanguages(DisplayPrimaryLanguage(), "", "");
  EXPECT_STREQ(InstallerLanguageCode(index), codes.substr(0, comma).c_str());
  EXPECT_STREQ(LauncherLanguageCode(g_launcherLanguage), codes.substr(0, comma).c_str());
  SetInstallerLanguage(kEnglishLanguage);
}
