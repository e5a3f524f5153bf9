#include "runtime/core/picture_numeric.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace cinevo {

namespace {

// The digits of a value rounded to `places` places: d[k] is the accumulator cell k (units at
// 32), d[64] takes a carry out of the top cell.
struct RoundedDigits {
  uint8_t d[65] = {};
  int low = 32;   // lowest shown cell (32 - places; may be negative: those cells are 0)
  int top = -1;   // highest non-zero integer cell, -1 when the integer part is 0
  bool zero = true;

  RoundedDigits(const DecimalAccumulator& v, int places) {
    std::memcpy(d, v.cells, DecimalAccumulator::kCells);
    low = DecimalAccumulator::kUnits - places;
    if (low > 0) {
      bool up = d[low - 1] >= 5;
      std::memset(d, 0, static_cast<size_t>(low));
      for (int k = low; up && k <= 64; ++k) {
        if (++d[k] <= 9) break;
        d[k] = 0;
      }
    }
    // Cells above the accumulator's highest used cell are 0; a carry reaches one further.
    int scan_from = v.high + 1 < 64 ? v.high + 1 : 64;
    for (int k = scan_from; k >= DecimalAccumulator::kUnits; --k) {
      if (d[k] != 0) {
        top = k;
        break;
      }
    }
    if (top >= 0) {
      zero = false;
    } else {
      for (int k = low < 0 ? 0 : low; k < DecimalAccumulator::kUnits && zero; ++k) zero = d[k] == 0;
    }
  }
  uint8_t Cell(int k) const { return k >= 0 && k <= 64 ? d[k] : 0; }
};

size_t Fill(char* out, int width, char c) {
  std::memset(out, c, static_cast<size_t>(width));
  return static_cast<size_t>(width);
}

}  // namespace

int64_t IntegerPart(const DecimalAccumulator& v) {
  int64_t r = 0;
  for (int k = DecimalAccumulator::kCells - 1; k >= DecimalAccumulator::kUnits; --k) {
    if (r > (INT64_MAX - 9) / 10) return v.sign ? INT64_MIN : INT64_MAX;
    r = r * 10 + v.cells[k];
  }
  return v.sign ? -r : r;
}

size_t FormatNumericInto(const CompiledPicture& pic, const DecimalAccumulator& v, char* out) {
  const int width = pic.Width();
  const NumericLayout& n = pic.numeric;
  RoundedDigits r(v, n.places);
  if (r.zero && pic.BlankWhenZero()) return Fill(out, width, ' ');
  const bool negative = v.sign != 0 && !r.zero;

  // The body, written backwards from the end of `buf`: at most 33 integer digits with 10
  // grouping characters, 100 places, a decimal character, a currency of at most 98 characters
  // and a sign.
  char buf[320];
  int p = sizeof buf;
  auto put = [&](char c) {
    if (p > 0) buf[--p] = c;
  };
  if (n.sign == kSignTrailing) put(negative ? '-' : ' ');
  if (n.sign == kSignParens) put(negative ? ')' : ' ');
  const char* currency = pic.source.data() + n.currency_offset;
  if (n.currency_after) {
    for (int i = n.currency_length - 1; i >= 0; --i) put(currency[i]);
  }
  for (int k = r.low; k < DecimalAccumulator::kUnits; ++k) put(static_cast<char>('0' + r.Cell(k)));
  if (n.places > 0 && n.decimal != 'v' && n.decimal != 0) put(n.decimal);
  for (int k = DecimalAccumulator::kUnits; k <= r.top; ++k) {
    if (n.grouping != 0 && k > DecimalAccumulator::kUnits && (k - DecimalAccumulator::kUnits) % 3 == 0) {
      put(n.grouping);
    }
    put(static_cast<char>('0' + r.d[k]));
  }
  const int body = static_cast<int>(sizeof buf) - p;
  // The single "0" of an integer part of zero, left out when only it does not fit.
  int zero_digit = r.top < 0 ? 1 : 0;

  char prefix[2 + 100];
  int prefix_len = 0;
  if (negative && (n.sign == kSignNone || n.sign == kSignLeading)) prefix[prefix_len++] = '-';
  if (negative && n.sign == kSignParens) prefix[prefix_len++] = '(';
  if (!n.currency_after) {
    std::memcpy(prefix + prefix_len, currency, n.currency_length);
    prefix_len += n.currency_length;
  }
  int total = prefix_len + body + zero_digit;
  if (total > width && zero_digit && n.places > 0) {
    zero_digit = 0;
    --total;
  }
  if (total > width) return Fill(out, width, '#');
  const int pad = width - total;
  char* o = out;
  if (n.fill == ' ') {
    std::memset(o, ' ', static_cast<size_t>(pad));
    o += pad;
    std::memcpy(o, prefix, static_cast<size_t>(prefix_len));
    o += prefix_len;
  } else {
    std::memcpy(o, prefix, static_cast<size_t>(prefix_len));
    o += prefix_len;
    std::memset(o, n.fill, static_cast<size_t>(pad));
    o += pad;
  }
  if (zero_digit) *o++ = '0';
  std::memcpy(o, buf + p, static_cast<size_t>(body));
  return static_cast<size_t>(width);
}

size_t FormatScientificInto(const CompiledPicture& pic, double v, char* out) {
  const int width = pic.Width();
  const NumericLayout& n = pic.numeric;
  if (!std::isfinite(v)) return Fill(out, width, '#');
  if (v == 0 && pic.BlankWhenZero()) return Fill(out, width, ' ');
  char m[160];
  int len = std::snprintf(m, sizeof m, "%.*e", static_cast<int>(n.places), v);
  if (len <= 0 || len >= static_cast<int>(sizeof m)) return Fill(out, width, '#');
  // m is [-]d[.ddd]e(+|-)dd[d]
  const char* s = m;
  bool negative = *s == '-';
  if (negative) ++s;
  char text[200];
  int t = 0;
  const char* e = std::strchr(s, 'e');
  if (e == nullptr) return Fill(out, width, '#');
  int exponent = std::atoi(e + 1);
  bool all_zero = true;
  for (const char* q = s; q < e; ++q) all_zero = all_zero && (*q == '0' || *q == '.');
  if (all_zero) {
    negative = false;
    exponent = 0;
  }
  if (negative) text[t++] = '-';
  text[t++] = *s;
  if (n.places > 0) {
    if (n.decimal != 'v' && n.decimal != 0) text[t++] = n.decimal;
    for (const char* q = s + 2; q < e; ++q) text[t++] = *q;
  }
  text[t++] = 'E';
  text[t++] = exponent < 0 ? '-' : '+';
  int a = exponent < 0 ? -exponent : exponent;
  text[t++] = static_cast<char>('0' + (a / 100) % 10);
  text[t++] = static_cast<char>('0' + (a / 10) % 10);
  text[t++] = static_cast<char>('0' + a % 10);
  if (t > width) return Fill(out, width, '#');
  std::memset(out, ' ', static_cast<size_t>(width - t));
  std::memcpy(out + (width - t), text, static_cast<size_t>(t));
  return static_cast<size_t>(width);
}

size_t FormatDigitMaskInto(const CompiledPicture& pic, const DecimalAccumulator& v, char* out) {
  const int width = pic.Width();
  RoundedDigits r(v, 0);
  if (r.zero && pic.BlankWhenZero()) return Fill(out, width, ' ');
  if (v.sign != 0 && !r.zero) return Fill(out, width, '#');
  int k = DecimalAccumulator::kUnits;
  for (int i = width - 1; i >= 0; --i) {
    const PictureToken& tok = pic.layout[static_cast<size_t>(i)];
    if (tok.code == kTokMaskDigit || tok.code == kTokMaskValue) {
      out[i] = k <= r.top ? static_cast<char>('0' + r.d[k]) : tok.ch;
      ++k;
    } else {
      out[i] = tok.ch;
    }
  }
  if (k <= r.top) return Fill(out, width, '#');
  return static_cast<size_t>(width);
}

}  // namespace cinevo
