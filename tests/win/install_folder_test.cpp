// Install folder rules: normalization, validity (syntax, length, drive type), free space,
// the installation marker and the product sub-folder of a picked folder.
#include <gtest/gtest.h>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
#include "install_test_util.h"
#include "ui/window.h"

using namespace qvtest;

namespace {
class FolderRules : public ::testing::Test {
protected:
  void SetUp() override { ResetSetupState(); }
};
}  // namespace

TEST_F(FolderRules, NormalizeTrimsQuotesBlanksAndSeparators) {
  EXPECT_EQ(NormalizeInstallPath(L"\t\"D:/Games/Quorvel/\" "), L"D:\\Games\\Quorvel");
  EXPECT_EQ(NormalizeInstallPath(L"D:\\"), L"D:\\");
  EXPECT_EQ(NormalizeInstallPath(L"D:\\\\\\"), L"D:\\");
  EXPECT_EQ(NormalizeInstallPath(L"D:\\Games\\\\"), L"D:\\Games");
  EXPECT_EQ(NormalizeInstallPath(L""), L"");
  EXPECT_EQ(NormalizeInstallPath(L" \"\t\" "), L"");
  // Only the ends are trimmed; inner blanks and quotes belong to the text.
  EXPECT_EQ(NormalizeInstallPath(L" C:\\My Games\\Quorvel "), L"C:\\My Games\\Quorvel");
  EXPECT_EQ(NormalizeInstallPath(L"C:\\a\"b"), L"C:\\a\"b");
}

TEST_F(FolderRules, ValidityAcceptsLocalFoldersOfFourTo180Characters) {
  EXPECT_TRUE(IsValidInstallFolder(L"C:\\A"));
  EXPECT_TRUE(IsValidInstallFolder(L"c:\\Games\\Quorvel"));
  EXPECT_FALSE(IsValidInstallFolder(L"C:\\"));
  EXPECT_FALSE(IsValidInstallFolder(L""));
  std::wstring longest = L"C:\\" + std::wstring(177, L'a');
  ASSERT_EQ(longest.size(), 180u);
  EXPECT_TRUE(IsValidInstallFolder(longest));
  EXPECT_FALSE(IsValidInstallFolder(longest + L"a"));
  EXPECT_EQ(InstallFolderProblem(longest + L"a"), L"the path has 181 characters, not 4 to 180");
  EXPECT_EQ(InstallFolderProblem(L"C:\\Ga?mes"), L"the path holds one of the characters <>:\"|?* after its drive");
}

TEST_F(FolderRules, ValidityRefusesBadSyntax) {
  for (const wchar_t* bad : {L"C:\\Games\\..\\Quorvel", L"C:\\Quorvel..old", L"C:\\Gam:es", L"C:\\Game?s",
                             L"C:\\Game*s", L"C:\\Ga<mes", L"C:\\Ga>mes", L"C:\\Ga|mes", L"C:\\Ga\"mes",
                             L"1:\\Games", L"\\\\server\\share\\Quorvel", L"C:/Games", L"CC:\\Games",
                             L"Games\\Quorvel"}) {
    EXPECT_FALSE(IsValidInstallFolder(bad)) << Narrow(bad);
  }
  // A single dot is an ordinary character.
  EXPECT_TRUE(IsValidInstallFolder(L"C:\\Quorvel.old"));
}

TEST_F(FolderRules, ValidityFollowsTheDriveType) {
  SharedStateLock lock;
  ScratchFolder target;
  {
    MappedDrive cdrom(target.path(), DRIVE_CDROM);
    ASSERT_EQ(GetDriveTypeW(cdrom.root().c_str()), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_FALSE(IsValidInstallFolder(cdrom.root() + L"Quorvel"));
  }
  {
    MappedDrive network(target.path(), DRIVE_REMOTE);
    ASSERT_EQ(GetDriveTypeW(network.root().c_str()), static_cast<UINT>(DRIVE_REMOTE));
    EXPECT_FALSE(IsValidInstallFolder(network.root() + L"Quorvel"));
  }
  {
    MappedDrive removable(target.path(), DRIVE_REMOVABLE);
    ASSERT_EQ(GetDriveTypeW(removable.root().c_str()), static_cast<UINT>(DRIVE_REMOVABLE));
    EXPECT_TRUE(IsValidInstallFolder(removable.root() + L"Quorvel"));
  }
  // A letter that names no drive at all.
  DWORD used = GetLogicalDrives();
  wchar_t unused = 0;
  for (wchar_t l = L'X'; l > L'D' && !unused; --l)
    if (!(used & (1u << (l - L'A')))) unused = l;
  ASSERT_TRUE(unused);
  EXPECT_FALSE(IsValidInstallFolder(std::wstring(1, unused) + L":\\Quorvel"));
}

TEST_F(FolderRules, FreeBytesComeFromTheFoldersDrive) {
  ULARGE_INTEGER available{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, nullptr, nullptr));
  // Free space moves while other tests write; both readings must be near each other.
  uint64_t reported = GetDriveFreeBytes(L"C:\\Some\\Folder\\That\\Does\\Not\\Exist");
  uint64_t diff = reported > available.QuadPart ? reported - available.QuadPart : available.QuadPart - reported;
  EXPECT_GT(reported, 0u);
  EXPECT_LT(diff, 1ull << 30);
  EXPECT_EQ(GetDriveFreeBytes(L"C:"), 0u);
  EXPECT_EQ(GetDriveFreeBytes(L"C"), 0u);
  EXPECT_EQ(GetDriveFreeBytes(L"\\\\server\\share"), 0u);
  DWORD used = GetLogicalDrives();
  wchar_t unused = 0;
  for (wchar_t l = L'X'; l > L'D' && !unused; --l)
    if (!(used & (1u << (l - L'A')))) unused = l;
  EXPECT_EQ(GetDriveFreeBytes(std::wstring(1, unused) + L":\\Quorvel"), 0u);
}

TEST_F(FolderRules, MarkerInEitherPlaceCounts) {
  ScratchFolder dir;
  EXPECT_FALSE(HasInstallMarker(dir.path()));
  WriteBytes(dir / L"bin\\quorvel.install", "Quorvel");
  EXPECT_TRUE(HasInstallMarker(dir.path()));
  DeleteFileW((dir / L"bin\\quorvel.install").c_str());
  EXPECT_FALSE(HasInstallMarker(dir.path()));
  WriteBytes(dir / L"quorvel.install", "");
  EXPECT_TRUE(HasInstallMarker(dir.path()));
  // A trailing separator doubles the one inserted; the system still finds the marker.
  EXPECT_TRUE(HasInstallMarker(dir.path() + L"\\"));
  DeleteFileW((dir / L"quorvel.install").c_str());
  // A folder of the marker's name counts as well.
  CreateDirectoryW((dir / L"quorvel.install").c_str(), nullptr);
  EXPECT_TRUE(HasInstallMarker(dir.path()));
}

TEST_F(FolderRules, RequiredBytesForRepairNewInstallAndUnknownSize) {
  ScratchFolder dir;
  WriteBytes(dir / L"bin\\quorvel.install", "Quorvel");
  g_setup.installDir = dir.path();
  g_setup.existingInstall = true;
  g_setup.gameSize = 3000000000ull;
  EXPECT_EQ(RequiredBytes(), 1073741824ull);
  // Not in normalized form: the full size rule applies.
  g_setup.installDir = dir.path() + L"\\";
  EXPECT_EQ(RequiredBytes(), 3536870912ull);
  // Marker gone since start-up.
  g_setup.installDir = dir.path();
  DeleteFileW((dir / L"bin\\quorvel.install").c_str());
  EXPECT_EQ(RequiredBytes(), 3536870912ull);
  g_setup.existingInstall = false;
  g_setup.gameSize = 0;
  EXPECT_EQ(RequiredBytes(), 8589934592ull);
  // A size that would wrap around the 64-bit range still asks for everything.
  g_setup.gameSize = UINT64_MAX - 10;
  EXPECT_EQ(RequiredBytes(), UINT64_MAX);
}

TEST_F(FolderRules, ValidateLeavesOneMessage) {
  g_setup.installDir = L"  \"C:\\qvtests\\valid-folder\\\" ";
  g_setup.gameSize = 1000;
  g_setup.errorText = L"old message";
  EXPECT_TRUE(ValidateInstallFolder());
  EXPECT_EQ(g_setup.errorText, L"");
  EXPECT_EQ(g_setup.installDir, L"  \"C:\\qvtests\\valid-folder\\\" ") << "validation must not change installDir";

  g_setup.installDir = L"C:\\bad?folder";
  EXPECT_FALSE(ValidateInstallFolder());
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorFolderInvalid));

  SetInstallerLanguage(FindInstallerLanguage("de"));
  EXPECT_FALSE(ValidateInstallFolder());
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorFolderInvalid));
  EXPECT_NE(g_setup.errorText, std::wstring(g_installerLanguages[kEnglishLanguage].texts[ErrorFolderInvalid]));

  SetInstallerLanguage(kEnglishLanguage);
  g_setup.installDir = L"C:\\qvtests\\valid-folder";
  g_setup.gameSize = UINT64_MAX / 2;  // more than any disk here
  EXPECT_FALSE(ValidateInstallFolder());
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorNoSpace));
}

TEST_F(FolderRules, ProductFolderIsAppendedOnce) {
  EXPECT_EQ(AppendProductFolder(L"D:\\Games"), L"D:\\Games\\Quorvel");
  EXPECT_EQ(AppendProductFolder(L"D:\\Games\\"), L"D:\\Games\\Quorvel");
  EXPECT_EQ(AppendProductFolder(L"D:\\"), L"D:\\Quorvel");
  EXPECT_EQ(AppendProductFolder(L"D:\\games\\QUORVEL"), L"D:\\games\\QUORVEL");
  EXPECT_EQ(AppendProductFolder(L"D:\\MyQuorvel"), L"D:\\MyQuorvel");
  EXPECT_EQ(AppendProductFolder(L"\"D:/Games/\""), L"D:\\Games\\Quorvel");
  EXPECT_EQ(AppendProductFolder(L"Quorvel"), L"Quorvel");
}
