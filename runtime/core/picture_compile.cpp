// The picture compiler.
//
// Common rules: a leading "@" is skipped; trailing spaces and tabs are not part of the picture;
// what remains must be 1 to 100 characters. A final "b" or "B" sets blank-when-zero and is
// removed, leaving at least 2 characters. The first character, in either case, is the kind.
// After the numbers of a picture only the modifiers and closing characters of its kind may
// follow (date separators and window modifiers, numeric grouping/decimal characters, trailing
// "-", ")" and currency, the closing letter of a mask); anything else makes the picture invalid.
// Numbers are read with saturation, so a run of any length of digits is simply out of range.
#include <cctype>
#include <cstring>

#include "runtime/core/picture.h"
#include "runtime/core/picture_intl.h"
#include "runtime/core/picture_layout.h"

namespace cinevo {

namespace {

constexpr int kSaturated = 100000;

// A cursor over the picture text; reading past the end yields '\0' and never moves further.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  char Peek(size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  void Skip(size_t n = 1) { pos_ = pos_ + n > text_.size() ? text_.size() : pos_ + n; }
  size_t Pos() const { return pos_; }
  bool Eat(char c) {
    if (!AtEnd() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  // A run of decimal digits: its value (saturated) or -1 when there is none.
  int Number() {
    if (!std::isdigit(static_cast<unsigned char>(Peek()))) return -1;
    int v = 0;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) {
      v = v * 10 + (Peek() - '0');
      if (v > kSaturated) v = kSaturated;
      Skip();
    }
    return v;
  }
  std::string_view Text() const { return text_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

void SetHeader(CompiledPicture& pic, PictureClass cls, int sub, bool bwz, int width) {
  pic.header = static_cast<uint16_t>((static_cast<int>(cls) & 7) | ((sub & 7) << 3) |
                                     (bwz ? 0x40 : 0) | ((width & 0xFF) << 7));
}

// The picture as invalid: only the source copy is kept.
CompiledPicture Invalid(CompiledPicture& pic) {
  pic.header = 0;
  pic.century_window = 0;
  pic.number = 0;
  pic.layout.fill(PictureToken{});
  pic.numeric = NumericLayout{};
  return pic;
}

char SeparatorFor(char c) {
  switch (c) {
    case '.': return '.';
    case '-': return '-';
    case '_': return ' ';
    case '`': return ',';
    default: return 0;
  }
}

bool IsFill(char c) { return c == '0' || c == '_' || c == '*'; }

bool CompileString(Cursor& c, CompiledPicture& pic, bool bwz) {
  int width = c.Number();
  if (width < 1 || width > 255 || !c.AtEnd()) return false;
  SetHeader(pic, PictureClass::kString, 0, bwz, width);
  return true;
}

// Reads the fill, the number and the separator / window modifiers shared by dates and times.
struct DateTimeHead {
  char fill = 0;
  int number = -1;
  char separator = 0;
  int window = kDefaultWindow;
  static constexpr int kDefaultWindow = 80;
};

bool ReadDateTimeHead(Cursor& c, bool is_date, DateTimeHead& head) {
  if (IsFill(c.Peek()) && std::isdigit(static_cast<unsigned char>(c.Peek(1)))) {
    head.fill = c.Peek() == '_' ? ' ' : c.Peek();
    c.Skip();
  } else if (c.Peek() == '_' || c.Peek() == '*') {
    return false;  // a fill character without a number
  }
  head.number = c.Number();
  if (head.number < 0) return false;
  while (!c.AtEnd()) {
    char m = c.Peek();
    if (char sep = SeparatorFor(m)) {
      head.separator = sep;
      c.Skip();
    } else if (is_date && (m == '>' || m == '<')) {
      c.Skip();
      int n = c.Number();
      if (n > 99) return false;
      if (m == '>') {
        head.window = 99 - (n < 0 ? 80 : n);
      } else {
        head.window = n < 0 ? 80 : n;
      }
    } else {
      return false;
    }
  }
  return true;
}

// Applies the fill and separator modifiers to a copied layout of `count` tokens. The fill goes
// only to a leading digit that the layout lets go blank (an upper-case letter, a blank token) in
// the month, day and hour fields; a digit the layout always shows ("dd" in "Mm/dd/yyyy") keeps
// showing it, and year, minute and second digits and month names are never filled.
void ApplyModifiers(CompiledPicture& pic, size_t count, const DateTimeHead& head) {
  for (size_t i = 0; i < count; ++i) {
    PictureToken& t = pic.layout[i];
    if (head.separator != 0 && t.code == kTokLiteral) t.ch = head.separator;
    bool first = i == 0 || pic.layout[i - 1].code != t.code;
    if (head.fill != 0 && first && t.ch == ' ' &&
        (t.code == kTokMonth || t.code == kTokDay || t.code == kTokHour || t.code == kTokHour12)) {
      t.ch = head.fill;
    }
  }
}

constexpr const char* kDateLayouts[21] = {
    nullptr,
    "Mm/dd/yy",           "Mm/dd/yyyy",       "NNN Dd,_yyyy", "NNNNNNNNN Dd,_yyyy",
    "Dd/mm/yy",           "Dd/mm/yyyy",       "Dd NNN yy",    "Dd NNN yyyy",
    "yy/mm/dd",           "yyyy/mm/dd",       "yymmdd",       "yyyymmdd",
    "Mm/yy",              "Mm/yyyy",          "yy/mm",        "yyyy/mm",
    nullptr,              nullptr,            "Dd NNNNNNNNN yyyy", "NNNNNNNNN Dd yyyy",
};

constexpr const char* kTimeLayouts[9] = {
    nullptr, "Hh:mm", "Hhmm", "Ii:mmPP", "Hh:mm:ss", "Hhmmss", "Ii:mm:ssPP", nullptr, nullptr,
};

size_t CopyIntl(const IntlLayout& layout, CompiledPicture& pic) {
  size_t n = 0;
  while (n < layout.width && n + 1 < pic.layout.size()) {
    pic.layout[n] = layout.tokens[n];
    ++n;
  }
  pic.layout[n] = PictureToken{};
  return n;
}

bool CompileDate(Cursor& c, CompiledPicture& pic, bool bwz) {
  DateTimeHead head;
  if (!ReadDateTimeHead(c, true, head) || head.number < 1 || head.number > 20) return false;
  size_t count;
  if (head.number == 17 || head.number == 18) {
    count = CopyIntl(IntlDateLayout(head.number), pic);
  } else {
    TokenWriter w(pic.layout.data(), pic.layout.size());
    count = WriteDateLayout(kDateLayouts[head.number], w);
  }
  bool names = false;
  for (size_t i = 0; i < count; ++i) names = names || pic.layout[i].code == kTokMonthName;
  ApplyModifiers(pic, count, head);
  pic.century_window = static_cast<uint8_t>(head.window);
  pic.number = static_cast<uint8_t>(head.number);
  SetHeader(pic, PictureClass::kDate, names ? 1 : 0, bwz, static_cast<int>(count));
  return count > 0;
}

bool CompileTime(Cursor& c, CompiledPicture& pic, bool bwz) {
  DateTimeHead head;
  if (!ReadDateTimeHead(c, false, head) || head.number < 1 || head.number > 8) return false;
  size_t count;
  if (head.number == 7 || head.number == 8) {
    count = CopyIntl(IntlTimeLayout(head.number), pic);
  } else {
    TokenWriter w(pic.layout.data(), pic.layout.size());
    count = WriteTimeLayout(kTimeLayouts[head.number], w);
  }
  bool h12 = false;
  for (size_t i = 0; i < count; ++i) h12 = h12 || pic.layout[i].code == kTokHour12;
  ApplyModifiers(pic, count, head);
  pic.number = static_cast<uint8_t>(head.number);
  SetHeader(pic, PictureClass::kTime, h12 ? 1 : 0, bwz, static_cast<int>(count));
  return count > 0;
}

// Currency: "$" or a text of at least one character between two "~". Records where it lies.
// Returns false for a malformed currency; `found` tells whether one was there.
bool ReadCurrency(Cursor& c, CompiledPicture& pic, bool after, bool& found) {
  found = false;
  if (c.Peek() == '$') {
    pic.numeric.currency_offset = static_cast<uint8_t>(c.Pos());
    pic.numeric.currency_length = 1;
    c.Skip();
  } else if (c.Peek() == '~') {
    std::string_view t = c.Text();
    size_t close = t.find('~', c.Pos() + 1);
    if (close == std::string_view::npos || close == c.Pos() + 1) return false;
    pic.numeric.currency_offset = static_cast<uint8_t>(c.Pos() + 1);
    pic.numeric.currency_length = static_cast<uint8_t>(close - c.Pos() - 1);
    c.Skip(close - c.Pos() + 1);
  } else {
    return true;
  }
  pic.numeric.currency_after = after;
  found = true;
  return true;
}

bool IsNumSep(char c) { return c == '.' || c == '`' || c == '_' || c == 'v' || c == 'V'; }

char NumSepChar(char c) {
  switch (c) {
    case '.': return '.';
    case '`': return ',';
    case '_': return ' ';
    default: return 'v';
  }
}

bool CompileNumeric(Cursor& c, CompiledPicture& pic, bool bwz) {
  NumericLayout& n = pic.numeric;
  bool currency = false;
  if (!ReadCurrency(c, pic, false, currency)) return false;
  bool open_paren = false;
  if (c.Eat('-')) {
    n.sign = kSignLeading;
  } else if (c.Eat('(')) {
    n.sign = kSignParens;
    open_paren = true;
  }
  if (IsFill(c.Peek())) {
    // "0" followed by more digits is the fill; a lone "0" would be a width of zero.
    if (c.Peek() != '0' || std::isdigit(static_cast<unsigned char>(c.Peek(1)))) {
      n.fill = c.Peek() == '_' ? ' ' : c.Peek();
      c.Skip();
    }
  }
  int width = c.Number();
  if (width < 1 || width > 100) return false;
  char s1 = 0, s2 = 0;
  if (IsNumSep(c.Peek())) {
    s1 = NumSepChar(c.Peek());
    c.Skip();
    if (IsNumSep(c.Peek())) {
      s2 = NumSepChar(c.Peek());
      c.Skip();
    }
  }
  int places = c.Number();
  if (places > 100) return false;
  if (s2 != 0) {
    if (s1 == 'v') return false;  // an implied point cannot group digits
    n.grouping = s1;
    n.decimal = s2;
  } else if (s1 != 0) {
    if (places >= 0 || s1 == 'v') {
      n.decimal = s1;
    } else {
      n.grouping = s1;
    }
  }
  n.places = static_cast<uint8_t>(places < 0 ? 0 : places);
  // Closing characters in any order, each at most once.
  while (!c.AtEnd()) {
    if (c.Eat('-')) {
      if (n.sign != kSignNone) return false;  // two minus signs, or "(" with "-"
      n.sign = kSignTrailing;
    } else if (c.Eat(')')) {
      if (!open_paren) return false;
      open_paren = false;
    } else if (c.Peek() == '$' || c.Peek() == '~') {
      if (currency) return false;  // two currency marks
      if (!ReadCurrency(c, pic, true, currency)) return false;
    } else {
      return false;
    }
  }
  if (open_paren) return false;
  SetHeader(pic, PictureClass::kNumeric, n.sign, bwz, width);
  return true;
}

bool CompileScientific(Cursor& c, CompiledPicture& pic, bool bwz) {
  int width = c.Number();
  if (width < 1 || width > 100) return false;
  if (IsNumSep(c.Peek())) {
    pic.numeric.decimal = NumSepChar(c.Peek());
    c.Skip();
    int places = c.Number();
    if (places > 100) return false;
    pic.numeric.places = static_cast<uint8_t>(places < 0 ? 0 : places);
  }
  if (!c.AtEnd()) return false;
  SetHeader(pic, PictureClass::kScientific, 0, bwz, width);
  return true;
}

// P and K masks: the text between the kind letter and the same letter closing the picture.
bool CompileMask(std::string_view body, bool keyin, CompiledPicture& pic, bool bwz) {
  char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(body[0])));
  char last = static_cast<char>(std::toupper(static_cast<unsigned char>(body.back())));
  if (body.size() < 3 || last != kind) return false;
  std::string_view mask = body.substr(1, body.size() - 2);
  TokenWriter w(pic.layout.data(), pic.layout.size());
  int width = 0;
  for (size_t i = 0; i < mask.size(); ++i) {
    char m = mask[i];
    uint8_t code = kTokFixed;
    if (m == '#') {
      code = kTokMaskDigit;
    } else if (m == '<') {
      code = kTokMaskValue;
    } else if (keyin) {
      switch (m) {
        case '@': code = kTokMaskLetter; break;
        case '^': code = kTokMaskUpper; break;
        case '_': code = kTokMaskLower; break;
        case '?': code = kTokMaskAny; break;
        case '|': code = kTokMaskOptional; break;
        case '\\':
          if (i + 1 >= mask.size()) return false;  // nothing left to escape
          m = mask[++i];
          break;
        default: break;
      }
    }
    w.Add(code == kTokMaskDigit || code == kTokMaskValue ? (code == kTokMaskDigit ? '0' : ' ') : m,
          code);
    if (code != kTokMaskOptional) ++width;
  }
  if (!w.Ok() || width < 1 || width > 255) return false;
  SetHeader(pic, keyin ? PictureClass::kKeyIn : PictureClass::kPattern, 0, bwz, width);
  return true;
}

}  // namespace

CompiledPicture CompilePicture(std::string_view text) {
  CompiledPicture pic;
  if (!text.empty() && text[0] == '@') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > static_cast<size_t>(CompiledPicture::kMaxSource)) {
    return Invalid(pic);
  }
  std::memcpy(pic.source.data(), text.data(), text.size());
  pic.source_length = static_cast<uint8_t>(text.size());
  std::string_view body(pic.source.data(), text.size());
  bool bwz = false;
  if (body.back() == 'b' || body.back() == 'B') {
    bwz = true;
    body.remove_suffix(1);
    if (body.size() < 2) return Invalid(pic);
  }
  char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(body[0])));
  if (kind == 'P' || kind == 'K') {
    return CompileMask(body, kind == 'K', pic, bwz) ? pic : Invalid(pic);
  }
  // Trailing blanks between the last number and a final "B" are allowed as well.
  while (body.size() > 1 && (body.back() == ' ' || body.back() == '\t')) body.remove_suffix(1);
  Cursor c(body);
  c.Skip();
  bool ok = false;
  switch (kind) {
    case 'S': ok = CompileString(c, pic, bwz); break;
    case 'D': ok = CompileDate(c, pic, bwz); break;
    case 'T': ok = CompileTime(c, pic, bwz); break;
    case 'N': ok = CompileNumeric(c, pic, bwz); break;
    case 'E': ok = CompileScientific(c, pic, bwz); break;
    default: ok = false; break;
  }
  return ok ? pic : Invalid(pic);
}

CompiledPicture NullPicture() {
  CompiledPicture pic;
  SetHeader(pic, PictureClass::kString, 0, false, 255);
  return pic;
}

int PictureWidth(std::string_view text) {
  CompiledPicture pic = CompilePicture(text);
  return pic.Valid() ? 2 * pic.Width() + 2 : 0;
}

}  // namespace cinevo
