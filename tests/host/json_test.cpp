#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <new>
#include <random>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "support/json.h"

// The message of a failing parse; the test fails if the parse succeeds.
static std::string ErrorOf(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_FALSE(JsonParse(text, v, &error)) << "parsed: " << text;
  return error;
}

static JsonValue Parsed(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(JsonParse(text, v, &error)) << text << ": " << error;
  return v;
}

static std::string Nested(int levels, const std::string& inner) {
  return std::string(levels, '[') + inner + std::string(levels, ']');
}

TEST(Json, EndOfInputWhereSomethingIsExpected) {
  EXPECT_EQ(ErrorOf(""), "fim inesperado");
  EXPECT_EQ(ErrorOf(" \t\r\n"), "fim inesperado");
  EXPECT_EQ(ErrorOf("["), "fim inesperado");
  EXPECT_EQ(ErrorOf("[1,"), "fim inesperado");
  EXPECT_EQ(ErrorOf("{"), "esperado string");
  EXPECT_EQ(ErrorOf("{\"a\""), "esperado :");
  EXPECT_EQ(ErrorOf("{\"a\"  "), "esperado :");
  EXPECT_EQ(ErrorOf("{\"a\":"), "fim inesperado");
  EXPECT_EQ(ErrorOf("[1"), "array nao terminado");
  EXPECT_EQ(ErrorOf("{\"a\":1 "), "objeto nao terminado");
  EXPECT_EQ(ErrorOf("\"abc"), "string nao terminada");
  EXPECT_EQ(ErrorOf("\"abc\\"), "string nao terminada");
}

TEST(Json, NestingLimitIsSixtyFourLevels) {
  JsonValue v = Parsed(Nested(64, ""));
  int depth = 1;
  for (const JsonValue* p = &v; !p->array.empty(); p = &p->array[0]) ++depth;
  EXPECT_EQ(depth, 64);
  Parsed(Nested(63, "1"));
  Parsed(Nested(63, "{}"));
  EXPECT_EQ(ErrorOf(Nested(65, "")), "demasiado aninhado");
  EXPECT_EQ(ErrorOf(Nested(64, "1")), "demasiado aninhado");
  EXPECT_EQ(ErrorOf(Nested(63, "{\"a\":1}")), "demasiado aninhado");
  EXPECT_EQ(ErrorOf(Nested(100000, "")), "demasiado aninhado");
}

TEST(Json, SeparatorsAndTrailingCommas) {
  EXPECT_EQ(ErrorOf("[1,]"), "valor invalido");
  EXPECT_EQ(ErrorOf("{\"a\":1,}"), "esperado string");
  EXPECT_EQ(ErrorOf("[1 2]"), "esperado , ou ]");
  EXPECT_EQ(ErrorOf("{\"a\":1 \"b\":2}"), "esperado , ou }");
  EXPECT_EQ(ErrorOf("{\"a\" 1}"), "esperado :");
  EXPECT_EQ(ErrorOf("{1:2}"), "esperado string");
  EXPECT_EQ(ErrorOf("1 2"), "lixo depois do JSON");
  EXPECT_EQ(ErrorOf("{} x"), "lixo depois do JSON");
  EXPECT_EQ(ErrorOf("\xEF\xBB\xBF{}"), "valor invalido");
  Parsed(" \t\r\n[ 1 , 2 ]\r\n ");
}

TEST(Json, Literals) {
  EXPECT_TRUE(Parsed("true").boolean);
  JsonValue f = Parsed("false");
  EXPECT_EQ(f.type, JsonType::Bool);
  EXPECT_FALSE(f.boolean);
  EXPECT_EQ(Parsed("null").type, JsonType::Null);
  EXPECT_EQ(ErrorOf("tru"), "valor invalido");
  EXPECT_EQ(ErrorOf("nul"), "valor invalido");
  EXPECT_EQ(ErrorOf("True"), "valor invalido");
  EXPECT_EQ(ErrorOf("nullx"), "lixo depois do JSON");
  EXPECT_EQ(ErrorOf("[truex]"), "esperado , ou ]");
  EXPECT_EQ(ErrorOf("{\"a\":falsey}"), "esperado , ou }");
}

TEST(Json, NumbersScanLenientlyConvertStrictly) {
  struct { const char* text; double value; } good[] = {
    {"0", 0}, {"-0", 0}, {"42", 42}, {"-2.5", -2.5}, {"+7", 7}, {".5", 0.5}, {"5.", 5},
    {"007", 7}, {"1e3", 1000}, {"1E+2", 100}, {"25e-1", 2.5}, {"0.1", 0.1},
    {"1.7976931348623157e308", 1.7976931348623157e308}, {"4.9e-324", 4.9e-324},
  };
  for (const auto& g : good) {
    JsonValue v = Parsed(g.text);
    EXPECT_EQ(v.type, JsonType::Number) << g.text;
    EXPECT_EQ(v.number, g.value) << g.text;
  }
  EXPECT_TRUE(std::signbit(Parsed("-0").number));
  for (const char* bad : {"-", "--1", "1-2", "+-1", "-+1", "++1", "+", ".", "1e", "1e+", "1.2.3", "e5", "-e5", "1e5e5", "0..1"}) {
    EXPECT_EQ(ErrorOf(bad), "numero invalido") << bad;
  }
  for (const char* bad : {"Infinity", "NaN", "x", "]", "}", ",", ":", "'a'"}) {
    EXPECT_EQ(ErrorOf(bad), "valor invalido") << bad;
  }
  EXPECT_EQ(ErrorOf("-Infinity"), "numero invalido");
  EXPECT_EQ(ErrorOf("0x10"), "lixo depois do JSON");
}

TEST(Json, NumbersOutOfRangeBecomeInfinityOrZero) {
  EXPECT_EQ(Parsed("1e400").number, std::numeric_limits<double>::infinity());
  EXPECT_EQ(Parsed("-1e400").number, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(Parsed("1e99999999999999999999").number, std::numeric_limits<double>::infinity());
  EXPECT_EQ(Parsed("0.00000000000000000001e330").number, std::numeric_limits<double>::infinity());
  EXPECT_EQ(Parsed("12345678901234567890e300").number, std::numeric_limits<double>::infinity());
  JsonValue tiny = Parsed("-1e-400");
  EXPECT_EQ(tiny.number, 0.0);
  EXPECT_TRUE(std::signbit(tiny.number));
  EXPECT_EQ(Parsed("1000000e-330").number, 0.0);
  EXPECT_EQ(Parsed("0.000001e-320").number, 0.0);
  EXPECT_EQ(Parsed("1e-99999999999999999999").number, 0.0);
  EXPECT_GT(Parsed("1e-310").number, 0.0);  // a subnormal is kept
}

TEST(Json, StringEscapes) {
  EXPECT_EQ(Parsed("\"\\u00e9\"").string, "\xC3\xA9");
  EXPECT_EQ(Parsed("\"\\uD83D\\uDE00\"").string, "\xF0\x9F\x98\x80");
  EXPECT_EQ(Parsed("\"\\udc00\"").string, "\xED\xB0\x80");
  EXPECT_EQ(Parsed("\"\\u0041\\u07FF\\u0800\\uFFFF\"").string, "A\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
  EXPECT_EQ(Parsed("\"\\uDBFF\\uDFFF\"").string, "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(Parsed("\"a\\u0000b\"").string, std::string("a\0b", 3));
  EXPECT_EQ(Parsed("\"\\\"\\/\\\\\\b\\f\\n\\r\\t\"").string, "\"/\\\b\f\n\r\t");
  EXPECT_EQ(Parsed("\"\xC3\xA9\xFF\x80\"").string, "\xC3\xA9\xFF\x80");  // bytes pass unvalidated
  EXPECT_EQ(ErrorOf("\"\\uD83Dx\""), "surrogate invalido");
  EXPECT_EQ(ErrorOf("\"\\uD83D\\u0041\""), "surrogate invalido");
  EXPECT_EQ(ErrorOf("\"\\uD83D\\uD83D\""), "surrogate invalido");
  EXPECT_EQ(ErrorOf("\"\\uD83D\""), "surrogate invalido");
  EXPECT_EQ(ErrorOf("\"\\uD83D\\uDE0"), "surrogate invalido");
  EXPECT_EQ(ErrorOf("\"\\u12\""), "\\u invalido");
  EXPECT_EQ(ErrorOf("\"\\u12g4\""), "\\u invalido");
  EXPECT_EQ(ErrorOf("\"\\u12"), "\\u invalido");
  EXPECT_EQ(ErrorOf("\"\\x\""), "escape invalido");
  EXPECT_EQ(ErrorOf("\"\\U0041\""), "escape invalido");
  EXPECT_EQ(ErrorOf("\"a\tb\""), "caractere de controlo em string");
  EXPECT_EQ(ErrorOf(std::string("\"a\0b\"", 5)), "caractere de controlo em string");
  EXPECT_EQ(ErrorOf("\"a\nb\""), "caractere de controlo em string");
}

TEST(Json, ObjectsAreSortedByKeyBytes) {
  JsonValue v = Parsed("{\"b\":1,\"ab\":2,\"a\":3,\"\xC3\xA9\":4,\"B\":5,\"\":6}");
  std::string order;
  for (const auto& [key, value] : v.object) order += "[" + key + "]";
  EXPECT_EQ(order, "[][B][a][ab][b][\xC3\xA9]");
  EXPECT_EQ(JsonAsInt64(JsonGetMember(v, "")), 6);
}

TEST(Json, RepeatedKeyKeepsOnlyTheLastValue) {
  JsonValue v = Parsed("{\"a\":[1,2],\"a\":[3]}");
  ASSERT_EQ(v.object.size(), 1u);
  ASSERT_EQ(JsonGetMember(v, "a").array.size(), 1u);
  EXPECT_EQ(JsonGetMember(v, "a").array[0].number, 3);

  EXPECT_EQ(JsonAsString(JsonGetMember(Parsed("{\"a\":\"x\",\"a\":\"y\"}"), "a"), ""), "y");

  JsonValue objects = Parsed("{\"a\":{\"b\":1},\"a\":{\"c\":2}}");
  EXPECT_EQ(JsonGetMember(JsonGetMember(objects, "a"), "b").type, JsonType::Null);
  EXPECT_EQ(JsonAsInt64(JsonGetMember(JsonGetMember(objects, "a"), "c")), 2);

  JsonValue mixedDoc = Parsed("{\"a\":5,\"a\":\"s\"}");
  const JsonValue& mixed = JsonGetMember(mixedDoc, "a");
  EXPECT_EQ(mixed.type, JsonType::String);
  EXPECT_EQ(mixed.number, 0);
  JsonValue nullDoc = Parsed("{\"a\":true,\"a\":null}");
  const JsonValue& backToNull = JsonGetMember(nullDoc, "a");
  EXPECT_EQ(backToNull.type, JsonType::Null);
  EXPECT_FALSE(backToNull.boolean);
}

TEST(Json, MemberLookupFallsBackToSharedNull) {
  JsonValue v = Parsed("{\"files\":[{\"path\":\"a\",\"size\":2.9}],\"n\":-2.9,\"s\":\"12\"}");
  EXPECT_EQ(JsonGetMember(JsonGetMember(v, "files"), "path").type, JsonType::Null);  // on an array
  EXPECT_EQ(JsonGetMember(JsonGetMember(v, "n"), "x").type, JsonType::Null);        // on a number
  const JsonValue& missing = JsonGetMember(JsonGetMember(JsonGetMember(v, "no"), "deeper"), "still");
  EXPECT_EQ(missing.type, JsonType::Null);
  EXPECT_EQ(&missing, &JsonGetMember(v, "other"));
  EXPECT_EQ(JsonAsString(JsonGetMember(v, "no"), "fallback"), "fallback");
  EXPECT_EQ(JsonAsString(JsonGetMember(v, "n"), "fallback"), "fallback");
  EXPECT_EQ(JsonAsString(JsonGetMember(v, "s"), "fallback"), "12");
  EXPECT_EQ(JsonAsInt64(JsonGetMember(v.object["files"].array[0], "size")), 2);
  EXPECT_EQ(JsonAsInt64(JsonGetMember(v, "n")), -2);
  EXPECT_EQ(JsonAsInt64(JsonGetMember(v, "s")), 0);
}

TEST(Json, Int64ConversionSaturatesOutsideItsRange) {
  EXPECT_EQ(JsonAsInt64(Parsed("1e400")), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(JsonAsInt64(Parsed("-1e400")), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(JsonAsInt64(Parsed("1e19")), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(JsonAsInt64(Parsed("-9223372036854775808")), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(JsonAsInt64(Parsed("9007199254740993")), 9007199254740992);  // nearest double
  EXPECT_EQ(JsonAsInt64(Parsed("4294967296")), 4294967296);
}

TEST(Json, FirstErrorSurvivesAndOutputIsReset) {
  EXPECT_EQ(ErrorOf("{\"a\":[1,2 \"b\"}"), "esperado , ou ]");
  EXPECT_EQ(ErrorOf("[[[\"\\q\"]]] x"), "escape invalido");
  EXPECT_EQ(ErrorOf("{\"k\":{\"j\":tru}}"), "valor invalido");

  JsonValue v = Parsed("{\"old\":1}");
  std::string error = "untouched";
  EXPECT_TRUE(JsonParse("[2]", v, &error));
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(v.type, JsonType::Array);
  EXPECT_TRUE(v.object.empty());
  EXPECT_FALSE(JsonParse("", v, nullptr));  // no message wanted
  EXPECT_TRUE(v.array.empty());
}

TEST(Json, ValuesCopyAndMoveWholeTrees) {
  JsonValue a = Parsed("{\"x\":[1,{\"y\":\"z\"}]}");
  JsonValue b = a;
  a.object.clear();
  EXPECT_EQ(JsonGetMember(b.object["x"].array[1], "y").string, "z");
  JsonValue c = std::move(b);
  EXPECT_TRUE(b.object.empty());
  EXPECT_EQ(c.object.size(), 1u);
}

// ---- Randomized: round trips of generated trees, and damaged documents --------------

static const std::set<std::string> kMessages = {
  "demasiado aninhado", "fim inesperado", "valor invalido", "numero invalido", "esperado string",
  "caractere de controlo em string", "string nao terminada", "escape invalido", "\\u invalido",
  "surrogate invalido", "array nao terminado", "esperado , ou ]", "esperado :",
  "objeto nao terminado", "esperado , ou }", "lixo depois do JSON"};

static bool SameTree(const JsonValue& a, const JsonValue& b);

static void CheckAnyInput(const std::string& text) {
  JsonValue v;
  std::string error;
  const bool parsed = JsonParse(text, v, &error);
  if (!parsed) {
    EXPECT_EQ(kMessages.count(error), 1u) << "message '" << error << "' for: " << text.substr(0, 200);
  }
  // The scan that builds nothing agrees with the parser on every input, message included.
  std::string scanError;
  EXPECT_EQ(JsonScan(text, [](const std::vector<JsonStep>&, const JsonValue&) {}, &scanError), parsed) << text;
  if (!parsed) {
    EXPECT_EQ(scanError, error) << text;
  }
  // So does the parse that streams the top-level "files" array, and it hands over the elements
  // of the last such array that the whole parse keeps.
  std::vector<JsonValue> elements;
  size_t announced = 0;
  JsonStream stream;
  stream.key = "files";
  stream.begin = [&](size_t count, size_t) { elements.clear(), announced = count; };
  stream.element = [&](JsonValue& element) { elements.push_back(element); };
  JsonValue rest;
  std::string streamError;
  EXPECT_EQ(JsonParseStreamed(text, stream, rest, &streamError), parsed) << text;
  if (!parsed) {
    EXPECT_EQ(streamError, error) << text;
    return;
  }
  const JsonValue& files = JsonGetMember(v, "files");
  if (files.type != JsonType::Array) return;
  EXPECT_EQ(JsonGetMember(rest, "files").type, JsonType::Array);
  EXPECT_TRUE(JsonGetMember(rest, "files").array.empty());
  EXPECT_EQ(announced, files.array.size());
  ASSERT_EQ(elements.size(), files.array.size()) << text;
  for (size_t i = 0; i < elements.size(); ++i) EXPECT_TRUE(SameTree(elements[i], files.array[i])) << text;
  JsonValue withoutFiles = v;
  withoutFiles.object["files"].array.clear();
  EXPECT_TRUE(SameTree(rest, withoutFiles)) << text;
}

struct Generator {
  std::mt19937_64 rng;
  explicit Generator(uint64_t seed) : rng(seed) {}
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng() % n); }

  std::string Blank() {
    static const char* kBlanks[] = {"", "", "", " ", "\n", "\t", "\r\n  "};
    return kBlanks[Below(7)];
  }

  // A random byte string and its JSON text (escaped in every allowed way).
  void RandomString(std::string& value, std::string& text) {
    text = "\"";
    uint32_t n = Below(12);
    for (uint32_t i = 0; i < n; ++i) {
      switch (Below(6)) {
        case 0: { char c = static_cast<char>(' ' + Below(95)); value.push_back(c);
                  if (c == '"' || c == '\\') text.push_back('\\');
                  text.push_back(c); break; }
        case 1: { char c = static_cast<char>(Below(32)); value.push_back(c);
                  char buf[8]; std::snprintf(buf, sizeof buf, "\\u%04X", c); text += buf; break; }
        case 2: { static const char* kEsc[][2] = {{"\n", "\\n"}, {"\t", "\\t"}, {"/", "\\/"}, {"\b", "\\b"}, {"\f", "\\f"}, {"\r", "\\r"}};
                  auto& e = kEsc[Below(6)]; value += e[0]; text += e[1]; break; }
        case 3: value += "\xC3\xA9"; text += Below(2) ? "\xC3\xA9" : "\\u00e9"; break;
        case 4: value += "\xF0\x9F\x98\x80"; text += Below(2) ? "\xF0\x9F\x98\x80" : "\\ud83d\\uDE00"; break;
        default: value += "\xE2\x82\xAC"; text += "\\u20AC"; break;
      }
    }
    text += "\"";
  }

  // Builds a random value and the text that must parse back into it.
  std::string RandomValue(JsonValue& v, int depth) {
    // Containers thin out with depth; none where its members would pass the nesting limit.
    uint32_t kind = depth >= 64 ? Below(4) : Below(depth < 4 ? 6 : 12);
    if (kind >= 6) kind = Below(4);
    switch (kind) {
      case 0: v.type = JsonType::Null; return "null";
      case 1: v.type = JsonType::Bool; v.boolean = Below(2); return v.boolean ? "true" : "false";
      case 2: {
        v.type = JsonType::Number;
        double d;
        switch (Below(3)) {
          case 0: d = static_cast<double>(static_cast<int64_t>(rng() >> Below(64))) * (Below(2) ? 1 : -1); break;
          case 1: d = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(Below(200)) - 150); break;
          default: d = (static_cast<double>(Below(100000)) - 50000) / 1000; break;
        }
        v.number = d;
        char buf[40];
        std::snprintf(buf, sizeof buf, Below(2) ? "%.17g" : "%.17e", d);
        return buf;
      }
      case 3: { v.type = JsonType::String; std::string text; RandomString(v.string, text); return text; }
      case 4: {
        v.type = JsonType::Array;
        std::string text = "[" + Blank();
        uint32_t n = Below(5);
        for (uint32_t i = 0; i < n; ++i) {
          v.array.emplace_back();
          if (i) text += "," + Blank();
          text += RandomValue(v.array.back(), depth + 1) + Blank();
        }
        return text + "]";
      }
      default: {
        v.type = JsonType::Object;
        std::string text = "{" + Blank();
        uint32_t n = Below(5);
        for (uint32_t i = 0; i < n; ++i) {
          std::string key, keyText;
          RandomString(key, keyText);
          if (v.object.count(key)) continue;
          if (!v.object.empty()) text += "," + Blank();
          text += keyText + Blank() + ":" + Blank() + RandomValue(v.object[key], depth + 1) + Blank();
        }
        return text + "}";
      }
    }
  }
};

static bool SameTree(const JsonValue& a, const JsonValue& b) {
  if (a.type != b.type || a.boolean != b.boolean || a.string != b.string) return false;
  if (!(a.number == b.number) || std::signbit(a.number) != std::signbit(b.number)) return false;
  if (a.array.size() != b.array.size() || a.object.size() != b.object.size()) return false;
  for (std::size_t i = 0; i < a.array.size(); ++i) {
    if (!SameTree(a.array[i], b.array[i])) return false;
  }
  for (auto ia = a.object.begin(), ib = b.object.begin(); ia != a.object.end(); ++ia, ++ib) {
    if (ia->first != ib->first || !SameTree(ia->second, ib->second)) return false;
  }
  return true;
}

TEST(JsonRandomized, GeneratedDocumentsParseBackExactly) {
  for (uint64_t seed = 1; seed <= 3000; ++seed) {
    Generator g(seed);
    JsonValue expected;
    std::string text = g.Blank() + g.RandomValue(expected, 1) + g.Blank();
    JsonValue actual;
    std::string error;
    ASSERT_TRUE(JsonParse(text, actual, &error)) << "seed " << seed << ": " << error << "\n" << text;
    ASSERT_TRUE(SameTree(expected, actual)) << "seed " << seed << "\n" << text;
  }
}

static std::string Manifest(Generator& g) {
  std::string text = "{\"version\": " + std::to_string(g.Below(1000)) + ", \"game\": \"bin/Quorvel.exe\", \"files\": [";
  uint32_t n = 1 + g.Below(8);
  for (uint32_t i = 0; i < n; ++i) {
    if (i) text += ",";
    text += "{\"path\":\"data/f" + std::to_string(i) + ".pak\",\"size\":" + std::to_string(g.rng() % 100000000) +
            ",\"sha256\":\"" + std::string(64, "0123456789abcdef"[g.Below(16)]) + "\",\"packed\":" +
            std::to_string(g.Below(100000)) + "}";
  }
  text += "], \"delete\": [\"old/a.dll\"], \"news\": [{\"title\":\"Patch \\u00e9t\\u00e9\",\"url\":\"https://x/\"}],"
          " \"links\": {\"forum\": \"https://f/\", \"site\": \"https://s/\"}}";
  return text;
}

TEST(JsonRandomized, DamagedManifestsFailWithAMessage) {
  static const char kInteresting[] = "{}[],:\"\\ tfnu0123456789+-.eE";
  for (uint64_t seed = 1; seed <= 4000; ++seed) {
    Generator g(seed);
    std::string text = Manifest(g);
    JsonValue intact;
    ASSERT_TRUE(JsonParse(text, intact, nullptr)) << text;
    uint32_t edits = 1 + g.Below(4);
    for (uint32_t e = 0; e < edits && !text.empty(); ++e) {
      std::size_t at = g.Below(static_cast<uint32_t>(text.size()));
      switch (g.Below(5)) {
        case 0: text[at] = static_cast<char>(g.Below(256)); break;
        case 1: text[at] = kInteresting[g.Below(sizeof kInteresting - 1)]; break;
        case 2: text.erase(at, 1 + g.Below(8)); break;
        case 3: text.insert(at, 1, kInteresting[g.Below(sizeof kInteresting - 1)]); break;
        default: text.resize(at); break;
      }
    }
    CheckAnyInput(text);
  }
}

TEST(JsonRandomized, RandomBytesAndDeepNesting) {
  Generator g(77);
  for (int i = 0; i < 3000; ++i) {
    std::string text(g.Below(64), '\0');
    for (char& c : text) c = static_cast<char>(g.Below(256));
    CheckAnyInput(text);
    std::string tokens;
    for (uint32_t n = g.Below(64); n > 0; --n) tokens += "[{\"a\":1,\"\\u1\"tf]}0-e"[g.Below(21)];
    CheckAnyInput(tokens);
  }
  for (int levels = 1; levels <= 200; ++levels) {
    std::string arrays = Nested(levels, "");
    std::string objects;
    for (int i = 0; i < levels; ++i) objects += "{\"k\":";
    objects += "0" + std::string(levels, '}');
    std::string mixed;
    for (int i = 0; i < levels; ++i) mixed += (i % 2) ? "{\"k\":" : "[";
    mixed += "null";
    for (int i = levels - 1; i >= 0; --i) mixed += (i % 2) ? "}" : "]";
    JsonValue v;
    std::string error;
    EXPECT_EQ(JsonParse(arrays, v, &error), levels <= 64) << levels;
    EXPECT_EQ(JsonParse(objects, v, &error), levels <= 63) << levels;
    EXPECT_EQ(JsonParse(mixed, v, &error), levels <= 63) << levels;
    if (levels > 64) {
      EXPECT_EQ(error, "demasiado aninhado");
    }
    CheckAnyInput(arrays.substr(0, arrays.size() - 1));
  }
}

// ---- Memory: every allocation of this test program is counted ---------------------------

static std::atomic<uint64_t> g_heapNow{0}, g_heapPeak{0};

static void* CountedNew(std::size_t n) {
  void* block = std::malloc(n + 16);
  if (!block) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = n;
  const uint64_t now = g_heapNow += n;
  uint64_t peak = g_heapPeak.load();
  while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(block) + 16;
}
static void CountedDelete(void* p) noexcept {
  if (!p) return;
  char* block = static_cast<char*>(p) - 16;
  g_heapNow -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}
void* operator new(std::size_t n) { return CountedNew(n); }
void* operator new[](std::size_t n) { return CountedNew(n); }
void operator delete(void* p) noexcept { CountedDelete(p); }
void operator delete[](void* p) noexcept { CountedDelete(p); }
void operator delete(void* p, std::size_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedDelete(p); }

// The most heap a parse (or a scan) holds at any moment beyond what was held before it.
static uint64_t PeakHeap(const std::function<void()>& work) {
  const uint64_t before = g_heapNow.load();
  g_heapPeak = before;
  work();
  return g_heapPeak.load() - before;
}

static const uint64_t kInput = 32u * 1024 * 1024;
// As stated at the reader: every array gets its exact room, so no shape needs more than 64
// bytes of tree per input byte (a value in every second byte at 120 bytes a value, and the
// element counts).
static const uint64_t kCeiling = 64 * kInput;

// "[" + first + more + more ... + "]", as long as it stays within limit bytes.
static std::string Repeated(const std::string& first, const std::string& more, uint64_t limit = kInput) {
  std::string text = "[" + first;
  text.reserve(limit);
  while (text.size() + more.size() + 1 <= limit) text += more;
  return text + "]";
}

// A manifest of files entries and a delete list of deletes paths of about 20 bytes (fewer if
// the document would pass limit bytes).
static std::string DeleteListManifest(int files, int deletes, uint64_t limit = kInput) {
  std::string text = "{\"format\":1,\"version\":9,\"files\":[";
  char item[256];
  for (int i = 0; i < files; ++i) {
    std::snprintf(item, sizeof item, "%s{\"p\":\"data/maps/tile_%05d.pak\",\"h\":\"%064x\",\"s\":%d,\"c\":%d}",
                  i ? "," : "", i, i * 2654435761u, 1000 + i, 700 + i);
    text += item;
  }
  text += "],\"delete\":[";
  for (int i = 0; i < deletes; ++i) {
    const int n = std::snprintf(item, sizeof item, "%s\"data/old/f%06d.bin\"", i ? "," : "", i);
    if (text.size() + n + 2 > limit) break;
    text += item;
  }
  return text + "]}";
}

// Manifests of real releases with long delete lists.
TEST(JsonMemory, LongDeleteListsParse) {
  const struct {
    int files, deletes;
    size_t bytes;  // about
  } cases[] = {{1000, 17000, 505000}, {50, 20000, 447000}};
  for (const auto& c : cases) {
    const std::string text = DeleteListManifest(c.files, c.deletes);
    EXPECT_NEAR(static_cast<double>(text.size()), static_cast<double>(c.bytes), 20000.0);
    JsonValue v;
    std::string error;
    ASSERT_TRUE(JsonParse(text, v, &error)) << c.files << " files, " << c.deletes << " deletions: " << error;
    EXPECT_EQ(JsonGetMember(v, "files").array.size(), static_cast<size_t>(c.files));
    ASSERT_EQ(JsonGetMember(v, "delete").array.size(), static_cast<size_t>(c.deletes));
    EXPECT_EQ(JsonGetMember(v, "delete").array.back().string, "data/old/f0" + std::to_string(c.deletes - 1) + ".bin");
  }
}

// The most heap a streamed parse of a manifest holds: one element of its files at a time,
// beside the element counts and the other members.
static uint64_t StreamedPeak(const std::string& text, size_t& elements) {
  elements = 0;
  JsonStream stream;
  stream.key = "files";
  stream.begin = [](size_t, size_t) {};
  stream.element = [&elements](JsonValue&) { ++elements; };
  return PeakHeap([&] {
    JsonValue v;
    std::string error;
    EXPECT_TRUE(JsonParseStreamed(text, stream, v, &error)) << error;
  });
}

// 32 MiB documents of the kinds of crowding the grammar allows; the first two are the worst (a
// value in every second byte: 61 bytes of tree per input byte). Each parses, and the scan of it
// builds nothing.
TEST(JsonMemory, Every32MiBShapeParsesWithinTheCeiling) {
  std::string letters;  // 26 one-letter members, a new object after them
  for (char c = 'a'; c <= 'z'; ++c) letters += std::string(c == 'a' ? "" : ",") + "\"" + c + "\":0";
  const struct {
    const char* name;
    std::function<std::string()> make;
  } shapes[] = {
      {"bare numbers", [] { return Repeated("0", ",0"); }},
      {"one-element arrays", [] { return Repeated("[0]", ",[0]"); }},
      {"empty strings", [] { return Repeated("\"\"", ",\"\""); }},
      {"objects of one-letter members", [&] { return Repeated("{" + letters + "}", ",{" + letters + "}"); }},
      {"numbers 64 levels deep", [] { return Nested(62, Repeated("0", ",0", kInput - 124)); }},
      {"a delete list", [] { return DeleteListManifest(1000, 2000000); }},
  };
  for (const auto& shape : shapes) {
    const std::string text = shape.make();
    ASSERT_LE(text.size(), kInput) << shape.name;
    ASSERT_GT(text.size(), kInput - 64 * 1024) << shape.name;
    std::string error;
    const uint64_t peak = PeakHeap([&] {
      JsonValue v;
      EXPECT_TRUE(JsonParse(text, v, &error)) << shape.name << ": " << error;
    });
    EXPECT_LE(peak, kCeiling) << shape.name;
    std::printf("%-30s %10zu bytes: tree peak %llu bytes (%.1f per input byte)\n", shape.name, text.size(),
                static_cast<unsigned long long>(peak), static_cast<double>(peak) / static_cast<double>(text.size()));
    const uint64_t scanned = PeakHeap([&] {
      EXPECT_TRUE(JsonScan(text, [](const std::vector<JsonStep>&, const JsonValue&) {}));
    });
    EXPECT_LT(scanned, 64u * 1024) << shape.name;
    // As the files of a signed manifest, streamed: one element's tree at a time, beside the
    // element counts (at most two bytes per input byte).
    const std::string manifest = text[0] == '[' ? "{\"files\":" + text + "}" : text;
    size_t elements = 0;
    if (shape.name != std::string("numbers 64 levels deep")) {
      const uint64_t streamed = StreamedPeak(manifest, elements);
      EXPECT_LE(streamed, text[0] == '[' ? 2 * text.size() + 64 * 1024 : peak) << shape.name;
      std::printf("%-30s as the files of a manifest, streamed: peak %.2f per input byte\n", shape.name,
                  static_cast<double>(streamed) / static_cast<double>(text.size()));
    }
  }
}

TEST(JsonMemory, A32MiBManifestParsesWithinTheCeiling) {
  std::string text = "{\"format\":1,\"version\":7,\"files\":[";
  text.reserve(kInput);
  for (uint64_t i = 0;; ++i) {
    char entry[256];
    std::snprintf(entry, sizeof entry,
                  "%s{\"p\":\"Data/maps/region%02u/tile_%06llu.pak\",\"h\":\"%064llx\",\"s\":%llu,\"c\":%llu}",
                  i ? "," : "", static_cast<unsigned>(i % 97), static_cast<unsigned long long>(i),
                  static_cast<unsigned long long>(i * 2654435761u), static_cast<unsigned long long>(i * 1237 % 9000000),
                  static_cast<unsigned long long>(i * 611 % 4000000));
    if (text.size() + std::strlen(entry) + 2 > kInput) break;
    text += entry;
  }
  text += "]}";
  std::string error;
  size_t files = 0;
  const uint64_t peak = PeakHeap([&] {
    JsonValue v;
    ASSERT_TRUE(JsonParse(text, v, &error)) << error;
    files = JsonGetMember(v, "files").array.size();
  });
  EXPECT_GT(files, 200000u);
  EXPECT_LE(peak, kCeiling);
  std::printf("32 MiB manifest of %zu files: tree peak %.1f bytes per input byte\n", files,
              static_cast<double>(peak) / static_cast<double>(text.size()));
  size_t streamed = 0;
  const uint64_t streamPeak = StreamedPeak(text, streamed);
  EXPECT_EQ(streamed, files);
  EXPECT_LT(streamPeak, 64u * 1024);
  std::printf("the same streamed: peak %llu bytes\n", static_cast<unsigned long long>(streamPeak));
}
