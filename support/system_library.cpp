#include "support/system_library.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE m = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (m) return m;
  // Windows 7 without KB2533623 does not know the flag (ERROR_INVALID_PARAMETER):
  // fall back to an absolute path in the system folder, never a bare name.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t dir[MAX_PATH];
  UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::size_t len = wcslen(name);
  if (n + 1 + len >= MAX_PATH) return nullptr;
  wchar_t path[MAX_PATH];
  wcscpy(path, dir);
  wcscat(path, L"\\");
  wcscat(path, name);
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
