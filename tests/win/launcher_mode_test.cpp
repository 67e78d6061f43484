// Launcher mode replaces the running executable, so these runs happen in a separate process:
// a copy of qv_patch_driver.exe named Quorvel.exe inside the install folder.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/files.h"
#include "test_release.h"
#include "test_servers.h"

using namespace qvtest;

namespace {

struct DriverResult {
  DWORD exitCode = 0xffffffff;
  std::string stages;  // "1 2 2+ 3 ..." as the driver's window received them
  std::string output;
};

// Runs exe with the arguments and waits for it; stdout goes through a file.
DriverResult RunDriver(const std::wstring& exe, const std::wstring& arguments, const std::wstring& outputFile) {
  DriverResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE out = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return result;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  result.output = ReadBytes(outputFile);
  std::istringstream lines(result.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string stage;
    if (line.rfind("stage ", 0) == 0) stage = line.substr(6);
    else if (line == "manifest-data") stage = "2+";
    if (!stage.empty()) result.stages += (result.stages.empty() ? "" : " ") + stage;
  }
  return result;
}

struct LauncherCase : ::testing::Test {
  ScratchFolder folder;
  ScratchFolder logs;
  Release release;
  std::wstring launcher = folder / L"Quorvel.exe";
  std::string driverBytes;
  std::string game = RandomBytes(30000, 51);
  PublishedObject gameObject;

  void SetUp() override {
    driverBytes = ReadBytes(GetModuleDir() + L"qv_patch_driver.exe");
    ASSERT_NE(driverBytes, "<missing>");
    ASSERT_TRUE(WriteBytes(launcher, driverBytes));
    gameObject = release.Put(game);
  }

  // A manifest whose launcher entry carries launcherBytes.
  void PublishWithLauncher(const std::string& launcherBytes) {
    const PublishedObject object = release.Put(launcherBytes);
    release.Sign("{\"format\":1,\"version\":5,\"files\":[" + EntryJson("data/game.bin", gameObject) +
                 "],\"launcher\":" + EntryJson("Quorvel.exe", object) + "}");
  }

  DriverResult Launch(const std::wstring& exe, const std::wstring& dir, const std::wstring& mode = L"--launcher") {
    static int count = 0;
    // No trailing backslash inside the quotes: it would escape the closing quote.
    const std::wstring bare = !dir.empty() && dir.back() == L'\\' ? dir.substr(0, dir.size() - 1) : dir;
    return RunDriver(exe,
                     L"--dir=\"" + bare + L"\" --url=" + release.NginxBase() + L" --key=" +
                         qvtest::Widen(qvtest::ServerValue("QV_PUBLIC_KEY")) + L" " + mode,
                     logs / L"out" + std::to_wstring(++count) + L".txt");
  }
};

}  // namespace

TEST_F(LauncherCase, IdenticalLauncherGoesStraightToChecking) {
  PublishWithLauncher(driverBytes);
  const DriverResult run = Launch(launcher, folder.path());
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(run.stages, "1 2 2+ 3 4 5 8 8") << run.output;
  EXPECT_TRUE(ReadBytes(launcher) == driverBytes);
  EXPECT_TRUE(ReadBytes(folder / L"data\\game.bin") == game);
}

TEST_F(LauncherCase, NewLauncherReplacesTheRunningOneAndTheBackupGoesNextTime) {
  // Bytes appended to an executable leave it runnable and give it another hash.
  const std::string newer = driverBytes + "launcher build 2";
  PublishWithLauncher(newer);
  const DriverResult first = Launch(launcher, folder.path());
  EXPECT_EQ(first.exitCode, 7u) << first.output;
  EXPECT_EQ(first.stages, "1 2 2+ 6 7 7") << first.output;
  EXPECT_TRUE(ReadBytes(launcher) == newer);
  EXPECT_TRUE(ReadBytes(launcher + L".old") == driverBytes);
  EXPECT_FALSE(Exists(launcher + L".new"));
  EXPECT_FALSE(Exists(folder / L"data\\game.bin")) << "the restarted launcher does the rest";

  const DriverResult second = Launch(launcher, folder.path());
  EXPECT_EQ(second.exitCode, 0u) << second.output;
  EXPECT_EQ(second.stages, "1 2 2+ 3 4 5 8 8") << second.output;
  EXPECT_FALSE(Exists(launcher + L".old"));
  EXPECT_TRUE(ReadBytes(folder / L"data\\game.bin") == game);
}

TEST_F(LauncherCase, DeveloperMarkerKeepsTheLauncher) {
  PublishWithLauncher(driverBytes + "another build");
  ASSERT_TRUE(WriteBytes(folder / L"quorv_dev.key", ""));
  const DriverResult run = Launch(launcher, folder.path());
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(run.stages, "1 2 2+ 3 4 5 8 8") << run.output;
  EXPECT_TRUE(ReadBytes(launcher) == driverBytes);
  EXPECT_FALSE(Exists(launcher + L".new"));
  EXPECT_FALSE(Exists(launcher + L".old"));
}

TEST_F(LauncherCase, InvalidLauncherEntryIsAnInvalidManifest) {
  release.Sign("{\"format\":1,\"files\":[],\"launcher\":{\"p\":\"../Quorvel.exe\",\"h\":\"" +
               std::string(64, 'a') + "\"}}");
  const DriverResult run = Launch(launcher, folder.path());
  EXPECT_EQ(run.exitCode, 9u) << run.output;
  EXPECT_NE(run.output.find("error=Invalid patch manifest.\n"), std::string::npos) << run.output;
}

TEST_F(LauncherCase, EmptyFolderMeansTheExecutablesFolder) {
  release.Sign("{\"format\":1,\"files\":[" + EntryJson("data/game.bin", gameObject) + "]}");
  const DriverResult run = Launch(launcher, L"", L"");
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(run.stages, "1 2 2+ 3 4 5 8 8") << run.output;
  EXPECT_TRUE(ReadBytes(folder / L"data\\game.bin") == game);
  EXPECT_TRUE(Exists(folder / L"config\\patcher.ini"));
}
