#pragma once
// The local patch state of an installation: config\patcher.ini (the version of the last
// manifest applied completely, and the newest version ever accepted) and config\patcher_cache.dat (the hash each file had at a known
// size and last-write time).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "patch/engine.h"
#include "patch/manifest.h"

struct PatchEngine;

// Reads version in section patch of root + "config\patcher.ini". False when the file, section or key is missing, the value is negative or a link
// stands on the way.
bool ReadInstalledVersion(const FolderRoot& root, int32_t& version);
// Writes version there as signed decimal text, never through a link; false if it could not
// (the config folder must already exist).
bool WriteInstalledVersion(const FolderRoot& root, int32_t version);
// Reads accepted in section patch of the same file: the newest signed version any run of this
// installation took from a patch server, finished or not. False as ReadInstalledVersion.
bool ReadAcceptedVersion(const FolderRoot& root, int32_t& version);
// Records version as accepted unless a version at least as new is recorded; other keys are
// kept. False if it had to be written and could not.
bool WriteAcceptedVersion(const FolderRoot& root, int32_t version);

// One line of the cache file: 64-character hash, tab, size, tab, last-write time, tab, path
// (a trailing CR ignored). False for a malformed line or a path the path rule refuses.
bool ParseCacheLine(std::string_view line, std::wstring& path, CacheRecord& record);
// Calls each with the path of every line of root + "config\patcher_cache.dat" that has
// three tabs (the fields before the path are not looked at) and whose path the path rule takes,
// in order, reading the file piece by piece; a missing or oversized file, or one behind a link,
// calls it for nothing, a read error stops the calls there. False in those cases.
bool ReadCachePaths(const FolderRoot& root, const std::function<void(std::wstring& path)>& each);
// Clears engine.cache and fills it from engine.installFolder + "config\patcher_cache.dat".
// Malformed lines are skipped; a missing, oversized or unreadable file leaves the cache empty.
void LoadCache(PatchEngine& engine);
// Replaces config\patcher_cache.dat (atomically) with one line for every entry of files that
// has a record in engine.cache, in the order of files, never through a link, unless the file
// holds exactly those lines already (as last read or written by this engine). False if it had to
// be written and could not.
bool SaveCache(PatchEngine& engine, const FileList& files);
// Stores the version in engine.manifestVersion, then applies the downgrade rule against the
// installed version of engine.installFolder. OlderVersion only when an installed version is
// known and is larger.
Failure CheckManifestVersion(PatchEngine& engine, const JsonValue& doc);
