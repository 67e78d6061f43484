// The installed version in config\patcher.ini, through the real profile API.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "patch/state.h"
#include "temp_folder.h"
#include "test_servers.h"

using namespace qvtest;

TEST(InstalledVersion, RoundTripsThroughPatcherIni) {
  TempFolder folder;
  int32_t v = 5;
  EXPECT_FALSE(ReadInstalledVersion(folder.path(), v));  // no file
  EXPECT_EQ(v, 5);
  for (int32_t written : {0, 12, 2147483647}) {
    WriteInstalledVersion(folder.path(), written);
    ASSERT_TRUE(ReadInstalledVersion(folder.path(), v));
    EXPECT_EQ(v, written);
  }
  const std::string ini = ReadFileBytes(folder.path() + L"config\\patcher.ini");
  EXPECT_NE(ini.find("[patch]"), std::string::npos);
  EXPECT_NE(ini.find("version=2147483647"), std::string::npos);
}

TEST(InstalledVersion, MissingSectionKeyOrFolderReadsAsUnknown) {
  TempFolder folder;
  int32_t v = 5;
  WriteFileBytes(folder.path() + L"config\\patcher.ini", "[other]\r\nversion=3\r\n[patch]\r\nbuild=4\r\n");
  EXPECT_FALSE(ReadInstalledVersion(folder.path(), v));
  WriteFileBytes(folder.path() + L"config\\patcher.ini", "[patch]\r\nversion=-1\r\n");
  EXPECT_FALSE(ReadInstalledVersion(folder.path(), v));
  WriteInstalledVersion(folder.path(), -3);
  EXPECT_NE(ReadFileBytes(folder.path() + L"config\\patcher.ini").find("version=-3"), std::string::npos);
  EXPECT_FALSE(ReadInstalledVersion(folder.path(), v));
  EXPECT_EQ(v, 5);
  WriteFileBytes(folder.path() + L"config\\patcher.ini", "[patch]\r\nversion=0\r\n");
  EXPECT_TRUE(ReadInstalledVersion(folder.path(), v));
  EXPECT_EQ(v, 0);
  // Without a config folder nothing is written and nothing is read.
  const std::wstring missing = folder.path() + L"nothing-here\\";
  WriteInstalledVersion(missing, 4);
  EXPECT_FALSE(ReadInstalledVersion(missing, v));
  EXPECT_FALSE(std::filesystem::exists(missing));
}
