#pragma once
// Text and relative-path helpers. Platform-free except the two converters, which use the
// system converter on Windows and an equivalent lenient decoder elsewhere.
#include <string>
#include <string_view>

// Converts UTF-8 to UTF-16; invalid sequences become U+FFFD; empty in, empty out.
std::wstring Utf8ToWide(const std::string& utf8);
// The same into out, whose room is kept: no allocation once out has held a text as long.
void Utf8ToWideInto(std::string_view utf8, std::wstring& out);
// Converts UTF-16 to UTF-8; empty in, empty out.
std::string WideToUtf8(const std::wstring& wide);
// Returns the text with A-Z lower-cased and every other unit unchanged.
std::wstring ToLowerAscii(std::wstring text);
// Lower-cases A-Z of text in place.
void LowerAsciiInPlace(std::wstring& text);
// Returns text with A-Z lower-cased (hashes are compared in lower case).
std::string ToLowerAscii(std::string_view text);
// Checks a relative path from the server or the cache; true puts the backslash form in out,
// false leaves out untouched. Refuses escapes from the folder, names Windows would alter and
// device names in any segment.

bool ToSafeRelativePath(std::string_view utf8, std::wstring& out);
// True if one segment of a path names a Windows device (CON, NUL, COM0-9, LPT0-9 also with a
// superscript digit, CONIN$, ...) in any case, with or without an extension or trailing blanks.
bool IsDeviceName(const std::wstring& segment);
// True if a backslash path below the install folder names one of the program's own files
// (uninstaller, marker, patch state, part files, temporary files), in any case of A-Z.
bool IsInstallerOwnPath(const std::wstring& path);
