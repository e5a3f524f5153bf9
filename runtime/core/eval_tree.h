// The nodes of a compiled expression tree.
//
// Every node yields its value as an integer, a floating value or a text, whichever the parent
// asks for; its natural kind (ResultKind) decides which is computed and the others are
// conversions of it. Texts are returned as views that stay valid until the same node is evaluated
// again: a node either lends the bytes of a bound variable or of a constant, or writes into a
// buffer it keeps between evaluations, so a filter evaluated per record allocates nothing once
// the buffers have grown. A tree is therefore evaluated by one thread at a time.
//
// Integers are 64-bit inside the evaluator, so sums and products of 32-bit variables do not
// overflow; they wrap only beyond the 64-bit range.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/eval_lexer.h"
#include "runtime/core/eval_symbols.h"
#include "runtime/core/value_ref.h"

namespace cinevo {

// Binding strength of a node when written back, from the grammar's levels: a child that binds
// more loosely than its parent is written in parentheses.
enum EvalLevel : uint8_t {
  kLevelOr = 2,
  kLevelAnd = 3,
  kLevelNot = 4,
  kLevelCompare = 5,
  kLevelConcat = 6,
  kLevelSum = 7,
  kLevelProduct = 8,
  kLevelPower = 9,
  kLevelSign = 10,
  kLevelPrimary = 11,
};

class ExprNode {
 public:
  explicit ExprNode(ResultKind kind) : kind_(kind) {}
  virtual ~ExprNode() = default;
  ExprNode(const ExprNode&) = delete;
  ExprNode& operator=(const ExprNode&) = delete;

  ResultKind kind() const { return kind_; }
  // Nodes on the longest path down from here (a leaf is 1).
  int depth() const { return depth_; }

  virtual int64_t Int() = 0;
  virtual double Real() = 0;
  virtual std::string_view Text() = 0;
  // A number is true when non-zero, a text when it is not blank.
  bool Truth();

  // True when the value cannot change between evaluations.
  virtual bool IsConstant() const { return false; }
  virtual EvalLevel level() const { return kLevelPrimary; }
  virtual void Write(std::string& out) const = 0;

 protected:
  void set_depth(int depth) { depth_ = depth; }

 private:
  ResultKind kind_;
  int depth_ = 1;
};

using NodePtr = std::unique_ptr<ExprNode>;

// Bases that derive the two other views from the natural one.
class IntegerNode : public ExprNode {
 public:
  IntegerNode() : ExprNode(ResultKind::kInteger) {}
  double Real() override { return static_cast<double>(Int()); }
  std::string_view Text() override;

 private:
  char digits_[24];
};

class FloatingNode : public ExprNode {
 public:
  FloatingNode() : ExprNode(ResultKind::kFloating) {}
  int64_t Int() override;
  std::string_view Text() override;

 private:
  std::string text_;
};

class StringNode : public ExprNode {
 public:
  StringNode() : ExprNode(ResultKind::kString) {}
  int64_t Int() override;
  double Real() override;
};

// Conversions shared by the nodes and the built-ins.
int64_t RealToInt(double value);  // truncated toward zero, saturated, NaN gives 0
double TextToNumber(std::string_view text);
std::string_view IntToText(int64_t value, char (&buffer)[24]);
bool IsBlank(std::string_view text);

// Node factories used by the parser. `text` is the token as written, kept for writing back.
NodePtr MakeIntegerConstant(int64_t value, std::string_view text);
NodePtr MakeFloatingConstant(double value, std::string_view text);
NodePtr MakeStringConstant(std::string value);
NodePtr MakePictureConstant(std::string_view text);
NodePtr MakeVariable(const ValueRef& ref, ResultKind kind, std::string_view name);
NodePtr MakeUnary(EvalOp op, NodePtr operand);  // kOpNot, kOpSubtract or kOpAdd
NodePtr MakeBinary(EvalOp op, NodePtr left, NodePtr right);

// One element of an argument list or bracketed list, with the separator written before it
// (kOpNone for the first).
struct ListItem {
  EvalOp separator = kOpNone;
  NodePtr node;
};
std::vector<ExprNode*> ListNodes(const std::vector<ListItem>& items);
void WriteList(const std::vector<ListItem>& items, std::string& out);
int ListDepth(const std::vector<ListItem>& items);

// "[a, b, ...]": its value is the value of its first element.
NodePtr MakeBracketList(std::vector<ListItem> items);

}  // namespace cinevo
