#include "app/playlist/xml_reader.h"

#include <algorithm>
#include <cstdint>

namespace cinevo::playlist {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(char c) {
  auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

void AppendUtf8(uint32_t cp, std::string& out) {
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

// Recursive descent over the text; the first error stops everything (`error_` set, every
// function then returns false).
class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  XmlDocument Run() {
    XmlDocument doc;
    if (s_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    if (Prolog() && Element(doc.root, 1)) Misc();
    if (error_.empty() && pos_ < s_.size()) Fail("text after the document's root element");
    if (!error_.empty()) {
      doc.root = XmlElement{};
      doc.error = error_;
    }
    return doc;
  }

 private:
  bool Fail(std::string what) {
    if (!error_.empty()) return false;
    size_t line = 1 + static_cast<size_t>(std::count(s_.begin(), s_.begin() + std::min(pos_, s_.size()), '\n'));
    error_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }
  bool AtEnd() const { return pos_ >= s_.size(); }
  bool Looking(std::string_view t) const { return s_.substr(pos_).starts_with(t); }
  void SkipSpace() {
    while (!AtEnd() && IsSpace(s_[pos_])) ++pos_;
  }
  // Moves past the next `end`; false at the end of the text.
  bool SkipPast(std::string_view end, const char* what) {
    size_t at = s_.find(end, pos_);
    if (at == std::string_view::npos) return Fail(std::string("unfinished ") + what);
    pos_ = at + end.size();
    return true;
  }
  bool Name(std::string& out) {
    if (AtEnd() || !IsNameStart(s_[pos_])) return Fail("a name was expected");
    size_t start = pos_;
    while (!AtEnd() && IsNameChar(s_[pos_])) ++pos_;
    out.assign(s_.substr(start, pos_ - start));
    return true;
  }
  // A character allowed in a document (XML 1.0): no control characters but tab and line ends.
  bool CheckChar(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      return Fail("a control character (" + std::to_string(u) + ") where text was expected");
    }
    return true;
  }
  // After "&": a predefined entity or a character reference, appended to `out`.
  bool Reference(std::string& out) {
    size_t semi = s_.find(';', pos_);
    if (semi == std::string_view::npos || semi - pos_ > 12) return Fail("a \"&\" that begins no reference");
    std::string_view ref = s_.substr(pos_, semi - pos_);
    pos_ = semi + 1;
    if (ref == "lt") out.push_back('<');
    else if (ref == "gt") out.push_back('>');
    else if (ref == "amp") out.push_back('&');
    else if (ref == "apos") out.push_back('\'');
    else if (ref == "quot") out.push_back('"');
    else if (ref.starts_with('#')) {
      bool hex = ref.size() > 1 && ref[1] == 'x';
      std::string_view digits = ref.substr(hex ? 2 : 1);
      if (digits.empty()) return Fail("an empty character reference");
      uint32_t cp = 0;
      for (char c : digits) {
        int d = c >= '0' && c <= '9' ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return Fail("a malformed character reference &" + std::string(ref) + ";");
        cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
        if (cp > 0x10FFFF) return Fail("a character reference beyond Unicode");
      }
      bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp < 0xD800) ||
                     (cp >= 0xE000 && cp <= 0x10FFFF && cp != 0xFFFE && cp != 0xFFFF);
      if (!allowed) return Fail("a character reference to a character no document may hold");
      AppendUtf8(cp, out);
    } else {
      return Fail("the entity \"&" + std::string(ref) + ";\", which is not expanded here");
    }
    return true;
  }
  // Comments, processing instructions and blanks.
  bool Misc() {
    for (;;) {
      SkipSpace();
      if (Looking("<!--")) {
        if (!SkipPast("-->", "comment")) return false;
      } else if (Looking("<?")) {
        if (!SkipPast("?>", "processing instruction")) return false;
      } else {
        return true;
      }
    }
  }
  // A DOCTYPE is passed over: its internal subset (between brackets, quotes respected) too.
  bool Doctype() {
    pos_ += 9;  // "<!DOCTYPE"
    int depth = 0;
    while (!AtEnd()) {
      if (Looking("<!--")) {
        if (!SkipPast("-->", "comment")) return false;
        continue;
      }
      char c = s_[pos_++];
      if (c == '"' || c == '\'') {
        size_t q = s_.find(c, pos_);
        if (q == std::string_view::npos) break;
        pos_ = q + 1;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        --depth;
      } else if (c == '>' && depth <= 0) {
        return true;
      }
    }
    return Fail("unfinished DOCTYPE");
  }
  bool Prolog() {
    if (!Misc()) return false;
    if (Looking("<!DOCTYPE")) {
      if (!Doctype() || !Misc()) return false;
    }
    if (AtEnd() || s_[pos_] != '<') return Fail("no root element");
    return true;
  }
  bool Attribute(XmlElement& e) {
    std::string name, value;
    if (!Name(name)) return false;
    SkipSpace();
    if (AtEnd() || s_[pos_] != '=') return Fail("\"=\" expected after the attribute " + name);
    ++pos_;
    SkipSpace();
    if (AtEnd() || (s_[pos_] != '"' && s_[pos_] != '\'')) return Fail("a quoted value expected for " + name);
    char quote = s_[pos_++];
    for (;;) {
      if (AtEnd()) return Fail("unfinished value of the attribute " + name);
      char c = s_[pos_];
      if (c == quote) break;
      if (c == '<') return Fail("\"<\" inside the value of the attribute " + name);
      ++pos_;
      if (c == '&') {
        if (!Reference(value)) return false;
      } else {
        if (!CheckChar(c)) return false;
        value.push_back(IsSpace(c) ? ' ' : c);
      }
    }
    ++pos_;
    for (const auto& [n, v] : e.attributes) {
      if (n == name) return Fail("the attribute " + name + " given twice");
    }
    e.attributes.emplace_back(std::move(name), std::move(value));
    return true;
  }
  bool Element(XmlElement& e, int depth) {
    if (depth > kMaxXmlDepth) return Fail("elements nested deeper than " + std::to_string(kMaxXmlDepth));
    ++pos_;  // "<"
    if (!Name(e.name)) return false;
    for (;;) {
      bool spaced = !AtEnd() && IsSpace(s_[pos_]);
      SkipSpace();
      if (AtEnd()) return Fail("unfinished start tag <" + e.name + ">");
      if (Looking("/>")) {
        pos_ += 2;
        return true;
      }
      if (s_[pos_] == '>') {
        ++pos_;
        break;
      }
      if (!spaced) return Fail("a blank expected in the start tag <" + e.name + ">");
      if (!Attribute(e)) return false;
    }
    for (;;) {
      if (AtEnd()) return Fail("the element <" + e.name + "> is not closed");
      char c = s_[pos_];
      if (c == '<') {
        if (Looking("</")) {
          pos_ += 2;
          std::string end;
          if (!Name(end)) return false;
          SkipSpace();
          if (end != e.name) return Fail("</" + end + "> closes <" + e.name + ">");
          if (AtEnd() || s_[pos_] != '>') return Fail("unfinished end tag </" + end + ">");
          ++pos_;
          return true;
        }
        if (Looking("<!--")) {
          if (!SkipPast("-->", "comment")) return false;
        } else if (Looking("<![CDATA[")) {
          pos_ += 9;
          size_t end = s_.find("]]>", pos_);
          if (end == std::string_view::npos) return Fail("unfinished CDATA section");
          for (size_t i = pos_; i < end; ++i) {
            if (!CheckChar(s_[i])) return false;
          }
          e.text.append(s_.substr(pos_, end - pos_));
          pos_ = end + 3;
        } else if (Looking("<?")) {
          if (!SkipPast("?>", "processing instruction")) return false;
        } else if (Looking("<!")) {
          return Fail("a declaration inside an element");
        } else {
          e.children.emplace_back();
          if (!Element(e.children.back(), depth + 1)) return false;
        }
      } else if (c == '&') {
        ++pos_;
        if (!Reference(e.text)) return false;
      } else {
        if (!CheckChar(c)) return false;
        e.text.push_back(c == '\r' ? '\n' : c);
        ++pos_;
        if (c == '\r' && !AtEnd() && s_[pos_] == '\n') ++pos_;
      }
    }
  }

  std::string_view s_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

std::string_view XmlElement::LocalName() const {
  std::string_view n = name;
  size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const XmlElement* XmlElement::Child(std::string_view local) const {
  for (const XmlElement& c : children) {
    if (c.LocalName() == local) return &c;
  }
  return nullptr;
}

XmlDocument ReadXml(std::string_view text) { return Parser(text).Run(); }

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace cinevo::playlist
