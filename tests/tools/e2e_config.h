#pragma once
// Built into the end-to-end variant only: its tests run side by side, each with a patch server
// on a port of its own, which QV_E2E_PORT names (the built-in port when it is not set); a test
// that holds its server still on purpose gives itself the product's request deadline floor
// through QV_E2E_DEADLINE_FLOOR_MS.
#include <windows.h>

#include <cwchar>
#include <string>

// The digits of the environment variable name (at most 7), or "" if it is unset or not a number.
inline std::wstring QvE2eDigits(const wchar_t* name) {
  wchar_t value[8];
  const DWORD n = GetEnvironmentVariableW(name, value, 8);
  if (n == 0 || n >= 8) return L"";
  for (DWORD i = 0; i < n; ++i)
    if (value[i] < L'0' || value[i] > L'9') return L"";
  return value;
}
inline std::wstring QvE2ePatchBaseUrl(const wchar_t* builtIn) {
  // A test of mirrors names them all (the program checks nothing more of them than it would of
  // the build constant's).
  wchar_t mirrors[1024];
  const DWORD n = GetEnvironmentVariableW(L"QV_E2E_BASE_URLS", mirrors, 1024);
  if (n > 0 && n < 1024) return std::wstring(mirrors, n);
  const std::wstring port = QvE2eDigits(L"QV_E2E_PORT");
  return port.empty() ? builtIn : L"http://127.0.0.1:" + port + L"/patch/";
}
inline unsigned QvE2eDeadlineFloorMs(unsigned builtIn) {
  const std::wstring ms = QvE2eDigits(L"QV_E2E_DEADLINE_FLOOR_MS");
  return ms.empty() ? builtIn : static_cast<unsigned>(std::wcstoul(ms.c_str(), nullptr, 10));
}
#define QV_PATCH_BASE_URL(url) QvE2ePatchBaseUrl(url)
#define QV_DEADLINE_FLOOR_MS(ms) QvE2eDeadlineFloorMs(ms)
