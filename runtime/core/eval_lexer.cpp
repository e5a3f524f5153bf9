#include "runtime/core/eval_lexer.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "runtime/core/eval_symbols.h"
#include "runtime/core/locale_tables.h"

namespace cinevo {
namespace {

bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlnum(unsigned char c) {
  return IsAsciiDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

// The value of a digit character 0-9, A-Z (either case); 99 for anything else.
int DigitValue(unsigned char c) {
  if (IsAsciiDigit(c)) return c - '0';
  c = AsciiUpper(c);
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// Digits [ "." digits ] [ ("e"|"E") [sign] digits ], with at least one mantissa digit and either
// a point or an exponent: the floating constant form.
bool IsFloatingForm(std::string_view s) {
  size_t i = 0;
  size_t mantissa_digits = 0;
  while (i < s.size() && IsAsciiDigit(s[i])) ++i, ++mantissa_digits;
  bool point = false;
  if (i < s.size() && s[i] == '.') {
    point = true;
    ++i;
    while (i < s.size() && IsAsciiDigit(s[i])) ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return false;
  bool exponent = false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    exponent = true;
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && IsAsciiDigit(s[i])) ++i, ++digits;
    if (digits == 0) return false;
  }
  return i == s.size() && (point || exponent);
}

// Parses a floating text that IsFloatingForm accepted (or a long decimal integer); false when the
// value is out of the range of a double.
bool ParseFloating(std::string_view s, double* out) {
  std::string copy(s);
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

}  // namespace

bool IsNameStart(unsigned char c) {
  return c == '?' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         IsAlphaChar(c);
}

bool IsNameChar(unsigned char c) {
  return c == '_' || c == ':' || IsAsciiAlnum(c) || IsAlphaChar(c);
}

std::string_view EvalOpText(EvalOp op) {
  switch (op) {
    case kOpPower: return "^";
    case kOpMultiply: return "*";
    case kOpDivide: return "/";
    case kOpRemainder: return "%";
    case kOpAdd: return "+";
    case kOpSubtract: return "-";
    case kOpConcat: return "&";
    case kOpEqual: return "=";
    case kOpNotEqual: return "<>";
    case kOpLess: return "<";
    case kOpGreater: return ">";
    case kOpLessEqual: return "<=";
    case kOpGreaterEqual: return ">=";
    case kOpNot: return "NOT";
    case kOpAnd: return "AND";
    case kOpOr: return "OR";
    case kOpXor: return "XOR";
    case kOpComma: return ",";
    case kOpColon: return ":";
    default: return "";
  }
}

void EvalLexer::SkipBlanks() {
  while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
}

Token EvalLexer::Next() {
  Token first = have_pending_ ? std::move(pending_) : Raw();
  have_pending_ = false;
  if (first.kind != TokenKind::kOperator) return first;
  // Only the characters "<", ">", "=" and "~" (not the keyword NOT) start a two-token relation.
  char c = first.text.empty() ? '\0' : first.text[0];
  if (c != '<' && c != '>' && c != '=' && c != '~') return first;
  Token second = Raw();
  char d = second.kind == TokenKind::kOperator && !second.text.empty() ? second.text[0] : '\0';
  EvalOp joined = kOpNone;
  if ((c == '<' && d == '>') || (c == '~' && d == '=')) joined = kOpNotEqual;
  if ((c == '<' && d == '=') || (c == '=' && d == '<') || (c == '~' && d == '>')) joined = kOpLessEqual;
  if ((c == '>' && d == '=') || (c == '=' && d == '>') || (c == '~' && d == '<')) joined = kOpGreaterEqual;
  if (joined == kOpNone) {
    pending_ = std::move(second);
    have_pending_ = true;
    return first;
  }
  first.op = joined;
  size_t end = second.position + second.text.size();
  first.text = text_.substr(first.position, end - first.position);
  return first;
}

Token EvalLexer::Raw() {
  SkipBlanks();
  Token t;
  t.position = pos_;
  if (pos_ >= text_.size()) {
    t.kind = TokenKind::kEnd;
    return t;
  }
  unsigned char c = static_cast<unsigned char>(text_[pos_]);
  if (IsNameStart(c)) return ReadName();
  if (IsAsciiDigit(c) ||
      (c == '.' && pos_ + 1 < text_.size() && IsAsciiDigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
    return ReadNumber();
  }
  if (c == '\'') return ReadString();
  if (c == '@') return ReadPicture();
  EvalOp op = kOpNone;
  switch (c) {
    case '+': op = kOpAdd; break;
    case '-': op = kOpSubtract; break;
    case '*': op = kOpMultiply; break;
    case '/': op = kOpDivide; break;
    case '%': op = kOpRemainder; break;
    case '^': op = kOpPower; break;
    case '&': op = kOpConcat; break;
    case '~': op = kOpNot; break;
    case '<': op = kOpLess; break;
    case '>': op = kOpGreater; break;
    case '=': op = kOpEqual; break;
    case '(': op = kOpOpenParen; break;
    case ')': op = kOpCloseParen; break;
    case '[': op = kOpOpenBracket; break;
    case ']': op = kOpCloseBracket; break;
    case ',': op = kOpComma; break;
    case ':': op = kOpColon; break;
    default: break;
  }
  t.text = text_.substr(pos_, 1);
  if (op == kOpNone) {
    t.kind = TokenKind::kError;
    pos_ = text_.size();  // an error ends the token stream
    return t;
  }
  ++pos_;
  t.kind = TokenKind::kOperator;
  t.op = op;
  return t;
}

Token EvalLexer::ReadName() {
  Token t;
  t.position = pos_;
  size_t start = pos_++;
  while (pos_ < text_.size() && IsNameChar(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  if (pos_ < text_.size() && (text_[pos_] == '#' || text_[pos_] == '$' || text_[pos_] == '"')) ++pos_;
  t.text = text_.substr(start, pos_ - start);
  EvalOp keyword = LookupOperatorKeyword(t.text);
  if (keyword != kOpNone) {
    t.kind = TokenKind::kOperator;
    t.op = keyword;
  } else {
    t.kind = TokenKind::kName;
  }
  return t;
}

Token EvalLexer::ReadNumber() {
  Token t;
  t.position = pos_;
  size_t start = pos_;
  auto run = [&] {
    while (pos_ < text_.size() && IsAsciiAlnum(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  };
  run();
  if (pos_ < text_.size() && text_[pos_] == '.') {
    ++pos_;
    run();
  }
  // An exponent with a sign ("1.5E-3") continues the run across the sign.
  char last = text_[pos_ - 1];
  if ((last == 'e' || last == 'E') && pos_ + 1 < text_.size() &&
      (text_[pos_] == '-' || text_[pos_] == '+') &&
      IsAsciiDigit(static_cast<unsigned char>(text_[pos_ + 1]))) {
    std::string_view before = text_.substr(start, pos_ - 1 - start);
    bool mantissa = !before.empty();
    for (char ch : before) mantissa = mantissa && (IsAsciiDigit(ch) || ch == '.');
    if (mantissa) {
      ++pos_;
      run();
    }
  }
  t.text = text_.substr(start, pos_ - start);
  std::string_view s = t.text;

  if (IsFloatingForm(s)) {
    t.kind = ParseFloating(s, &t.floating) ? TokenKind::kFloating : TokenKind::kError;
    return t;
  }
  bool all_decimal = true;
  for (char ch : s) all_decimal = all_decimal && IsAsciiDigit(ch);
  if (all_decimal) {
    uint64_t v = 0;
    bool overflow = false;
    for (char ch : s) {
      unsigned d = static_cast<unsigned>(ch - '0');
      if (v > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - d) / 10) {
        overflow = true;
        break;
      }
      v = v * 10 + d;
    }
    if (!overflow) {
      t.kind = TokenKind::kInteger;
      t.integer = static_cast<int64_t>(v);
    } else {
      // Too large for an integer: kept as a floating constant.
      t.kind = ParseFloating(s, &t.floating) ? TokenKind::kFloating : TokenKind::kError;
    }
    return t;
  }
  int radix = 0;
  switch (AsciiUpper(static_cast<unsigned char>(s.back()))) {
    case 'H': radix = 16; break;
    case 'O': radix = 8; break;
    case 'B': radix = 2; break;
    default: break;
  }
  t.kind = TokenKind::kError;
  if (radix == 0 || s.size() < 2) return t;
  uint64_t v = 0;
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    int d = DigitValue(static_cast<unsigned char>(s[i]));
    if (d >= radix) return t;
    if (v > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - d) / radix) return t;
    v = v * radix + d;
  }
  t.kind = TokenKind::kInteger;
  t.integer = static_cast<int64_t>(v);
  return t;
}

Token EvalLexer::ReadString() {
  Token t;
  t.position = pos_;
  size_t start = pos_++;
  while (true) {
    if (pos_ >= text_.size()) {
      t.kind = TokenKind::kError;  // unterminated string
      t.text = text_.substr(start);
      return t;
    }
    char c = text_[pos_++];
    if (c == '\'') {
      if (pos_ < text_.size() && text_[pos_] == '\'') {
        t.string.push_back('\'');
        ++pos_;
        continue;
      }
      break;
    }
    t.string.push_back(c);
  }
  t.kind = TokenKind::kString;
  t.text = text_.substr(start, pos_ - start);
  return t;
}

// "@" and the picture text. It ends at a blank, ",", ")" or "]" (so that "[@N6]" can be written)
// outside the parts it keeps whole: a "(...)" opened inside the picture (so "FORMAT(X,@N(6))"
// reads the picture "@N(6)"), a "~...~" text, and the mask of a "P...P" or "K...K" pattern. A
// part left open is an error.
Token EvalLexer::ReadPicture() {
  Token t;
  t.position = pos_;
  size_t start = pos_++;
  int depth = 0;
  char closer = '\0';  // the character that ends the part being kept, or none
  if (pos_ < text_.size()) {
    unsigned char k = AsciiUpper(static_cast<unsigned char>(text_[pos_]));
    if (k == 'P' || k == 'K') {
      closer = static_cast<char>(k);
      ++pos_;
    }
  }
  while (pos_ < text_.size()) {
    char c = text_[pos_];
    if (closer != '\0') {
      ++pos_;
      if (AsciiUpper(static_cast<unsigned char>(c)) == static_cast<unsigned char>(closer)) closer = '\0';
      continue;
    }
    if ((c == ' ' || c == '\t' || c == ',' || c == ']') && depth == 0) break;
    if (c == ')') {
      if (depth == 0) break;
      --depth;
    } else if (c == '(') {
      ++depth;
    } else if (c == '~') {
      closer = '~';
    }
    ++pos_;
  }
  t.text = text_.substr(start, pos_ - start);
  t.kind = closer != '\0' || depth != 0 ? TokenKind::kError : TokenKind::kPicture;
  return t;
}

}  // namespace cinevo
