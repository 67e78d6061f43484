// Lower-casing and the rule every server- or cache-supplied relative path must pass.
// Only ASCII units are examined, so this builds unchanged where wchar_t is 32 bits wide.
#include "support/text.h"

std::wstring ToLowerAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

static bool IsRefusedUnit(wchar_t c) {
  if (c < 32) return true;
  switch (c) {
    case L':': case L'"': case L'*': case L'<': case L'>': case L'?': case L'|': return true;
    default: return false;
  }
}

// A segment may name neither the folder itself nor its parent, and Windows would silently
// drop a trailing blank or dot, so two different names could reach the same file.
static bool IsSafeSegment(const std::wstring& path, std::size_t begin, std::size_t end) {
  std::size_t n = end - begin;
  if (n == 0) return false;
  if (n == 1 && path[begin] == L'.') return false;
  if (n == 2 && path[begin] == L'.' && path[begin + 1] == L'.') return false;
  wchar_t last = path[end - 1];
  return last != L' ' && last != L'.';
}

bool ToSafeRelativePath(const std::string& utf8, std::wstring& out) {
  if (utf8.empty() || utf8.size() > 400) return false;
  std::wstring path = Utf8ToWide(utf8);
  if (path.empty() || path[0] == L'/' || path[0] == L'\\') return false;
  for (wchar_t c : path) {
    if (IsRefusedUnit(c)) return false;
  }
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  std::size_t begin = 0;
  for (;;) {
    std::size_t end = path.find(L'\\', begin);
    if (end == std::wstring::npos) end = path.size();
    if (!IsSafeSegment(path, begin, end)) return false;
    if (end == path.size()) break;
    begin = end + 1;
  }
  out = std::move(path);
  return true;
}
