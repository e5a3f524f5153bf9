#include "tools/tvx/tvx_json.h"

#include <cctype>

#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {

void PrintJson(const JsonValue& v, std::string& out, int depth) {
  std::string pad(static_cast<size_t>(depth + 1), ' ');
  switch (v.kind) {
    case JsonValue::Kind::kRaw:
      out += v.raw;
      return;
    case JsonValue::Kind::kString:
      out += JsonString(v.raw);
      return;
    case JsonValue::Kind::kArray:
      if (v.items.empty()) {
        out += "[]";
        return;
      }
      out += "[\n";
      for (size_t i = 0; i < v.items.size(); ++i) {
        out += pad;
        PrintJson(v.items[i], out, depth + 1);
        out += i + 1 < v.items.size() ? ",\n" : "\n";
      }
      out += std::string(static_cast<size_t>(depth), ' ') + "]";
      return;
    case JsonValue::Kind::kObject:
      if (v.items.empty()) {
        out += "{}";
        return;
      }
      out += "{\n";
      for (size_t i = 0; i < v.items.size(); ++i) {
        out += pad + JsonString(v.items[i].key) + ": ";
        PrintJson(v.items[i], out, depth + 1);
        out += i + 1 < v.items.size() ? ",\n" : "\n";
      }
      out += std::string(static_cast<size_t>(depth), ' ') + "}";
      return;
  }
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}
  bool Run(JsonValue& out, std::string& error) {
    bool ok = Value(out, 0) && (Skip(), i_ == s_.size());
    if (!ok) error = "JSON error near byte " + std::to_string(i_) + (why_.empty() ? "" : ": " + why_);
    return ok;
  }

 private:
  void Skip() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  bool Fail(const char* why) {
    why_ = why;
    return false;
  }
  bool Value(JsonValue& v, int depth) {
    if (depth > 64) return Fail("nested too deeply");
    Skip();
    if (i_ >= s_.size()) return Fail("unexpected end");
    char c = s_[i_];
    if (c == '{') {
      v = JsonValue::Object();
      ++i_;
      Skip();
      if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
      for (;;) {
        Skip();
        JsonValue key;
        if (i_ >= s_.size() || s_[i_] != '"' || !String(key)) return Fail("expected a member name");
        Skip();
        if (i_ >= s_.size() || s_[i_++] != ':') return Fail("expected ':'");
        JsonValue member;
        if (!Value(member, depth + 1)) return false;
        v.Add(key.raw, std::move(member));
        Skip();
        if (i_ >= s_.size()) return Fail("unexpected end");
        if (s_[i_] == ',') { ++i_; continue; }
        if (s_[i_] == '}') return ++i_, true;
        return Fail("expected ',' or '}'");
      }
    }
    if (c == '[') {
      v = JsonValue::Array();
      ++i_;
      Skip();
      if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
      for (;;) {
        if (!Value(v.Push(JsonValue{}), depth + 1)) return false;
        Skip();
        if (i_ >= s_.size()) return Fail("unexpected end");
        if (s_[i_] == ',') { ++i_; continue; }
        if (s_[i_] == ']') return ++i_, true;
        return Fail("expected ',' or ']'");
      }
    }
    if (c == '"') return String(v);
    size_t start = i_;
    while (i_ < s_.size() && std::string_view("+-.eE0123456789truefalsn").find(s_[i_]) != std::string_view::npos) ++i_;
    if (start == i_) return Fail("unexpected character");
    v = JsonValue::Raw(std::string(s_.substr(start, i_ - start)));
    return true;
  }
  bool String(JsonValue& v) {
    v = JsonValue{};
    v.kind = JsonValue::Kind::kString;
    ++i_;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        v.raw.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) return Fail("unexpected end");
      char e = s_[i_++];
      switch (e) {
        case 'n': v.raw += '\n'; break;
        case 't': v.raw += '\t'; break;
        case 'r': v.raw += '\r'; break;
        case 'b': v.raw += '\b'; break;
        case 'f': v.raw += '\f'; break;
        case 'u': {
          if (i_ + 4 > s_.size()) return Fail("bad escape");
          unsigned u = 0;
          for (int k = 0; k < 4; ++k) {
            char h = s_[i_++];
            u = u * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
          }
          if (u < 0x100) {
            v.raw.push_back(static_cast<char>(u));
          } else if (u < 0x800) {
            v.raw.push_back(static_cast<char>(0xC0 | (u >> 6)));
            v.raw.push_back(static_cast<char>(0x80 | (u & 0x3F)));
          } else {
            v.raw.push_back(static_cast<char>(0xE0 | (u >> 12)));
            v.raw.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            v.raw.push_back(static_cast<char>(0x80 | (u & 0x3F)));
          }
          break;
        }
        default: v.raw.push_back(e); break;
      }
    }
    if (i_ >= s_.size()) return Fail("unterminated string");
    ++i_;
    return true;
  }
  std::string_view s_;
  size_t i_ = 0;
  std::string why_;
};

}  // namespace

bool ParseJson(std::string_view text, JsonValue& out, std::string& error) { return Parser(text).Run(out, error); }

std::string ScalarText(const JsonValue& v) {
  if (v.kind == JsonValue::Kind::kString) return v.raw;
  if (v.kind == JsonValue::Kind::kRaw && v.raw != "null") return v.raw;
  return "";
}

}  // namespace cinevo::tvx
