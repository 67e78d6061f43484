#include "install/folder.h"

#include <windows.h>

#include <cwctype>

#include "support/files.h"
#include "support/layout.h"

static constexpr uint64_t kRepairBytes = 1073741824ull;    // 1 GiB
static constexpr uint64_t kMarginBytes = 536870912ull;     // 512 MiB over the game size
static constexpr uint64_t kUnknownSizeBytes = 8589934592ull;  // 8 GiB while the size is unknown
static constexpr wchar_t kForbidden[] = L"<>:\"|?*";

static bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\t' || c == L'"'; }

std::wstring NormalizeInstallPath(std::wstring path) {
  while (!path.empty() && IsTrimmed(path.back())) path.pop_back();
  std::size_t start = 0;
  while (start < path.size() && IsTrimmed(path[start])) ++start;
  path.erase(0, start);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

bool HasInstallMarker(const std::wstring& folder) {
  FolderRoot root;
  if (!FolderRootOpen(root, folder)) return false;
  EntryBelow marker;
  return StatBelow(root, root.path + layout::kMarker, marker) || StatBelow(root, root.path + layout::kLegacyMarker, marker);
}

std::wstring InstallFolderProblem(const std::wstring& folder) {
  if (folder.size() < 4 || folder.size() > 180)
    return L"the path has " + std::to_wstring(folder.size()) + L" characters, not 4 to 180";
  if (!std::iswalpha(folder[0]) || folder[1] != L':' || folder[2] != L'\\')
    return L"the path does not begin with a drive letter, a colon and a backslash";
  if (folder.find_first_of(kForbidden, 2) != std::wstring::npos)
    return L"the path holds one of the characters <>:\"|?* after its drive";
  if (folder.find(L"..") != std::wstring::npos) return L"the path holds two dots in a row";
  const wchar_t root[4] = {folder[0], L':', L'\\', 0};
  const UINT type = GetDriveTypeW(root);
  if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED)
    return std::wstring(L"the drive ") + root + L" is of type " + std::to_wstring(type) +
           L", not a fixed or removable one";
  return {};
}

bool IsValidInstallFolder(const std::wstring& folder) { return InstallFolderProblem(folder).empty(); }

uint64_t GetDriveFreeBytes(const std::wstring& folder) {
  if (folder.size() <= 2 || folder[1] != L':') return 0;
  const wchar_t root[4] = {folder[0], L':', L'\\', 0};
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(root, &available, nullptr, nullptr)) return 0;
  return available.QuadPart;
}

uint64_t GetRequiredBytes(const std::wstring& dir, bool existingInstall, uint64_t size) {
  if (existingInstall && SamePathText(NormalizeInstallPath(dir), dir) && HasInstallMarker(dir)) return kRepairBytes;
  // A size near the top of the range would wrap around to a tiny requirement.
  if (size != 0) return size > UINT64_MAX - kMarginBytes ? UINT64_MAX : size + kMarginBytes;
  return kUnknownSizeBytes;
}

Failure CheckInstallFolder(const std::wstring& path, uint64_t requiredBytes) {
  const std::wstring folder = NormalizeInstallPath(path);
  if (!IsValidInstallFolder(folder)) return {FailureKind::FolderInvalid, 0, 0, folder};
  if (GetDriveFreeBytes(folder) < requiredBytes) return {FailureKind::NoSpace, 0, 0, folder};
  return {};
}

std::wstring AppendProductFolder(const std::wstring& folder) {
  std::wstring path = NormalizeInstallPath(folder);
  const size_t name = std::size(layout::kProductFolder) - 1;
  if (path.size() >= name && SamePathText(path.substr(path.size() - name), layout::kProductFolder)) return path;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path + layout::kProductFolder;
}
