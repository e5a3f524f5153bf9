#include "runtime/core/eval.h"

#include "runtime/core/eval_parser.h"

namespace cinevo {

std::unique_ptr<CompiledExpression> CompiledExpression::Compile(std::string_view text) {
  NodePtr root = ParseExpression(text);
  if (!root) return nullptr;
  return std::unique_ptr<CompiledExpression>(new CompiledExpression(std::move(root)));
}

std::string CompiledExpression::WriteBack() const {
  std::string out;
  root_->Write(out);
  return out;
}

}  // namespace cinevo
