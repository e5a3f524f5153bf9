// `tvx eval EXPRESSION [--bind NAME=VALUE ...]`: compiles a filter or other expression text,
// evaluates it once and prints its value as text on one line (a string as it is, without quotes
// or padding). Lets a user check a filter text before putting it in a view.
//
// Each --bind makes NAME a variable for the expression: a value that is a whole number fitting a
// LONG is bound as a LONG, another number as a REAL, anything else as a STRING of the value's
// length; a value in single quotes ('5') is always a STRING, without the quotes.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

// args: the arguments after "eval". Returns 0 after printing the value; 2 when the expression
// does not compile (the runtime error code and text go to `err`, e.g.
// "tvx eval: error 801: No BIND on variable") or when the arguments are wrong.
int RunEval(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
