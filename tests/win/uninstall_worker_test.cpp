// The uninstall worker on real folders: what goes, what stays (keep on and off, a player's own
// files, anything outside the folder), links never followed, progress counters, the registry
// keys in a private HKEY_CURRENT_USER, and the start checks.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install_test_util.h"
#include "message_sink.h"
#include "ui/window.h"
#include "uninstall/worker.h"

using enum SetupPage;

using namespace qvtest;

// The wizard's counters and window, as BeginUninstall hands them down.
static UninstallProgress ToWizard() { return {&g_setup.uninstallDone, &g_setup.uninstallTotal, g_setup.mainWindow}; }

namespace {

const std::vector<std::wstring> kSettings = {
    L"config\\locale.cfg", L"config\\tarnel.cfg", L"config\\config.cfg", L"config\\channel.inf",
    L"config\\mouse.cfg", L"config\\loca.cfg", L"config\\interface.cfg", L"config\\switchbot.pkl",
    L"config\\enbconvertor.ini"};

// Every file below root as a relative path, every folder with a trailing backslash, every link
// (not entered) with a trailing "@".
void Collect(const std::wstring& root, const std::wstring& rel, std::set<std::wstring>& out) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + L"\\" + rel + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      out.insert(rel + name + L"@");
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.insert(rel + name + L"\\");
      Collect(root, rel + name + L"\\", out);
    } else {
      out.insert(rel + name);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

std::set<std::wstring> Tree(const std::wstring& root) {
  std::set<std::wstring> out;
  Collect(root, L"", out);
  return out;
}

std::string Describe(const std::set<std::wstring>& tree) {
  std::string s;
  for (const auto& p : tree) s += "  " + Narrow(p) + "\n";
  return s;
}

// A line as the patch engine writes it: hash, size, last-write time, path.
std::string CacheLine(const std::string& path) { return std::string(64, 'a') + "\t100\t1700000000\t" + path; }

// An installation as install, patch runs and the game leave it; without the cache, only the
// files every installation has.
void MakeInstallation(const std::wstring& dir, bool withCache = true) {
  if (withCache) {
    WriteBytes(dir + L"\\config\\patcher_cache.dat",
               CacheLine("Data/maps/a/b.dat") + "\n" + CacheLine("Data\\textures.pak") + "\r\n" +
                   CacheLine("bin\\game.dll") + "\n" + CacheLine("QuorvelClient.exe") + "\n" +
                   CacheLine("config\\config.cfg") + "\n" +
                   "edited by hand\t\t\tData\\edited.dat\n");  // any three fields name a path
    for (const wchar_t* rel : {L"Data\\maps\\a\\b.dat", L"Data\\textures.pak", L"Data\\textures.pak.ap_tmp",
                               L"bin\\game.dll", L"Data\\edited.dat"})
      WriteBytes(dir + L"\\" + rel, "game data");
  }
  for (const wchar_t* rel : {L"Quorvel.exe", L"Quorvel.exe.old", L"Quorvel.exe.new",
                             L"QuorvelClient.exe", L"bin\\QuorvelClient.exe", L"bin\\QuorvelClient.exe.old",
                             L"config\\patcher.ini", L"config\\patcher.ini.ap_tmp", L"logs\\syserr\\error.txt",
                             L"logs\\client.log", L"shadercache\\a\\b.bin", L"mark\\m.dat", L"shop\\s.dat",
                             L"bin\\Uninstall Quorvel.exe", L"bin\\quorvel.install", L"screenshot\\shot1.jpg",
                             L"Data\\UserData\\save.dat"})
    WriteBytes(dir + L"\\" + rel, "game data");
  for (const std::wstring& rel : kSettings) WriteBytes(dir + L"\\" + rel, "settings " + Narrow(rel));
}

void WriteRegistryKeys() {
  for (const wchar_t* key : {L"Software\\Quorvel\\Sub", L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel"}) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr), ERROR_SUCCESS);
    RegSetValueExW(k, L"InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    RegCloseKey(k);
  }
}

bool KeyExists(const wchar_t* key) {
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

class Uninstall : public ::testing::Test {
protected:
  void SetUp() override {
    ResetSetupState();
    g_setup.mainWindow = sink_.hwnd();
    WriteRegistryKeys();
  }
  void TearDown() override {
    if (g_setup.uninstallThread.joinable()) g_setup.uninstallThread.join();
    g_setup.mainWindow = nullptr;
  }
  RegistrySandbox registry_;
  MessageSink sink_;
};

}  // namespace

TEST_F(Uninstall, KeepOnLeavesSettingsScreenshotsAndUserData) {
  ScratchFolder dir;
  MakeInstallation(dir.path());
  UninstallWorker(dir.path(), true, ToWizard());

  std::set<std::wstring> expected = {L"config\\", L"screenshot\\", L"screenshot\\shot1.jpg", L"Data\\",
                                     L"Data\\UserData\\", L"Data\\UserData\\save.dat"};
  for (const auto& rel : kSettings) expected.insert(rel);
  std::set<std::wstring> left = Tree(dir.path());
  EXPECT_EQ(left, expected) << Describe(left);
  for (const auto& rel : kSettings) EXPECT_EQ(ReadBytes(dir / rel), "settings " + Narrow(rel));
  EXPECT_EQ(ReadBytes(dir / L"screenshot\\shot1.jpg"), "game data");
  EXPECT_FALSE(KeyExists(L"Software\\Quorvel"));
  EXPECT_FALSE(KeyExists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel"));
  EXPECT_TRUE(KeyExists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
  EXPECT_EQ(sink_.Take(WM_APP + 11).size(), 1u);
}

TEST_F(Uninstall, KeepOffRemovesAnInstallationOfKnownFilesCompletely) {
  ScratchFolder base;
  const std::wstring dir = base / L"Quorvel";
  MakeInstallation(dir);
  UninstallWorker(dir, false, ToWizard());
  EXPECT_FALSE(Exists(dir)) << Describe(Tree(dir));
  EXPECT_TRUE(Exists(base.path()));
  EXPECT_FALSE(KeyExists(L"Software\\Quorvel"));
  EXPECT_FALSE(KeyExists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel"));
}

TEST_F(Uninstall, OlderLayoutSettingsAreKeptInConfig) {
  ScratchFolder dir;
  MakeInstallation(dir.path());
  WriteBytes(dir / L"tarnel.cfg", "root-level settings");
  WriteBytes(dir / L"quorvel.install", "Quorvel");
  WriteBytes(dir / L"Uninstall Quorvel.exe", "old uninstaller");
  UninstallWorker(dir.path(), true, ToWizard());
  EXPECT_EQ(ReadBytes(dir / L"config\\tarnel.cfg"), "root-level settings");
  EXPECT_FALSE(Exists(dir / L"tarnel.cfg"));
  EXPECT_FALSE(Exists(dir / L"quorvel.install"));
  EXPECT_FALSE(Exists(dir / L"Uninstall Quorvel.exe"));
}

TEST_F(Uninstall, PlayersOwnFilesSurviveWithTheirFolders) {
  ScratchFolder dir;
  MakeInstallation(dir.path());
  WriteBytes(dir / L"notes.txt", "mine");
  WriteBytes(dir / L"Data\\mymod\\readme.txt", "mine too");
  WriteBytes(dir / L"bin\\tool.exe", "my tool");
  DeleteFileW((dir / L"Quorvel.exe.old").c_str());
  WriteBytes(dir / L"Quorvel.exe.old\\mine.txt", "a folder where a game file was");
  UninstallWorker(dir.path(), false, ToWizard());
  std::set<std::wstring> left = Tree(dir.path());
  EXPECT_EQ(left, (std::set<std::wstring>{L"notes.txt", L"Data\\", L"Data\\mymod\\", L"Data\\mymod\\readme.txt",
                                          L"bin\\", L"bin\\tool.exe", L"Quorvel.exe.old\\", L"Quorvel.exe.old\\mine.txt"}))
      << Describe(left);
  EXPECT_FALSE(UninstallLeftFiles()) << "the player's own files are not the game's";
}

TEST_F(Uninstall, CacheLinesNeverReachOutsideTheFolder) {
  ScratchFolder base;
  const std::wstring dir = base / L"Quorvel";
  MakeInstallation(dir, false);
  WriteBytes(base / L"outside.txt", "not the game's");
  WriteBytes(base / L"Other\\x.dat", "not the game's");
  const std::string absolute = Narrow(base / L"outside.txt");
  WriteBytes(dir + L"\\config\\patcher_cache.dat",
             CacheLine("..\\outside.txt") + "\n" + CacheLine("../Other/x.dat") + "\n" +
                 CacheLine("Data\\..\\..\\outside.txt") + "\n" + CacheLine(absolute) + "\n" +
                 CacheLine("\\qvtests\\x") + "\n" + CacheLine("/" + absolute.substr(3)) + "\n" +
                 CacheLine("C:outside.txt") + "\n" + "no tabs at all ..\\outside.txt\n" +
                 "1\t2\t..\\outside.txt\n");
  UninstallWorker(dir, false, ToWizard());
  EXPECT_EQ(ReadBytes(base / L"outside.txt"), "not the game's");
  EXPECT_EQ(ReadBytes(base / L"Other\\x.dat"), "not the game's");
  EXPECT_FALSE(Exists(dir)) << Describe(Tree(dir));
  // Nine lines were read, none was usable: the fixed list alone.
  EXPECT_EQ(g_setup.uninstallTotal.load(), 19);
}

TEST_F(Uninstall, LinksAreNeitherFollowedNorDeleted) {
  ScratchFolder base;
  const std::wstring dir = base / L"Quorvel";
  MakeInstallation(dir, false);
  const std::wstring outside = base / L"Outside";
  for (const wchar_t* rel : {L"cache\\shader.bin", L"logs\\keep.log", L"maps\\victim.dat", L"user\\save.dat",
                             L"config.cfg", L"Quorvel.exe"})
    WriteBytes(outside + L"\\" + rel, "outside");
  MakeLink(dir + L"\\shadercache\\linked", outside + L"\\cache");        // a junction inside a working folder
  MakeLink(dir + L"\\shadercache\\file.bin", outside + L"\\config.cfg");  // a file link the listing hides
  MakeLink(dir + L"\\shop", outside + L"\\logs");                          // a working folder that is a link
  MakeLink(dir + L"\\Data\\linked", outside + L"\\maps");                  // a cached file's folder is a link
  DeleteFileW((dir + L"\\Quorvel.exe.new").c_str());
  MakeLink(dir + L"\\Quorvel.exe.new", outside + L"\\Quorvel.exe");        // a fixed file that is a link
  MoveFileW((dir + L"\\Data\\UserData").c_str(), (dir + L"\\Data\\UserDataReal").c_str());
  MakeLink(dir + L"\\Data\\UserData", outside + L"\\user");                // a user folder that is a link
  WriteBytes(dir + L"\\config\\patcher_cache.dat", CacheLine("Data\\linked\\victim.dat") + "\n");

  UninstallWorker(dir, false, ToWizard());

  std::set<std::wstring> outsideLeft = Tree(outside);
  EXPECT_EQ(outsideLeft, (std::set<std::wstring>{L"cache\\", L"cache\\shader.bin", L"logs\\", L"logs\\keep.log",
                                                 L"maps\\", L"maps\\victim.dat", L"user\\", L"user\\save.dat",
                                                 L"config.cfg", L"Quorvel.exe"}))
      << Describe(outsideLeft);
  for (const wchar_t* rel : {L"cache\\shader.bin", L"logs\\keep.log", L"maps\\victim.dat", L"user\\save.dat",
                             L"config.cfg", L"Quorvel.exe"})
    EXPECT_EQ(ReadBytes(outside + L"\\" + rel), "outside") << Narrow(rel);
  // The links themselves stay, and so do the folders that hold them.
  for (const wchar_t* rel : {L"shadercache\\linked", L"shadercache\\file.bin", L"shop", L"Data\\linked",
                             L"Quorvel.exe.new", L"Data\\UserData"})
    EXPECT_TRUE(Exists(dir + L"\\" + rel)) << Narrow(rel);
  EXPECT_FALSE(Exists(dir + L"\\shadercache\\a")) << "the rest of the working folder still goes";
  EXPECT_FALSE(UninstallLeftFiles()) << "links stay on purpose, and are not reported as left";
}

TEST_F(Uninstall, LinkedInstallFolderIsEmptiedButKept) {
  ScratchFolder base;
  const std::wstring real = base / L"Real", dir = base / L"Quorvel";
  MakeInstallation(real);
  MakeLink(dir, real);
  UninstallWorker(dir, false, ToWizard());
  EXPECT_EQ(Tree(real), std::set<std::wstring>{}) << Describe(Tree(real));
  EXPECT_TRUE(Exists(real));
}

TEST_F(Uninstall, ReadOnlyFilesAreDeletedAsWell) {
  ScratchFolder dir;
  MakeInstallation(dir.path());
  for (const wchar_t* rel : {L"Data\\textures.pak", L"Quorvel.exe", L"shadercache\\a\\b.bin", L"config\\mouse.cfg"})
    ASSERT_TRUE(SetFileAttributesW((dir / rel).c_str(), FILE_ATTRIBUTE_READONLY));
  UninstallWorker(dir.path(), false, ToWizard());
  EXPECT_FALSE(Exists(dir.path())) << Describe(Tree(dir.path()));
}

TEST_F(Uninstall, ProgressCountsTheFileListPlusOne) {
  ScratchFolder dir;
  MakeInstallation(dir.path(), false);
  UninstallWorker(dir.path(), true, ToWizard());
  EXPECT_EQ(g_setup.uninstallTotal.load(), 19);
  EXPECT_EQ(g_setup.uninstallDone.load(), 19);

  ScratchFolder second;
  MakeInstallation(second.path(), true);  // six cache lines
  UninstallWorker(second.path(), true, ToWizard());
  EXPECT_EQ(g_setup.uninstallTotal.load(), 25);
  EXPECT_EQ(g_setup.uninstallDone.load(), 25);
  EXPECT_EQ(sink_.Take(WM_APP + 11).size(), 2u);
}

TEST_F(Uninstall, FolderContentsWithoutTheFolder) {
  ScratchFolder dir;
  WriteBytes(dir / L"a\\b\\c.txt", "x");
  WriteBytes(dir / L"a\\d.txt", "x");
  WriteBytes(dir / L"e.txt", "x");
  ASSERT_TRUE(SetFileAttributesW((dir / L"a\\d.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  DeleteFolderContents(dir.path());
  EXPECT_TRUE(Exists(dir.path()));
  EXPECT_EQ(Tree(dir.path()), std::set<std::wstring>{});
  DeleteFolderContents(dir / L"missing");  // no listing: nothing happens
}

TEST_F(Uninstall, StartRefusesWhileTheLauncherRuns) {
  SharedStateLock lock;
  ScratchFolder dir;
  MakeInstallation(dir.path());
  const std::set<std::wstring> before = Tree(dir.path());
  g_setup.installDir = dir.path();
  g_setup.page = UninstallConfirm;
  {
    LauncherRunning launcher;
    EXPECT_FALSE(BeginUninstall());
  }
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorGameRunning));
  EXPECT_EQ(g_setup.page, UninstallConfirm);
  EXPECT_FALSE(g_setup.uninstallThread.joinable());
  EXPECT_EQ(Tree(dir.path()), before);
  EXPECT_TRUE(KeyExists(L"Software\\Quorvel"));
}

TEST_F(Uninstall, StartRefusesAFolderWithoutMarker) {
  ScratchFolder dir;
  MakeInstallation(dir.path());
  DeleteFileW((dir / L"bin\\quorvel.install").c_str());
  const std::set<std::wstring> before = Tree(dir.path());
  g_setup.installDir = dir.path();
  g_setup.page = UninstallConfirm;
  EXPECT_FALSE(BeginUninstall());
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorNoInstallation));
  EXPECT_EQ(g_setup.page, UninstallConfirm);
  EXPECT_EQ(Tree(dir.path()), before);

  // A folder given relative to the current one is no installation either.
  WriteBytes(dir / L"bin\\quorvel.install", "Quorvel");
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  SetCurrentDirectoryW(L"C:\\qvtests");
  g_setup.installDir = dir.path().substr(std::wstring(L"C:\\qvtests\\").size());
  g_setup.errorText.clear();
  EXPECT_FALSE(BeginUninstall());
  SetCurrentDirectoryW(current);
  EXPECT_EQ(g_setup.errorText, InstallerString(ErrorNoInstallation));
  EXPECT_TRUE(Exists(dir / L"Quorvel.exe"));
}

TEST_F(Uninstall, StartRunsTheWorkerOnItsThread) {
  SharedStateLock lock;
  ScratchFolder base;
  const std::wstring dir = base / L"Quorvel";
  MakeInstallation(dir);
  g_setup.installDir = dir;
  g_setup.optKeepUserData = false;
  g_setup.errorText = L"old";
  g_setup.page = UninstallConfirm;
  ASSERT_TRUE(BeginUninstall());
  EXPECT_EQ(g_setup.page, Uninstalling);
  EXPECT_EQ(g_setup.errorText, L"");
  ASSERT_TRUE(g_setup.uninstallThread.joinable());
  EXPECT_NE(g_setup.uninstallThread.get_id(), std::this_thread::get_id());
  g_setup.uninstallThread.join();
  EXPECT_FALSE(Exists(dir));
  EXPECT_EQ(sink_.Take(WM_APP + 11).size(), 1u);
}

TEST_F(Uninstall, AHeldFileIsNamedAndWhatFindsItAgainStays) {
  ScratchFolder base;
  const std::wstring dir = base / L"Quorvel";
  MakeInstallation(dir);
  HANDLE held = CreateFileW((dir + L"\\Data\\textures.pak").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  UninstallWorker(dir, false, ToWizard());
  CloseHandle(held);
  EXPECT_TRUE(UninstallLeftFiles());
  const std::set<std::wstring> left = Tree(dir);
  EXPECT_EQ(left, (std::set<std::wstring>{L"Data\\", L"Data\\textures.pak", L"bin\\", L"bin\\Uninstall Quorvel.exe",
                                          L"bin\\quorvel.install", L"config\\", L"config\\patcher_cache.dat"}))
      << Describe(left);
  EXPECT_TRUE(KeyExists(L"Software\\Quorvel"));
  EXPECT_TRUE(KeyExists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel"));

  UninstallWorker(dir, false, ToWizard());  // the file is free now
  EXPECT_FALSE(UninstallLeftFiles());
  EXPECT_FALSE(Exists(dir)) << Describe(Tree(dir));
  EXPECT_FALSE(KeyExists(L"Software\\Quorvel"));
}

TEST_F(Uninstall, AFolderThatCannotBeOpenedLosesNothing) {
  ScratchFolder base;
  UninstallWorker(base / L"Missing", false, ToWizard());
  EXPECT_TRUE(UninstallLeftFiles());
  EXPECT_TRUE(KeyExists(L"Software\\Quorvel"));
  EXPECT_TRUE(KeyExists(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel"));
  EXPECT_EQ(sink_.Take(WM_APP + 11).size(), 1u);
}
