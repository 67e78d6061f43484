#pragma once
// What a manifest path must satisfy: the installer's own path rule, plus what the tool
// itself refuses because Windows could never hold the file that way.
#include <string>

// Empty if the installer's path rule accepts path; else why it refuses it.
std::string InstallerPathProblem(const std::string& path);
// InstallerPathProblem (device names such as "nul.txt" included), and also invalid UTF-8 and
// a backslash inside a name (which the installer would read as a folder separator).
std::string PublishPathProblem(const std::string& path);
// Empty unless path names one of the installer's own files (uninstaller, marker, patch state,
// part or temporary files), which installers refuse to take from a manifest.
std::string OwnFileProblem(const std::string& path);
// A key under which two paths collide on a case-insensitive Windows file system.
std::wstring WindowsPathKey(const std::string& path);
