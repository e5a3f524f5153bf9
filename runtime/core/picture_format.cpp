// Formatting: the dispatch by class, and the date, time, string and key-in layouts.
//
// Date and time layouts are walked token by token. A field is a run of tokens with the same
// code; its value is written right-aligned in the run, and a leading zero shows the first
// token's character (so "0" shows it, " " hides it). Month names are cut to the run and padded
// with blanks; the AM/PM text likewise.
// Month-name date pictures are shown compact, as a reader expects "May 5, 1998" rather than
// "May       5, 1998": positions that would show a blank for a hidden leading zero or for the
// padding of a short name are left out, and the text is padded with blanks at the end.
// Twelve-hour times show hours 12, 1 .. 11 with the AM text before noon and the PM text from
// noon on.
// Key-in masks (K) lay the value's characters into the value positions left to right; "^" shows
// the character in upper case and "_" in lower case; a value shorter than the mask leaves its
// positions blank, and when the value ends before a "|" mark the rest of the mask is blank.
#include <cstring>

#include "runtime/core/locale_tables.h"
#include "runtime/core/picture.h"
#include "runtime/core/picture_numeric.h"
#include "runtime/core/std_date.h"

namespace cinevo {

namespace {

size_t Blank(const CompiledPicture& pic, char* out) {
  std::memset(out, ' ', static_cast<size_t>(pic.Width()));
  return static_cast<size_t>(pic.Width());
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `value` (not negative) into the run of `n` tokens (n <= 9) starting at `tok`; a leading
// zero shows its token's character. Returns the characters written: all n, or in compact mode
// fewer when leading positions show blanks.
size_t WriteDigits(const PictureToken* tok, int n, int value, bool compact, char* out) {
  // Digits straight into `out`, two at a time from the right (no library call for so few).
  int i = n;
  unsigned v = static_cast<unsigned>(value);
  while (i >= 2) {
    unsigned r = v % 100;
    v /= 100;
    out[i - 2] = kDigitPairs[2 * r];
    out[i - 1] = kDigitPairs[2 * r + 1];
    i -= 2;
  }
  if (i == 1) out[0] = static_cast<char>('0' + v % 10);
  int lead = 0;
  for (; lead < n - 1 && out[lead] == '0'; ++lead) out[lead] = tok[lead].ch;
  if (!compact) return static_cast<size_t>(n);
  size_t o = 0;
  for (int k = 0; k < n; ++k) {
    if (k < lead && out[k] == ' ') continue;
    out[o++] = out[k];
  }
  return o;
}

size_t WriteText(const std::string& text, int n, bool compact, char* out) {
  size_t len = text.size() < static_cast<size_t>(n) ? text.size() : static_cast<size_t>(n);
  std::memcpy(out, text.data(), len);
  if (compact) return len;
  std::memset(out + len, ' ', static_cast<size_t>(n) - len);
  return static_cast<size_t>(n);
}

int RunLength(const CompiledPicture& pic, int i, int width) {
  int j = i;
  const uint8_t code = pic.layout[static_cast<size_t>(i)].code;
  while (j < width && pic.layout[static_cast<size_t>(j)].code == code && j - i < 9) ++j;
  return j - i;
}

size_t FormatDateInto(const CompiledPicture& pic, int64_t value, char* out) {
  DateParts parts;
  if (value < kMinStdDate || value > kMaxStdDate ||
      DateToParts(static_cast<int32_t>(value), &parts) != 0) {
    return Blank(pic, out);
  }
  const int width = pic.Width();
  const bool compact = pic.SubKind() == 1;
  size_t o = 0;
  for (int i = 0; i < width;) {
    const PictureToken& t = pic.layout[static_cast<size_t>(i)];
    int n = 1;
    switch (t.code) {
      case kTokMonth:
      case kTokDay:
      case kTokYear: {
        n = RunLength(pic, i, width);
        int v = t.code == kTokMonth ? parts.month : t.code == kTokDay ? parts.day : parts.year;
        if (t.code == kTokYear && n < 4) v %= 100;
        o += WriteDigits(&t, n, v, compact, out + o);
        break;
      }
      case kTokMonthName:
        n = RunLength(pic, i, width);
        o += WriteText(n > 3 ? Locale().month_long[static_cast<size_t>(parts.month - 1)]
                             : Locale().month_short[static_cast<size_t>(parts.month - 1)],
                       n, compact, out + o);
        break;
      default:
        out[o++] = t.ch;
        break;
    }
    i += n;
  }
  while (o < static_cast<size_t>(width)) out[o++] = ' ';
  return static_cast<size_t>(width);
}

size_t FormatTimeInto(const CompiledPicture& pic, int64_t value, char* out) {
  TimeParts parts;
  if (value < 1 || value > kMaxStdTime || TimeToParts(static_cast<int32_t>(value), &parts) != 0) {
    return Blank(pic, out);
  }
  const int width = pic.Width();
  size_t o = 0;
  for (int i = 0; i < width;) {
    const PictureToken& t = pic.layout[static_cast<size_t>(i)];
    int n = 1;
    switch (t.code) {
      case kTokHour:
      case kTokHour12:
      case kTokMinute:
      case kTokSecond: {
        n = RunLength(pic, i, width);
        int v = t.code == kTokMinute ? parts.minutes : t.code == kTokSecond ? parts.seconds : parts.hours;
        if (t.code == kTokHour12) v = v % 12 == 0 ? 12 : v % 12;
        o += WriteDigits(&t, n, v, false, out + o);
        break;
      }
      case kTokAmPm:
        n = RunLength(pic, i, width);
        o += WriteText(parts.hours < 12 ? Locale().am : Locale().pm, n, false, out + o);
        break;
      default:
        out[o++] = t.ch;
        break;
    }
    i += n;
  }
  return static_cast<size_t>(width);
}

size_t FormatStringInto(const CompiledPicture& pic, std::string_view value, char* out) {
  const size_t width = static_cast<size_t>(pic.Width());
  size_t len = value.size() < width ? value.size() : width;
  if (len > 0) std::memcpy(out, value.data(), len);  // an empty value may have no bytes at all
  std::memset(out + len, ' ', width - len);
  return width;
}

bool IsBlankText(std::string_view v) {
  for (char c : v) {
    if (c != ' ') return false;
  }
  return true;
}

size_t FormatKeyInInto(const CompiledPicture& pic, std::string_view value, char* out) {
  if (pic.BlankWhenZero() && IsBlankText(value)) return Blank(pic, out);
  const int width = pic.Width();
  size_t v = 0;
  int o = 0;
  bool rest_blank = false;
  for (size_t i = 0; i < pic.layout.size() && o < width; ++i) {
    const PictureToken& t = pic.layout[i];
    if (t.code == kTokMaskOptional) {
      rest_blank = IsBlankText(value.substr(v < value.size() ? v : value.size()));
      continue;
    }
    char c = t.ch;
    switch (t.code) {
      case kTokMaskDigit:
      case kTokMaskValue:
      case kTokMaskAny:
      case kTokMaskLetter:
        c = v < value.size() ? value[v++] : ' ';
        break;
      case kTokMaskUpper:
        c = v < value.size() ? static_cast<char>(ToUpperChar(static_cast<uint8_t>(value[v++]))) : ' ';
        break;
      case kTokMaskLower:
        c = v < value.size() ? static_cast<char>(ToLowerChar(static_cast<uint8_t>(value[v++]))) : ' ';
        break;
      default:
        break;
    }
    out[o++] = rest_blank ? ' ' : c;
  }
  return static_cast<size_t>(width);
}

// A number as the text shown by string and key-in pictures.
std::string NumberText(const DecimalAccumulator& v) { return DecimalToText(v); }

}  // namespace

size_t FormatDecimal(const CompiledPicture& pic, const DecimalAccumulator& value, char* out) {
  switch (pic.Class()) {
    case PictureClass::kNumeric: return FormatNumericInto(pic, value, out);
    case PictureClass::kScientific: return FormatScientificInto(pic, DecimalToReal(value), out);
    case PictureClass::kPattern: return FormatDigitMaskInto(pic, value, out);
    case PictureClass::kDate: return FormatDateInto(pic, IntegerPart(value), out);
    case PictureClass::kTime: return FormatTimeInto(pic, IntegerPart(value), out);
    case PictureClass::kString: return FormatStringInto(pic, NumberText(value), out);
    case PictureClass::kKeyIn: return FormatKeyInInto(pic, NumberText(value), out);
    default: return 0;
  }
}

size_t FormatLong(const CompiledPicture& pic, int64_t value, char* out) {
  switch (pic.Class()) {
    case PictureClass::kDate: return FormatDateInto(pic, value, out);
    case PictureClass::kTime: return FormatTimeInto(pic, value, out);
    case PictureClass::kInvalid: return 0;
    default: return FormatDecimal(pic, DecimalFromLong(value), out);
  }
}

size_t FormatReal(const CompiledPicture& pic, double value, char* out) {
  switch (pic.Class()) {
    case PictureClass::kScientific: return FormatScientificInto(pic, value, out);
    case PictureClass::kInvalid: return 0;
    default: return FormatDecimal(pic, DecimalFromReal(value), out);
  }
}

size_t FormatText(const CompiledPicture& pic, std::string_view value, char* out) {
  switch (pic.Class()) {
    case PictureClass::kString: return FormatStringInto(pic, value, out);
    case PictureClass::kKeyIn: return FormatKeyInInto(pic, value, out);
    case PictureClass::kInvalid: return 0;
    default: return FormatDecimal(pic, TextToDecimal(value), out);
  }
}

std::string Format(const CompiledPicture& pic, int64_t value) {
  char buf[256];
  return std::string(buf, FormatLong(pic, value, buf));
}

std::string Format(const CompiledPicture& pic, const DecimalAccumulator& value) {
  char buf[256];
  return std::string(buf, FormatDecimal(pic, value, buf));
}

std::string FormatReal(const CompiledPicture& pic, double value) {
  char buf[256];
  return std::string(buf, FormatReal(pic, value, buf));
}

std::string Format(const CompiledPicture& pic, std::string_view value) {
  char buf[256];
  return std::string(buf, FormatText(pic, value, buf));
}

}  // namespace cinevo
