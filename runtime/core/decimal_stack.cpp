#include "runtime/core/decimal_stack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/invariant.h"

namespace cinevo {
namespace {

constexpr int kStackErrorCode = kErrInternalDecimals;
constexpr int kCells = DecimalAccumulator::kCells;
constexpr int kUnits = DecimalAccumulator::kUnits;

// Compares magnitudes only.
int CompareMagnitude(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  int top = std::max(a.high, b.high);
  int bottom = std::min(a.low, b.low);
  for (int i = top; i >= bottom; --i) {
    if (a.cells[i] != b.cells[i]) return a.cells[i] < b.cells[i] ? -1 : 1;
  }
  return 0;
}

// r = |a| + |b| (a carry out of cell 63 is lost).
void AddMagnitude(const DecimalAccumulator& a, const DecimalAccumulator& b, DecimalAccumulator& r) {
  int bottom = std::min(a.low, b.low);
  int top = std::max(a.high, b.high);
  uint8_t cells[kCells] = {};
  int carry = 0;
  for (int i = bottom; i < kCells && (i <= top || carry); ++i) {
    int s = a.cells[i] + b.cells[i] + carry;
    carry = s >= 10;
    cells[i] = static_cast<uint8_t>(carry ? s - 10 : s);
  }
  std::memcpy(r.cells, cells, kCells);
}

// r = |a| - |b|, requires |a| >= |b|.
void SubtractMagnitude(const DecimalAccumulator& a, const DecimalAccumulator& b,
                       DecimalAccumulator& r) {
  int bottom = std::min(a.low, b.low);
  int top = std::max(a.high, b.high);
  uint8_t cells[kCells] = {};
  int borrow = 0;
  for (int i = bottom; i <= top; ++i) {
    int s = a.cells[i] - b.cells[i] - borrow;
    borrow = s < 0;
    cells[i] = static_cast<uint8_t>(borrow ? s + 10 : s);
  }
  std::memcpy(r.cells, cells, kCells);
}

// a + b with signs; b_negative overrides b's sign (for subtraction).
DecimalAccumulator SignedAdd(const DecimalAccumulator& a, const DecimalAccumulator& b,
                             bool b_negative) {
  DecimalAccumulator r;
  bool a_negative = a.sign != 0;
  if (a_negative == b_negative) {
    AddMagnitude(a, b, r);
    r.sign = a_negative;
  } else if (CompareMagnitude(a, b) >= 0) {
    SubtractMagnitude(a, b, r);
    r.sign = a_negative;
  } else {
    SubtractMagnitude(b, a, r);
    r.sign = b_negative;
  }
  r.Normalize();
  return r;
}

// Index of the cell that holds the digit of 10^power, or -1 when it has no cell.
inline int CellOf(int power) {
  int c = kUnits + power;
  return c >= 0 && c < kCells ? c : -1;
}

// The digits of packed storage, most significant first: `nibble(i)` for i in 0..count-1.
template <typename Nibble>
DecimalAccumulator FromDigits(int count, int places, bool negative, Nibble nibble) {
  DecimalAccumulator r;
  for (int i = 0; i < count; ++i) {
    int cell = CellOf(count - 1 - i - places);
    int d = nibble(i);
    if (cell >= 0) r.cells[cell] = static_cast<uint8_t>(d > 9 ? 9 : d);  // bad nibbles read 9
  }
  r.sign = negative;
  r.Normalize();
  return r;
}

}  // namespace

bool DecimalAccumulator::IsZero() const {
  for (int i = low; i <= high; ++i)
    if (cells[i]) return false;
  return true;
}

void DecimalAccumulator::SetZero() {
  std::memset(cells, 0, sizeof cells);
  sign = 0;
  low = high = kUnits;
}

void DecimalAccumulator::Normalize() {
  int lo = 0;
  while (lo < kCells && cells[lo] == 0) ++lo;
  if (lo == kCells) {
    sign = 0;
    low = high = kUnits;
    return;
  }
  int hi = kCells - 1;
  while (cells[hi] == 0) --hi;
  low = static_cast<uint8_t>(std::min(lo, kUnits));
  high = static_cast<uint8_t>(std::max(hi, kUnits));
  sign = sign ? 1 : 0;
}

// ---- Conversions -------------------------------------------------------------------------

namespace {

// The accepted prefix of a number text (the reading rule of TextToDecimal).
struct ScannedNumber {
  bool negative = false;
  std::string_view integer;   // integer digits
  std::string_view fraction;  // fraction digits
  int64_t exponent = 0;       // clamped to +-1000
};

ScannedNumber ScanNumber(std::string_view t) {
  ScannedNumber s;
  size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  if (i < t.size() && t[i] == '-') {
    s.negative = true;
    ++i;
  }
  size_t start = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  s.integer = t.substr(start, i - start);
  if (i < t.size() && t[i] == '.') {
    start = ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    s.fraction = t.substr(start, i - start);
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool negative_exponent = false;
    if (i < t.size() && t[i] == '-') {
      negative_exponent = true;
      ++i;
    }
    int64_t e = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      e = std::min<int64_t>(e * 10 + (t[i] - '0'), 1000);
      ++i;
    }
    s.exponent = negative_exponent ? -e : e;
  }
  return s;
}

}  // namespace

DecimalAccumulator TextToDecimal(std::string_view text) {
  ScannedNumber s = ScanNumber(text);
  DecimalAccumulator r;
  int n = static_cast<int>(s.integer.size());
  int e = static_cast<int>(s.exponent);
  for (int i = 0; i < n; ++i) {
    int cell = CellOf(n - 1 - i + e);
    if (cell >= 0) r.cells[cell] = static_cast<uint8_t>(s.integer[i] - '0');
  }
  for (int j = 0; j < static_cast<int>(s.fraction.size()); ++j) {
    int cell = CellOf(-(j + 1) + e);
    if (cell >= 0) r.cells[cell] = static_cast<uint8_t>(s.fraction[j] - '0');
  }
  r.sign = s.negative;
  r.Normalize();
  return r;
}

double TextToReal(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.size() > 39) text = text.substr(0, 39);
  ScannedNumber s = ScanNumber(text);
  if (s.integer.empty() && s.fraction.empty()) return 0.0;
  std::string clean;
  clean.reserve(64);
  if (s.negative) clean += '-';
  clean.append(s.integer.empty() ? std::string_view("0") : s.integer);
  if (!s.fraction.empty()) clean.append(".").append(s.fraction);
  clean += 'e';
  clean += std::to_string(s.exponent);
  return std::strtod(clean.c_str(), nullptr);
}

DecimalAccumulator DecimalFromLong(int64_t value) {
  DecimalAccumulator r;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  for (int cell = kUnits; magnitude && cell < kCells; ++cell) {
    r.cells[cell] = static_cast<uint8_t>(magnitude % 10);
    magnitude /= 10;
  }
  r.sign = value < 0;
  r.Normalize();
  return r;
}

DecimalAccumulator DecimalFromReal(double value) {
  if (!std::isfinite(value) || value == 0) return DecimalAccumulator{};
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", value);  // 15 significant digits
  // The exponent "e+NN" must read as "eNN": a "+" is not part of the text rule.
  std::string text(buf);
  size_t plus = text.find("e+");
  if (plus != std::string::npos) text.erase(plus + 1, 1);
  return TextToDecimal(text);
}

std::string DecimalToText(const DecimalAccumulator& value) {
  std::string text;
  if (value.sign && !value.IsZero()) text += '-';
  int top = kUnits;
  for (int i = value.high; i > kUnits; --i) {
    if (value.cells[i]) {
      top = i;
      break;
    }
  }
  for (int i = top; i >= kUnits; --i) text += static_cast<char>('0' + value.cells[i]);
  int bottom = kUnits;
  for (int i = value.low; i < kUnits; ++i) {
    if (value.cells[i]) {
      bottom = i;
      break;
    }
  }
  if (bottom < kUnits) {
    text += '.';
    for (int i = kUnits - 1; i >= bottom; --i) text += static_cast<char>('0' + value.cells[i]);
  }
  return text;
}

double DecimalToReal(const DecimalAccumulator& value) {
  return std::strtod(DecimalToText(value).c_str(), nullptr);
}

int CompareDecimals(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  bool an = a.sign && !a.IsZero();
  bool bn = b.sign && !b.IsZero();
  if (an != bn) return an ? -1 : 1;
  int m = CompareMagnitude(a, b);
  return an ? -m : m;
}

// ---- The stack ---------------------------------------------------------------------------

DecimalStack& TheDecimalStack() {
  static DecimalStack stack;
  return stack;
}

bool DecimalStack::Need(int n, const char* op) {
  if (count_ >= n) return true;
  RuntimeFatal(kStackErrorCode, std::string("Decimal stack underflow in ") + op);
  return false;
}

DecimalAccumulator* DecimalStack::PushSlot(const char* op) {
  if (count_ >= kDepth) {
    RuntimeFatal(kStackErrorCode, std::string("Decimal stack overflow in ") + op);
    return nullptr;
  }
  return &acc_[count_++];
}

void DecimalStack::PushAccumulator(const DecimalAccumulator& value) {
  if (DecimalAccumulator* slot = PushSlot("push")) *slot = value;
}

void DecimalStack::PushDecimal(const uint8_t* field, size_t size, int places) {
  if (size == 0) {
    PushAccumulator(DecimalAccumulator{});
    return;
  }
  int count = static_cast<int>(std::min<size_t>(size, 64)) * 2 - 1;
  PushAccumulator(FromDigits(count, places, (field[0] & 0xF0) != 0, [field](int i) {
    int nibble = i + 1;  // nibble 0 is the sign
    uint8_t byte = field[nibble / 2];
    return nibble % 2 ? byte & 0x0F : byte >> 4;
  }));
}

void DecimalStack::PushPDecimal(const uint8_t* field, size_t size, int places) {
  if (size == 0) {
    PushAccumulator(DecimalAccumulator{});
    return;
  }
  int count = static_cast<int>(std::min<size_t>(size, 64)) * 2 - 1;
  bool negative = (field[size - 1] & 0x0F) == 0x0D;
  // With more than 64 bytes only the last 64 carry digits that can have a cell.
  const uint8_t* digits = field + (size > 64 ? size - 64 : 0);
  PushAccumulator(FromDigits(count, places, negative, [digits](int i) {
    uint8_t byte = digits[i / 2];
    return i % 2 ? byte & 0x0F : byte >> 4;
  }));
}

void DecimalStack::PushLong(int64_t value) { PushAccumulator(DecimalFromLong(value)); }
void DecimalStack::PushText(std::string_view text) { PushAccumulator(TextToDecimal(text)); }
void DecimalStack::PushReal(double value) { PushAccumulator(DecimalFromReal(value)); }

void DecimalStack::Add() {
  if (!Need(2, "add")) return;
  DecimalAccumulator& a = acc_[count_ - 2];
  const DecimalAccumulator& b = acc_[count_ - 1];
  a = SignedAdd(a, b, b.sign != 0);
  --count_;
}

void DecimalStack::Subtract() {
  if (!Need(2, "subtract")) return;
  DecimalAccumulator& a = acc_[count_ - 2];
  const DecimalAccumulator& b = acc_[count_ - 1];
  a = SignedAdd(a, b, b.sign == 0);
  --count_;
}

void DecimalStack::Multiply() {
  if (!Need(2, "multiply")) return;
  DecimalAccumulator& a = acc_[count_ - 2];
  const DecimalAccumulator& b = acc_[count_ - 1];
  // Cell i times cell j lands on cell i + j - 32; products below cell 0 are cut.
  uint32_t wide[2 * kCells] = {};
  for (int i = a.low; i <= a.high; ++i) {
    if (!a.cells[i]) continue;
    for (int j = b.low; j <= b.high; ++j) wide[i + j] += uint32_t{a.cells[i]} * b.cells[j];
  }
  uint32_t carry = 0;
  DecimalAccumulator r;
  for (int k = 0; k < 2 * kCells; ++k) {
    uint32_t v = wide[k] + carry;
    carry = v / 10;
    int cell = k - kUnits;
    if (cell >= 0 && cell < kCells) r.cells[cell] = static_cast<uint8_t>(v % 10);
  }
  r.sign = (a.sign != 0) != (b.sign != 0);
  r.Normalize();
  a = r;
  --count_;
}

int DecimalStack::Compare() {
  if (!Need(2, "compare")) return 0;
  int result = CompareDecimals(acc_[count_ - 2], acc_[count_ - 1]);
  count_ -= 2;
  return result;
}

void DecimalStack::Round(int places) {
  if (!Need(1, "round")) return;
  DecimalAccumulator& a = acc_[count_ - 1];
  if (places >= kUnits) return;  // every fractional cell is kept
  if (places < -kUnits) {
    a.SetZero();
    return;
  }
  int keep = kUnits - places;  // lowest cell kept
  bool up = keep > 0 && a.cells[keep - 1] > 4;
  std::memset(a.cells, 0, static_cast<size_t>(keep));
  for (int i = keep; up && i < kCells; ++i) {
    if (++a.cells[i] == 10) {
      a.cells[i] = 0;
    } else {
      up = false;
    }
  }
  a.Normalize();
}

void DecimalStack::Truncate() {
  if (!Need(1, "truncate")) return;
  DecimalAccumulator& a = acc_[count_ - 1];
  std::memset(a.cells, 0, kUnits);
  a.Normalize();
}

void DecimalStack::Abs() {
  if (Need(1, "abs")) acc_[count_ - 1].sign = 0;
}

void DecimalStack::Negate() {
  if (!Need(1, "negate")) return;
  DecimalAccumulator& a = acc_[count_ - 1];
  a.sign = a.IsZero() ? 0 : !a.sign;
}

DecimalAccumulator DecimalStack::Pop() {
  if (!Need(1, "pop")) return DecimalAccumulator{};
  return acc_[--count_];
}

void DecimalStack::Drop() {
  if (Need(1, "drop")) --count_;
}

void DecimalAccumulator::CheckInvariants() const {
  if constexpr (!kCheckInvariants) return;
  CINEVO_INVARIANT(low <= kUnits && kUnits <= high && high < kCells, "low <= 32 <= high");
  bool zero = true;
  for (int i = 0; i < kCells; ++i) {
    CINEVO_INVARIANT(cells[i] <= 9, "a cell holds one decimal digit");
    CINEVO_INVARIANT(cells[i] == 0 || (i >= low && i <= high), "cells outside low..high are 0");
    zero = zero && cells[i] == 0;
  }
  CINEVO_INVARIANT(sign <= 1 && !(zero && sign), "the sign is 0 or 1, and 0 for zero");
}

void DecimalStack::CheckInvariants() const {
  CINEVO_INVARIANT(count_ <= kDepth, "the stack holds 0..10 entries");
  for (int i = 0; i < count_; ++i) acc_[i].CheckInvariants();
}

const DecimalAccumulator& DecimalStack::Top() const {
  static const DecimalAccumulator kZero;
  return count_ > 0 ? acc_[count_ - 1] : kZero;
}

void DecimalStack::PopDecimal(uint8_t* field, size_t size, int places) {
  if (!Need(1, "pop")) return;
  Round(places);
  DecimalAccumulator a = acc_[--count_];
  if (size == 0) return;
  int count = static_cast<int>(size) * 2 - 1;
  std::memset(field, 0, size);
  bool any = false;
  for (int i = 0; i < count; ++i) {
    int cell = CellOf(count - 1 - i - places);
    uint8_t d = cell >= 0 ? a.cells[cell] : 0;
    any = any || d;
    int nibble = i + 1;
    field[nibble / 2] |= nibble % 2 ? d : static_cast<uint8_t>(d << 4);
  }
  if (a.sign && any) field[0] |= 0xF0;
}

void DecimalStack::PopPDecimal(uint8_t* field, size_t size, int places) {
  if (!Need(1, "pop")) return;
  Round(places);
  DecimalAccumulator a = acc_[--count_];
  if (size == 0) return;
  int count = static_cast<int>(size) * 2 - 1;
  std::memset(field, 0, size);
  bool any = false;
  for (int i = 0; i < count; ++i) {
    int cell = CellOf(count - 1 - i - places);
    uint8_t d = cell >= 0 ? a.cells[cell] : 0;
    any = any || d;
    field[i / 2] |= i % 2 ? d : static_cast<uint8_t>(d << 4);
  }
  field[size - 1] |= a.sign && any ? 0x0D : 0x0F;
}

int64_t DecimalStack::PopLong() {
  DecimalAccumulator a = Pop();
  // 19 integer digits always fit; more saturate.
  for (int i = kUnits + 19; i < kCells; ++i) {
    if (a.cells[i]) {
      return a.sign ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
  }
  uint64_t v = 0;
  for (int i = kUnits + 18; i >= kUnits; --i) v = v * 10 + a.cells[i];
  if (a.sign) {
    return v > uint64_t{1} << 63 ? std::numeric_limits<int64_t>::min()
                                 : static_cast<int64_t>(0 - v);
  }
  return v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
             ? std::numeric_limits<int64_t>::max()
             : static_cast<int64_t>(v);
}

double DecimalStack::PopReal() { return DecimalToReal(Pop()); }
std::string DecimalStack::PopText() { return DecimalToText(Pop()); }

}  // namespace cinevo
