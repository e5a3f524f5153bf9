// References to typed variables, converted on demand.
//
// A ValueRef wraps a variable of one TypeCode (pointer, size in bytes, decimal places) and turns
// it into a LONG, a REAL, a decimal (on the DecimalStack) or a text (on the StringStack), and
// stores such values back. Kinds exist for BYTE, SHORT, USHORT, DATE, TIME, LONG, ULONG, SREAL,
// REAL, BFLOAT4, BFLOAT8, DECIMAL, PDECIMAL, STRING (also GROUP), CSTRING, PSTRING and ANY (an
// ANY points at another ValueRef). DATE and TIME variables convert as their standard values.
//
// The reference does not own the variable; it must outlive the reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/type_code.h"

namespace cinevo {

class ValueRef {
 public:
  ValueRef() = default;  // an invalid reference (Valid() is false)

  // A reference of the given type. A type code without a reference kind raises the fatal report
  // 501 "String Stack Error" and yields an invalid reference. For ANY, `data` points at a
  // ValueRef. `size` is the byte size for strings and packed decimals (ignored otherwise).
  static ValueRef Make(TypeCode type, void* data, size_t size = 0, int places = 0);
  static bool HasKind(TypeCode type);

  bool Valid() const { return data_ != nullptr; }
  TypeCode type() const { return type_; }
  void* data() const { return data_; }
  size_t size() const { return size_; }
  int places() const { return places_; }

  // The operand kind used to choose the comparison: LONG for the integer kinds (BYTE, SHORT,
  // USHORT, DATE, TIME, LONG), REAL for SREAL, REAL, BFLOAT4, BFLOAT8, DECIMAL for ULONG,
  // DECIMAL and PDECIMAL, STRING for the string kinds; ANY reports its target's kind.
  TypeCode Kind() const;

  // Reads. A conversion the kind does not offer raises "Parameter typing error" and yields a
  // neutral value.
  int32_t ToLong() const;       // numbers truncated toward zero; texts read as numbers
  double ToReal() const;
  void PushDecimal() const;     // onto TheDecimalStack()
  void PushString() const;      // onto TheStringStack() (strings borrowed, numbers as text)
  std::string ToText() const;

  // Writes.
  void SetLong(int32_t value) const;
  void SetReal(double value) const;
  void PopDecimal() const;      // from TheDecimalStack()
  void PopString() const;       // from TheStringStack()
  void SetText(std::string_view text) const;

 private:
  const ValueRef* Target() const;  // follows ANY references; null when broken

  TypeCode type_ = TypeCode::kEnd;
  void* data_ = nullptr;
  size_t size_ = 0;
  int places_ = 0;
};

// The kind in which two references are compared: STRING when one reports a string-like code and
// the other STRING; LONG when both report LONG; REAL when either reports REAL; else DECIMAL.
TypeCode ComparisonKind(const ValueRef& a, const ValueRef& b);

// Compares two references in their comparison kind: -1, 0 or 1.
int CompareRefs(const ValueRef& a, const ValueRef& b);

// REAL comparison with tolerance: equal when the difference is 0 or its binary exponent is more
// than 50 below the exponents of both operands (0 counts as exponent 0).
int CompareReals(double a, double b);

}  // namespace cinevo
