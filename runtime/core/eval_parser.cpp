#include "runtime/core/eval_parser.h"

#include <vector>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/eval_builtins.h"
#include "runtime/core/eval_lexer.h"
#include "runtime/core/eval_symbols.h"

namespace cinevo {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) { Advance(); }

  NodePtr Run() {
    NodePtr tree = Expression();
    if (tree && token_.kind != TokenKind::kEnd) tree = Fail();
    if (!tree) PostError(error_);
    return tree;
  }

 private:
  void Advance() { token_ = lexer_.Next(); }
  bool AtOp(EvalOp op) const { return token_.kind == TokenKind::kOperator && token_.op == op; }

  NodePtr Fail(int code = kErrInvalidExpression) {
    if (error_ == kErrInvalidExpression) error_ = code;  // the first specific reason wins
    return nullptr;
  }

  // Keeps a new node only when the tree stays within the depth bound.
  NodePtr Checked(NodePtr node) {
    if (!node) return Fail();
    if (node->depth() > kMaxEvalDepth) return Fail();
    return node;
  }

  // Guards one level of recursion through brackets, calls and prefix operators.
  struct Nest {
    explicit Nest(Parser& p) : p_(p) { ++p_.nesting_; }
    ~Nest() { --p_.nesting_; }
    bool TooDeep() const { return p_.nesting_ > kMaxEvalNesting; }
    Parser& p_;
  };

  // A left-associative binary level: operand { op operand }.
  template <typename Next, typename IsOp>
  NodePtr Binary(Next next, IsOp is_op) {
    NodePtr left = (this->*next)();
    while (left && token_.kind == TokenKind::kOperator && is_op(token_.op)) {
      EvalOp op = token_.op;
      Advance();
      NodePtr right = (this->*next)();
      if (!right) return nullptr;
      left = Checked(MakeBinary(op, std::move(left), std::move(right)));
    }
    return left;
  }

  NodePtr Expression() {
    return Binary(&Parser::Conjunction, [](EvalOp op) { return op == kOpOr || op == kOpXor; });
  }
  NodePtr Conjunction() {
    return Binary(&Parser::Negation, [](EvalOp op) { return op == kOpAnd; });
  }
  NodePtr Negation() {
    if (!AtOp(kOpNot)) return Comparison();
    Nest nest(*this);
    if (nest.TooDeep()) return Fail();
    Advance();
    NodePtr operand = Negation();
    if (!operand) return nullptr;
    return Checked(MakeUnary(kOpNot, std::move(operand)));
  }
  NodePtr Comparison() {
    return Binary(&Parser::Concatenation, [](EvalOp op) { return op >= kOpEqual && op <= kOpGreaterEqual; });
  }
  NodePtr Concatenation() {
    return Binary(&Parser::Sum, [](EvalOp op) { return op == kOpConcat; });
  }
  NodePtr Sum() {
    return Binary(&Parser::Product, [](EvalOp op) { return op == kOpAdd || op == kOpSubtract; });
  }
  NodePtr Product() {
    return Binary(&Parser::Power, [](EvalOp op) {
      return op == kOpMultiply || op == kOpDivide || op == kOpRemainder;
    });
  }
  NodePtr Power() {
    return Binary(&Parser::Sign, [](EvalOp op) { return op == kOpPower; });
  }
  NodePtr Sign() {
    if (!AtOp(kOpSubtract) && !AtOp(kOpAdd)) return Primary();
    Nest nest(*this);
    if (nest.TooDeep()) return Fail();
    EvalOp op = token_.op;
    Advance();
    NodePtr operand = Sign();
    if (!operand) return nullptr;
    return Checked(MakeUnary(op, std::move(operand)));
  }

  // list: expression { ("," | ":") expression }, up to (not including) `close`.
  bool List(std::vector<ListItem>& items) {
    EvalOp separator = kOpNone;
    while (true) {
      NodePtr e = Expression();
      if (!e) return false;
      items.push_back({separator, std::move(e)});
      if (!AtOp(kOpComma) && !AtOp(kOpColon)) return true;
      separator = token_.op;
      Advance();
    }
  }

  NodePtr Primary() {
    switch (token_.kind) {
      case TokenKind::kInteger: {
        NodePtr n = MakeIntegerConstant(token_.integer, token_.text);
        Advance();
        return n;
      }
      case TokenKind::kFloating: {
        NodePtr n = MakeFloatingConstant(token_.floating, token_.text);
        Advance();
        return n;
      }
      case TokenKind::kString: {
        NodePtr n = MakeStringConstant(std::move(token_.string));
        Advance();
        return n;
      }
      case TokenKind::kPicture: {
        NodePtr n = MakePictureConstant(token_.text);
        Advance();
        return n;
      }
      case TokenKind::kName: return Name();
      case TokenKind::kOperator: break;
      default: return Fail();
    }
    if (AtOp(kOpOpenParen)) {
      Nest nest(*this);
      if (nest.TooDeep()) return Fail();
      Advance();
      NodePtr inner = Expression();
      if (!inner) return nullptr;
      if (!AtOp(kOpCloseParen)) return Fail();
      Advance();
      return inner;
    }
    if (AtOp(kOpOpenBracket)) {
      Nest nest(*this);
      if (nest.TooDeep()) return Fail();
      Advance();
      std::vector<ListItem> items;
      if (!List(items)) return nullptr;
      if (!AtOp(kOpCloseBracket)) return Fail();
      Advance();
      return Checked(MakeBracketList(std::move(items)));
    }
    return Fail();
  }

  NodePtr Name() {
    std::string_view name = token_.text;
    const SymbolEntry* entry = LookupSymbol(name);
    if (!entry || (entry->kind != SymbolKind::kVariable && entry->kind != SymbolKind::kFunction)) {
      return Fail(kErrNoBind);
    }
    Advance();
    if (entry->kind == SymbolKind::kVariable) {
      return MakeVariable(entry->variable, entry->result, name);
    }
    uint8_t function = entry->function;
    std::vector<ListItem> args;
    if (AtOp(kOpOpenParen)) {
      Nest nest(*this);
      if (nest.TooDeep()) return Fail();
      Advance();
      if (!AtOp(kOpCloseParen) && !List(args)) return nullptr;
      if (!AtOp(kOpCloseParen)) return Fail();
      Advance();
    }
    return Checked(MakeCall(function, name, std::move(args)));
  }

  EvalLexer lexer_;
  Token token_;
  int error_ = kErrInvalidExpression;
  int nesting_ = 0;
};

}  // namespace

NodePtr ParseExpression(std::string_view text) { return Parser(text).Run(); }

}  // namespace cinevo
