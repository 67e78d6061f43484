// Brings an install folder of the older flat layout into config\ and logs\.
#include "support/migrate.h"

#include <windows.h>

#include "support/files.h"
#include "support/layout.h"

static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Nothing here moves, copies or deletes through a link: a linked config\ or a linked loose file
// stays where it is.
void MigrateLegacyLayout(const std::wstring& folder) {
  CreateDirectoryW((folder + layout::kConfigFolder).c_str(), nullptr);
  CreateDirectoryW((folder + layout::kLogsFolder).c_str(), nullptr);
  // The copy at the root is the one the older client last wrote, so it wins.
  const auto bringForward = [&folder](const wchar_t* name) {
    std::wstring from = folder + name;
    if (!Exists(from)) return;
    std::wstring to = folder + layout::kConfigFolder + L"\\" + name;
    MoveBelow(folder, from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
  };
  for (const wchar_t* name : layout::kSettingsFiles) bringForward(name);
  for (const wchar_t* name : layout::kPatcherStateFiles) bringForward(name);
  for (const wchar_t* name : layout::kObsoleteFiles) DeleteFileBelow(folder, folder + name);
  std::wstring syserr = folder + L"syserr";
  std::wstring logged = folder + L"logs\\syserr";
  if (Exists(syserr) && !Exists(logged)) MoveBelow(folder, syserr, logged, 0);
}
