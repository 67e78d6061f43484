#pragma once
// Built into the end-to-end variant only: its tests run side by side, each with a patch server
// on a port of its own, which QV_E2E_PORT names (the built-in port when it is not set).
#include <windows.h>

#include <string>

inline std::wstring QvE2ePatchBaseUrl(const wchar_t* builtIn) {
  wchar_t port[8];
  const DWORD n = GetEnvironmentVariableW(L"QV_E2E_PORT", port, 8);
  if (n == 0 || n >= 8) return builtIn;
  for (DWORD i = 0; i < n; ++i)
    if (port[i] < L'0' || port[i] > L'9') return builtIn;
  return std::wstring(L"http://127.0.0.1:") + port + L"/patch/";
}
#define QV_PATCH_BASE_URL(url) QvE2ePatchBaseUrl(url)
