#include "tools/json_writer.h"

#include <charconv>
#include <cmath>

bool IsValidUtf8(const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned c = s[i];
    if (c < 0x80) { ++i; continue; }
    size_t len;
    uint32_t cp, min;
    if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
    else return false;
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

void JsonWriteString(std::string& out, const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void JsonWriteUnsigned(std::string& out, uint64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

static bool WriteChecked(std::string& out, const std::string& text, std::string* problem) {
  if (!IsValidUtf8(text)) {
    if (problem) *problem = "text that is not valid UTF-8";
    return false;
  }
  JsonWriteString(out, text);
  return true;
}

bool JsonWriteValue(std::string& out, const JsonValue& value, std::string* problem) {
  switch (value.type) {
    case JsonType::Null: out += "null"; return true;
    case JsonType::Bool: out += value.boolean ? "true" : "false"; return true;
    case JsonType::Number: {
      if (!std::isfinite(value.number)) {
        if (problem) *problem = "a number out of range";
        return false;
      }
      // Shortest text that reads back as the same double.
      char buf[32];
      auto r = std::to_chars(buf, buf + sizeof buf, value.number);
      out.append(buf, r.ptr);
      return true;
    }
    case JsonType::String: return WriteChecked(out, value.string, problem);
    case JsonType::Array: {
      out += '[';
      for (size_t i = 0; i < value.array.size(); ++i) {
        if (i) out += ',';
        if (!JsonWriteValue(out, value.array[i], problem)) return false;
      }
      out += ']';
      return true;
    }
    case JsonType::Object: {
      out += '{';
      bool first = true;
      for (const auto& [key, member] : value.object) {
        if (!first) out += ',';
        first = false;
        if (!WriteChecked(out, key, problem)) return false;
        out += ':';
        if (!JsonWriteValue(out, member, problem)) return false;
      }
      out += '}';
      return true;
    }
  }
  if (problem) *problem = "an unknown value type";
  return false;
}
