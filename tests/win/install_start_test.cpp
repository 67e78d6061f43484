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
