// UTF-8 <-> UTF-16 for the native build, lenient like the Windows converter: a lead byte
// and a following continuation byte are taken together, so an overlong, surrogate or
// too-large pair becomes one U+FFFD; any other broken sequence becomes one U+FFFD for the
// bytes read so far. A sequence cut short near the end of the input never swallows the
// complete characters after it (Wine's converter does). Wide strings hold UTF-16 units here too (a character above U+FFFF is a
// surrogate pair), so lengths agree with the Windows build.
#include "support/text.h"

#include <cstdint>

static const uint32_t kReplacement = 0xFFFD;

static void AppendUtf16(std::wstring& out, uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<wchar_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void Utf8ToWideInto(std::string_view utf8, std::wstring& out) {
  out.clear();
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t n = utf8.size(), i = 0;
  while (i < n) {
    unsigned char b = p[i];
    if (b < 0x80) { out.push_back(static_cast<wchar_t>(b)); ++i; continue; }
    int need;
    uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) { need = 1; cp = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) { need = 2; cp = b & 0x0F; }
    else if (b >= 0xF0 && b <= 0xF4) { need = 3; cp = b & 0x07; }
    else { AppendUtf16(out, kReplacement); ++i; continue; }
    ++i;
    bool ok = true;
    for (int k = 0; k < need; ++k) {
      if (i >= n || (p[i] & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (p[i] & 0x3F);
      ++i;
      // After the second byte: refuse overlong forms, surrogates and values past U+10FFFF.
      if (k == 0 && ((need == 2 && (cp < 0x20 || (cp >= 0x360 && cp <= 0x37F))) ||
                     (need == 3 && (cp < 0x10 || cp > 0x10F)))) { ok = false; break; }
    }
    AppendUtf16(out, ok ? cp : kReplacement);
  }
}

std::wstring Utf8ToWide(const std::string& utf8) {
  std::wstring out;
  Utf8ToWideInto(utf8, out);
  return out;
}

static void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Accepts surrogate pairs and, since a native wchar_t can hold one, a whole code point;
// a lone surrogate or a value past U+10FFFF becomes U+FFFD.
std::string WideToUtf8(const std::wstring& wide) {
  std::string out;
  out.reserve(wide.size());
  std::size_t n = wide.size();
  for (std::size_t i = 0; i < n; ++i) {
    uint32_t u = static_cast<uint32_t>(wide[i]);
    if (sizeof(wchar_t) == 2) u &= 0xFFFF;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
      uint32_t l = static_cast<uint32_t>(wide[i + 1]);
      if (sizeof(wchar_t) == 2) l &= 0xFFFF;
      if (l >= 0xDC00 && l <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (l - 0xDC00));
        ++i;
        continue;
      }
    }
    if ((u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) u = kReplacement;
    AppendUtf8(out, u);
  }
  return out;
}
