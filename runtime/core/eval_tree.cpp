#include "runtime/core/eval_tree.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/core/decimal_stack.h"
#include "runtime/core/string_stack.h"
#include "runtime/core/value_ref.h"

namespace cinevo {

// ---- conversions ----

int64_t RealToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

double TextToNumber(std::string_view text) { return TextToReal(text); }

std::string_view IntToText(int64_t value, char (&buffer)[24]) {
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return {buffer, static_cast<size_t>(r.ptr - buffer)};
}

bool IsBlank(std::string_view text) {
  for (char c : text) {
    if (c != ' ') return false;
  }
  return true;
}

bool ExprNode::Truth() {
  switch (kind_) {
    case ResultKind::kInteger: return Int() != 0;
    case ResultKind::kFloating: return Real() != 0.0;
    case ResultKind::kString: return !IsBlank(Text());
  }
  return false;
}

std::string_view IntegerNode::Text() { return IntToText(Int(), digits_); }

int64_t FloatingNode::Int() { return RealToInt(Real()); }

std::string_view FloatingNode::Text() {
  text_ = RealToText(Real());
  return text_;
}

int64_t StringNode::Int() { return RealToInt(TextToNumber(Text())); }
double StringNode::Real() { return TextToNumber(Text()); }

namespace {

// Wrapping 64-bit arithmetic (no undefined behaviour at the edges).
int64_t WrapAdd(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)); }
int64_t WrapSub(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b)); }
int64_t WrapMul(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b)); }

double Sanitize(double v) { return std::isnan(v) ? 0.0 : v; }

// ---- constants ----

class IntegerConstant final : public IntegerNode {
 public:
  IntegerConstant(int64_t value, std::string_view text) : value_(value), text_(text) {}
  int64_t Int() override { return value_; }
  bool IsConstant() const override { return true; }
  void Write(std::string& out) const override { out += text_; }

 private:
  int64_t value_;
  std::string text_;
};

class FloatingConstant final : public FloatingNode {
 public:
  FloatingConstant(double value, std::string_view text) : value_(value), text_(text) {}
  double Real() override { return value_; }
  bool IsConstant() const override { return true; }
  void Write(std::string& out) const override { out += text_; }

 private:
  double value_;
  std::string text_;
};

class StringConstant final : public StringNode {
 public:
  StringConstant(std::string value, bool picture) : value_(std::move(value)), picture_(picture) {
    number_ = TextToNumber(value_);
  }
  std::string_view Text() override { return value_; }
  int64_t Int() override { return RealToInt(number_); }
  double Real() override { return number_; }
  bool IsConstant() const override { return true; }
  void Write(std::string& out) const override {
    if (picture_) {
      out += value_;
      return;
    }
    out += '\'';
    for (char c : value_) {
      if (c == '\'') out += '\'';
      out += c;
    }
    out += '\'';
  }

 private:
  std::string value_;
  bool picture_;
  double number_;  // the text read as a number, computed once
};

// ---- variables ----

class IntegerVariable final : public IntegerNode {
 public:
  IntegerVariable(const ValueRef& ref, std::string_view name) : ref_(ref), name_(name) {}
  int64_t Int() override {
    if (ref_.type() == TypeCode::kLong) {
      int32_t v;
      std::memcpy(&v, ref_.data(), sizeof v);
      return v;
    }
    return ref_.ToLong();
  }
  void Write(std::string& out) const override { out += name_; }

 private:
  ValueRef ref_;
  std::string name_;
};

class FloatingVariable final : public FloatingNode {
 public:
  FloatingVariable(const ValueRef& ref, std::string_view name) : ref_(ref), name_(name) {}
  double Real() override {
    if (ref_.type() == TypeCode::kReal) {
      double v;
      std::memcpy(&v, ref_.data(), sizeof v);
      return v;
    }
    return ref_.ToReal();
  }
  void Write(std::string& out) const override { out += name_; }

 private:
  ValueRef ref_;
  std::string name_;
};

class StringVariable final : public StringNode {
 public:
  StringVariable(const ValueRef& ref, std::string_view name) : ref_(ref), name_(name) {}
  std::string_view Text() override {
    const char* p = static_cast<const char*>(ref_.data());
    switch (ref_.type()) {
      case TypeCode::kString:
      case TypeCode::kGroup:
        return {p, ref_.size()};  // lent, not copied
      case TypeCode::kCString: {
        const void* nul = std::memchr(p, 0, ref_.size());
        return {p, nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : ref_.size()};
      }
      default:
        text_ = ref_.ToText();
        return text_;
    }
  }
  void Write(std::string& out) const override { out += name_; }

 private:
  ValueRef ref_;
  std::string name_;
  std::string text_;
};

// ---- operators ----

class NotNode final : public IntegerNode {
 public:
  explicit NotNode(NodePtr operand) : operand_(std::move(operand)) { set_depth(operand_->depth() + 1); }
  int64_t Int() override { return operand_->Truth() ? 0 : 1; }
  bool IsConstant() const override { return operand_->IsConstant(); }
  EvalLevel level() const override { return kLevelNot; }
  void Write(std::string& out) const override {
    out += "NOT ";
    bool paren = operand_->level() < kLevelNot;
    if (paren) out += '(';
    operand_->Write(out);
    if (paren) out += ')';
  }

 private:
  NodePtr operand_;
};

// Unary minus or plus. An integer stays an integer; a floating value or a text is negated as a
// floating value.
template <typename Base>
class SignNode final : public Base {
 public:
  SignNode(bool negate, NodePtr operand) : negate_(negate), operand_(std::move(operand)) {
    this->set_depth(operand_->depth() + 1);
  }
  int64_t Int() override {
    if constexpr (std::is_same_v<Base, IntegerNode>) {
      int64_t v = operand_->Int();
      return negate_ ? WrapSub(0, v) : v;
    } else {
      return Base::Int();
    }
  }
  double Real() override {
    if constexpr (std::is_same_v<Base, IntegerNode>) {
      return Base::Real();
    } else {
      double v = operand_->Real();
      return negate_ ? -v : v;
    }
  }
  bool IsConstant() const override { return operand_->IsConstant(); }
  EvalLevel level() const override { return kLevelSign; }
  void Write(std::string& out) const override {
    out += negate_ ? '-' : '+';
    bool paren = operand_->level() < kLevelSign;
    if (paren) out += '(';
    operand_->Write(out);
    if (paren) out += ')';
  }

 private:
  bool negate_;
  NodePtr operand_;
};

// Shared by every binary operator: the operands, the code, and writing back with spaces.
struct BinaryParts {
  EvalOp op;
  NodePtr left;
  NodePtr right;

  void Write(std::string& out, EvalLevel mine) const {
    // Left associative: a left operand of the same level needs no parentheses, a right one does.
    bool lp = left->level() < mine;
    bool rp = right->level() <= mine;
    if (lp) out += '(';
    left->Write(out);
    if (lp) out += ')';
    out += ' ';
    out += EvalOpText(op);
    out += ' ';
    if (rp) out += '(';
    right->Write(out);
    if (rp) out += ')';
  }
  bool IsConstant() const { return left->IsConstant() && right->IsConstant(); }
  int Depth() const { return 1 + std::max(left->depth(), right->depth()); }
};

EvalLevel LevelOf(EvalOp op) {
  switch (op) {
    case kOpOr:
    case kOpXor: return kLevelOr;
    case kOpAnd: return kLevelAnd;
    case kOpEqual:
    case kOpNotEqual:
    case kOpLess:
    case kOpGreater:
    case kOpLessEqual:
    case kOpGreaterEqual: return kLevelCompare;
    case kOpConcat: return kLevelConcat;
    case kOpAdd:
    case kOpSubtract: return kLevelSum;
    case kOpMultiply:
    case kOpDivide:
    case kOpRemainder: return kLevelProduct;
    case kOpPower: return kLevelPower;
    default: return kLevelPrimary;
  }
}

// +, -, * and % of two integers.
class IntegerArithmetic final : public IntegerNode {
 public:
  explicit IntegerArithmetic(BinaryParts p) : p_(std::move(p)) { set_depth(p_.Depth()); }
  int64_t Int() override {
    int64_t a = p_.left->Int();
    int64_t b = p_.right->Int();
    switch (p_.op) {
      case kOpAdd: return WrapAdd(a, b);
      case kOpSubtract: return WrapSub(a, b);
      case kOpMultiply: return WrapMul(a, b);
      case kOpRemainder:
        // A zero divisor gives 0 rather than a trap; -1 avoids the one overflowing quotient.
        if (b == 0 || b == -1) return 0;
        return a % b;
      default: return 0;
    }
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  EvalLevel level() const override { return LevelOf(p_.op); }
  void Write(std::string& out) const override { p_.Write(out, level()); }

 private:
  BinaryParts p_;
};

// Arithmetic with a floating (or text) operand, and every "/" and "^".
class FloatingArithmetic final : public FloatingNode {
 public:
  explicit FloatingArithmetic(BinaryParts p) : p_(std::move(p)) { set_depth(p_.Depth()); }
  double Real() override {
    double a = p_.left->Real();
    double b = p_.right->Real();
    switch (p_.op) {
      case kOpAdd: return a + b;
      case kOpSubtract: return a - b;
      case kOpMultiply: return a * b;
      case kOpDivide: return b == 0.0 ? 0.0 : a / b;  // division by zero gives 0
      case kOpRemainder: return b == 0.0 ? 0.0 : Sanitize(std::fmod(a, b));
      case kOpPower: return Sanitize(std::pow(a, b));
      default: return 0.0;
    }
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  EvalLevel level() const override { return LevelOf(p_.op); }
  void Write(std::string& out) const override { p_.Write(out, level()); }

 private:
  BinaryParts p_;
};

class ConcatNode final : public StringNode {
 public:
  explicit ConcatNode(BinaryParts p) : p_(std::move(p)) { set_depth(p_.Depth()); }
  std::string_view Text() override {
    std::string_view a = p_.left->Text();
    std::string_view b = p_.right->Text();
    text_.assign(a);
    text_.append(b);
    return text_;
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  EvalLevel level() const override { return kLevelConcat; }
  void Write(std::string& out) const override { p_.Write(out, kLevelConcat); }

 private:
  BinaryParts p_;
  std::string text_;
};

// Relations. Two texts compare as strings (trailing blanks ignored, collating sequence); two
// integers as integers; anything else as floating values with the equality tolerance.
class CompareNode final : public IntegerNode {
 public:
  explicit CompareNode(BinaryParts p) : p_(std::move(p)) {
    set_depth(p_.Depth());
    ResultKind l = p_.left->kind();
    ResultKind r = p_.right->kind();
    if (l == ResultKind::kString && r == ResultKind::kString) {
      mode_ = Mode::kString;
    } else if (l == ResultKind::kInteger && r == ResultKind::kInteger) {
      mode_ = Mode::kInteger;
    } else {
      mode_ = Mode::kFloating;
    }
  }
  int64_t Int() override {
    int c = 0;
    switch (mode_) {
      case Mode::kString: {
        std::string_view a = p_.left->Text();
        std::string_view b = p_.right->Text();
        c = CompareStrings(a, b);
        break;
      }
      case Mode::kInteger: {
        int64_t a = p_.left->Int();
        int64_t b = p_.right->Int();
        c = a < b ? -1 : (a > b ? 1 : 0);
        break;
      }
      case Mode::kFloating: {
        double a = p_.left->Real();
        double b = p_.right->Real();
        c = CompareReals(a, b);
        break;
      }
    }
    switch (p_.op) {
      case kOpEqual: return c == 0;
      case kOpNotEqual: return c != 0;
      case kOpLess: return c < 0;
      case kOpGreater: return c > 0;
      case kOpLessEqual: return c <= 0;
      case kOpGreaterEqual: return c >= 0;
      default: return 0;
    }
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  EvalLevel level() const override { return kLevelCompare; }
  void Write(std::string& out) const override { p_.Write(out, kLevelCompare); }

 private:
  enum class Mode { kString, kInteger, kFloating };
  BinaryParts p_;
  Mode mode_;
};

// AND and OR look at their right operand only when the left one does not decide.
class LogicNode final : public IntegerNode {
 public:
  explicit LogicNode(BinaryParts p) : p_(std::move(p)) { set_depth(p_.Depth()); }
  int64_t Int() override {
    switch (p_.op) {
      case kOpAnd: return p_.left->Truth() && p_.right->Truth();
      case kOpOr: return p_.left->Truth() || p_.right->Truth();
      case kOpXor: return p_.left->Truth() != p_.right->Truth();
      default: return 0;
    }
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  EvalLevel level() const override { return LevelOf(p_.op); }
  void Write(std::string& out) const override { p_.Write(out, level()); }

 private:
  BinaryParts p_;
};

// A list in brackets.
class BracketList final : public ExprNode {
 public:
  explicit BracketList(std::vector<ListItem> items)
      : ExprNode(items.front().node->kind()), items_(std::move(items)) {
    set_depth(ListDepth(items_) + 1);
  }
  int64_t Int() override { return items_.front().node->Int(); }
  double Real() override { return items_.front().node->Real(); }
  std::string_view Text() override { return items_.front().node->Text(); }
  bool IsConstant() const override {
    for (const ListItem& i : items_) {
      if (!i.node->IsConstant()) return false;
    }
    return true;
  }
  void Write(std::string& out) const override {
    out += '[';
    WriteList(items_, out);
    out += ']';
  }

 private:
  std::vector<ListItem> items_;
};

}  // namespace

std::vector<ExprNode*> ListNodes(const std::vector<ListItem>& items) {
  std::vector<ExprNode*> nodes;
  nodes.reserve(items.size());
  for (const ListItem& i : items) nodes.push_back(i.node.get());
  return nodes;
}

void WriteList(const std::vector<ListItem>& items, std::string& out) {
  // ", " and " : ". The blank before ":" matters: "A:1" would read back as one name.
  for (const ListItem& i : items) {
    if (i.separator == kOpComma) out += ", ";
    if (i.separator == kOpColon) out += " : ";
    i.node->Write(out);
  }
}

int ListDepth(const std::vector<ListItem>& items) {
  int d = 0;
  for (const ListItem& i : items) d = std::max(d, i.node->depth());
  return d;
}

NodePtr MakeIntegerConstant(int64_t value, std::string_view text) {
  return std::make_unique<IntegerConstant>(value, text);
}

NodePtr MakeFloatingConstant(double value, std::string_view text) {
  return std::make_unique<FloatingConstant>(value, text);
}

NodePtr MakeStringConstant(std::string value) {
  return std::make_unique<StringConstant>(std::move(value), false);
}

NodePtr MakePictureConstant(std::string_view text) {
  return std::make_unique<StringConstant>(std::string(text), true);
}

NodePtr MakeVariable(const ValueRef& ref, ResultKind kind, std::string_view name) {
  switch (kind) {
    case ResultKind::kInteger: return std::make_unique<IntegerVariable>(ref, name);
    case ResultKind::kFloating: return std::make_unique<FloatingVariable>(ref, name);
    case ResultKind::kString: return std::make_unique<StringVariable>(ref, name);
  }
  return nullptr;
}

NodePtr MakeUnary(EvalOp op, NodePtr operand) {
  if (op == kOpNot) return std::make_unique<NotNode>(std::move(operand));
  bool negate = op == kOpSubtract;
  if (operand->kind() == ResultKind::kInteger) {
    return std::make_unique<SignNode<IntegerNode>>(negate, std::move(operand));
  }
  return std::make_unique<SignNode<FloatingNode>>(negate, std::move(operand));
}

NodePtr MakeBinary(EvalOp op, NodePtr left, NodePtr right) {
  bool integers = left->kind() == ResultKind::kInteger && right->kind() == ResultKind::kInteger;
  BinaryParts p{op, std::move(left), std::move(right)};
  switch (op) {
    case kOpAdd:
    case kOpSubtract:
    case kOpMultiply:
    case kOpRemainder:
      if (integers) return std::make_unique<IntegerArithmetic>(std::move(p));
      return std::make_unique<FloatingArithmetic>(std::move(p));
    case kOpDivide:
    case kOpPower:
      return std::make_unique<FloatingArithmetic>(std::move(p));
    case kOpConcat:
      return std::make_unique<ConcatNode>(std::move(p));
    case kOpEqual:
    case kOpNotEqual:
    case kOpLess:
    case kOpGreater:
    case kOpLessEqual:
    case kOpGreaterEqual:
      return std::make_unique<CompareNode>(std::move(p));
    case kOpAnd:
    case kOpOr:
    case kOpXor:
      return std::make_unique<LogicNode>(std::move(p));
    default:
      return nullptr;
  }
}

NodePtr MakeBracketList(std::vector<ListItem> items) {
  if (items.empty()) return nullptr;
  return std::make_unique<BracketList>(std::move(items));
}

}  // namespace cinevo
