#include "runtime/core/eval_lexer.h"

#include <gtest/gtest.h>

#include <vector>

namespace cinevo {
namespace {

std::vector<Token> All(std::string_view text) {
  EvalLexer lexer(text);
  std::vector<Token> out;
  while (true) {
    Token t = lexer.Next();
    bool stop = t.kind == TokenKind::kEnd || t.kind == TokenKind::kError;
    out.push_back(std::move(t));
    if (stop) return out;
  }
}

Token One(std::string_view text) {
  auto tokens = All(text);
  return tokens.front();
}

TEST(EvalLexerTest, RadixSuffixesAndTheirDigitLimits) {
  EXPECT_EQ(One("1FH").integer, 31);
  EXPECT_EQ(One("1fh").integer, 31);
  EXPECT_EQ(One("17O").integer, 15);
  EXPECT_EQ(One("101B").integer, 5);
  EXPECT_EQ(One("1BH").integer, 27);  // B is a digit when H ends the run
  EXPECT_EQ(One("0FFFFFFFFH").integer, 4294967295);
  EXPECT_EQ(One("12A").kind, TokenKind::kError);
  EXPECT_EQ(One("18O").kind, TokenKind::kError);
  EXPECT_EQ(One("102B").kind, TokenKind::kError);
  EXPECT_EQ(One("1GH").kind, TokenKind::kError);
  EXPECT_EQ(One("FFH").kind, TokenKind::kName);  // a number must start with a digit
  EXPECT_EQ(One("1FFFFFFFFFFFFFFFFH").kind, TokenKind::kError);  // beyond 64 bits
}

TEST(EvalLexerTest, DecimalAndFloatingForms) {
  Token t = One("123");
  EXPECT_EQ(t.kind, TokenKind::kInteger);
  EXPECT_EQ(t.integer, 123);
  EXPECT_EQ(One("1.5").kind, TokenKind::kFloating);
  EXPECT_DOUBLE_EQ(One("1.5").floating, 1.5);
  EXPECT_DOUBLE_EQ(One("1E3").floating, 1000.0);
  EXPECT_DOUBLE_EQ(One("2.5e-3").floating, 0.0025);
  EXPECT_DOUBLE_EQ(One("4E+2").floating, 400.0);
  EXPECT_DOUBLE_EQ(One(".5").floating, 0.5);
  EXPECT_DOUBLE_EQ(One("7.").floating, 7.0);
  EXPECT_EQ(One("1E").kind, TokenKind::kError);
  EXPECT_EQ(One("1.5X").kind, TokenKind::kError);
  // Too large for an integer: floating. Too large for a double: an error, not infinity.
  Token big = One("99999999999999999999");
  EXPECT_EQ(big.kind, TokenKind::kFloating);
  EXPECT_DOUBLE_EQ(big.floating, 1e20);
  EXPECT_EQ(One(std::string(400, '9')).kind, TokenKind::kError);
  EXPECT_EQ(One("1E999").kind, TokenKind::kError);
  // "1E-5" reads across the sign, "1-5" does not.
  EXPECT_EQ(All("1E-5").size(), 2u);
  EXPECT_EQ(All("1-5").size(), 4u);
}

TEST(EvalLexerTest, StringsUndoDoubledQuotesAndMustBeClosed) {
  Token t = One("'it''s'");
  EXPECT_EQ(t.kind, TokenKind::kString);
  EXPECT_EQ(t.string, "it's");
  EXPECT_EQ(One("''").string, "");
  EXPECT_EQ(One("''''").string, "'");
  EXPECT_EQ(One("'abc").kind, TokenKind::kError);
  EXPECT_EQ(One("'abc''").kind, TokenKind::kError);
}

TEST(EvalLexerTest, PictureConstantsKeepTheirOwnParenthesesAndQuotedParts) {
  auto t = All("FORMAT(X,@N(6))");
  ASSERT_GE(t.size(), 7u);
  EXPECT_EQ(t[4].kind, TokenKind::kPicture);
  EXPECT_EQ(t[4].text, "@N(6)");
  EXPECT_EQ(t[5].op, kOpCloseParen);
  EXPECT_EQ(One("@N6)").text, "@N6");
  EXPECT_EQ(One("@n6,x").text, "@n6");
  EXPECT_EQ(One("@n6]").text, "@n6");
  EXPECT_EQ(One("@D2 ").text, "@D2");
  EXPECT_EQ(One("@P(###) ###-####P").text, "@P(###) ###-####P");
  EXPECT_EQ(One("@k, )#K)").text, "@k, )#K");
  EXPECT_EQ(One("@N~ kr, )~9").text, "@N~ kr, )~9");
  EXPECT_EQ(One("@N(6 ,2)").text, "@N(6 ,2)");  // blanks and commas inside "(...)" are kept
  EXPECT_EQ(One("@N(6").kind, TokenKind::kError);
  EXPECT_EQ(One("@N((6)").kind, TokenKind::kError);
  EXPECT_EQ(One("@P##").kind, TokenKind::kError);
  EXPECT_EQ(One("@N~kr").kind, TokenKind::kError);
  EXPECT_EQ(One("@").text, "@");
}

TEST(EvalLexerTest, TwoTokenRelations) {
  struct Case {
    const char* text;
    EvalOp op;
  } cases[] = {{"<>", kOpNotEqual}, {"< >", kOpNotEqual}, {"~=", kOpNotEqual},
               {"<=", kOpLessEqual}, {"=<", kOpLessEqual}, {"~>", kOpLessEqual},
               {">=", kOpGreaterEqual}, {"=>", kOpGreaterEqual}, {"~<", kOpGreaterEqual},
               {"=", kOpEqual}, {"<", kOpLess}, {">", kOpGreater}};
  for (const Case& c : cases) {
    auto t = All(c.text);
    ASSERT_EQ(t.size(), 2u) << c.text;
    EXPECT_EQ(t[0].op, c.op) << c.text;
  }
  // Pairs that form no relation stay two tokens.
  auto t = All("=-");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].op, kOpEqual);
  EXPECT_EQ(t[1].op, kOpSubtract);
  t = All("~~");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].op, kOpNot);
}

TEST(EvalLexerTest, NamesAndKeywords) {
  Token t = One("pre:Field_1#");
  EXPECT_EQ(t.kind, TokenKind::kName);
  EXPECT_EQ(t.text, "pre:Field_1#");
  EXPECT_EQ(One("A$B").text, "A$");
  EXPECT_EQ(One("?X").text, "?X");
  EXPECT_EQ(One("_x\"").text, "_x\"");
  EXPECT_EQ(One("and").op, kOpAnd);
  EXPECT_EQ(One("Or").op, kOpOr);
  EXPECT_EQ(One("XOR").op, kOpXor);
  EXPECT_EQ(One("not").op, kOpNot);
  EXPECT_EQ(One("ANDY").kind, TokenKind::kName);
  EXPECT_EQ(All("a AND b").size(), 4u);
}

TEST(EvalLexerTest, UnknownCharactersEndTheStream) {
  auto t = All("a ! b");
  EXPECT_EQ(t.back().kind, TokenKind::kError);
  EXPECT_EQ(All("{").front().kind, TokenKind::kError);
  EXPECT_EQ(All(std::string("\0", 1)).front().kind, TokenKind::kError);
  EXPECT_EQ(All(" \t ").front().kind, TokenKind::kEnd);
}

}  // namespace
}  // namespace cinevo
