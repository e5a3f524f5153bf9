// Formatting numbers through numeric (N), scientific (E) and digit-mask (P) pictures.
//
// Numeric layout, right-aligned in the picture's width:
//   [sign][front currency][fill...][integer digits in groups of three][decimal char][places]
//   [currency after][trailing sign slot]
// - The value is rounded to the places half away from zero first.
// - With the blank fill the sign and front currency stand right before the digits
//   ("   -$12.50"); with the "0" and "*" fills they stand at the left edge ("-$0012.50").
// - "-" in front (and a picture without a sign style) shows "-" before a negative value; "("
//   shows "(" before and ")" after it; a trailing "-" shows "-" after it. The trailing slot is
//   kept as a blank for values that are not negative, so columns of values line up.
// - An integer part of zero shows "0" before the decimal character when there is room.
// - A value that does not fit fills the width with "#".
// - Blank-when-zero shows blanks for a value that rounds to zero.
// Scientific layout: [-]d[.ddd]E+ddd, right-aligned; the decimal character as in numeric
// pictures ("v" is not shown).
// Digit masks (P): the integer value (rounded) fills the "#" and "<" positions from the right;
// "#" shows leading zeros, "<" blanks; a negative value or one with more digits than positions
// fills the width with "#".
#pragma once

#include <cstddef>

#include "runtime/core/picture.h"

namespace cinevo {

size_t FormatNumericInto(const CompiledPicture& pic, const DecimalAccumulator& value, char* out);
size_t FormatScientificInto(const CompiledPicture& pic, double value, char* out);
size_t FormatDigitMaskInto(const CompiledPicture& pic, const DecimalAccumulator& value, char* out);

// The integer part of a value, saturated at the int64 range.
int64_t IntegerPart(const DecimalAccumulator& value);

}  // namespace cinevo
