#include "runtime/core/eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "runtime/core/error.h"
#include "runtime/core/locale_tables.h"

namespace cinevo {
namespace {

class EvalTest : public testing::Test {
 protected:
  void SetUp() override { ResetSymbols(); }
  void TearDown() override { ResetSymbols(); }

  static std::unique_ptr<CompiledExpression> Compile(std::string_view text) {
    PostError(1);
    return CompiledExpression::Compile(text);
  }
  // The value as text, or "<error N>".
  static std::string Str(std::string_view text) {
    auto e = Compile(text);
    return e ? e->String() : "<error " + std::to_string(ErrorCode()) + ">";
  }
  static double Num(std::string_view text) {
    auto e = Compile(text);
    EXPECT_TRUE(e) << text;
    return e ? e->Floating() : NAN;
  }
  static ResultKind Kind(std::string_view text) { return Compile(text)->kind(); }
  static std::string Back(std::string_view text) {
    auto e = Compile(text);
    return e ? e->WriteBack() : "<error>";
  }
  static int FailCode(std::string_view text) {
    auto e = Compile(text);
    return e ? 0 : ErrorCode();
  }
};

TEST_F(EvalTest, PrecedenceAndLeftAssociativity) {
  EXPECT_EQ(Str("2+3*4^2"), "50");
  EXPECT_EQ(Str("1-2-3"), "-4");
  EXPECT_EQ(Str("2^3^2"), "64");     // (2^3)^2
  EXPECT_EQ(Str("100/10/5"), "2");   // (100/10)/5
  EXPECT_EQ(Str("17%7%2"), "1");     // (17%7)%2
  EXPECT_EQ(Str("-2^2"), "4");       // the sign binds tighter than "^"
  EXPECT_EQ(Str("2*-3"), "-6");
  EXPECT_EQ(Str("--3"), "3");
  EXPECT_EQ(Str("(1+2)*3"), "9");
  EXPECT_EQ(Str("1+2 & 3"), "33");   // "&" binds looser than "+"
  EXPECT_EQ(Str("'a' & 'b' = 'ab'"), "1");  // comparison looser than "&"
  EXPECT_EQ(Str("1 OR 0 AND 0"), "1");      // AND tighter than OR
  EXPECT_EQ(Str("(1 OR 0) AND 0"), "0");
  EXPECT_EQ(Str("1 XOR 1 OR 1"), "1");
  EXPECT_EQ(Str("1 XOR 1"), "0");
  EXPECT_EQ(Str("NOT 1 = 2"), "1");         // NOT of the comparison
  EXPECT_EQ(Str("~1 AND 0"), "0");
  EXPECT_EQ(Str("NOT NOT 5"), "1");
  EXPECT_EQ(Str("1 < 2 = 1"), "1");         // (1<2) = 1
  EXPECT_EQ(Str("[3, 4] + 1"), "4");        // a bracketed list has its first value
}

TEST_F(EvalTest, IntegerFloatingAndStringKinds) {
  EXPECT_EQ(Kind("1+2"), ResultKind::kInteger);
  EXPECT_EQ(Kind("1+2.0"), ResultKind::kFloating);
  EXPECT_EQ(Kind("6/3"), ResultKind::kFloating);
  EXPECT_EQ(Kind("'a' & 1"), ResultKind::kString);
  EXPECT_EQ(Kind("'1' + 1"), ResultKind::kFloating);
  EXPECT_EQ(Str("7/2"), "3.5");
  EXPECT_EQ(Str("7%3"), "1");
  EXPECT_EQ(Str("-7%3"), "-1");
  EXPECT_EQ(Str("7.5%2"), "1.5");
  EXPECT_EQ(Str("'12' + 1"), "13");
  EXPECT_EQ(Str("' 4.5' * 2"), "9");
  EXPECT_EQ(Str("'abc' + 1"), "1");
  EXPECT_EQ(Str("1FH + 101B"), "36");
  EXPECT_EQ(Str("2147483647 + 1"), "2147483648");  // no 32-bit wrap inside the evaluator
  EXPECT_EQ(Str("0.1 + 0.2"), "0.3");
  EXPECT_EQ(Str("'x' & 1.5 & 2"), "x1.52");
}

TEST_F(EvalTest, DivisionByZeroAndDomainErrorsGiveZero) {
  EXPECT_EQ(Str("1/0"), "0");
  EXPECT_EQ(Str("5%0"), "0");
  EXPECT_EQ(Str("5.5%0"), "0");
  EXPECT_EQ(Str("(-8)^0.5"), "0");
  EXPECT_EQ(Str("(-9223372036854775807 - 1) % -1"), "0");
  EXPECT_EQ(Str("9223372036854775807 + 1 < 0"), "1");  // wraps only at 64 bits, without a trap
}

TEST_F(EvalTest, StringComparisonIgnoresTrailingBlanksAndUsesTheCollation) {
  EXPECT_EQ(Str("'ABC' = 'ABC   '"), "1");
  EXPECT_EQ(Str("'ABC   ' = 'ABC'"), "1");
  EXPECT_EQ(Str("'ABC' < 'ABC!'"), "1");
  EXPECT_EQ(Str("'ABC' > 'ABC' & CHR(1)"), "1");
  EXPECT_EQ(Str("'  ABC' = 'ABC'"), "0");  // leading blanks count
  EXPECT_EQ(Str("'B' > 'a'"), "0");
  LocaleTables& t = Locale();
  auto saved = t.collation;
  t.collation['B'] = 200;  // B now sorts after every lower-case letter
  EXPECT_EQ(Str("'B' > 'a'"), "1");
  EXPECT_EQ(Str("'AB' > 'Az'"), "1");
  t.collation = saved;
}

TEST_F(EvalTest, FloatingEqualityHasATolerance) {
  double near = 1.0 + std::ldexp(1.0, -52);
  double far = 1.0 + std::ldexp(1.0, -40);
  double zero = 0.0;
  ASSERT_TRUE(Bind("NEAR", ValueRef::Make(TypeCode::kReal, &near)));
  ASSERT_TRUE(Bind("FAR", ValueRef::Make(TypeCode::kReal, &far)));
  ASSERT_TRUE(Bind("ZERO", ValueRef::Make(TypeCode::kReal, &zero)));
  EXPECT_EQ(Str("NEAR = 1"), "1");
  EXPECT_EQ(Str("NEAR > 1"), "0");
  EXPECT_EQ(Str("FAR = 1"), "0");
  EXPECT_EQ(Str("FAR > 1"), "1");
  EXPECT_EQ(Str("ZERO = 0"), "1");
  EXPECT_EQ(Str("ZERO = 1E-300"), "0");  // 0 counts as exponent 0: no tolerance around zero
  EXPECT_EQ(Str("0.1 + 0.2 = 0.3"), "1");
}

TEST_F(EvalTest, VariablesOfEveryKindAreReadAtEvaluationTime) {
  int32_t n = 10;
  int16_t s = -3;
  uint8_t b = 200;
  double r = 2.5;
  char str[6] = {'h', 'e', 'l', 'l', 'o', ' '};
  char cstr[8] = "abc";
  ASSERT_TRUE(Bind("N", ValueRef::Make(TypeCode::kLong, &n)));
  ASSERT_TRUE(Bind("S", ValueRef::Make(TypeCode::kShort, &s)));
  ASSERT_TRUE(Bind("B", ValueRef::Make(TypeCode::kByte, &b)));
  ASSERT_TRUE(Bind("R", ValueRef::Make(TypeCode::kReal, &r)));
  ASSERT_TRUE(Bind("STR", ValueRef::Make(TypeCode::kString, str, sizeof str)));
  ASSERT_TRUE(Bind("CS", ValueRef::Make(TypeCode::kCString, cstr, sizeof cstr)));
  auto e = Compile("N + S + B & '/' & R & '/' & STR & '/' & CS & '/' & LEN(STR) & LEN(CS)");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->String(), "207/2.5/hello /abc/63");
  n = 0;
  r = -1;
  std::memcpy(str, "bye   ", 6);
  std::strcpy(cstr, "xy");
  EXPECT_EQ(e->String(), "197/-1/bye   /xy/62");
}

TEST_F(EvalTest, TruthOfFilterValues) {
  EXPECT_FALSE(Compile("0")->Truth());
  EXPECT_TRUE(Compile("-1")->Truth());
  EXPECT_FALSE(Compile("0.0")->Truth());
  EXPECT_TRUE(Compile("0.5")->Truth());
  EXPECT_FALSE(Compile("'   '")->Truth());
  EXPECT_FALSE(Compile("''")->Truth());
  EXPECT_TRUE(Compile("' x '")->Truth());
  EXPECT_TRUE(Compile("'0'")->Truth());  // a text is true when it is not blank
  EXPECT_EQ(Str("'a' AND ' '"), "0");
  EXPECT_EQ(Str("NOT ''"), "1");
}

TEST_F(EvalTest, InvalidTextsFailWithTheirErrorCodes) {
  EXPECT_EQ(FailCode(""), 800);
  EXPECT_EQ(FailCode("   "), 800);
  EXPECT_EQ(FailCode("1+"), 800);
  EXPECT_EQ(FailCode("(1"), 800);
  EXPECT_EQ(FailCode("1)"), 800);
  EXPECT_EQ(FailCode("[1,2"), 800);
  EXPECT_EQ(FailCode("[]"), 800);
  EXPECT_EQ(FailCode("1 2"), 800);  // text left over
  EXPECT_EQ(FailCode("1.2.3"), 800);
  EXPECT_EQ(FailCode("12A"), 800);
  EXPECT_EQ(FailCode("'abc"), 800);
  EXPECT_EQ(FailCode("1 ! 2"), 800);
  EXPECT_EQ(FailCode("LEN(1,2)"), 800);  // too many arguments
  EXPECT_EQ(FailCode("LEN()"), 800);     // too few
  EXPECT_EQ(FailCode("LEN"), 800);
  EXPECT_EQ(FailCode("AND"), 800);
  EXPECT_EQ(FailCode("1 = = 2"), 800);
  EXPECT_EQ(FailCode("NOBODY + 1"), 801);
  EXPECT_EQ(FailCode("1 + (NOBODY"), 801);
  EXPECT_EQ(FailCode("MMMMMMM"), 801);
  EXPECT_EQ(FailCode("1,2"), 800);  // a list only inside brackets and calls
}

TEST_F(EvalTest, NestingAndLengthAreBoundedWithoutCrashing) {
  EXPECT_EQ(FailCode(std::string(5000, '(') + "1" + std::string(5000, ')')), 800);
  EXPECT_EQ(FailCode(std::string(5000, '-') + "1"), 800);
  EXPECT_EQ(FailCode(std::string(5000, '~') + "1"), 800);
  EXPECT_EQ(FailCode(std::string(5000, '[') + "1"), 800);
  std::string calls;
  for (int i = 0; i < 3000; ++i) calls += "ABS(";
  EXPECT_EQ(FailCode(calls + "1" + std::string(3000, ')')), 800);
  std::string chain = "1";
  for (int i = 0; i < 50000; ++i) chain += "+1";
  EXPECT_EQ(FailCode(chain), 800);
  // Within the bounds both work.
  EXPECT_EQ(Str(std::string(50, '(') + "1" + std::string(50, ')')), "1");
  std::string ok = "1";
  for (int i = 0; i < 1000; ++i) ok += "+1";
  EXPECT_EQ(Str(ok), "1001");
  EXPECT_EQ(Str("'" + std::string(100000, 'x') + "' = ''"), "0");
}

TEST_F(EvalTest, WriteBackSpacesBinaryOperatorsAndKeepsTheStructure) {
  int32_t a = 1, b = 2;
  ASSERT_TRUE(Bind("A", ValueRef::Make(TypeCode::kLong, &a)));
  ASSERT_TRUE(Bind("B", ValueRef::Make(TypeCode::kLong, &b)));
  EXPECT_EQ(Back("A+1"), "A + 1");
  EXPECT_EQ(Back("a<>b"), "a <> b");
  EXPECT_EQ(Back("a~=b"), "a <> b");
  EXPECT_EQ(Back("a=<b"), "a <= b");
  EXPECT_EQ(Back("NOT a=b"), "NOT a = b");
  EXPECT_EQ(Back("~(a AND b)"), "NOT (a AND b)");
  EXPECT_EQ(Back("(1+2)*3"), "(1 + 2) * 3");
  EXPECT_EQ(Back("1-(2-3)"), "1 - (2 - 3)");
  EXPECT_EQ(Back("(1-2)-3"), "1 - 2 - 3");
  EXPECT_EQ(Back("-(1+2)"), "-(1 + 2)");
  EXPECT_EQ(Back("a and b or a xor b"), "a AND b OR a XOR b");
  EXPECT_EQ(Back("a and (b or a)"), "a AND (b OR a)");
  EXPECT_EQ(Back("'it''s'&1FH"), "'it''s' & 1FH");
  EXPECT_EQ(Back("SUB('abc',2,1)"), "SUB('abc', 2, 1)");
  EXPECT_EQ(Back("[1:2,3]"), "[1 : 2, 3]");
  EXPECT_EQ(Back("[A :1]"), "[A : 1]");
  EXPECT_EQ(Back("FORMAT(A,@N(6))"), "FORMAT(A, @N(6))");
}

TEST_F(EvalTest, WrittenBackTextCompilesToTheSameValue) {
  const char* texts[] = {"2+3*4^2",         "1-(2-3)*-4",           "NOT 1=2 OR 3>=4 AND 5<>6",
                         "(1 OR 0) AND 0",  "'a'&('b'&'c')",        "2^(1+1)^2",
                         "-(-(3))",         "7%(2+1)",              "SUB('hello',2+0,3) & LEN('x')",
                         "1 - 2 + 3",       "1 - (2 + 3)",          "~(1 < 2) = 0",
                         "(1 = 1) = (2 = 2)", "[1+2, 3]*2",          "10/(4/2)",
                         "[2 :1]",          "FORMAT(-5,@N(6)) & '|'", "'x' & (1 = 1)",
                         "FORMAT(1,@N(6\t)) & 'x'", "[+-@N6 ]"};
  for (const char* t : texts) {
    auto first = Compile(t);
    ASSERT_TRUE(first) << t;
    std::string back = first->WriteBack();
    auto second = Compile(back);
    ASSERT_TRUE(second) << back;
    EXPECT_EQ(first->String(), second->String()) << t << " -> " << back;
    EXPECT_EQ(second->WriteBack(), back);
  }
}

TEST_F(EvalTest, ConstantsAreReportedAsConstant) {
  int32_t a = 1;
  ASSERT_TRUE(Bind("A", ValueRef::Make(TypeCode::kLong, &a)));
  EXPECT_TRUE(Compile("1 + 2 * LEN('ab')")->IsConstant());
  EXPECT_FALSE(Compile("1 + A")->IsConstant());
  EXPECT_FALSE(Compile("TODAY()")->IsConstant());
  EXPECT_FALSE(Compile("RANDOM(1, 2) + 1")->IsConstant());
  EXPECT_FALSE(Compile("AGE(4)")->IsConstant());  // measured from today
  EXPECT_TRUE(Compile("FORMAT(1, @N6) & [2, 3]")->IsConstant());
}

}  // namespace
}  // namespace cinevo
