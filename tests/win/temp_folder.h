#pragma once
// A fresh folder below the temporary folder for one test, with a config sub-folder, ending in
// a backslash like every install folder; removed with everything in it afterwards.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace qvtest {

class TempFolder {
public:
  TempFolder() {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    static std::atomic<int> counter{0};
    path_ = std::wstring(tmp) + L"qv-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    std::filesystem::create_directories(path_ + L"config");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }

private:
  std::wstring path_;
};

}  // namespace qvtest
