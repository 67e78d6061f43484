#pragma once
// The local patch state of an installation: config\patcher.ini (the version of the last
// manifest applied completely).
#include <cstdint>
#include <string>

// Reads version in section patch of installFolder + "config\patcher.ini" (folder ends in a
// backslash). False when the file, section or key is missing or the value is negative.
bool ReadInstalledVersion(const std::wstring& installFolder, int32_t& version);
// Writes version there as signed decimal text; failures are ignored (the config folder must
// already exist).
void WriteInstalledVersion(const std::wstring& installFolder, int32_t version);
