#pragma once
// Conversion cases shared by the native converter's tests and the Windows converter's
// tests, so both builds are held to the same behaviour.
#include <string>

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

inline const Utf8Case kUtf8Cases[] = {
  {"ascii", "Quorvel/bin/a.txt", u"Quorvel/bin/a.txt"},
  {"two byte", "caf\xC3\xA9", u"caf\u00E9"},
  {"three byte", "\xE2\x82\xAC 5", u"\u20AC 5"},
  {"four byte as a surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
  {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  {"truncated two byte", "x\xC3", u"x\uFFFD"},
  {"truncated three byte", "\xE2\x82" "A", u"\uFFFDA"},
  {"lone continuation", "\x80" "A", u"\uFFFDA"},
  {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
  {"overlong three byte", "\xE0\x80\x80", u"\uFFFD\uFFFD"},
  {"overlong four byte", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
  {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD"},
  {"last before the surrogates", "\xED\x9F\xBF", u"\uD7FF"},
  {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
  {"broken third byte", "\xE1\x80\xC0" "A", u"\uFFFD\uFFFDA"},
  {"broken fourth byte", "\xF1\x80\x80" "A", u"\uFFFDA"},
  {"invalid lead", "\xFF" "a", u"\uFFFDa"},
  {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
};
