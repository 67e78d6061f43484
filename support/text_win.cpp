// UTF-8 <-> UTF-16 through the system converter. Without flags it never fails on malformed
// input: bad sequences come out as U+FFFD.
#include "support/text.h"

#include <windows.h>

#include <climits>

void Utf8ToWideInto(std::string_view utf8, std::wstring& out) {
  out.clear();
  if (utf8.empty() || utf8.size() > INT_MAX) return;
  // No text takes more UTF-16 units than UTF-8 bytes (a bad byte becomes one U+FFFD): one pass
  // into room for the most.
  out.resize(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                    static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::wstring Utf8ToWide(const std::string& utf8) {
  std::wstring wide;
  Utf8ToWideInto(utf8, wide);
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
