// The tokens of an expression text.
//
// Tokens: names (letters, digits, "_" and ":" after a leading letter, "?" or "_", optionally ended
// by one "#", "$" or double quote), numbers (decimal, radix-suffixed H/O/B, floating), quoted
// strings ('' inside stands for one quote), picture constants ("@..."), and operators. Two
// consecutive operator tokens that form a relation ("<" ">", "~" "=", "=" "<", ...) come out as
// one relation token. Names entered in the symbol table as operator keywords (AND, OR, XOR, NOT)
// come out as operator tokens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cinevo {

// Operator codes, shared by the lexer, the tree and the written-back text.
enum EvalOp : uint8_t {
  kOpNone = 0,
  kOpPower = 0x02,
  kOpMultiply = 0x03,
  kOpDivide = 0x04,
  kOpRemainder = 0x05,
  kOpAdd = 0x07,
  kOpSubtract = 0x08,
  kOpConcat = 0x09,
  kOpEqual = 0x0A,
  kOpNotEqual = 0x0B,
  kOpLess = 0x0C,
  kOpGreater = 0x0D,
  kOpLessEqual = 0x0E,
  kOpGreaterEqual = 0x0F,
  kOpNot = 0x10,
  kOpAnd = 0x11,
  kOpOr = 0x12,
  kOpXor = 0x13,
  kOpComma = 0x14,
  kOpColon = 0x15,
  // Brackets have no code in written text of their own; they are tokens only.
  kOpOpenParen = 0x20,
  kOpCloseParen = 0x21,
  kOpOpenBracket = 0x22,
  kOpCloseBracket = 0x23,
};

// The text of an operator as written back ("+", "<>", "AND", ...); "" for bracket codes.
std::string_view EvalOpText(EvalOp op);

enum class TokenKind : uint8_t {
  kEnd,       // end of the text
  kName,      // text: the name as written
  kInteger,   // integer: the value; text: the number as written
  kFloating,  // floating: the value; text: the number as written
  kString,    // string: the text with quotes removed and doubled quotes undone
  kPicture,   // text: the picture constant, starting with "@"
  kOperator,  // op: the operator code
  kError,     // an unknown character, a malformed number, an unterminated string
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  EvalOp op = kOpNone;
  std::string_view text;  // a view into the source text
  std::string string;     // kString only
  int64_t integer = 0;
  double floating = 0.0;
  size_t position = 0;  // offset of the token in the source text
};

// Reads one token after another. The keyword test calls the symbol table, so the lexer must be
// used on the thread that compiles.
class EvalLexer {
 public:
  explicit EvalLexer(std::string_view text) : text_(text) {}

  // The next token; kEnd for ever once the text is used up. After a kError token the caller
  // stops: what follows it is not meaningful.
  Token Next();

 private:
  Token Raw();  // one token without joining relations
  Token ReadName();
  Token ReadNumber();
  Token ReadString();
  Token ReadPicture();
  void SkipBlanks();

  std::string_view text_;
  size_t pos_ = 0;
  bool have_pending_ = false;
  Token pending_;  // an operator token read ahead while looking for a two-token relation
};

// True for a character that may start a name, and one that may continue it.
bool IsNameStart(unsigned char c);
bool IsNameChar(unsigned char c);

}  // namespace cinevo
