// The uninstall relaunch: the temporary copy's name, the folder derived from the program's
// place, the copy's arguments as the system splits them again, and the self-deletion command.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "install_test_util.h"
#include "uninstall/relaunch.h"

using namespace qvtest;

namespace {
// The program's argument list as the entry point gets it.
struct Args {
  explicit Args(std::vector<std::wstring> list) : storage(std::move(list)) {
    for (auto& s : storage) pointers.push_back(s.data());
  }
  int argc() const { return static_cast<int>(pointers.size()); }
  wchar_t** argv() { return pointers.data(); }
  std::vector<std::wstring> storage;
  std::vector<wchar_t*> pointers;
};

// How the copy will see its command line: program name first, then the split arguments.
std::vector<std::wstring> Split(const std::wstring& arguments) {
  const std::wstring line = L"\"C:\\Temp\\copy.exe\" " + arguments;
  int n = 0;
  wchar_t** parts = CommandLineToArgvW(line.c_str(), &n);
  std::vector<std::wstring> out(parts + 1, parts + n);
  LocalFree(parts);
  return out;
}
}  // namespace

TEST(Relaunch, CopyNameCarriesTheTickCount) {
  EXPECT_EQ(UninstallCopyName(L"C:\\Users\\me\\AppData\\Local\\Temp\\", 5184321),
            L"C:\\Users\\me\\AppData\\Local\\Temp\\Quorvel-Uninstall-5184321.exe");
  EXPECT_EQ(UninstallCopyName(L"C:\\T\\", 0), L"C:\\T\\Quorvel-Uninstall-0.exe");
  EXPECT_EQ(UninstallCopyName(L"C:\\T\\", 18446744073709551615ull), L"C:\\T\\Quorvel-Uninstall-18446744073709551615.exe");
}

TEST(Relaunch, FolderIsTheProgramsFolderOneBinLevelUp) {
  EXPECT_EQ(UninstallFolderOf(L"D:\\Games\\Quorvel\\bin\\Uninstall Quorvel.exe"), L"D:\\Games\\Quorvel");
  EXPECT_EQ(UninstallFolderOf(L"D:\\Games\\Quorvel\\BIN\\Uninstall Quorvel.exe"), L"D:\\Games\\Quorvel");
  EXPECT_EQ(UninstallFolderOf(L"D:\\Downloads\\QuorvelSetup.exe"), L"D:\\Downloads");
  EXPECT_EQ(UninstallFolderOf(L"D:\\Games\\cabin\\setup.exe"), L"D:\\Games\\cabin");
  EXPECT_EQ(UninstallFolderOf(L"D:\\Games\\bin\\bin\\setup.exe"), L"D:\\Games\\bin");
  EXPECT_EQ(UninstallFolderOf(L"D:/Games/Quorvel/setup.exe"), L"D:/Games/Quorvel");
  EXPECT_EQ(UninstallFolderOf(L"setup.exe"), L"");
}

TEST(Relaunch, ArgumentsForwardSilentAndKeep) {
  const std::wstring folder = L"D:\\Games\\Quorvel";
  Args all({L"D:\\Games\\Quorvel\\bin\\Uninstall Quorvel.exe", L"--uninstall", L"--silent", L"--keep=0"});
  EXPECT_EQ(UninstallRunArguments(folder, all.argc(), all.argv()),
            L"--uninstall-run \"--dir=D:\\Games\\Quorvel\" --silent --keep=0");

  Args keepFirst({L"x.exe", L"--keep=1", L"--uninstall", L"--silent"});
  EXPECT_EQ(UninstallRunArguments(folder, keepFirst.argc(), keepFirst.argv()),
            L"--uninstall-run \"--dir=D:\\Games\\Quorvel\" --silent --keep=1");

  Args emptyKeep({L"x.exe", L"--uninstall", L"--keep=", L"--keep=0"});
  EXPECT_EQ(UninstallRunArguments(folder, emptyKeep.argc(), emptyKeep.argv()),
            L"--uninstall-run \"--dir=D:\\Games\\Quorvel\"") << "only the first --keep= counts";

  Args nothing({L"x.exe", L"--uninstall", L"--Silent", L"--KEEP=0", L"--dir=C:\\Elsewhere", L"--lang=de"});
  EXPECT_EQ(UninstallRunArguments(folder, nothing.argc(), nothing.argv()),
            L"--uninstall-run \"--dir=D:\\Games\\Quorvel\"");

  Args withLog({L"x.exe", L"--uninstall", L"--log=C:\\My Logs\\setup.log", L"--log=D:\\x.log", L"--silent"});
  EXPECT_EQ(Split(UninstallRunArguments(folder, withLog.argc(), withLog.argv())),
            (std::vector<std::wstring>{L"--uninstall-run", L"--dir=D:\\Games\\Quorvel", L"--silent",
                                       L"--log=C:\\My Logs\\setup.log"}))
      << "the first --log= goes along, as one argument";

  Args programNamedSilent({L"--silent", L"--uninstall"});
  EXPECT_EQ(UninstallRunArguments(folder, programNamedSilent.argc(), programNamedSilent.argv()),
            L"--uninstall-run \"--dir=D:\\Games\\Quorvel\"") << "argument 0 is never examined";
}

TEST(Relaunch, CopySeesTheFolderAsOneArgument) {
  Args args({L"x.exe", L"--uninstall", L"--silent", L"--keep=0"});
  EXPECT_EQ(Split(UninstallRunArguments(L"C:\\Program Files\\My Games\\Quorvel", args.argc(), args.argv())),
            (std::vector<std::wstring>{L"--uninstall-run", L"--dir=C:\\Program Files\\My Games\\Quorvel", L"--silent",
                                       L"--keep=0"}));
  // A folder at a drive root is passed without its separator, so no backslash precedes the quote.
  EXPECT_EQ(Split(UninstallRunArguments(UninstallFolderOf(L"D:\\bin\\Uninstall Quorvel.exe"), 1, args.argv())),
            (std::vector<std::wstring>{L"--uninstall-run", L"--dir=D:"}));
}

TEST(Relaunch, SelfDeleteCommandWaitsThenDeletesByForce) {
  EXPECT_EQ(SelfDeleteCommand(L"Quorvel-Uninstall-42.exe"),
            L"cmd.exe /d /v:off /c ping -n 3 127.0.0.1 >nul & del /f /q \"Quorvel-Uninstall-42.exe\"");
  // No path is ever in the line, and no name cmd.exe would expand.
  EXPECT_EQ(SelfDeleteCommand(L"a%TEMP%.exe"), L"");
  EXPECT_EQ(SelfDeleteCommand(L"C:\\x.exe"), L"");
}

TEST(Relaunch, SelfDeleteCommandRemovesAFileWhenRun) {
  // The command as the system's interpreter runs it, from the folder of a file of our own whose
  // folder's name holds what cmd.exe would expand or read as a command: the file goes, and its
  // neighbours stay.
  ScratchFolder base;
  const std::wstring dir = base / L"100% & ^%TEMP%^ x";
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  const std::wstring victim = dir + L"\\Quorvel-Uninstall-1.exe";
  WriteBytes(victim, "copy");
  WriteBytes(dir + L"\\100", "neighbour");
  WriteBytes(base / L"Quorvel-Uninstall-1.exe", "neighbour");
  std::wstring line = SelfDeleteCommand(L"Quorvel-Uninstall-1.exe");
  // Its first part only waits for the program to end (two seconds): one echo request here.
  const size_t wait = line.find(L"ping -n 3 ");
  ASSERT_NE(wait, std::wstring::npos);
  line.replace(wait, 10, L"ping -n 1 ");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, dir.c_str(),
                             &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_FALSE(Exists(victim));
  EXPECT_TRUE(Exists(dir));
  EXPECT_EQ(ReadBytes(dir + L"\\100"), "neighbour");
  EXPECT_EQ(ReadBytes(base / L"Quorvel-Uninstall-1.exe"), "neighbour");
}

TEST(Relaunch, FinisherDeletesNothingButTheUninstallersLeftover) {
  // Handle values typed by hand: a process to wait on and a file that is no uninstaller's leftover.
  ScratchFolder dir;
  WriteBytes(dir / L"notes.txt", "mine");
  HANDLE file = CreateFileW((dir / L"notes.txt").c_str(), DELETE | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE self = nullptr;
  const HANDLE me = GetCurrentProcess();
  ASSERT_TRUE(DuplicateHandle(me, me, me, &self, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0));
  const std::wstring handles = std::to_wstring(reinterpret_cast<uintptr_t>(self)) + L"," +
                               std::to_wstring(reinterpret_cast<uintptr_t>(file));
  EXPECT_EQ(FinishUninstall(handles, dir.path()), 3);  // at once: it never waits for this process
  EXPECT_EQ(FinishUninstall(L"nonsense", dir.path()), 3);
  CloseHandle(self);
  CloseHandle(file);
  EXPECT_EQ(ReadBytes(dir / L"notes.txt"), "mine");
}
