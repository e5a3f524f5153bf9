// The evaluator's symbol table: bound variables, operator keywords and built-in functions by
// name, in nested scopes.
//
// A symbol tree is a binary search tree ordered by case-insensitive name. Every tree has a fixed
// root entry named "MMMMMMM" that splits the alphabet, so that trees filled in arbitrary order
// stay roughly balanced without rebalancing. Inserting a name that is present replaces that
// entry's kind, result kind and payload; there are never two entries of one name in a tree.
//
// One current tree receives BIND. PushScope saves it in a scope record and starts an empty one;
// PopScope releases the current tree and brings back the saved one. Lookup searches the current
// tree, then the saved trees from the top down, stopping after a record whose stop flag is set.
// Built-in functions and operator keywords live in a permanent tree of their own that is searched
// last, so a stopping scope hides the program's variables but never the language itself; a
// variable bound under a built-in's name hides the built-in.
//
// The table is process-wide and unlocked: bind, compile and evaluate on one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/eval_lexer.h"
#include "runtime/core/type_code.h"
#include "runtime/core/value_ref.h"

namespace cinevo {

enum class SymbolKind : uint8_t {
  kRoot = 0,      // the dummy root entry of a tree
  kVariable = 1,  // a bound variable
  kOperator = 4,  // an operator keyword
  kFunction = 6,  // a built-in function
};

// The kind of value an entry or expression yields.
enum class ResultKind : uint8_t { kInteger = 1, kFloating = 2, kString = 4 };

// Integer for type codes up to LONG (including DATE and TIME), floating for ULONG to code 17,
// string from STRING on. An ANY reference takes the kind of the variable it points at.
ResultKind ResultKindOf(TypeCode type);
ResultKind ResultKindOf(const ValueRef& ref);

struct SymbolEntry {
  SymbolKind kind = SymbolKind::kRoot;
  ResultKind result = ResultKind::kInteger;
  std::string name;
  ValueRef variable;        // kVariable
  EvalOp op = kOpNone;      // kOperator
  uint8_t max_args = 0;     // kFunction
  uint8_t function = 0;     // kFunction: the function number
};

// Binds `name` to `variable` in the current tree. The name is taken up to the first character
// that is not a letter, digit, "_" or ":", plus one following "#", "$" or double quote. Returns
// false (and posts 800) when no name remains or the reference is invalid.
bool Bind(std::string_view name, const ValueRef& variable);

// Starts a new empty current tree. `see_outer` false sets the record's stop flag: names bound
// before are not found until the matching PopScope.
void PushScope(bool see_outer);

// Releases the current tree and brings back the one saved by the last PushScope. Without a scope
// it raises the fatal report 802 "Mismatched POPSCOPE" and changes nothing.
void PopScope();

// The number of scopes pushed and not yet popped.
int ScopeDepth();

// The entry a name refers to (variables through the scopes, then the built-ins), or null. The
// pointer stays valid until the entry is replaced or its tree is released.
const SymbolEntry* LookupSymbol(std::string_view name);

// The operator code of a keyword name (AND, OR, XOR, NOT) as the lookup sees it; kOpNone else.
EvalOp LookupOperatorKeyword(std::string_view name);

// Drops every binding and scope (the built-ins stay). For tests and program shutdown.
void ResetSymbols();

}  // namespace cinevo
