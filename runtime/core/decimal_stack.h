// The process-wide decimal evaluation stack: exact decimal arithmetic for packed decimals.
//
// Ten accumulators. Each holds 64 digit cells (one digit 0..9 per byte), a sign (0 positive,
// 1 negative) and the lowest and highest used cell. The decimal point lies between cells 31 and
// 32: cells 32..63 are the integer digits (units in 32), cells 0..31 the fractional digits
// (tenths in 31). Invariants after every operation: cells outside low..high are 0,
// low <= 32 <= high, and zero carries sign 0 (there is no negative zero).
//
// Binary operations take the two top entries in push order (a pushed before b) and replace them
// by their result. Overflow beyond 10 entries or too few entries raises the fatal report 502;
// when a handler returns, the operation does nothing and a pop yields zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cinevo {

struct DecimalAccumulator {
  static constexpr int kCells = 64;
  static constexpr int kUnits = 32;  // the cell of the units digit
  uint8_t cells[kCells] = {};
  uint8_t sign = 0;
  uint8_t low = kUnits;   // lowest used cell
  uint8_t high = kUnits;  // highest used cell

  bool IsZero() const;
  void SetZero();
  void Normalize();  // trims low/high to the non-zero digits, clears the sign of zero
  void CheckInvariants() const;
};

class DecimalStack {
 public:
  static constexpr int kDepth = 10;

  int Count() const { return count_; }

  // Pushes.
  void PushDecimal(const uint8_t* field, size_t size, int places);   // DECIMAL storage
  void PushPDecimal(const uint8_t* field, size_t size, int places);  // PDECIMAL storage
  void PushLong(int64_t value);
  void PushText(std::string_view text);  // see TextToDecimal
  void PushReal(double value);           // through its 15 significant digits
  void PushAccumulator(const DecimalAccumulator& value);

  // Operators.
  void Add();        // [.., a, b] -> [.., a+b]
  void Subtract();   // [.., a, b] -> [.., a-b]
  void Multiply();   // [.., a, b] -> [.., a*b], cut to 32 fractional digits
  int Compare();     // [.., a, b] -> [..]; -1, 0 or 1 as a <, = or > b
  void Round(int places);  // half away from zero; places may be negative (tens, hundreds...)
  void Truncate();         // drop the fraction
  void Abs();
  void Negate();

  // Pops. Storing rounds to the field's places first; integer digits that do not fit are lost
  // from the top.
  void PopDecimal(uint8_t* field, size_t size, int places);
  void PopPDecimal(uint8_t* field, size_t size, int places);
  int64_t PopLong();      // truncated toward zero; saturates at the int64 range
  double PopReal();
  std::string PopText();  // "-12.5", "0", no exponent; trailing fractional zeros dropped
  DecimalAccumulator Pop();
  void Drop();

  const DecimalAccumulator& Top() const;
  void Reset() { count_ = 0; }

  // Checks the invariants above for every entry, and that the count lies in 0..10 (see
  // invariant.h). A no-op in builds without invariant checks.
  void CheckInvariants() const;

 private:
  bool Need(int n, const char* op);
  DecimalAccumulator* PushSlot(const char* op);

  DecimalAccumulator acc_[kDepth];
  uint8_t count_ = 0;
};

// The process-wide stack (unlocked).
DecimalStack& TheDecimalStack();

// Text to decimal: leading spaces skipped; one "-" makes it negative ("+" is not accepted);
// integer digits, "." and fraction digits, then "e"/"E" with an optional "-" and digits scales by
// that power of ten. Reading stops at the first character that does not fit; what was read so
// far is the value (so "abc" is 0). Digits beyond the 32 integer / 32 fractional cells are lost.
DecimalAccumulator TextToDecimal(std::string_view text);

// Text to REAL: trailing spaces removed, at most 39 characters read, then the rule above.
double TextToReal(std::string_view text);

// Conversions of single accumulators (no stack involved).
DecimalAccumulator DecimalFromLong(int64_t value);
DecimalAccumulator DecimalFromReal(double value);
double DecimalToReal(const DecimalAccumulator& value);
std::string DecimalToText(const DecimalAccumulator& value);
int CompareDecimals(const DecimalAccumulator& a, const DecimalAccumulator& b);

}  // namespace cinevo
