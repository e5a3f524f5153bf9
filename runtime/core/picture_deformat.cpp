// Deformatting: reading a typed text back through a picture, the reverse of formatting.
//
// What is tolerated, by class (blanks at either end are always ignored, and a blank text is
// the empty value: 0, no date, no time, an empty string):
// - Numbers: the currency text in front or after (case ignored), a "-" in front or after,
//   "(" ... ")" for negative, leading "*" fill, the grouping character anywhere in the integer
//   part, and as decimal point the picture's decimal character or "." (unless "." groups). With
//   an implied decimal point ("v") and no point typed, the last `places` digits are the
//   fraction. The value is rounded to the picture's places, as it would be shown.
// - Scientific numbers: a mantissa as above and "E" or "e" with an optional sign and digits.
// - Dates: the fields in the picture's order, separated by any non-alphanumeric characters
//   (so "/", "-", "." and blanks all work) or not separated at all ("010598" for "Mm/dd/yy");
//   missing leading zeros; a month by its number or by a name (at least three letters of the
//   long name, or the short name; case ignored) in any month position; two or four-digit years
//   (two-digit years go into the picture's century window). Pictures without a day give the
//   first of the month.
// - Times: hours, minutes and seconds separated by any non-digit characters, or written
//   together ("1230", "123015"); an AM/PM marker (the locale texts, or just "A"/"P", case
//   ignored) turns hours 1-12 into the 24-hour clock; without a marker hours are 24-hour ones.
//   A typed midnight is the standard time 1, not "no time".
// - P masks: the digits of the text, wherever the mask's literal characters are typed or not.
// - K masks: the value characters in order; the mask's literals may be typed or left out; each
//   character must suit its position ("#" digit, "<" digit or blank, "@" "^" "_" letters, "?"
//   anything), "^" and "_" convert the case; positions after a "|" may be left empty.
// Anything else makes `ok` false and leaves the result empty.
#include <cctype>
#include <string>
#include <vector>

#include "runtime/core/locale_tables.h"
#include "runtime/core/picture.h"
#include "runtime/core/std_date.h"

namespace cinevo {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return IsAlphaChar(static_cast<uint8_t>(c)) != 0; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToUpperChar(static_cast<uint8_t>(a[i])) != ToUpperChar(static_cast<uint8_t>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Strips `word` (case ignored) from the front or the back of `s`.
bool StripFront(std::string_view& s, std::string_view word) {
  if (word.empty() || s.size() < word.size() || !EqualNoCase(s.substr(0, word.size()), word)) {
    return false;
  }
  s.remove_prefix(word.size());
  s = Trim(s);
  return true;
}

bool StripBack(std::string_view& s, std::string_view word) {
  if (word.empty() || s.size() < word.size() ||
      !EqualNoCase(s.substr(s.size() - word.size()), word)) {
    return false;
  }
  s.remove_suffix(word.size());
  s = Trim(s);
  return true;
}

DeformatResult Fail() { return DeformatResult{}; }

DeformatResult NumberResult(const DecimalAccumulator& value) {
  DeformatResult r;
  r.ok = true;
  r.decimal = value;
  r.text = DecimalToText(value);
  return r;
}

DeformatResult LongResult(int64_t value) {
  DeformatResult r;
  r.ok = true;
  r.number = value;
  r.decimal = DecimalFromLong(value);
  r.text = std::to_string(value);
  return r;
}

// Sign and currency around a number; what is left in `s` is the digits part.
bool StripSignAndCurrency(const CompiledPicture& pic, std::string_view& s, bool& negative) {
  const NumericLayout& n = pic.numeric;
  std::string_view currency(pic.source.data() + n.currency_offset, n.currency_length);
  std::string_view trimmed_currency = Trim(currency);
  negative = false;
  for (int round = 0; round < 3; ++round) {
    StripFront(s, trimmed_currency);
    StripBack(s, trimmed_currency);
    if (!s.empty() && s.front() == '(' && s.back() == ')' && s.size() >= 2) {
      if (negative) return false;
      negative = true;
      s = Trim(s.substr(1, s.size() - 2));
      continue;
    }
    if (!s.empty() && s.front() == '-') {
      if (negative) return false;
      negative = true;
      s = Trim(s.substr(1));
      continue;
    }
    if (!s.empty() && s.back() == '-') {
      if (negative) return false;
      negative = true;
      s = Trim(s.substr(0, s.size() - 1));
      continue;
    }
  }
  return true;
}

// Digits with grouping and a decimal point into the plain form "123.45" for TextToDecimal.
bool PlainNumber(const CompiledPicture& pic, std::string_view s, std::string& plain) {
  const NumericLayout& n = pic.numeric;
  const char group = n.grouping;
  char point = (n.decimal == 0 || n.decimal == 'v') ? '.' : n.decimal;
  const bool dot_too = point != '.' && group != '.';
  bool seen_point = false, seen_digit = false;
  int fraction_digits = 0;
  for (char c : s) {
    if (IsDigit(c)) {
      plain += c;
      seen_digit = true;
      if (seen_point) ++fraction_digits;
    } else if (c == '*' && !seen_digit && !seen_point) {
      continue;
    } else if (!seen_point && (c == point || (dot_too && c == '.'))) {
      seen_point = true;
      plain += '.';
    } else if (group != 0 && c == group && !seen_point) {
      continue;
    } else {
      return false;
    }
  }
  if (n.decimal == 'v' && !seen_point && n.places > 0) {
    // The implied point: the last `places` digits are the fraction.
    size_t places = n.places;
    while (plain.size() < places) plain.insert(plain.begin(), '0');
    plain.insert(plain.end() - static_cast<std::ptrdiff_t>(places), '.');
  }
  (void)fraction_digits;
  return true;
}

DeformatResult DeformatNumeric(const CompiledPicture& pic, std::string_view s) {
  bool negative = false;
  if (!StripSignAndCurrency(pic, s, negative)) return Fail();
  std::string plain;
  if (!PlainNumber(pic, s, plain)) return Fail();
  DecimalAccumulator v = TextToDecimal(plain);
  DecimalStack& stack = TheDecimalStack();
  if (stack.Count() >= DecimalStack::kDepth) return Fail();
  stack.PushAccumulator(v);
  stack.Round(pic.numeric.places);
  if (negative) stack.Negate();
  return NumberResult(stack.Pop());
}

DeformatResult DeformatScientific(const CompiledPicture& pic, std::string_view s) {
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s = Trim(s.substr(1));
  }
  size_t e = s.find_first_of("eE");
  std::string_view mantissa = s.substr(0, e);
  std::string plain;
  if (!PlainNumber(pic, mantissa, plain)) return Fail();
  if (e != std::string_view::npos) {
    std::string_view exp = s.substr(e + 1);
    std::string exp_plain;
    if (!exp.empty() && (exp.front() == '+' || exp.front() == '-')) {
      if (exp.front() == '-') exp_plain += '-';
      exp.remove_prefix(1);
    }
    if (exp.empty() || exp.size() > 4) return Fail();
    for (char c : exp) {
      if (!IsDigit(c)) return Fail();
      exp_plain += c;
    }
    plain += 'E';
    plain += exp_plain;
  }
  DecimalAccumulator v = TextToDecimal(plain);
  if (negative && !v.IsZero()) v.sign = 1;
  return NumberResult(v);
}

DeformatResult DeformatDigitMask(const CompiledPicture& pic, std::string_view s) {
  const int width = pic.Width();
  int positions = 0;
  for (int i = 0; i < width; ++i) {
    uint8_t code = pic.layout[static_cast<size_t>(i)].code;
    positions += (code == kTokMaskDigit || code == kTokMaskValue) ? 1 : 0;
  }
  std::string digits;
  for (char c : s) {
    if (IsDigit(c)) {
      digits += c;
      continue;
    }
    if (c == ' ') continue;
    bool literal = false;
    for (int i = 0; i < width && !literal; ++i) {
      const PictureToken& t = pic.layout[static_cast<size_t>(i)];
      literal = t.code == kTokFixed && t.ch == c;
    }
    if (!literal) return Fail();
  }
  if (static_cast<int>(digits.size()) > positions) return Fail();
  return NumberResult(TextToDecimal(digits));
}

bool SuitsPosition(uint8_t code, char c) {
  switch (code) {
    case kTokMaskDigit: return IsDigit(c);
    case kTokMaskValue: return IsDigit(c) || c == ' ';
    case kTokMaskLetter:
    case kTokMaskUpper:
    case kTokMaskLower: return IsLetter(c);
    default: return true;
  }
}

bool IsValuePosition(uint8_t code) {
  return code == kTokMaskDigit || code == kTokMaskValue || code == kTokMaskAny ||
         code == kTokMaskLetter || code == kTokMaskUpper || code == kTokMaskLower;
}

DeformatResult DeformatKeyIn(const CompiledPicture& pic, std::string_view s) {
  DeformatResult r;
  size_t ti = 0;
  bool optional = false;
  for (size_t i = 0; i < pic.layout.size() && pic.layout[i].code != kTokEnd; ++i) {
    const PictureToken& t = pic.layout[i];
    if (t.code == kTokMaskOptional) {
      optional = true;
      continue;
    }
    if (!IsValuePosition(t.code)) {
      if (ti < s.size() && s[ti] == t.ch) ++ti;  // a typed literal
      continue;
    }
    if (ti >= s.size()) {
      if (optional) break;
      return Fail();
    }
    char c = s[ti++];
    if (!SuitsPosition(t.code, c)) return Fail();
    if (t.code == kTokMaskUpper) c = static_cast<char>(ToUpperChar(static_cast<uint8_t>(c)));
    if (t.code == kTokMaskLower) c = static_cast<char>(ToLowerChar(static_cast<uint8_t>(c)));
    r.text += c;
  }
  if (!Trim(s.substr(ti < s.size() ? ti : s.size())).empty()) return Fail();
  r.ok = true;
  return r;
}

// A run of digits or of letters in a typed date or time.
struct Field {
  bool letters = false;
  std::string_view text;
};

std::vector<Field> SplitFields(std::string_view s) {
  std::vector<Field> fields;
  size_t i = 0;
  while (i < s.size() && fields.size() < 8) {
    if (IsDigit(s[i]) || IsLetter(s[i])) {
      bool letters = !IsDigit(s[i]);
      size_t j = i;
      while (j < s.size() && (letters ? IsLetter(s[j]) : IsDigit(s[j]))) ++j;
      fields.push_back(Field{letters, s.substr(i, j - i)});
      i = j;
    } else {
      ++i;
    }
  }
  if (i < s.size()) fields.push_back(Field{});  // too many fields: an empty one fails below
  return fields;
}

int MonthFromName(std::string_view name) {
  const LocaleTables& loc = Locale();
  for (size_t m = 0; m < 12; ++m) {
    if (EqualNoCase(name, loc.month_short[m])) return static_cast<int>(m) + 1;
  }
  if (name.size() < 3) return 0;
  for (size_t m = 0; m < 12; ++m) {
    const std::string& full = loc.month_long[m];
    if (name.size() <= full.size() && EqualNoCase(name, std::string_view(full).substr(0, name.size()))) {
      return static_cast<int>(m) + 1;
    }
  }
  return 0;
}

int DigitsValue(std::string_view d) {
  if (d.empty() || d.size() > 6) return -1;
  int v = 0;
  for (char c : d) v = v * 10 + (c - '0');
  return v;
}

DeformatResult DeformatDate(const CompiledPicture& pic, std::string_view s) {
  // The fields of the layout in order, with their digit counts.
  struct Slot {
    uint8_t code;
    int digits;
  };
  Slot slots[4];
  int nslots = 0;
  const int width = pic.Width();
  for (int i = 0; i < width && nslots < 4;) {
    uint8_t code = pic.layout[static_cast<size_t>(i)].code;
    int n = 1;
    if (code == kTokMonth || code == kTokDay || code == kTokYear || code == kTokMonthName) {
      while (i + n < width && pic.layout[static_cast<size_t>(i + n)].code == code) ++n;
      slots[nslots++] = Slot{code, n};
    }
    i += n;
  }
  std::vector<Field> fields = SplitFields(s);
  if (fields.size() == 1 && !fields[0].letters && nslots > 1) {
    // Digits written together: cut them by the layout, the year in two or four digits.
    std::string_view d = fields[0].text;
    int fixed = 0, year_digits = 0;
    for (int k = 0; k < nslots; ++k) {
      if (slots[k].code == kTokYear) {
        year_digits = slots[k].digits;
      } else {
        fixed += 2;
      }
    }
    int len = static_cast<int>(d.size());
    if (len == fixed + 2) {
      year_digits = 2;
    } else if (len == fixed + 4) {
      year_digits = 4;
    } else {
      return Fail();
    }
    fields.clear();
    size_t at = 0;
    for (int k = 0; k < nslots; ++k) {
      size_t n = slots[k].code == kTokYear ? static_cast<size_t>(year_digits) : 2;
      fields.push_back(Field{false, d.substr(at, n)});
      at += n;
    }
  }
  if (static_cast<int>(fields.size()) != nslots) return Fail();
  int day = 1, month = 0, year = -1;
  for (int k = 0; k < nslots; ++k) {
    const Field& f = fields[static_cast<size_t>(k)];
    if (f.text.empty()) return Fail();
    if (slots[k].code == kTokMonth || slots[k].code == kTokMonthName) {
      month = f.letters ? MonthFromName(f.text) : DigitsValue(f.text);
    } else if (f.letters) {
      return Fail();
    } else if (slots[k].code == kTokDay) {
      day = DigitsValue(f.text);
    } else {
      year = DigitsValue(f.text);
      if (year < 0 || (f.text.size() > 2 && year < 100)) return Fail();  // "0098" is no year
    }
  }
  if (month <= 0 || day <= 0 || year < 0) return Fail();
  int32_t date = DateFromParts(day, month, year, pic.century_window);
  if (date < kMinStdDate) return Fail();
  return LongResult(date);
}

DeformatResult DeformatTime(const CompiledPicture& pic, std::string_view s) {
  (void)pic;
  int marker = 0;  // 1 AM, 2 PM
  const LocaleTables& loc = Locale();
  if (StripBack(s, Trim(loc.am))) {
    marker = 1;
  } else if (StripBack(s, Trim(loc.pm))) {
    marker = 2;
  } else if (StripBack(s, "A")) {
    marker = 1;
  } else if (StripBack(s, "P")) {
    marker = 2;
  }
  int parts[4] = {0, 0, 0, 0};
  std::vector<Field> fields = SplitFields(s);
  if (fields.empty() || fields.size() > 4) return Fail();
  for (const Field& f : fields) {
    if (f.letters || f.text.empty()) return Fail();
  }
  if (fields.size() == 1 && fields[0].text.size() > 2) {
    std::string_view d = fields[0].text;
    if (d.size() > 6) return Fail();
    size_t hour_digits = d.size() % 2 == 1 ? 1 : 2;
    parts[0] = DigitsValue(d.substr(0, hour_digits));
    parts[1] = DigitsValue(d.substr(hour_digits, 2));
    if (d.size() > hour_digits + 2) parts[2] = DigitsValue(d.substr(hour_digits + 2, 2));
  } else {
    for (size_t k = 0; k < fields.size(); ++k) {
      if (fields[k].text.size() > 2) return Fail();
      parts[k] = DigitsValue(fields[k].text);
    }
  }
  if (marker != 0) {
    if (parts[0] < 1 || parts[0] > 12) return Fail();
    parts[0] = parts[0] % 12 + (marker == 2 ? 12 : 0);
  }
  int32_t t = TimeFromParts(parts[0], parts[1], parts[2], parts[3]);
  if (t < 0) return Fail();
  return LongResult(t == 0 ? 1 : t);  // a typed midnight is a time
}

}  // namespace

DeformatResult Deformat(const CompiledPicture& pic, std::string_view text) {
  if (!pic.Valid()) return Fail();
  if (pic.Class() == PictureClass::kString) {
    DeformatResult r;
    r.ok = true;
    size_t w = static_cast<size_t>(pic.Width());
    r.text = std::string(text.substr(0, text.size() < w ? text.size() : w));
    return r;
  }
  std::string_view s = Trim(text);
  if (pic.Class() == PictureClass::kKeyIn) {
    if (s.empty()) {
      DeformatResult r;
      r.ok = true;
      return r;
    }
    return DeformatKeyIn(pic, text.substr(0, text.find_last_not_of(" \t") + 1));
  }
  if (s.empty()) {
    return (pic.Class() == PictureClass::kDate || pic.Class() == PictureClass::kTime)
               ? LongResult(0)
               : NumberResult(DecimalAccumulator{});
  }
  switch (pic.Class()) {
    case PictureClass::kNumeric: return DeformatNumeric(pic, s);
    case PictureClass::kScientific: return DeformatScientific(pic, s);
    case PictureClass::kPattern: return DeformatDigitMask(pic, s);
    case PictureClass::kDate: return DeformatDate(pic, s);
    case PictureClass::kTime: return DeformatTime(pic, s);
    default: return Fail();
  }
}

}  // namespace cinevo
