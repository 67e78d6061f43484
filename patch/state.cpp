#include "patch/state.h"

#include <windows.h>

static std::wstring IniPath(const std::wstring& installFolder) {
  return installFolder + L"config\\patcher.ini";
}

bool ReadInstalledVersion(const std::wstring& installFolder, int32_t& version) {
  const int32_t value = static_cast<int32_t>(
      GetPrivateProfileIntW(L"patch", L"version", -1, IniPath(installFolder).c_str()));
  if (value < 0) return false;
  version = value;
  return true;
}

void WriteInstalledVersion(const std::wstring& installFolder, int32_t version) {
  WritePrivateProfileStringW(L"patch", L"version", std::to_wstring(version).c_str(),
                             IniPath(installFolder).c_str());
}
