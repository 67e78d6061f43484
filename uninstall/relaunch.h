#pragma once
// The uninstaller runs from a temporary copy that deletes itself when it ends.
#include <windows.h>

#include <cstdint>
#include <string>

// Copies the running program to the temporary folder and starts it as the uninstall wizard,
// forwarding --silent, --keep= and --log=; argv/argc are the split command line. Returns the
// process exit code: with --silent the copy's own code once it has ended, else 0 as soon as it
// started; ExitCode::NotStarted when the copy could not be made or started.
int RelaunchForUninstall(int argc, wchar_t** argv);
// The finisher an unattended uninstall on another drive than the temporary folder starts
// (--uninstall-finish=PROCESS,FILE "--dir=folder"): waits for the inherited process handle,
// deletes the inherited uninstaller file handle, removes bin and folder when empty, then
// deletes itself. Returns the exit code: 0, or ExitCode::NotStarted when handed no file.
int FinishUninstall(const std::wstring& handles, const std::wstring& folder);
// Starts a hidden command processor that deletes the running executable once it has ended,
// but only when the executable runs from the temporary folder.
void ScheduleSelfDelete();

// The pieces of the two steps above, kept apart so they can be checked on their own:
// tempDir + "Quorvel-Uninstall-" + tick + ".exe".
std::wstring UninstallCopyName(const std::wstring& tempDir, uint64_t tick);
// Install folder of an uninstaller at modulePath: its folder, one "bin" level up, no separator.
std::wstring UninstallFolderOf(const std::wstring& modulePath);
// Arguments of the copy: --uninstall-run "--dir=folder" [--silent] [--keep=value] ["--log=file"]
// (argv[0], the program's own path, is never examined).
std::wstring UninstallRunArguments(const std::wstring& folder, int argc, wchar_t** argv);
// cmd.exe /d /v:off /c ping -n 3 127.0.0.1 >nul & del /f /q "leaf", run from the file's own
// folder: no path is ever in the line, so cmd.exe expands nothing in one. Empty (nothing to
// run) if leaf holds a character cmd.exe could read as more than a name (% " : \ /).
std::wstring SelfDeleteCommand(const std::wstring& leaf);
