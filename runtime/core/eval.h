// The run-time expression evaluator: filter texts compiled once and evaluated per record.
//
//   Bind("CUS:NAME", ValueRef::Make(TypeCode::kString, name, sizeof name));
//   auto filter = CompiledExpression::Compile("UPPER(CUS:NAME) = 'SMITH' AND CUS:AGE > 30");
//   if (!filter) ... ErrorCode() is 800 (invalid text) or 801 (a name not bound) ...
//   while (NextRecord()) if (filter->Truth()) ...
//
// Names refer to variables bound beforehand (see eval_symbols.h for BIND and the scopes) or to
// built-in functions (eval_builtins.h). A compiled expression reads its variables through the
// references it took at compile time; rebinding a name later does not change it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/core/eval_symbols.h"
#include "runtime/core/eval_tree.h"

namespace cinevo {

class CompiledExpression {
 public:
  // The compiled text, or null (with error 800 or 801 posted) when it is not a valid expression.
  static std::unique_ptr<CompiledExpression> Compile(std::string_view text);

  // The natural kind of the value: integer, floating or string.
  ResultKind kind() const { return root_->kind(); }
  bool IsConstant() const { return root_->IsConstant(); }

  // The value in the kind the caller asks for. The view of Text() stays valid until the
  // expression is evaluated again.
  int64_t Integer() { return root_->Int(); }
  double Floating() { return root_->Real(); }
  std::string_view Text() { return root_->Text(); }
  std::string String() { return std::string(root_->Text()); }

  // The value as a filter: a number is true when non-zero, a text when it is not blank.
  bool Truth() { return root_->Truth(); }

  // The expression as text, every binary operator with a blank on each side ("A + 1",
  // "X <> 'a'", "N > 1 AND M < 2"), parentheses only where the structure needs them.
  std::string WriteBack() const;

 private:
  explicit CompiledExpression(NodePtr root) : root_(std::move(root)) {}
  NodePtr root_;
};

}  // namespace cinevo
