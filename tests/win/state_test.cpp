// The installed version in config\patcher.ini, as the profile API reads and writes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "patch/state.h"
#include "test_files.h"

using namespace qvtest;

TEST(InstalledVersion, RoundTripsThroughPatcherIni) {
  ScratchFolder folder;
  ASSERT_TRUE(CreateDirectoryW((folder / L"config").c_str(), nullptr));
  int32_t v = 5;
  EXPECT_FALSE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));  // no file
  EXPECT_EQ(v, 5);
  for (int32_t written : {0, 12, 2147483647}) {
    WriteInstalledVersion(OpenRoot(folder.slashed()), written);
    ASSERT_TRUE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));
    EXPECT_EQ(v, written);
  }
  const std::string ini = ReadBytes(folder / L"config\\patcher.ini");
  EXPECT_NE(ini.find("[patch]"), std::string::npos);
  EXPECT_NE(ini.find("version=2147483647"), std::string::npos);
}

TEST(InstalledVersion, MissingSectionKeyOrFolderReadsAsUnknown) {
  ScratchFolder folder;
  ASSERT_TRUE(CreateDirectoryW((folder / L"config").c_str(), nullptr));
  int32_t v = 5;
  WriteBytes(folder / L"config\\patcher.ini", "[other]\r\nversion=3\r\n[patch]\r\nbuild=4\r\n");
  EXPECT_FALSE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));
  WriteBytes(folder / L"config\\patcher.ini", "[patch]\r\nversion=-1\r\n");
  EXPECT_FALSE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));
  WriteInstalledVersion(OpenRoot(folder.slashed()), -3);
  EXPECT_NE(ReadBytes(folder / L"config\\patcher.ini").find("version=-3"), std::string::npos);
  EXPECT_FALSE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));
  EXPECT_EQ(v, 5);
  WriteBytes(folder / L"config\\patcher.ini", "[patch]\r\nversion=0\r\n");
  EXPECT_TRUE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));
  EXPECT_EQ(v, 0);
  // Other sections and keys stay as they were, names in any case and blanks included.
  WriteBytes(folder / L"config\\patcher.ini", "[other]\r\nversion=3\r\n[ Patch ]\r\nbuild=4\r\n\r\n[last]\r\nx=1");
  WriteInstalledVersion(OpenRoot(folder.slashed()), 7);
  EXPECT_EQ(ReadBytes(folder / L"config\\patcher.ini"),
            "[other]\r\nversion=3\r\n[ Patch ]\r\nbuild=4\r\nversion=7\r\n\r\n[last]\r\nx=1");
  WriteBytes(folder / L"config\\patcher.ini", "[PATCH]\r\n Version = 9 \r\n");
  EXPECT_TRUE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));
  EXPECT_EQ(v, 9);
  WriteInstalledVersion(OpenRoot(folder.slashed()), 10);
  EXPECT_EQ(ReadBytes(folder / L"config\\patcher.ini"), "[PATCH]\r\n Version =10\r\n");
  // Without a config folder nothing is written and nothing is read.
  const std::wstring missing = folder / L"nothing-here\\";
  WriteInstalledVersion(OpenRoot(missing), 4);
  EXPECT_FALSE(ReadInstalledVersion(OpenRoot(missing), v));
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(AcceptedVersion, RecordedBesideTheInstalledOneAndNeverLowered) {
  ScratchFolder folder;
  ASSERT_TRUE(CreateDirectoryW((folder / L"config").c_str(), nullptr));
  int32_t v = 0;
  EXPECT_FALSE(ReadAcceptedVersion(OpenRoot(folder.slashed()), v));
  WriteInstalledVersion(OpenRoot(folder.slashed()), 2);
  EXPECT_TRUE(WriteAcceptedVersion(OpenRoot(folder.slashed()), 5));
  EXPECT_TRUE(WriteAcceptedVersion(OpenRoot(folder.slashed()), 3));  // lower: kept at 5
  EXPECT_EQ(ReadBytes(folder / L"config\\patcher.ini"), "[patch]\r\nversion=2\r\naccepted=5\r\n");
  ASSERT_TRUE(ReadAcceptedVersion(OpenRoot(folder.slashed()), v));
  EXPECT_EQ(v, 5);
  ASSERT_TRUE(ReadInstalledVersion(OpenRoot(folder.slashed()), v));
  EXPECT_EQ(v, 2);
  EXPECT_FALSE(WriteAcceptedVersion(OpenRoot(folder / L"nothing-here\\"), 1));
}
