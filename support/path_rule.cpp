// Lower-casing and the rule every server- or cache-supplied relative path must pass.
// Only ASCII units are examined, so this builds unchanged where wchar_t is 32 bits wide.
#include "support/text.h"

#include "support/layout.h"

#include <string_view>

void LowerAsciiInPlace(std::wstring& text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
}

std::wstring ToLowerAscii(std::wstring text) {
  LowerAsciiInPlace(text);
  return text;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
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

static wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

// The device check of the n units at segment, with no copy: the path rule runs on every line
// of a cache of a hundred thousand files.
static bool IsDeviceNameAt(const wchar_t* segment, std::size_t n) {
  // Windows looks only at what comes before the first dot, without trailing blanks, so
  // "nul.txt" and "COM1 .log" open devices too.
  std::size_t stem = 0;
  while (stem < n && segment[stem] != L'.') ++stem;
  while (stem > 0 && segment[stem - 1] == L' ') --stem;
  if (stem < 3 || stem > 7) return false;
  wchar_t name[8];
  for (std::size_t i = 0; i < stem; ++i) name[i] = UpperAscii(segment[i]);
  const std::wstring_view view(name, stem);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (view == device) return true;
  }
  if (stem != 4 || (view.compare(0, 3, L"COM") != 0 && view.compare(0, 3, L"LPT") != 0)) return false;
  // Windows also counts the superscript digits one, two and three as port numbers.
  const wchar_t d = name[3];
  return (d >= L'0' && d <= L'9') || d == L'\u00B9' || d == L'\u00B2' || d == L'\u00B3';
}

bool IsDeviceName(const std::wstring& segment) { return IsDeviceNameAt(segment.data(), segment.size()); }

bool IsInstallerOwnPath(const std::wstring& path) {
  const std::wstring key = ToLowerAscii(path);
  const auto is = [&key](const wchar_t* name) { return key == ToLowerAscii(name); };
  if (is(layout::kUninstaller) || is(layout::kLegacyUninstaller) || is(layout::kMarker) ||
      is(layout::kLegacyMarker) || is(layout::kPatcherIni) || is(layout::kPatcherCache) ||
      is(layout::kPatcherPieces) || is(layout::kLocaleFile) ||
      is(layout::kLocaFile)) {
    return true;
  }
  // The install start writes the locale files, and the older layout's copies at the root are
  // moved over them.
  for (const wchar_t* name : layout::kLocaleFiles) {
    if (is(name)) return true;
  }
  // The older layout's state files at the root are moved over the current ones at every start.
  for (const wchar_t* name : layout::kPatcherStateFiles) {
    if (is(name)) return true;
  }
  const std::wstring parts = ToLowerAscii(layout::kPartsFolder);
  if (key == parts || key.compare(0, parts.size() + 1, parts + L"\\") == 0) return true;
  const std::wstring temp = ToLowerAscii(layout::kTempSuffix);
  return key.size() >= temp.size() && key.compare(key.size() - temp.size(), temp.size(), temp) == 0;
}

bool ToSafeRelativePath(std::string_view utf8, std::wstring& out) {
  if (utf8.empty() || utf8.size() > 400) return false;
  std::wstring path;
  Utf8ToWideInto(utf8, path);
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
    if (!IsSafeSegment(path, begin, end) || IsDeviceNameAt(path.data() + begin, end - begin)) return false;
    if (end == path.size()) break;
    begin = end + 1;
  }
  out = std::move(path);
  return true;
}
