// Install start on real folders: normalization, validation, the launcher lock, the folder
// layout, marker and locale files, and the hand-over to the patch engine.
#include <gtest/gtest.h>

#include "app/build_config.h"
#include "app/languages.h"
#include "app/setup_state.h"
#include "install/start.h"
#include "ui/window.h"
#include "install_test_util.h"
#include "patch/engine.h"
#include "pause_recorder.h"
#include "support/files.h"
#include "test_servers.h"

using enum SetupPage;

using namespace qvtest;

namespace {
class InstallStart : public ::testing::Test {
protected:
  void SetUp() override {
    ResetSetupState();
    g_setup.page = Summary;
    g_setup.gameSize = 1000;  // the free-space rule then asks for 512 MiB
    // Any run the engine starts goes to a port that refuses connections, never outside.
    g_patchBaseUrl = L"http://127.0.0.1:" + std::to_wstring(closed_.port()) + L"/patch/";
  }
  void TearDown() override { g_engine.Stop(); }
  SharedStateLock lock_;  // no launcher mutex of another test may be around
  ClosedPort closed_;
  PauseRecorder pauses_;  // the run's retries against the closed port do not sleep
};
}  // namespace

TEST(LocaleLine, CodePageBlankAndCode) {
  EXPECT_EQ(LocaleLine(FindInstallerLanguage("cz")), "1250 cz");
  EXPECT_EQ(LocaleLine(FindInstallerLanguage("tr")), "1254 tr");
  EXPECT_EQ(LocaleLine(FindInstallerLanguage("pl")), "1250 pl");
  EXPECT_EQ(LocaleLine(kEnglishLanguage), "1252 en");
  for (int i = 0; i < kInstallerLanguageCount; ++i) {
    const std::string line = LocaleLine(i);
    EXPECT_EQ(line, std::to_string(InstallerLanguageCodePage(i)) + " " + InstallerLanguageCode(i));
    EXPECT_EQ(line.find('\n'), std::string::npos);
  }
}

TEST_F(InstallStart, NewFolderGetsLayoutMarkerAndLocaleFilesThenTheRunStarts) {
  ScratchFolder base;
  const std::wstring dir = base / L"Games\\Quorvel";  // two levels that do not exist yet
  g_setup.installDir = L" \"" + dir + L"\\\" ";
  SetInstallerLanguage(FindInstallerLanguage("cz"));

  ASSERT_TRUE(BeginInstall()) << Narrow(g_setup.errorText);
  EXPECT_EQ(g_setup.installDir, dir);
  EXPECT_EQ(g_setup.page, Installing);
  EXPECT_EQ(g_setup.errorText, L"");
  EXPECT_EQ(ReadBytes(dir + L"\\bin\\quorvel.install"), "Quorvel");
  EXPECT_EQ(ReadBytes(dir + L"\\config\\locale.cfg"), "1250 cz");
  EXPECT_EQ(ReadBytes(dir + L"\\config\\loca.cfg"), "1250 cz");
  EXPECT_TRUE(Exists(dir + L"\\logs"));
  EXPECT_FALSE(Exists(dir + L"\\config\\locale.cfg.ap_tmp"));
  EXPECT_EQ(g_engine.requestedFolder, dir + L"\\");
  EXPECT_TRUE(g_engine.installerMode);
  g_engine.Stop();  // before the folder goes
}

TEST_F(InstallStart, RepairRewritesLocaleFilesAndKeepsWhatIsThere) {
  ScratchFolder dir;
  WriteBytes(dir / L"Quorvel.exe", "launcher");
  WriteBytes(dir / L"config\\locale.cfg", "1250 pl");
  WriteBytes(dir / L"tarnel.cfg", "older layout settings");
  g_setup.installDir = dir.path();
  g_setup.installFailed = true;
  g_setup.cancelRequested = true;
  SetInstallerLanguage(FindInstallerLanguage("tr"));

  ASSERT_TRUE(BeginInstall()) << Narrow(g_setup.errorText);
  EXPECT_FALSE(g_setup.installFailed);
  EXPECT_FALSE(g_setup.cancelRequested);
  EXPECT_EQ(ReadBytes(dir / L"Quorvel.exe"), "launcher");
  EXPECT_EQ(ReadBytes(dir / L"config\\locale.cfg"), "1254 tr");
  EXPECT_EQ(ReadBytes(dir / L"config\\loca.cfg"), "1254 tr");
  // The older layout was brought forward before anything was written.
  EXPECT_EQ(ReadBytes(dir / L"config\\tarnel.cfg"), "older layout settings");
  EXPECT_FALSE(Exists(dir / L"tarnel.cfg"));
  g_engine.Stop();
}

TEST_F(InstallStart, RefusedFolderLandsOnTheFolderPage) {
  ScratchFolder base;
  g_setup.installDir = base / L"bad?name";
  EXPECT_FALSE(BeginInstall());
  EXPECT_EQ(g_setup.page, Folder);
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorFolderInvalid));
  EXPECT_FALSE(Exists(base / L"bad?name"));

  g_setup.page = Summary;
  g_setup.installDir = base / L"Quorvel";
  g_setup.gameSize = UINT64_MAX / 2;
  EXPECT_FALSE(BeginInstall());
  EXPECT_EQ(g_setup.page, Folder);
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorNoSpace));
  EXPECT_FALSE(Exists(base / L"Quorvel"));
}

TEST_F(InstallStart, RunningLauncherStopsBeforeAnythingIsCreated) {
  ScratchFolder base;
  g_setup.installDir = base / L"Quorvel";
  {
    LauncherRunning launcher;
    EXPECT_FALSE(BeginInstall());
  }
  EXPECT_EQ(g_setup.page, Summary);
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorGameRunning));
  EXPECT_FALSE(Exists(base / L"Quorvel"));
  EXPECT_FALSE(g_engine.running);
}

TEST_F(InstallStart, UnwritableFolderReportsAndKeepsWhatWasMade) {
  ScratchFolder base;
  // The folder cannot be created below a file.
  WriteBytes(base / L"blocker", "a file");
  g_setup.installDir = base / L"blocker\\Quorvel";
  EXPECT_FALSE(BeginInstall());
  EXPECT_EQ(g_setup.page, Summary);
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorNotWritable));

  // The folder exists but "bin" cannot be a folder: the folder stays, no marker is written.
  WriteBytes(base / L"Quorvel\\bin", "a file where bin belongs");
  g_setup.installDir = base / L"Quorvel";
  EXPECT_FALSE(BeginInstall());
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorNotWritable));
  EXPECT_TRUE(Exists(base / L"Quorvel"));
  EXPECT_FALSE(Exists(base / L"Quorvel\\config\\locale.cfg"));

  // The marker is written but "config" is a file, so the locale files cannot be.
  WriteBytes(base / L"Other\\config", "a file where config belongs");
  g_setup.installDir = base / L"Other";
  EXPECT_FALSE(BeginInstall());
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorNotWritable));
  EXPECT_EQ(ReadBytes(base / L"Other\\bin\\quorvel.install"), "Quorvel");
  EXPECT_EQ(g_setup.page, Summary);
  EXPECT_FALSE(g_engine.running);
}

// ---- Links below the install folder ------------------------------------------------------

namespace {

// A folder with bait outside the install folder, and a digest of everything in it.
struct Bait {
  ScratchFolder outside;
  Bait() {
    WriteBytes(outside / L"b.txt", "bait");
    WriteBytes(outside / L"sub\\c.txt", "bait too");
  }
  std::string Digest() {
    std::string all;
    for (const wchar_t* name : {L"b.txt", L"sub\\c.txt", L"sub", L"new.txt", L"x", L"moved", L"sub\\x"})
      all += Narrow(name) + "=" + (Exists(outside / name) ? ReadBytes(outside / name) : "<none>") + ";";
    return all;
  }
};

}  // namespace

TEST(FilesBelow, NoHelperReadsWritesMovesOrDeletesThroughALink) {
  Bait bait;
  const std::string before = bait.Digest();
  ScratchFolder install;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, install.path()));
  MakeLink(root.path + L"dir", bait.outside.path());          // a folder link
  MakeLink(root.path + L"file", bait.outside / L"b.txt");     // a file link, which Wine does not flag
  MakeLink(root.path + L"t.txt.ap_tmp", bait.outside / L"sub\\c.txt");  // at a temporary name
  WriteBytes(root.path + L"plain.txt", "plain");

  EXPECT_FALSE(IsLinkFreeByName(root, root.path + L"dir\\b.txt"));
  EXPECT_FALSE(IsLinkFreeByName(root, root.path + L"dir\\missing\\x"));
  EXPECT_FALSE(IsLinkFreeByName(root, root.path + L"file"));
  EXPECT_TRUE(IsLinkFreeByName(root, root.path + L"plain.txt"));
  EXPECT_TRUE(IsLinkFreeByName(root, root.path + L"missing\\x"));
  EXPECT_FALSE(EnsureFoldersBelow(root, root.path + L"dir\\sub\\x\\y"));
  EXPECT_FALSE(OpenBelow(root, root.path + L"dir\\new.txt", OpenBelowMode::Create).valid());
  EXPECT_FALSE(OpenBelow(root, root.path + L"file", OpenBelowMode::Create).valid());
  EXPECT_FALSE(OpenBelow(root, root.path + L"file", OpenBelowMode::Write).valid());
  EXPECT_FALSE(OpenBelow(root, root.path + L"file", OpenBelowMode::Read).valid());
  std::string read;
  EXPECT_FALSE(ReadWholeFileBelow(root, root.path + L"dir\\b.txt", read));
  EXPECT_FALSE(WriteFileAtomicBelow(root, root.path + L"file", "x"));
  EXPECT_FALSE(WriteFileAtomicBelow(root, root.path + L"dir\\b.txt", "x"));
  EXPECT_FALSE(WriteFileAtomicBelow(root, root.path + L"t.txt", "x"));
  EXPECT_FALSE(MoveBelow(root, root.path + L"plain.txt", root.path + L"dir\\moved", MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(MoveBelow(root, root.path + L"plain.txt", root.path + L"file", MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(MoveBelow(root, root.path + L"file", root.path + L"moved", MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(DeleteFileBelow(root, root.path + L"file"));
  EXPECT_FALSE(DeleteFileBelow(root, root.path + L"dir\\b.txt"));
  EXPECT_FALSE(RemoveFolderBelow(root, root.path + L"dir\\sub"));
  EXPECT_FALSE(HoldFolderBelow(root, root.path + L"dir").valid());
  EXPECT_FALSE(HoldFolderBelow(root, root.path + L"dir\\new", true).valid());
  TempFileBelow temp;
  EXPECT_FALSE(TempFileBelowCreate(temp, root, root.path + L"dir\\new.txt"));
  EXPECT_FALSE(TempFileBelowCreate(temp, root, root.path + L"t.txt"));
  ASSERT_TRUE(TempFileBelowCreate(temp, root, root.path + L"file"));
  EXPECT_FALSE(TempFileBelowPlace(temp)) << "a link at the destination is refused, not replaced";
  TempFileBelowDiscard(temp);
  EXPECT_FALSE(Exists(root.path + L"file.ap_tmp"));
  EXPECT_EQ(bait.Digest(), before);
  EXPECT_EQ(ReadBytes(root.path + L"plain.txt"), "plain");
  EXPECT_FALSE(Exists(root.path + L"t.txt"));
}

TEST(FilesBelow, NothingIsWrittenThroughAHardLink) {
  Bait bait;
  WriteBytes(bait.outside / L"x", "bait x");
  WriteBytes(bait.outside / L"moved", "read-only bait");
  ASSERT_TRUE(SetFileAttributesW((bait.outside / L"moved").c_str(), FILE_ATTRIBUTE_READONLY));
  const std::string before = bait.Digest();
  ScratchFolder install;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, install.path()));
  MakeHardLink(root.path + L"final.txt", bait.outside / L"b.txt");
  MakeHardLink(root.path + L"t.txt.ap_tmp", bait.outside / L"sub\\c.txt");
  MakeHardLink(root.path + L"part.z", bait.outside / L"x");
  MakeHardLink(root.path + L"ro.txt", bait.outside / L"moved");
  MakeHardLink(root.path + L"ro2.txt", bait.outside / L"moved");

  ASSERT_TRUE(WriteFileAtomicBelow(root, root.path + L"t.txt", "new")) << "the temporary name is made anew";
  EXPECT_EQ(ReadBytes(root.path + L"t.txt"), "new");
  {
    UniqueHandle part = OpenBelow(root, root.path + L"part.z", OpenBelowMode::Write);
    ASSERT_TRUE(part.valid());
    EXPECT_EQ(FileSize(root.path + L"part.z"), 0u) << "a hard-linked part starts over";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(part.get(), "zz", 2, &written, nullptr));
  }
  for (const wchar_t* name : {L"final.txt", L"ro.txt"}) {
    TempFileBelow temp;
    ASSERT_TRUE(TempFileBelowCreate(temp, root, root.path + name));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(temp.file.get(), "fresh", 5, &written, nullptr));
    ASSERT_TRUE(TempFileBelowPlace(temp, true)) << Narrow(name);
    EXPECT_EQ(ReadBytes(root.path + name), "fresh");
  }
  EXPECT_TRUE(DeleteFileBelow(root, root.path + L"ro2.txt"));
  EXPECT_FALSE(Exists(root.path + L"ro2.txt"));
  EXPECT_EQ(bait.Digest(), before);
  EXPECT_TRUE(GetFileAttributesW((bait.outside / L"moved").c_str()) & FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((bait.outside / L"moved").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FilesBelow, PlainFilesAndALinkedInstallFolderWork) {
  ScratchFolder real;
  ScratchFolder base;
  MakeLink(base / L"Quorvel", real.path());  // the install folder itself may be a link
  for (const std::wstring& folder : {real.path(), base / L"Quorvel"}) {
    FolderRoot root;
    ASSERT_TRUE(FolderRootOpen(root, folder)) << Narrow(folder);
    ASSERT_TRUE(EnsureFoldersBelow(root, root.path + L"a\\b\\c.txt")) << Narrow(root.path);
    ASSERT_TRUE(WriteFileAtomicBelow(root, root.path + L"a\\b\\c.txt", "one")) << Narrow(root.path);
    ASSERT_TRUE(WriteFileAtomicBelow(root, root.path + L"a\\b\\c.txt", "two"));
    std::string read;
    ASSERT_TRUE(ReadWholeFileBelow(root, root.path + L"a\\b\\c.txt", read));
    EXPECT_EQ(read, "two");
    ASSERT_TRUE(SetFileAttributesW((root.path + L"a\\b\\c.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(MoveBelow(root, root.path + L"a\\b\\c.txt", root.path + L"a\\d.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(DeleteFileBelow(root, root.path + L"a\\d.txt"));  // read-only is no obstacle
    EXPECT_TRUE(RemoveFolderBelow(root, root.path + L"a\\b"));
    EXPECT_TRUE(RemoveFolderBelow(root, root.path + L"a"));
    EXPECT_FALSE(Exists(root.path + L"a"));

    // A held folder takes files made and placed by handle, and cannot be moved meanwhile.
    UniqueHandle held = HoldFolderBelow(root, root.path + L"e\\f", true);
    ASSERT_TRUE(held.valid()) << Narrow(root.path);
    TempFileBelow temp;
    ASSERT_TRUE(TempFileBelowCreate(temp, root, root.path + L"e\\f\\g.txt", held.get()));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(temp.file.get(), "three", 5, &written, nullptr));
    ASSERT_TRUE(TempFileBelowPlace(temp));
    EXPECT_EQ(ReadBytes(root.path + L"e\\f\\g.txt"), "three");
    EXPECT_FALSE(MoveFileExW((root.path + L"e\\f").c_str(), (root.path + L"e\\moved").c_str(), 0));
    held.reset();
    EXPECT_TRUE(DeleteFileBelow(root, root.path + L"e\\f\\g.txt"));
    EXPECT_TRUE(RemoveFolderBelow(root, root.path + L"e\\f"));
    EXPECT_TRUE(RemoveFolderBelow(root, root.path + L"e"));
  }
}

TEST(FilesBelow, AnInstallFolderSwappedForALinkAfterItWasOpenedSendsNothingThere) {
  Bait bait;
  const std::string before = bait.Digest();
  ScratchFolder base;
  ASSERT_TRUE(CreateDirectoryW((base / L"Quorvel").c_str(), nullptr));
  WriteBytes(base / L"Quorvel\\b.txt", "own");
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, base / L"Quorvel"));
  // The folder moves away while held and a link to the bait takes its name.
  ASSERT_TRUE(MoveFileExW((base / L"Quorvel").c_str(), (base / L"moved").c_str(), 0));
  MakeLink(base / L"Quorvel", bait.outside.path());

  // What is new goes into the folder the handle holds; what exists no longer is where its
  // name says, and is left alone.
  EXPECT_FALSE(WriteFileAtomicBelow(root, root.path + L"b.txt", "x"));
  EXPECT_FALSE(DeleteFileBelow(root, root.path + L"b.txt"));
  EnsureFoldersBelow(root, root.path + L"sub\\x\\y");
  OpenBelow(root, root.path + L"new.txt", OpenBelowMode::Create);
  DeleteTreeBelow(root, root.path + L"sub", true);
  DeleteTreeBelow(root, base / L"Quorvel", false);
  EXPECT_EQ(bait.Digest(), before);
  EXPECT_EQ(ReadBytes(base / L"moved\\b.txt"), "own");
  EXPECT_TRUE(IsFolder(base / L"moved\\sub\\x"));
  RemoveDirectoryW((base / L"Quorvel").c_str());
}

TEST(FilesBelow, OnlyAFileHeldOpenCountsAsInUse) {
  ScratchFolder dir;
  WriteBytes(dir / L"held", "x");
  WriteBytes(dir / L"readonly", "x");
  WriteBytes(dir / L"free", "x");
  SetFileAttributesW((dir / L"readonly").c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW((dir / L"folder").c_str(), nullptr);
  HANDLE held = CreateFileW((dir / L"held").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  FolderRoot dirRoot;
  ASSERT_TRUE(FolderRootOpen(dirRoot, dir.path()));
  EXPECT_TRUE(IsHeldOpenElsewhere(dirRoot, dir / L"held"));
  EXPECT_FALSE(IsHeldOpenElsewhere(dirRoot, dir / L"folder"));
  EXPECT_FALSE(IsHeldOpenElsewhere(dirRoot, dir / L"free"));
  EXPECT_FALSE(IsHeldOpenElsewhere(dirRoot, dir / L"missing"));
  CloseHandle(held);
  EXPECT_FALSE(IsHeldOpenElsewhere(dirRoot, dir / L"held"));
  SetFileAttributesW((dir / L"readonly").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(InstallStart, LinkWhereTheMarkerOrALocaleFileBelongsStopsWithThePath) {
  for (const wchar_t* linked : {L"bin", L"config", L"config\\locale.cfg", L"bin\\quorvel.install.ap_tmp"}) {
    Bait bait;
    const std::string before = bait.Digest();
    ScratchFolder base;
    const std::wstring dir = base / L"Quorvel";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"\\bin").c_str(), nullptr);
    CreateDirectoryW((dir + L"\\config").c_str(), nullptr);
    RemoveDirectoryW((dir + L"\\" + linked).c_str());
    MakeLink(dir + L"\\" + linked, std::wstring(linked).find(L'.') == std::wstring::npos ? bait.outside.path()
                                                                                         : bait.outside / L"b.txt");
    WriteBytes(dir + L"\\locale.cfg", "1252 en");  // an older layout's file the migration would move
    g_setup.installDir = dir;
    g_setup.page = Summary;
    EXPECT_FALSE(BeginInstall()) << Narrow(linked);
    EXPECT_EQ(g_setup.page, Summary);
    EXPECT_EQ(g_setup.errorText.rfind(std::wstring(LauncherString(LauncherText::ErrWriteFile)) + L" ", 0), 0u)
        << Narrow(g_setup.errorText);
    EXPECT_EQ(bait.Digest(), before) << Narrow(linked);
  }
}
