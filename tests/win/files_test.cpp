#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

TEST(Files, EnsureFoldersBelowCreatesMissingLevels) {
  ScratchFolder scratch;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, scratch.path()));
  EXPECT_TRUE(EnsureFoldersBelow(root, scratch / L"no-separator.txt"));
  std::wstring file = scratch / L"a\\b\\c.txt";
  ASSERT_TRUE(EnsureFoldersBelow(root, file));
  EXPECT_TRUE(IsFolder(scratch / L"a"));
  EXPECT_TRUE(IsFolder(scratch / L"a\\b"));
  EXPECT_FALSE(Exists(file));
  EXPECT_TRUE(EnsureFoldersBelow(root, file));  // already there
  ASSERT_TRUE(EnsureFoldersBelow(root, scratch / L"x\\y\\z\\w"));
  EXPECT_TRUE(IsFolder(scratch / L"x\\y\\z"));
  EXPECT_FALSE(EnsureFoldersBelow(root, L"C:\\elsewhere\\a.txt")) << "only below the root";
}

TEST(Files, EnsureFoldersBelowRefusesAFileInTheWay) {
  ScratchFolder scratch;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, scratch.path()));
  ASSERT_TRUE(WriteBytes(scratch / L"file", "x"));
  EXPECT_FALSE(EnsureFoldersBelow(root, scratch / L"file\\child.txt"));
  EXPECT_FALSE(EnsureFoldersBelow(root, scratch / L"file\\deeper\\child.txt"));
  EXPECT_FALSE(IsFolder(scratch / L"file"));
  EXPECT_EQ(ReadBytes(scratch / L"file"), "x");
  // Only the backslash separates levels here.
  ASSERT_TRUE(EnsureFoldersBelow(root, scratch / L"p/q.txt"));
  EXPECT_FALSE(Exists(scratch / L"p"));
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

TEST(Files, WriteFileAtomicBelowCreatesAndReplaces) {
  ScratchFolder scratch;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, scratch.path()));
  std::wstring target = scratch / L"config\\patcher.ini";
  ASSERT_TRUE(EnsureFoldersBelow(root, target));
  ASSERT_TRUE(WriteFileAtomicBelow(root, target, "first"));
  EXPECT_EQ(ReadBytes(target), "first");
  ASSERT_TRUE(WriteFileAtomicBelow(root, target, std::string("second\0x", 8)));
  EXPECT_EQ(ReadBytes(target), std::string("second\0x", 8));
  ASSERT_TRUE(WriteFileAtomicBelow(root, target, ""));
  EXPECT_TRUE(Exists(target));
  EXPECT_EQ(ReadBytes(target), "");
  EXPECT_FALSE(Exists(target + L".ap_tmp"));
  // A stale temporary file from an interrupted run is overwritten, not appended to.
  ASSERT_TRUE(WriteBytes(target + L".ap_tmp", "stale stale stale"));
  ASSERT_TRUE(WriteFileAtomicBelow(root, target, "third"));
  EXPECT_EQ(ReadBytes(target), "third");
  EXPECT_FALSE(Exists(target + L".ap_tmp"));
}

TEST(Files, WriteFileAtomicBelowRefusedTemporaryFile) {
  ScratchFolder scratch;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, scratch.path()));
  // The folder is not created for the caller.
  EXPECT_FALSE(WriteFileAtomicBelow(root, scratch / L"missing\\a.txt", "x"));
  EXPECT_FALSE(Exists(scratch / L"missing"));
  // A folder sits where the temporary file would go.
  std::wstring target = scratch / L"a.txt";
  ASSERT_TRUE(WriteBytes(target, "old"));
  ASSERT_TRUE(CreateDirectoryW((target + L".ap_tmp").c_str(), nullptr));
  EXPECT_FALSE(WriteFileAtomicBelow(root, target, "new"));
  EXPECT_EQ(ReadBytes(target), "old");
  EXPECT_TRUE(IsFolder(target + L".ap_tmp"));
}

TEST(Files, WriteFileAtomicBelowRefusedMove) {
  ScratchFolder scratch;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, scratch.path()));
  // The target is a folder.
  std::wstring folder = scratch / L"folder";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_FALSE(WriteFileAtomicBelow(root, folder, "x"));
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_FALSE(Exists(folder + L".ap_tmp"));

  // The target is held open without sharing.
  std::wstring target = scratch / L"locked.dat";
  ASSERT_TRUE(WriteBytes(target, "old"));
  HANDLE holder = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteFileAtomicBelow(root, target, "new"));
  EXPECT_FALSE(Exists(target + L".ap_tmp"));
  CloseHandle(holder);
  EXPECT_EQ(ReadBytes(target), "old");
}

TEST(Files, ListBelowAndStatBelowReadThroughTheRoot) {
  ScratchFolder scratch;
  FolderRoot root;
  ASSERT_TRUE(FolderRootOpen(root, scratch.path()));
  ASSERT_TRUE(WriteBytes(scratch / L"parts\\ab.z", "12345"));
  ASSERT_TRUE(CreateDirectoryW((scratch / L"parts\\sub").c_str(), nullptr));
  std::vector<EntryBelow> entries;
  ASSERT_TRUE(ListBelow(root, scratch / L"parts", entries));
  ASSERT_EQ(entries.size(), 2u);
  std::sort(entries.begin(), entries.end(), [](const EntryBelow& a, const EntryBelow& b) { return a.name < b.name; });
  EXPECT_EQ(entries[0].name, L"ab.z");
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_FALSE(entries[0].attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(entries[1].attributes & FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_TRUE(ListBelow(root, scratch.path(), entries)) << "the root itself";
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_FALSE(ListBelow(root, scratch / L"missing", entries));
  EXPECT_TRUE(entries.empty());

  EntryBelow entry;
  ASSERT_TRUE(StatBelow(root, scratch / L"parts\\ab.z", entry));
  EXPECT_EQ(entry.name, L"ab.z");
  EXPECT_EQ(entry.size, 5u);
  EXPECT_NE(entry.lastWriteTime, 0u);
  ASSERT_TRUE(StatBelow(root, scratch / L"parts\\sub", entry));
  EXPECT_TRUE(entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(StatBelow(root, scratch / L"parts\\none.z", entry));
  EXPECT_FALSE(StatBelow(root, L"C:\\elsewhere\\a.txt", entry)) << "only below the root";
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
