// The evaluator's built-in functions: their table and the call nodes that compute them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/core/eval_symbols.h"
#include "runtime/core/eval_tree.h"

namespace cinevo {

struct BuiltinInfo {
  const char* name;
  uint8_t max_args;
  uint8_t min_args;  // fewer arguments than this make the compile fail
  uint8_t number;    // the function number stored in the symbol entry
  ResultKind result;
};

// Every built-in function, in a fixed order; numbers run from 1.
std::span<const BuiltinInfo> BuiltinFunctions();

// A call of function `number` with its arguments, or null when the argument count does not fit.
// `name` is the name as written, kept for writing back.
NodePtr MakeCall(uint8_t number, std::string_view name, std::vector<ListItem> args);

// Helpers of the built-ins, exposed for tests.
//
// SUB: positions count from 1; 0 acts as 1; a negative start counts from the end (-1 is the last
// character) and one before the first position acts as 1; a start beyond the end gives "". The
// length is capped at what remains; a negative length means the rest.
std::string_view SubText(std::string_view text, int64_t start, int64_t length, bool has_length);

// INSTRING: the position (from 1) of `needle` in `haystack` at start, start + step, ... ; 0 when
// not found or when the needle is empty. A step of 0 means the needle's length; a negative step
// searches backwards from start. With step 1, a needle longer than 4 bytes and a haystack longer
// than 256 bytes the search runs through a 256-entry skip table.
int64_t InString(std::string_view needle, std::string_view haystack, int64_t step, int64_t start);

// ROUND: `value` rounded half away from zero to a multiple of `order`; a power of ten (0.01, 1,
// 100 ...) rounds in decimal, so 2.345 to 0.01 gives 2.35.
double RoundTo(double value, double order);

// NUMERIC: true when the text, leading and trailing blanks aside, is a number: an optional sign,
// digits with at most one decimal point (at least one digit), and an optional exponent.
bool IsNumericText(std::string_view text);

}  // namespace cinevo
