// A recursive-descent JSON reader over UTF-8 bytes. Its messages reach the player, so
// they stay short; the first one of a parse wins.
#include "support/json.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace {

struct JsonParser {
  const char* cur;
  const char* end;
  int depth;
  std::string error;
  const uint32_t* counts;  // CountElements: room for each array with elements, in document order
  size_t countsSize;
  size_t arrays;           // arrays with elements opened so far
  const JsonStream* stream;  // JsonParseStreamed: the top-level member read element by element
};

const int kMaxDepth = 64;

}  // namespace

static bool Fail(JsonParser& p, const char* message) {
  if (p.error.empty()) p.error = message;
  return false;
}

static void SkipWhitespace(JsonParser& p) {
  while (p.cur < p.end && (*p.cur == ' ' || *p.cur == '\t' || *p.cur == '\n' || *p.cur == '\r')) ++p.cur;
}

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// For a well-formed number that does not fit a double: whether it is too large (rather
// than too small). Decided from the decimal position of its first significant digit.
static bool IsTooLarge(const char* s, const char* e) {
  if (s < e && (*s == '-' || *s == '+')) ++s;
  int64_t intDigits = 0, fracZeros = 0, exponent = 0;
  bool significant = false;
  for (; s < e && IsDigit(*s); ++s) {
    if (*s != '0') significant = true;
    if (significant) ++intDigits;
  }
  if (s < e && *s == '.') {
    for (++s; s < e && IsDigit(*s); ++s) {
      if (significant) continue;
      if (*s == '0') ++fracZeros; else significant = true;
    }
  }
  if (s < e && (*s == 'e' || *s == 'E')) {
    ++s;
    bool negative = s < e && *s == '-';
    if (s < e && (*s == '-' || *s == '+')) ++s;
    for (; s < e && IsDigit(*s); ++s) {
      if (exponent < 1000000000) exponent = exponent * 10 + (*s - '0');
    }
    if (negative) exponent = -exponent;
  }
  int64_t magnitude = intDigits > 0 ? intDigits - 1 : -(fracZeros + 1);
  return magnitude + exponent >= 0;
}

// Strict decimal conversion of the scanned text, independent of the process locale and
// identical on every platform. Out-of-range values become an infinity or a zero, as
// strtod gives them.
static bool ConvertNumber(const char* s, const char* e, double& out) {
  const char* digits = s;
  if (digits < e && *digits == '+') {
    ++digits;
    if (digits < e && (*digits == '+' || *digits == '-')) return false;
  }
  double value = 0;
  auto [ptr, ec] = std::from_chars(digits, e, value);
  if (ec == std::errc::invalid_argument || ptr != e) return false;
  if (ec == std::errc::result_out_of_range) {
    value = IsTooLarge(s, e) ? std::numeric_limits<double>::infinity() : 0.0;
    if (*s == '-') value = -value;
  }
  out = value;
  return true;
}

static bool ParseNumber(JsonParser& p, JsonValue& v) {
  const char* start = p.cur;
  if (p.cur < p.end && *p.cur == '-') ++p.cur;
  while (p.cur < p.end) {
    char c = *p.cur;
    if (!IsDigit(c) && c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') break;
    ++p.cur;
  }
  if (p.cur == start) return Fail(p, "valor invalido");
  if (!ConvertNumber(start, p.cur, v.number)) return Fail(p, "numero invalido");
  v.type = JsonType::Number;
  return true;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four hexadecimal digits at s, or -1.
static int32_t ReadHex4(const char* s) {
  int32_t unit = 0;
  for (int i = 0; i < 4; ++i) {
    int d = HexDigit(s[i]);
    if (d < 0) return -1;
    unit = unit * 16 + d;
  }
  return unit;
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

// The cursor is just after "\u".
static bool ParseCodeEscape(JsonParser& p, std::string& out) {
  if (p.end - p.cur < 4) return Fail(p, "\\u invalido");
  int32_t unit = ReadHex4(p.cur);
  if (unit < 0) return Fail(p, "\\u invalido");
  p.cur += 4;
  if (unit < 0xD800 || unit > 0xDBFF) {
    AppendUtf8(out, static_cast<uint32_t>(unit));
    return true;
  }
  if (p.end - p.cur < 6 || p.cur[0] != '\\' || p.cur[1] != 'u') return Fail(p, "surrogate invalido");
  int32_t low = ReadHex4(p.cur + 2);
  if (low < 0xDC00 || low > 0xDFFF) return Fail(p, "surrogate invalido");
  p.cur += 6;
  AppendUtf8(out, 0x10000 + static_cast<uint32_t>(unit - 0xD800) * 1024 + static_cast<uint32_t>(low - 0xDC00));
  return true;
}

static bool ParseString(JsonParser& p, std::string& out) {
  if (p.cur == p.end || *p.cur != '"') return Fail(p, "esperado string");
  ++p.cur;
  for (;;) {
    // Ordinary bytes are appended a run at a time; UTF-8 is passed through unvalidated.
    const char* run = p.cur;
    while (p.cur < p.end) {
      unsigned char c = static_cast<unsigned char>(*p.cur);
      if (c == '"' || c == '\\' || c < 32) break;
      ++p.cur;
    }
    out.append(run, p.cur);
    if (p.cur == p.end) return Fail(p, "string nao terminada");
    unsigned char c = static_cast<unsigned char>(*p.cur++);
    if (c == '"') return true;
    if (c < 32) return Fail(p, "caractere de controlo em string");
    if (p.cur == p.end) return Fail(p, "string nao terminada");
    char escape = *p.cur++;
    switch (escape) {
      case '"': case '/': case '\\': out.push_back(escape); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': if (!ParseCodeEscape(p, out)) return false; break;
      default: return Fail(p, "escape invalido");
    }
  }
}

// What follows an element of an array or object: more is true after ',' and false after close;
// false (failed with unterminated or expected) for anything else.
static bool AfterElement(JsonParser& p, char close, const char* unterminated, const char* expected, bool& more) {
  SkipWhitespace(p);
  if (p.cur == p.end) return Fail(p, unterminated);
  const char c = *p.cur++;
  more = c == ',';
  return more || c == close || Fail(p, expected);
}

static bool ParseValue(JsonParser& p, JsonValue& v);
static bool ParseMember(JsonParser& p, const std::string& key, JsonValue& v);

static bool ParseArray(JsonParser& p, JsonValue& v) {
  v.type = JsonType::Array;
  ++p.cur;
  SkipWhitespace(p);
  if (p.cur < p.end && *p.cur == ']') { ++p.cur; return true; }
  // The room is made once: a doubling vector would keep up to twice the slots an array needs,
  // and hold its old and new blocks together while it grows.
  if (p.arrays < p.countsSize) v.array.reserve(p.counts[p.arrays]);
  ++p.arrays;
  bool more = false;
  for (;;) {
    v.array.emplace_back();
    if (!ParseValue(p, v.array.back())) return false;
    if (!AfterElement(p, ']', "array nao terminado", "esperado , ou ]", more)) return false;
    if (!more) return true;
  }
}

static bool ParseObject(JsonParser& p, JsonValue& v) {
  v.type = JsonType::Object;
  ++p.cur;
  SkipWhitespace(p);
  if (p.cur < p.end && *p.cur == '}') { ++p.cur; return true; }
  bool more = false;
  for (;;) {
    SkipWhitespace(p);
    std::string key;
    if (!ParseString(p, key)) return false;
    SkipWhitespace(p);
    if (p.cur == p.end || *p.cur != ':') return Fail(p, "esperado :");
    ++p.cur;
    // A repeated key keeps only its last value, whole: nothing of the earlier one survives.
    auto [member, inserted] = v.object.try_emplace(std::move(key));
    if (!inserted) member->second = JsonValue();
    if (!ParseMember(p, member->first, member->second)) return false;
    if (!AfterElement(p, '}', "objeto nao terminado", "esperado , ou }", more)) return false;
    if (!more) return true;
  }
}

static bool MatchLiteral(JsonParser& p, const char* word) {
  std::size_t n = std::strlen(word);
  if (static_cast<std::size_t>(p.end - p.cur) < n || std::memcmp(p.cur, word, n) != 0) return false;
  p.cur += n;
  return true;
}

// Also bounds the recursion: the top-level value is at depth 1, nothing deeper than 64.
static bool ParseValue(JsonParser& p, JsonValue& v) {
  if (++p.depth > kMaxDepth) return Fail(p, "demasiado aninhado");
  SkipWhitespace(p);
  if (p.cur == p.end) return Fail(p, "fim inesperado");
  bool ok;
  switch (*p.cur) {
    case '"': v.type = JsonType::String; ok = ParseString(p, v.string); break;
    case '[': ok = ParseArray(p, v); break;
    case '{': ok = ParseObject(p, v); break;
    case 't':
      if (MatchLiteral(p, "true")) { v.type = JsonType::Bool; v.boolean = true; ok = true; }
      else ok = ParseNumber(p, v);
      break;
    case 'f':
      if (MatchLiteral(p, "false")) { v.type = JsonType::Bool; v.boolean = false; ok = true; }
      else ok = ParseNumber(p, v);
      break;
    case 'n':
      if (MatchLiteral(p, "null")) { v.type = JsonType::Null; ok = true; }
      else ok = ParseNumber(p, v);
      break;
    default: ok = ParseNumber(p, v); break;
  }
  --p.depth;
  return ok;
}

// ParseArray with each element handed to the stream as soon as it is whole, then dropped.
static bool StreamArray(JsonParser& p, JsonValue& v) {
  v.type = JsonType::Array;
  ++p.cur;
  SkipWhitespace(p);
  if (p.cur < p.end && *p.cur == ']') {
    ++p.cur;
    p.stream->begin(0, 0);
    return true;
  }
  const size_t elements = p.arrays < p.countsSize ? p.counts[p.arrays] : 0;
  ++p.arrays;  // as ParseArray counts it, so that the arrays inside get their own room
  p.stream->begin(elements, static_cast<size_t>(p.end - p.cur));
  JsonValue element;
  bool more = false;
  for (;;) {
    element = JsonValue();
    if (!ParseValue(p, element)) return false;
    p.stream->element(element);
    if (!AfterElement(p, ']', "array nao terminado", "esperado , ou ]", more)) return false;
    if (!more) return true;
  }
}

// A member's value; the streamed member of the top-level object, when it is an array, goes to
// StreamArray at the depth ParseValue would give it.
static bool ParseMember(JsonParser& p, const std::string& key, JsonValue& v) {
  if (!p.stream || p.depth != 1 || key != p.stream->key) return ParseValue(p, v);
  SkipWhitespace(p);
  if (p.cur == p.end || *p.cur != '[') return ParseValue(p, v);
  if (++p.depth > kMaxDepth) return Fail(p, "demasiado aninhado");
  const bool ok = StreamArray(p, v);
  --p.depth;
  return ok;
}

// The scan mirrors ParseValue step for step (same grammar, same messages) but keeps only the
// path and the current scalar, so its memory does not depend on the document's shape.
static bool ScanValue(JsonParser& p, std::vector<JsonStep>& path, JsonValue& scratch, const JsonVisitor& visit) {
  if (++p.depth > kMaxDepth) return Fail(p, "demasiado aninhado");
  SkipWhitespace(p);
  if (p.cur == p.end) return Fail(p, "fim inesperado");
  scratch.type = JsonType::Null;
  scratch.string.clear();
  bool ok = true;
  const char c = *p.cur;
  if (c == '[' || c == '{') {
    scratch.type = c == '[' ? JsonType::Array : JsonType::Object;
    visit(path, scratch);
    ++p.cur;
    SkipWhitespace(p);
    const char close = c == '[' ? ']' : '}';
    if (p.cur < p.end && *p.cur == close) {
      ++p.cur;
      --p.depth;
      return true;
    }
    path.emplace_back();
    for (size_t index = 0;; ++index) {
      JsonStep& step = path.back();
      step.element = c == '[';
      step.index = index;
      step.key.clear();
      if (c == '{') {
        SkipWhitespace(p);
        if (!ParseString(p, step.key)) return false;
        SkipWhitespace(p);
        if (p.cur == p.end || *p.cur != ':') return Fail(p, "esperado :");
        ++p.cur;
      }
      if (!ScanValue(p, path, scratch, visit)) return false;
      SkipWhitespace(p);
      if (p.cur == p.end) return Fail(p, c == '[' ? "array nao terminado" : "objeto nao terminado");
      const char next = *p.cur++;
      if (next == ',') continue;
      if (next == close) break;
      return Fail(p, c == '[' ? "esperado , ou ]" : "esperado , ou }");
    }
    path.pop_back();
  } else {
    switch (c) {
      case '"': scratch.type = JsonType::String; ok = ParseString(p, scratch.string); break;
      case 't':
        if (MatchLiteral(p, "true")) { scratch.type = JsonType::Bool; scratch.boolean = true; }
        else ok = ParseNumber(p, scratch);
        break;
      case 'f':
        if (MatchLiteral(p, "false")) { scratch.type = JsonType::Bool; scratch.boolean = false; }
        else ok = ParseNumber(p, scratch);
        break;
      case 'n':
        if (!MatchLiteral(p, "null")) ok = ParseNumber(p, scratch);
        break;
      default: ok = ParseNumber(p, scratch); break;
    }
    if (ok) visit(path, scratch);
  }
  --p.depth;
  return ok;
}

bool JsonScan(const std::string& text, const JsonVisitor& visit, std::string* error) {
  JsonParser p{text.data(), text.data() + text.size(), 0, std::string(), nullptr, 0, 0, nullptr};
  std::vector<JsonStep> path;
  path.reserve(kMaxDepth + 1);
  JsonValue scratch;
  bool ok = ScanValue(p, path, scratch, visit);
  if (ok) {
    SkipWhitespace(p);
    if (p.cur != p.end) ok = Fail(p, "lixo depois do JSON");
  }
  if (!ok && error) *error = p.error;
  return ok;
}

// The element count of every array that has elements, in the order they open (the order in
// which the parser meets them). A value is counted as it starts after "[" or ",", so a list of
// bare commas counts nothing and all counts together never exceed half the input. The counts
// only say how much room to make: a document they do not describe fails to parse anyway.
static std::vector<uint32_t> CountElements(const char* cur, const char* end) {
  constexpr size_t kNone = std::numeric_limits<size_t>::max();
  struct Level {
    bool array;
    bool expectValue;
    size_t count;  // index in counts, kNone until the first element starts
  };
  Level levels[kMaxDepth];
  int depth = 0;
  std::vector<uint32_t> counts;
  for (; cur < end; ++cur) {
    const char c = *cur;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (c == ']' || c == '}') {
      if (depth > 0) --depth;
      continue;
    }
    if (c == ',') {
      if (depth > 0) levels[depth - 1].expectValue = true;
      continue;
    }
    if (depth > 0) {
      Level& level = levels[depth - 1];
      if (level.array && level.expectValue) {
        if (level.count == kNone) {
          level.count = counts.size();
          counts.push_back(0);
        }
        ++counts[level.count];
      }
      level.expectValue = false;
    }
    if (c == '"') {
      for (++cur; cur < end && *cur != '"';) cur += (*cur == '\\' && end - cur > 1) ? 2 : 1;
      if (cur == end) break;
    } else if (c == '[' || c == '{') {
      // The parser refuses anything deeper before it meets a later array.
      if (depth == kMaxDepth) break;
      levels[depth++] = Level{c == '[', true, kNone};
    }
  }
  return counts;
}

static bool Parse(const std::string& text, const JsonStream* stream, JsonValue& out, std::string* error) {
  out = JsonValue();
  const std::vector<uint32_t> counts = CountElements(text.data(), text.data() + text.size());
  JsonParser p{text.data(), text.data() + text.size(), 0, std::string(), counts.data(), counts.size(), 0, stream};
  bool ok = ParseValue(p, out);
  if (ok) {
    SkipWhitespace(p);
    if (p.cur != p.end) ok = Fail(p, "lixo depois do JSON");
  }
  if (!ok && error) *error = p.error;
  return ok;
}

bool JsonParse(const std::string& text, JsonValue& out, std::string* error) {
  return Parse(text, nullptr, out, error);
}

bool JsonParseStreamed(const std::string& text, const JsonStream& stream, JsonValue& out, std::string* error) {
  return Parse(text, &stream, out, error);
}

const JsonValue& JsonGetMember(const JsonValue& value, const char* key) {
  static const JsonValue null;  // initialised once, thread-safe, never changed
  if (value.type != JsonType::Object) return null;
  auto it = value.object.find(key);
  return it == value.object.end() ? null : it->second;
}

std::string JsonAsString(const JsonValue& value, const std::string& fallback) {
  return value.type == JsonType::String ? value.string : fallback;
}

// Truncates toward zero; a value beyond the 64-bit range (an infinity from a huge
// literal) saturates instead of being undefined.
int64_t JsonAsInt64(const JsonValue& value) {
  if (value.type != JsonType::Number) return 0;
  double d = value.number;
  if (d != d) return 0;
  if (d >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (d < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);
}
