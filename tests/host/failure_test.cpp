#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/languages.h"
#include "support/failure.h"

namespace {

struct WordingCase {
  Failure failure;
  const wchar_t* log;     // FailureLogText
  const wchar_t* player;  // FailureText in English
};

const WordingCase kCases[] = {
    {{}, L"no failure", L""},
    {{FailureKind::FolderInvalid}, L"the install folder breaks the folder rules", L"This folder is not valid. Choose a folder on a local drive."},
    {{FailureKind::NoSpace, 0, 0, L"D:\\Games"}, L"the drive has too little free space: D:\\Games",
     L"There is not enough free space on this drive."},
    {{FailureKind::WriteFile, 29, 0, L"data\\a.pak"}, L"a local file could not be written: data\\a.pak",
     L"Could not write file: data\\a.pak"},
    {{FailureKind::WriteFile, 5, 0, L"", L"Access is denied."}, L"a local file could not be written",
     L"Could not write file: Access is denied."},
    {{FailureKind::LinkInFolder, 0, 0, L"bin\\quorvel.install"},
     L"a link stands where a file of the install folder belongs: bin\\quorvel.install",
     L"Could not write file: bin\\quorvel.install"},
    {{FailureKind::Connect, 0, 404, L"data\\b.pak"}, L"the patch server did not deliver: data\\b.pak (HTTP status 404)",
     L"Could not connect to the patch server. data\\b.pak"},
    {{FailureKind::Manifest}, L"the manifest could not be used", L"Invalid patch manifest."},
    {{FailureKind::OutOfMemory, 8}, L"the run ran out of memory", L"Error 8"},
    {{FailureKind::RegistryWrite, 5, 0, L"Software\\Quorvel\\Language"},
     L"a registry value could not be written: Software\\Quorvel\\Language",
     L"a registry value could not be written"},
};

}  // namespace

TEST(Failure, LogWordingAndPlayerTextOfEachCase) {
  g_installerLanguage = kEnglishLanguage;
  g_launcherLanguage = kEnglishLanguage;
  for (const WordingCase& c : kCases) {
    EXPECT_EQ(FailureLogText(c.failure), c.log);
    EXPECT_EQ(FailureText(c.failure), c.player) << c.log;
  }
}

TEST(Failure, EveryKindHasItsOwnWording) {
  std::set<std::wstring> seen;
  for (int32_t k = 0; k < static_cast<int32_t>(FailureKind::Count); ++k) {
    const std::wstring wording = FailureWording(static_cast<FailureKind>(k));
    EXPECT_FALSE(wording.empty()) << k;
    EXPECT_TRUE(seen.insert(wording).second) << "kind " << k << " repeats " << std::string(wording.begin(), wording.end());
  }
  EXPECT_STREQ(FailureWording(FailureKind::Count), L"an unknown failure");
}

TEST(Failure, PlayerTextFollowsTheLanguage) {
  for (int32_t lang = 0; lang < kInstallerLanguageCount; ++lang) {
    g_installerLanguage = lang;
    EXPECT_EQ(FailureText({FailureKind::GameRunning}), InstallerString(ErrorGameRunning));
    EXPECT_EQ(FailureText({FailureKind::BadRate}), InstallerString(ErrorLimitRate));
  }
  g_installerLanguage = kEnglishLanguage;
}
