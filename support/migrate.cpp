// Brings an install folder of the older flat layout into config\ and logs\.
#include "support/migrate.h"

#include <windows.h>

static const wchar_t* const kConfigFiles[] = {
  L"tarnel.cfg", L"mouse.cfg", L"channel.inf", L"locale.cfg", L"loca.cfg", L"interface.cfg",
  L"config.cfg", L"switchbot.pkl", L"enbconvertor.ini", L"patcher.ini", L"patcher_cache.dat",
};

static const wchar_t* const kObsoleteFiles[] = {L"log.txt", L"ErrorLog.txt", L"config.ini"};

static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MigrateLegacyLayout(const std::wstring& folder) {
  CreateDirectoryW((folder + L"config").c_str(), nullptr);
  CreateDirectoryW((folder + L"logs").c_str(), nullptr);
  // The copy at the root is the one the older client last wrote, so it wins.
  for (const wchar_t* name : kConfigFiles) {
    std::wstring from = folder + name;
    if (!Exists(from)) continue;
    std::wstring to = folder + L"config\\" + name;
    MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
  }
  for (const wchar_t* name : kObsoleteFiles) DeleteFileW((folder + name).c_str());
  std::wstring syserr = folder + L"syserr";
  std::wstring logged = folder + L"logs\\syserr";
  if (Exists(syserr) && !Exists(logged)) MoveFileExW(syserr.c_str(), logged.c_str(), 0);
}
