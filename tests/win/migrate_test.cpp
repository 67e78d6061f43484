#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/migrate.h"
#include "test_files.h"

using namespace qvtest;

// Every entry below root: relative path -> contents, or "<dir>" for a folder.
static std::map<std::wstring, std::string> Snapshot(const std::wstring& root) {
  std::map<std::wstring, std::string> entries;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    std::wstring rel = e.path().wstring().substr(root.size());
    entries[rel] = e.is_directory() ? "<dir>" : ReadBytes(e.path().wstring());
  }
  return entries;
}

TEST(Migrate, LooseFilesMoveIntoConfigAndLogs) {
  ScratchFolder root;
  const wchar_t* names[] = {L"tarnel.cfg", L"mouse.cfg", L"channel.inf", L"locale.cfg", L"loca.cfg",
                            L"interface.cfg", L"config.cfg", L"switchbot.pkl", L"enbconvertor.ini",
                            L"patcher.ini", L"patcher_cache.dat"};
  for (const wchar_t* n : names) ASSERT_TRUE(WriteBytes(root / n, std::string("data of ") + char('A' + (n[0] % 26))));
  for (const wchar_t* n : {L"log.txt", L"ErrorLog.txt", L"config.ini"}) ASSERT_TRUE(WriteBytes(root / n, "old log"));
  ASSERT_TRUE(WriteBytes(root / L"syserr", "errors"));
  ASSERT_TRUE(WriteBytes(root / L"Quorvel.exe", "game"));
  ASSERT_TRUE(CreateDirectoryW((root / L"data").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(root / L"data\\mouse.cfg", "not at the root"));

  MigrateLegacyLayout(OpenRoot(root.slashed()));

  std::map<std::wstring, std::string> expected = {
    {L"config", "<dir>"}, {L"logs", "<dir>"}, {L"logs\\syserr", "errors"}, {L"Quorvel.exe", "game"},
    {L"data", "<dir>"}, {L"data\\mouse.cfg", "not at the root"}};
  for (const wchar_t* n : names) expected[std::wstring(L"config\\") + n] = std::string("data of ") + char('A' + (n[0] % 26));
  EXPECT_EQ(Snapshot(root.slashed()), expected);
}

TEST(Migrate, RootFileReplacesTheCopyInConfig) {
  ScratchFolder root;
  ASSERT_TRUE(CreateDirectoryW((root / L"config").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(root / L"tarnel.cfg", "newer at root"));
  ASSERT_TRUE(WriteBytes(root / L"config\\tarnel.cfg", "older in config"));
  ASSERT_TRUE(WriteBytes(root / L"config\\mouse.cfg", "only in config"));
  MigrateLegacyLayout(OpenRoot(root.slashed()));
  EXPECT_EQ(ReadBytes(root / L"config\\tarnel.cfg"), "newer at root");
  EXPECT_FALSE(Exists(root / L"tarnel.cfg"));
  EXPECT_EQ(ReadBytes(root / L"config\\mouse.cfg"), "only in config");
}

TEST(Migrate, EmptyFolderGainsOnlyTheTwoFolders) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"readme.txt", "hello"));
  MigrateLegacyLayout(OpenRoot(root.slashed()));
  std::map<std::wstring, std::string> expected = {{L"config", "<dir>"}, {L"logs", "<dir>"}, {L"readme.txt", "hello"}};
  EXPECT_EQ(Snapshot(root.slashed()), expected);
}

TEST(Migrate, SyserrMovesOnlyWhenLogsHasNone) {
  ScratchFolder root;
  ASSERT_TRUE(CreateDirectoryW((root / L"logs").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(root / L"syserr", "root copy"));
  ASSERT_TRUE(WriteBytes(root / L"logs\\syserr", "logs copy"));
  MigrateLegacyLayout(OpenRoot(root.slashed()));
  EXPECT_EQ(ReadBytes(root / L"syserr"), "root copy");
  EXPECT_EQ(ReadBytes(root / L"logs\\syserr"), "logs copy");

  ScratchFolder other;
  ASSERT_TRUE(CreateDirectoryW((other / L"syserr").c_str(), nullptr));  // a folder of that name moves too
  ASSERT_TRUE(WriteBytes(other / L"syserr\\1.txt", "one"));
  MigrateLegacyLayout(OpenRoot(other.slashed()));
  EXPECT_FALSE(Exists(other / L"syserr"));
  EXPECT_EQ(ReadBytes(other / L"logs\\syserr\\1.txt"), "one");
}

TEST(Migrate, SecondRunChangesNothing) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"locale.cfg", "pt"));
  ASSERT_TRUE(WriteBytes(root / L"log.txt", "x"));
  ASSERT_TRUE(WriteBytes(root / L"syserr", "e"));
  MigrateLegacyLayout(OpenRoot(root.slashed()));
  auto once = Snapshot(root.slashed());
  MigrateLegacyLayout(OpenRoot(root.slashed()));
  EXPECT_EQ(Snapshot(root.slashed()), once);
  EXPECT_EQ(once.at(L"config\\locale.cfg"), "pt");
  EXPECT_EQ(once.count(L"log.txt"), 0u);
}

TEST(Migrate, FailingStepsAreSkipped) {
  ScratchFolder root;
  // A file named "config" blocks the folder: the moves fail and the files stay where they are,
  // the remaining steps still run.
  ASSERT_TRUE(WriteBytes(root / L"config", "a file"));
  ASSERT_TRUE(WriteBytes(root / L"mouse.cfg", "m"));
  ASSERT_TRUE(WriteBytes(root / L"ErrorLog.txt", "e"));
  ASSERT_TRUE(WriteBytes(root / L"syserr", "s"));
  // An open file cannot be deleted; the next name is deleted all the same.
  HANDLE holder = CreateFileW((root / L"log.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  MigrateLegacyLayout(OpenRoot(root.slashed()));
  CloseHandle(holder);
  EXPECT_EQ(ReadBytes(root / L"config"), "a file");
  EXPECT_EQ(ReadBytes(root / L"mouse.cfg"), "m");
  EXPECT_TRUE(Exists(root / L"log.txt"));
  EXPECT_FALSE(Exists(root / L"ErrorLog.txt"));
  EXPECT_EQ(ReadBytes(root / L"logs\\syserr"), "s");
}
