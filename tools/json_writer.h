#pragma once
// Writes JSON text for the release manifest. Strings go out as raw UTF-8 with every
// character that JSON forbids escaped, so the project's reader gets back the same bytes.
#include <cstdint>
#include <string>

#include "support/json.h"

// True if text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& text);
// Appends text as a quoted JSON string; the caller has checked it is valid UTF-8.
void JsonWriteString(std::string& out, const std::string& text);
// Appends an unsigned integer as a JSON number.
void JsonWriteUnsigned(std::string& out, uint64_t value);
// Appends a parsed value compactly (object members in key order). False, with the reason in
// *problem, if it holds a non-finite number or a string or key that is not valid UTF-8.
bool JsonWriteValue(std::string& out, const JsonValue& value, std::string* problem);
