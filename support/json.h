#pragma once
// A small JSON reader (no writer). Platform-free.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class JsonType : int32_t { Null = 0, Bool = 1, Number = 2, String = 3, Array = 4, Object = 5 };

// Every member exists in every value; type says which one is meaningful.
struct JsonValue {
  JsonType type = JsonType::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<JsonValue> array;
  std::map<std::string, JsonValue> object;  // sorted by key, byte-wise
};

// Parses a whole document into out (reset first). False on failure, with the first error
// message in *error when given; out then holds a partial tree that must not be used.
// Every array is given its exact room at once, so the tree takes at most about 61 bytes of
// heap per input byte (a value in every second byte), whatever the document's shape.
bool JsonParse(const std::string& text, JsonValue& out, std::string* error = nullptr);
// The array of one member of the top-level object, read an element at a time.
struct JsonStream {
  const char* key = "";
  // Called as each occurrence of key whose value is an array opens (a repeated key's last one
  // is what counts), with its element count and an upper bound of its bytes.
  std::function<void(size_t elements, size_t bytes)> begin;
  // Called with each element of that array once the element is whole, in order.
  std::function<void(JsonValue& element)> element;
};
// JsonParse (same result, same first message), except that an array that is the value of the
// top-level object's member stream.key is handed to stream an element at a time and kept in out
// only as an empty array: memory holds one element of it, not all of them.
bool JsonParseStreamed(const std::string& text, const JsonStream& stream, JsonValue& out, std::string* error = nullptr);
// The member of an object with exactly this key, else a shared immutable Null value.
const JsonValue& JsonGetMember(const JsonValue& value, const char* key);
// The string if the value is a String, else the fallback.
std::string JsonAsString(const JsonValue& value, const std::string& fallback);
// The number truncated toward zero if the value is a Number, else 0.
int64_t JsonAsInt64(const JsonValue& value);

// One step of the way from the top of a document to a value: an array element (with its
// position) or an object member (with its key).
struct JsonStep {
  bool element = false;
  size_t index = 0;
  std::string key;
};
// Called for every value in document order, with the way to it: scalars with their value,
// arrays and objects once, before their contents, as an empty value of their type.
using JsonVisitor = std::function<void(const std::vector<JsonStep>& path, const JsonValue& value)>;
// Checks a whole document as JsonParse does (same result, same first message) without building
// it: memory stays at the path and the longest string, whatever the document's shape.
// A repeated key is visited each time it occurs.
bool JsonScan(const std::string& text, const JsonVisitor& visit, std::string* error = nullptr);
