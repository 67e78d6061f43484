#pragma once
// Whole-file reading and durable replacement for the release tool (POSIX).
#include <string>

// Reads a whole file; false with a message in error.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error);
// True if path exists (as anything).
bool PathExists(const std::string& path);
// Creates a folder and its missing parents; false with a message in error.
bool MakeFolders(const std::string& path, std::string& error);
// Writes bytes to path + ".tmp" and flushes them to disk; the caller renames. False with a
// message in error (the temporary file is then removed).
bool WriteTempFile(const std::string& tempPath, const std::string& bytes, std::string& error);
// Renames from onto to and flushes the folder that holds them; false with a message in error.
bool RenameDurably(const std::string& from, const std::string& to, std::string& error);
