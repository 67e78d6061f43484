// Brings an install folder of the older flat layout into config\ and logs\.
#include "support/migrate.h"

#include <windows.h>

#include "support/files.h"
#include "support/layout.h"

static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Nothing here moves or deletes through a link, nor by name after a look: every act is made
// through handles opened inside checked folder handles, so a linked config\ or a linked loose
// file stays where it is.
void MigrateLegacyLayout(const FolderRoot& root) {
  const std::wstring& folder = root.path;
  EnsureFoldersBelow(root, folder + layout::kConfigFolder + L"\\");
  EnsureFoldersBelow(root, folder + layout::kLogsFolder + L"\\");
  // The copy at the root is the one the older client last wrote, so it wins.
  const auto bringForward = [&root, &folder](const wchar_t* name) {
    std::wstring from = folder + name;
    if (!Exists(from)) return;
    std::wstring to = folder + layout::kConfigFolder + L"\\" + name;
    MoveBelow(root, from, to, MOVEFILE_REPLACE_EXISTING);
  };
  for (const wchar_t* name : layout::kSettingsFiles) bringForward(name);
  for (const wchar_t* name : layout::kPatcherStateFiles) bringForward(name);
  for (const wchar_t* name : layout::kObsoleteFiles) DeleteFileBelow(root, folder + name);
  std::wstring syserr = folder + layout::kSyserrFolder;
  std::wstring logged = folder + layout::kLogsSyserrFolder;
  if (Exists(syserr) && !Exists(logged)) MoveBelow(root, syserr, logged, 0);
}
