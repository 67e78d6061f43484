#pragma once
// What a manifest path must satisfy: the installer's own path rule, plus what the tool
// itself refuses because Windows could never hold the file that way.
#include <string>

// Empty if the installer's path rule accepts path; else why it refuses it.
std::string InstallerPathProblem(const std::string& path);
// InstallerPathProblem, and also invalid UTF-8, a backslash inside a name (which the
// installer would read as a folder separator) and reserved device names such as "nul.txt".
std::string PublishPathProblem(const std::string& path);
// A key under which two paths collide on a case-insensitive Windows file system.
std::wstring WindowsPathKey(const std::string& path);
