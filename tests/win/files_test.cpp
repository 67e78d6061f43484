#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/log.h"
#include "support/text.h"
#include "test_files.h"

using namespace qvtest;

TEST(Files, ModulePathAndFolder) {
  std::wstring path = GetModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(ToLowerAscii(path.substr(path.size() - 12)), L"qv_tests.exe");
  EXPECT_TRUE(Exists(path));
  EXPECT_FALSE(IsFolder(path));
  std::wstring dir = GetModuleDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), L'\\');
  EXPECT_EQ(path.rfind(dir, 0), 0u);
  EXPECT_EQ(path.find_first_of(L"\\/", dir.size()), std::wstring::npos);
  EXPECT_TRUE(IsFolder(dir));
}

TEST(Files, FolderOfPath) {
  EXPECT_EQ(FolderOfPath(L"QuorvelSetup.exe"), L".\\");
  EXPECT_EQ(FolderOfPath(L""), L".\\");
  EXPECT_EQ(FolderOfPath(L"C:\\Games\\Quorvel\\bin\\a.exe"), L"C:\\Games\\Quorvel\\bin\\");
  EXPECT_EQ(FolderOfPath(L"C:\\Games/a.exe"), L"C:\\Games/");
  EXPECT_EQ(FolderOfPath(L"C:\\Games\\"), L"C:\\Games\\");
}

TEST(Files, EnsureParentFoldersCreatesMissingLevels) {
  ScratchFolder root;
  EXPECT_TRUE(EnsureParentFolders(L""));
  EXPECT_TRUE(EnsureParentFolders(L"no-separator.txt"));
  std::wstring file = root / L"a\\b\\c.txt";
  ASSERT_TRUE(EnsureParentFolders(file));
  EXPECT_TRUE(IsFolder(root / L"a"));
  EXPECT_TRUE(IsFolder(root / L"a\\b"));
  EXPECT_FALSE(Exists(file));
  EXPECT_TRUE(EnsureParentFolders(file));  // already there
  ASSERT_TRUE(EnsureParentFolders(root / L"x\\y\\z\\w"));
  EXPECT_TRUE(IsFolder(root / L"x\\y\\z"));
}

TEST(Files, EnsureParentFoldersRefusesAFileInTheWay) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"file", "x"));
  EXPECT_FALSE(EnsureParentFolders(root / L"file\\child.txt"));
  EXPECT_FALSE(EnsureParentFolders(root / L"file\\deeper\\child.txt"));
  EXPECT_FALSE(IsFolder(root / L"file"));
  EXPECT_EQ(ReadBytes(root / L"file"), "x");
  // Only the backslash separates levels here.
  ASSERT_TRUE(EnsureParentFolders(root / L"p/q.txt"));
  EXPECT_FALSE(Exists(root / L"p"));
}

TEST(Files, ReadWholeFileSizes) {
  ScratchFolder root;
  std::string out = "untouched";
  EXPECT_FALSE(ReadWholeFile(root / L"missing", out));
  EXPECT_EQ(out, "untouched");
  EXPECT_FALSE(ReadWholeFile(root.path(), out));  // a folder
  ASSERT_TRUE(WriteBytes(root / L"empty", ""));
  ASSERT_TRUE(ReadWholeFile(root / L"empty", out));
  EXPECT_TRUE(out.empty());
  std::string binary("a\0b\r\n\xFF", 6);
  ASSERT_TRUE(WriteBytes(root / L"bin", binary));
  ASSERT_TRUE(ReadWholeFile(root / L"bin", out));
  EXPECT_EQ(out, binary);

  std::string big(64u << 20, 'q');
  big[0] = 'A';
  big.back() = 'Z';
  ASSERT_TRUE(WriteBytes(root / L"limit", big));
  ASSERT_TRUE(ReadWholeFile(root / L"limit", out));
  EXPECT_EQ(out.size(), big.size());
  EXPECT_TRUE(out == big);
  big.push_back('!');
  ASSERT_TRUE(WriteBytes(root / L"over", big));
  EXPECT_FALSE(ReadWholeFile(root / L"over", out));
}

TEST(Files, ReadWholeFileRefusesAFileBeingWritten) {
  ScratchFolder root;
  ASSERT_TRUE(WriteBytes(root / L"busy", "data"));
  HANDLE writer = CreateFileW((root / L"busy").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::string out;
  EXPECT_FALSE(ReadWholeFile(root / L"busy", out));
  CloseHandle(writer);
  EXPECT_TRUE(ReadWholeFile(root / L"busy", out));
  EXPECT_EQ(out, "data");
}

TEST(Files, WriteFileAtomicCreatesAndReplaces) {
  ScratchFolder root;
  std::wstring target = root / L"config\\patcher.ini";
  ASSERT_TRUE(EnsureParentFolders(target));
  ASSERT_TRUE(WriteFileAtomic(target, "first"));
  EXPECT_EQ(ReadBytes(target), "first");
  ASSERT_TRUE(WriteFileAtomic(target, std::string("second\0x", 8)));
  EXPECT_EQ(ReadBytes(target), std::string("second\0x", 8));
  ASSERT_TRUE(WriteFileAtomic(target, ""));
  EXPECT_TRUE(Exists(target));
  EXPECT_EQ(ReadBytes(target), "");
  EXPECT_FALSE(Exists(target + L".ap_tmp"));
  // A stale temporary file from an interrupted run is overwritten, not appended to.
  ASSERT_TRUE(WriteBytes(target + L".ap_tmp", "stale stale stale"));
  ASSERT_TRUE(WriteFileAtomic(target, "third"));
  EXPECT_EQ(ReadBytes(target), "third");
  EXPECT_FALSE(Exists(target + L".ap_tmp"));
}

TEST(Files, WriteFileAtomicRefusedTemporaryFile) {
  ScratchFolder root;
  // The folder is not created for the caller.
  EXPECT_FALSE(WriteFileAtomic(root / L"missing\\a.txt", "x"));
  EXPECT_FALSE(Exists(root / L"missing"));
  // A folder sits where the temporary file would go.
  std::wstring target = root / L"a.txt";
  ASSERT_TRUE(WriteBytes(target, "old"));
  ASSERT_TRUE(CreateDirectoryW((target + L".ap_tmp").c_str(), nullptr));
  EXPECT_FALSE(WriteFileAtomic(target, "new"));
  EXPECT_EQ(ReadBytes(target), "old");
  EXPECT_TRUE(IsFolder(target + L".ap_tmp"));
}

TEST(Files, WriteFileAtomicRefusedMove) {
  ScratchFolder root;
  // The target is a folder.
  std::wstring folder = root / L"folder";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_FALSE(WriteFileAtomic(folder, "x"));
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_FALSE(Exists(folder + L".ap_tmp"));

  // The target is held open without sharing.
  std::wstring target = root / L"locked.dat";
  ASSERT_TRUE(WriteBytes(target, "old"));
  HANDLE holder = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteFileAtomic(target, "new"));
  EXPECT_FALSE(Exists(target + L".ap_tmp"));
  CloseHandle(holder);
  EXPECT_EQ(ReadBytes(target), "old");
}

TEST(Files, SystemErrorText) {
  std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), L'\n');
  EXPECT_NE(text.back(), L'\r');
  EXPECT_NE(text.back(), L' ');
  EXPECT_NE(SystemErrorText(ERROR_ACCESS_DENIED), text);
  EXPECT_EQ(SystemErrorText(0x2000FFFFu), L"");
}

TEST(Log, AppendsLinesAndMovesAFullLogAside) {
  ScratchFolder folder;
  const std::wstring path = folder / L"setup.log";
  const std::string ours = "2026-12-08 18:53:43.123 [1234] Quorvel Setup 1.0 started: x\r\n";
  ASSERT_TRUE(WriteBytes(path, ours + std::string(1024 * 1024, 'x')));
  LogOpen(path);
  EXPECT_EQ(ReadBytes(path + L".old").size(), ours.size() + 1024 * 1024) << "a log past 1 MiB is moved aside";
  LogLine(L"first\nline");
  LogFailure(L"Could not write file: Data\\a.pak", ERROR_ACCESS_DENIED);
  LogFailure(L"no code", 0);
  const std::string log = ReadBytes(path);
  EXPECT_NE(log.find("] first line\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] Could not write file: Data\\a.pak (Windows error 5: "), std::string::npos) << log;
  EXPECT_NE(log.find("] no code\r\n"), std::string::npos) << log;
  LogOpen(path);  // small: stays where it is
  EXPECT_EQ(ReadBytes(path), log);
  LogOpen(L"");
  LogLine(L"nowhere");
  EXPECT_EQ(ReadBytes(path), log);

  // Another program's large file, and one at its ".old", are never moved: the log is appended.
  const std::wstring foreign = folder / L"other.txt";
  const std::string big(1024 * 1024 + 1, 'y');
  ASSERT_TRUE(WriteBytes(foreign, big));
  ASSERT_TRUE(WriteBytes(foreign + L".old", "keep"));
  LogOpen(foreign);
  LogLine(L"appended");
  EXPECT_EQ(ReadBytes(foreign + L".old"), "keep");
  EXPECT_EQ(ReadBytes(foreign).compare(0, big.size(), big), 0);
  EXPECT_NE(ReadBytes(foreign).find("] appended\r\n"), std::string::npos);
  // An own log past 1 MiB with another program's file at ".old" stays too.
  ASSERT_TRUE(WriteBytes(path, ours + std::string(1024 * 1024, 'x')));
  ASSERT_TRUE(WriteBytes(path + L".old", "not a log"));
  LogOpen(path);
  EXPECT_EQ(ReadBytes(path + L".old"), "not a log");
  LogOpen(L"");
}
