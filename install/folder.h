#pragma once
// Install folder rules: normalization, validity, free space, the installation marker.
#include <cstdint>
#include <string>

// Trims blanks, tabs and quotes, turns / into \ and drops trailing backslashes beyond "X:\".
std::wstring NormalizeInstallPath(std::wstring path);
// True if folder\bin\quorvel.install or folder\quorvel.install exists.
bool HasInstallMarker(const std::wstring& folder);
// True for "X:\..." of 4..180 characters, no forbidden character or "..", on a fixed or removable drive.
bool IsValidInstallFolder(const std::wstring& folder);
// Why IsValidInstallFolder refuses folder, in English for the log; empty when it accepts it.
std::wstring InstallFolderProblem(const std::wstring& folder);
// Free bytes available to the user on the folder's drive; 0 on any failure.
uint64_t GetDriveFreeBytes(const std::wstring& folder);
// Bytes the install needs: 1 GiB for a repair, game size + 512 MiB, or 8 GiB while unknown.
uint64_t GetRequiredBytes();
// Checks g_setup.installDir; false leaves exactly one message in g_setup.errorText.
bool ValidateInstallFolder();
// The picked parent folder with "\Quorvel" appended unless it already ends in Quorvel.
std::wstring AppendProductFolder(const std::wstring& folder);
