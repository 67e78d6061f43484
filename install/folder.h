#pragma once
// Install folder rules: normalization, validity, free space, the installation marker.
#include <cstdint>
#include <string>

#include "support/failure.h"

// Trims blanks, tabs and quotes, turns / into \ and drops trailing backslashes beyond "X:\".
std::wstring NormalizeInstallPath(std::wstring path);
// True if folder\bin\quorvel.install or folder\quorvel.install exists, each looked at through the
// folder's held handle (a link on the way to it does not count).
bool HasInstallMarker(const std::wstring& folder);
// True for "X:\..." of 4..180 characters, no forbidden character or "..", on a fixed or removable drive.
bool IsValidInstallFolder(const std::wstring& folder);
// Why IsValidInstallFolder refuses folder, in English for the log; empty when it accepts it.
std::wstring InstallFolderProblem(const std::wstring& folder);
// Free bytes available to the user on the folder's drive; 0 on any failure.
uint64_t GetDriveFreeBytes(const std::wstring& folder);
// Bytes an install into folder needs: 1 GiB for a repair (existingInstall, folder normalized and
// holding its marker), gameSize + 512 MiB, or 8 GiB while gameSize is unknown (0).
uint64_t GetRequiredBytes(const std::wstring& folder, bool existingInstall, uint64_t gameSize);
// Why folder (normalized here) cannot take an install of requiredBytes: FolderInvalid or NoSpace
// with the folder as path; None when it can.
Failure CheckInstallFolder(const std::wstring& folder, uint64_t requiredBytes);
// The picked parent folder with "\Quorvel" appended unless it already ends in Quorvel.
std::wstring AppendProductFolder(const std::wstring& folder);
