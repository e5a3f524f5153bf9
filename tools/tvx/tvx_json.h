// A small ordered JSON document for tvx's output, printed with one blank of indentation per
// level, every array element and object member on its own line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cinevo::tvx {

struct JsonValue {
  enum class Kind { kRaw, kArray, kObject, kString } kind = Kind::kRaw;
  std::string raw;  // kRaw: a number, literal or quoted string as written; kString: the text
  std::vector<JsonValue> items;  // array elements, or object members in order
  std::string key;               // the name of an object member

  static JsonValue Raw(std::string text) { return JsonValue{Kind::kRaw, std::move(text), {}, {}}; }
  static JsonValue Array() { return JsonValue{Kind::kArray, {}, {}, {}}; }
  static JsonValue Object() { return JsonValue{Kind::kObject, {}, {}, {}}; }
  JsonValue& Add(std::string name, JsonValue v) {
    v.key = std::move(name);
    items.push_back(std::move(v));
    return items.back();
  }
  JsonValue& Push(JsonValue v) {
    items.push_back(std::move(v));
    return items.back();
  }
};

void PrintJson(const JsonValue& v, std::string& out, int depth = 0);

// Parses a whole JSON text: strings become kString with their text (\u escapes below 0x100
// as single bytes, others as UTF-8), numbers and literals kRaw. False with the byte offset
// and reason in `error`.
[[nodiscard]] bool ParseJson(std::string_view text, JsonValue& out, std::string& error);

// The text of a scalar: a string's text, a number or literal as written ("null" gives "").
std::string ScalarText(const JsonValue& v);

}  // namespace cinevo::tvx
