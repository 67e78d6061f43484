// UTF-8 <-> UTF-16 through the system converter. Without flags it never fails on malformed
// input: bad sequences come out as U+FFFD.
#include "support/text.h"

#include <windows.h>

#include <climits>

std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return std::wstring();
  int inLen = static_cast<int>(utf8.size());
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLen, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLen, wide.data(), n);
  wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return wide;
}

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty() || wide.size() > INT_MAX) return std::string();
  int inLen = static_cast<int>(wide.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLen, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string utf8(static_cast<std::size_t>(n), '\0');
  n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLen, utf8.data(), n, nullptr, nullptr);
  utf8.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return utf8;
}
