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
  EXPECT_EQ(std::wstring(LauncherString(kLauncherTextCount)), L"");
  EXPECT_EQ(std::wstring(LauncherString(-1)), L"");
  EXPECT_EQ(std::wstring(LauncherString(74)), std::wstring(g_launcherLanguages[11].texts[74]));
  EXPECT_EQ(std::wstring(LauncherString(74)), L"Η λήψη θα συνεχιστεί από εκεί που σταμάτησε.");
  SelectLauncherLanguage("en");
  EXPECT_EQ(std::wstring(LauncherString(LauncherText::PausedHint)), L"The download will continue where it stopped.");
  EXPECT_EQ(std::wstring(LauncherString(0)), L"Connecting to patch server...");
}

TEST_F(Languages, InstallerStringFollowsTheCurrentLanguage) {
  EXPECT_EQ(std::wstring(InstallerString(NextButton)), L"Next");
  EXPECT_EQ(std::wstring(InstallerString(WindowTitle)), L"Quorvel Setup");
  EXPECT_EQ(std::wstring(InstallerString(CloseButton)), L"Close");
  EXPECT_EQ(std::wstring(InstallerString(kInstallerTextCount)), L"");
  ASSERT_TRUE(SetInstallerLanguage(FindInstallerLanguage("de")));
  EXPECT_EQ(std::wstring(InstallerString(NextButton)), L"Weiter");
  EXPECT_EQ(std::wstring(LauncherString(LauncherText::ErrConnect)), L"Keine Verbindung zum Patch-Server möglich.");
  EXPECT_FALSE(SetInstallerLanguage(11));
  EXPECT_FALSE(SetInstallerLanguage(-1));
  EXPECT_EQ(g_installerLanguage, 4);
}

TEST_F(Languages, LanguageListCodesAndCodePages) {
  const char* codes[] = {"pt", "en", "es", "fr", "de", "it", "ro", "pl", "cz", "hu", "tr"};
  const int32_t pages[] = {1252, 1252, 1252, 1252, 1252, 1252, 1250, 1250, 1250, 1250, 1254};
  for (int32_t i = 0; i < kInstallerLanguageCount; ++i) {
    EXPECT_STREQ(InstallerLanguageCode(i), codes[i]);
    EXPECT_STREQ(LauncherLanguageCode(i), codes[i]);
    EXPECT_EQ(InstallerLanguageCodePage(i), pages[i]) << codes[i];
    EXPECT_EQ(FindInstallerLanguage(codes[i]), i);
  }
  EXPECT_STREQ(LauncherLanguageCode(11), "gr");
  EXPECT_EQ(std::wstring(InstallerLanguageName(0)), L"Português");
  EXPECT_EQ(std::wstring(InstallerLanguageName(6)), L"Română");
  EXPECT_EQ(std::wstring(InstallerLanguageName(8)), L"Čeština");
  EXPECT_EQ(std::wstring(InstallerLanguageName(10)), L"Türkçe");
  // Out of range gives empty values, never a read outside the table.
  EXPECT_STREQ(InstallerLanguageCode(11), "");
  EXPECT_STREQ(InstallerLanguageCode(-1), "");
  EXPECT_EQ(InstallerLanguageCodePage(11), 0);
  EXPECT_EQ(std::wstring(InstallerLanguageName(-1)), L"");
  EXPECT_STREQ(LauncherLanguageCode(12), "");
}

// Texts with diacritics, typed by hand, against the tables.
TEST_F(Languages, TranslatedTextsKeepTheirAccents) {
  auto installer = [](const char* code, int field) {
    return std::wstring(g_installerLanguages[FindInstallerLanguage(code)].texts[field]);
  };
  EXPECT_EQ(installer("cz", FinishedText), L"Quorvel je připraven ke hře. Hodně štěstí, válečníku!");
  EXPECT_EQ(installer("cz", StatusConnecting), L"Připojování k serveru...");
  EXPECT_EQ(installer("tr", WelcomeText),
            L"Bu sihirbaz oyunu bilgisayarına kuracak. Dilini seç ve devam etmek için İleri'ye tıkla.");
  EXPECT_EQ(installer("tr", KeepUserDataOption), L"Ekran görüntülerimi ve ayarlarımı sakla");
  EXPECT_EQ(installer("ro", ErrorGameRunning), L"Quorvel este deschis. Închide-l și încearcă din nou.");
  EXPECT_EQ(installer("ro", SpaceRequiredLabel), L"Spațiu necesar");
  EXPECT_EQ(installer("pl", StatusConnecting), L"Łączenie z serwerem...");
  EXPECT_EQ(installer("hu", WindowTitle), L"Quorvel telepítő");
  EXPECT_EQ(installer("es", FolderTitle), L"¿Dónde quieres instalar el juego?");
  EXPECT_EQ(installer("fr", CancelQuestion),
            L"Voulez-vous annuler l'installation ? Les fichiers déjà téléchargés sont conservés.");
  EXPECT_EQ(installer("de", CloseButton), L"Schließen");
  EXPECT_EQ(installer("pt", KeepUserDataOption), L"Manter as capturas de ecrã e as definições");
  EXPECT_EQ(installer("it", ExistingInstallNote),
            L"È stata trovata un'installazione. I suoi file verranno controllati e riparati.");
  EXPECT_EQ(installer("en", ErrorNoSpace), L"There is not enough free space on this drive.");

  auto launcher = [](const char* code, LauncherText field) {
    SelectLauncherLanguage(code);
    return std::wstring(LauncherString(field));
  };
  EXPECT_EQ(launcher("fr", LauncherText::ErrWriteFile), L"Impossible d'écrire le fichier :");
  EXPECT_EQ(launcher("gr", LauncherText::ErrFileInUse),
            L"Το αρχείο χρησιμοποιείται - κλείσε το παιχνίδι και δοκίμασε ξανά:");
  EXPECT_EQ(launcher("cz", LauncherText::ErrCorruptFile), L"Soubor je po stažení poškozený:");
  EXPECT_EQ(launcher("tr", LauncherText::ErrSignature), L"Geçersiz yama imzası. İndirme reddedildi.");
  EXPECT_EQ(launcher("ro", LauncherText::ErrWriteFile), L"Fișierul nu a putut fi scris:");
  EXPECT_EQ(launcher("hu", LauncherText::ErrOlderVersion), L"A szerver régebbi verziót küldött, mint a telepített.");
  EXPECT_EQ(launcher("en", LauncherText::ErrFileInUse), L"File in use - close the game and try again:");
  EXPECT_EQ(launcher("en", LauncherText::ErrNoPublicKey), L"Public key not configured (public_key).");
}

// The launcher formats this text with one integer; any other conversion would read garbage.
TEST_F(Languages, PlayerCountFormatHasExactlyOneIntegerConversion) {
  for (const LauncherLanguage& lang : g_launcherLanguages) {
    std::wstring text = lang.texts[static_cast<int>(LauncherText::PlayersFormat)];
    size_t at = text.find(L"%d");
    ASSERT_NE(at, std::wstring::npos) << lang.code;
    EXPECT_EQ(text.find(L'%', at + 2), std::wstring::npos) << lang.code;
    EXPECT_EQ(text.find(L'%'), at) << lang.code;
    for (int f = 0; f < kLauncherTextCount; ++f) {
      if (f == static_cast<int>(LauncherText::PlayersFormat)) continue;
      EXPECT_EQ(std::wstring(lang.texts[f]).find(L'%'), std::wstring::npos) << lang.code << " field " << f;
    }
  }
}

TEST_F(Languages, DisplayLanguageDefaults) {
  struct Row { int primary; const char* installer; const char* launcher; };
  const Row rows[] = {{5, "cz", "cz"}, {7, "de", "de"}, {8, "en", "gr"}, {10, "es", "es"}, {12, "fr", "fr"},
                      {14, "hu", "hu"}, {16, "it", "it"}, {21, "pl", "pl"}, {22, "pt", "pt"}, {24, "ro", "ro"},
                      {31, "tr", "tr"}, {9, "en", "en"}, {0, "en", "en"}, {6, "en", "en"}, {0x3FF, "en", "en"}};
  for (const Row& r : rows) {
    EXPECT_STREQ(DefaultLanguageCode(r.primary, false), r.installer) << r.primary;
    EXPECT_STREQ(DefaultLanguageCode(r.primary, true), r.launcher) << r.primary;
    EXPECT_GE(FindInstallerLanguage(DefaultLanguageCode(r.primary, false)), 0) << r.primary;
  }
}

TEST_F(Languages, StartupChoiceOrder) {
  // Greek Windows: English wizard, and the launcher texts follow the wizard.
  EXPECT_EQ(ChooseStartupLanguages(8, "", ""), 1);
  EXPECT_EQ(g_installerLanguage, 1);
  EXPECT_EQ(g_launcherLanguage, 1);
  // The option wins over the stored value, the stored value over the display language.
  EXPECT_EQ(ChooseStartupLanguages(7, "tr", "pl"), 10);
  EXPECT_EQ(g_launcherLanguage, 10);
  EXPECT_EQ(ChooseStartupLanguages(7, "", "pl"), 7);
  EXPECT_EQ(ChooseStartupLanguages(7, "", ""), 4);
  EXPECT_EQ(std::wstring(LauncherString(LauncherText::ErrConnect)), L"Keine Verbindung zum Patch-Server möglich.");
  // "gr" is no wizard language, and wizard codes are case-sensitive.
  EXPECT_EQ(ChooseStartupLanguages(7, "gr", "pl"), 7);
  EXPECT_EQ(ChooseStartupLanguages(7, "gr", ""), 4);
  EXPECT_EQ(ChooseStartupLanguages(12, "TR", "PL"), 3);
  EXPECT_EQ(ChooseStartupLanguages(8, "gr", "gr"), 1);
  EXPECT_EQ(g_launcherLanguage, 1);
}

TEST_F(Languages, DamagedIndexReadsEnglish) {
  g_installerLanguage = 57;
  g_launcherLanguage = -3;
  EXPECT_EQ(std::wstring(InstallerString(NextButton)), L"Next");
  EXPECT_EQ(std::wstring(LauncherString(LauncherText::ErrManifest)), L"Invalid patch manifest.");
}
