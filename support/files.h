#pragma once
// File and module helpers (Windows). None throws; failures are a false or an empty string.
#include <cstdint>
#include <string>

// Full path of the running executable; empty on failure.
std::wstring GetModulePath();
// Folder of the running executable ending in a separator, or ".\" if the path has none.
std::wstring GetModuleDir();
// The part of path up to and including its last "\" or "/", or ".\" if it has none.
std::wstring FolderOfPath(const std::wstring& path);
// Makes sure the folder containing path exists (creating levels top down); false if it can't.
bool EnsureParentFolders(const std::wstring& path);
// Reads a whole file of at most 64 MiB into out; false if missing, too large or unreadable.
bool ReadWholeFile(const std::wstring& path, std::string& out);
// Writes path + ".ap_tmp", flushes it to disk, then moves it over path (replace, write-through).
// False leaves the old target unchanged and no temporary file behind.
bool WriteFileAtomic(const std::wstring& path, const std::string& contents);
// True when two paths are the same text apart from letter case, compared as the file system does.
bool SamePathText(const std::wstring& a, const std::wstring& b);
// The system's message for a Win32 error code without trailing line breaks; empty if none.
std::wstring SystemErrorText(uint32_t code);
