// The grammar of expression texts, from the loosest binding to the tightest (every binary level
// associates to the left):
//   list         expression { ("," | ":") expression }      inside brackets and argument lists
//   expression   conjunction { (OR | XOR) conjunction }
//   conjunction  negation { AND negation }
//   negation     (NOT | "~") negation | comparison
//   comparison   concatenation { relation concatenation }   = <> < > <= >=
//   concatenation sum { "&" sum }
//   sum          product { ("+" | "-") product }
//   product      power { ("*" | "/" | "%") power }
//   power        sign { "^" sign }
//   sign         ("-" | "+") sign | primary
//   primary      "(" expression ")" | "[" list "]" | number | string | picture | variable
//                | function [ "(" list ")" ]
// A function without arguments may be written with empty parentheses or none.
//
// Nesting is bounded: more than kMaxEvalNesting open brackets, calls and prefix operators inside
// one another, or a tree deeper than kMaxEvalDepth (a very long chain of operators), fails the
// compile like any other invalid text, so no text can exhaust the stack of the compiler, the
// evaluator or the writer.
#pragma once

#include <string_view>

#include "runtime/core/eval_tree.h"

namespace cinevo {

inline constexpr int kMaxEvalNesting = 100;
inline constexpr int kMaxEvalDepth = 2000;

// The tree of `text`, or null. A failure posts 801 when a name is neither bound nor built in,
// and 800 for anything else (an unknown character, a malformed number or string, a missing ")"
// or "]", a wrong number of arguments, text left over, too deep nesting).
NodePtr ParseExpression(std::string_view text);

}  // namespace cinevo
