#include "app/languages.h"

std::atomic<int32_t> g_installerLanguage{kEnglishLanguage};
std::atomic<int32_t> g_launcherLanguage{kEnglishLanguage};

int32_t FindInstallerLanguage(const std::string& code) {
  for (int32_t i = 0; i < kInstallerLanguageCount; ++i) {
    if (code == g_installerLanguages[i].code) return i;
  }
  return -1;
}

const char* DefaultLanguageCode(int primaryLanguage, bool launcher) {
  switch (primaryLanguage) {
    case 5: return "cz";
    case 7: return "de";
    case 8: return launcher ? "gr" : "en";  // no Greek wizard; the launcher has one
    case 10: return "es";
    case 12: return "fr";
    case 14: return "hu";
    case 16: return "it";
    case 21: return "pl";
    case 22: return "pt";
    case 24: return "ro";
    case 31: return "tr";
    default: return "en";
  }
}

static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

static bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  }
  return *a == *b;
}

void SelectLauncherLanguage(const char* code) {
  int32_t chosen = kEnglishLanguage;
  if (code) {
    for (int32_t i = 0; i < kLauncherLanguageCount; ++i) {
      if (EqualIgnoringAsciiCase(code, g_launcherLanguages[i].code)) {
        chosen = i;
        break;
      }
    }
  }
  g_launcherLanguage = chosen;
}

// A damaged index must not read outside the tables; English is the safe reading.
static int32_t Checked(int32_t index, int32_t count) {
  return (index >= 0 && index < count) ? index : kEnglishLanguage;
}

const wchar_t* LauncherString(int field) {
  if (field < 0 || field >= kLauncherTextCount) return L"";
  return g_launcherLanguages[Checked(g_launcherLanguage, kLauncherLanguageCount)].texts[field];
}

const wchar_t* InstallerString(int field) {
  if (field < 0 || field >= kInstallerTextCount) return L"";
  return g_installerLanguages[Checked(g_installerLanguage, kInstallerLanguageCount)].texts[field];
}

const char* InstallerLanguageCode(int32_t index) {
  return (index >= 0 && index < kInstallerLanguageCount) ? g_installerLanguages[index].code : "";
}

int32_t InstallerLanguageCodePage(int32_t index) {
  return (index >= 0 && index < kInstallerLanguageCount) ? g_installerLanguages[index].codePage : 0;
}

const wchar_t* InstallerLanguageName(int32_t index) {
  return (index >= 0 && index < kInstallerLanguageCount) ? g_installerLanguages[index].nativeName : L"";
}

const char* LauncherLanguageCode(int32_t index) {
  return (index >= 0 && index < kLauncherLanguageCount) ? g_launcherLanguages[index].code : "";
}

bool SetInstallerLanguage(int32_t index) {
  if (index < 0 || index >= kInstallerLanguageCount) return false;
  g_installerLanguage = index;
  SelectLauncherLanguage(g_installerLanguages[index].code);
  return true;
}

int32_t ChooseStartupLanguages(int primaryLanguage, const std::string& langOption,
                               const std::string& storedCode) {
  SelectLauncherLanguage(DefaultLanguageCode(primaryLanguage, true));
  int32_t index = langOption.empty() ? -1 : FindInstallerLanguage(langOption);
  if (index < 0 && !storedCode.empty()) index = FindInstallerLanguage(storedCode);
  if (index < 0) index = FindInstallerLanguage(DefaultLanguageCode(primaryLanguage, false));
  SetInstallerLanguage(index);
  return index;
}
