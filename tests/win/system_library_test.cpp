#include <gtest/gtest.h>

#include <string>

#include "support/system_library.h"

static std::wstring ModuleFile(HMODULE m) {
  wchar_t buf[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(m, buf, MAX_PATH);
  return std::wstring(buf, n);
}

static std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = towlower(c);
  return s;
}

TEST(SystemLibrary, LoadsFromTheSystemFolder) {
  HMODULE m = LoadSystemLibrary(L"bcrypt.dll");
  ASSERT_NE(m, nullptr);
  wchar_t sys[MAX_PATH] = {};
  GetSystemDirectoryW(sys, MAX_PATH);
  EXPECT_EQ(Lower(ModuleFile(m)).rfind(Lower(sys), 0), 0u) << "loaded from elsewhere";
}

TEST(SystemLibrary, MissingDllOrExportGivesNull) {
  EXPECT_EQ(LoadSystemLibrary(L"no-such-library-qv.dll"), nullptr);
  EXPECT_EQ(SystemProc<void (*)()>(L"bcrypt.dll", "NoSuchExport"), nullptr);
  EXPECT_NE(SystemProc<void (*)()>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider"), nullptr);
}
