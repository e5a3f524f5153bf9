#include "runtime/core/value_ref.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/decimal_stack.h"
#include "runtime/core/error.h"
#include "runtime/core/std_date.h"
#include "runtime/core/string_stack.h"
#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

class ValueRefTest : public testing::Test {
 protected:
  void SetUp() override {
    SetFatalHandler([this](int code, const std::string& message) {
      fatal_codes_.push_back(code);
      fatal_messages_.push_back(message);
    });
  }
  void TearDown() override {
    SetFatalHandler({});
    // Every conversion must leave both stacks as it found them.
    EXPECT_EQ(TheStringStack().Count(), 0);
    EXPECT_EQ(TheDecimalStack().Count(), 0);
    TheStringStack().Reset();
    TheDecimalStack().Reset();
  }
  std::vector<int> fatal_codes_;
  std::vector<std::string> fatal_messages_;
};

TEST_F(ValueRefTest, RealToleranceFollowsTheBinaryExponents) {
  EXPECT_EQ(CompareReals(1.0, 1.0 + std::ldexp(1.0, -52)), 0);
  EXPECT_NE(CompareReals(1.0, 1.0 + std::ldexp(1.0, -40)), 0);
  EXPECT_LT(CompareReals(1.0, 1.0 + std::ldexp(1.0, -40)), 0);
  EXPECT_EQ(CompareReals(0.1 + 0.2, 0.3), 0);
  EXPECT_GT(CompareReals(0.0, -1e-300), 0);  // 0 counts as exponent 0: no tolerance
  EXPECT_LT(CompareReals(-2.0, 1.0), 0);
  EXPECT_EQ(CompareReals(1e300, 1e300 * (1 + 1e-16)), 0);
}

TEST_F(ValueRefTest, KindsAndTheComparisonKind) {
  int32_t l = 0;
  uint32_t ul = 0;
  double r = 0;
  char s[4] = "abc";
  char c[4] = "abc";
  uint8_t d[3] = {};
  auto L = ValueRef::Make(TypeCode::kLong, &l);
  auto UL = ValueRef::Make(TypeCode::kULong, &ul);
  auto R = ValueRef::Make(TypeCode::kReal, &r);
  auto S = ValueRef::Make(TypeCode::kString, s, 3);
  auto C = ValueRef::Make(TypeCode::kCString, c, 4);
  auto D = ValueRef::Make(TypeCode::kDecimal, d, 3, 2);
  auto A = ValueRef::Make(TypeCode::kAny, &S);
  EXPECT_EQ(L.Kind(), TypeCode::kLong);
  EXPECT_EQ(UL.Kind(), TypeCode::kDecimal);
  EXPECT_EQ(R.Kind(), TypeCode::kReal);
  EXPECT_EQ(A.Kind(), TypeCode::kString);
  EXPECT_EQ(ComparisonKind(S, C), TypeCode::kString);
  EXPECT_EQ(ComparisonKind(L, L), TypeCode::kLong);
  EXPECT_EQ(ComparisonKind(L, R), TypeCode::kReal);
  EXPECT_EQ(ComparisonKind(S, R), TypeCode::kReal);
  EXPECT_EQ(ComparisonKind(L, S), TypeCode::kDecimal);
  EXPECT_EQ(ComparisonKind(L, D), TypeCode::kDecimal);
  EXPECT_EQ(ComparisonKind(A, C), TypeCode::kString);
}

TEST_F(ValueRefTest, ComparisonsInEachKind) {
  char a[6] = "ABC  ";
  char b[4] = "ABC";
  auto S = ValueRef::Make(TypeCode::kString, a, 5);
  auto C = ValueRef::Make(TypeCode::kCString, b, 4);
  EXPECT_EQ(CompareRefs(S, C), 0);

  int16_t small = -5;
  int32_t big = 3;
  EXPECT_EQ(CompareRefs(ValueRef::Make(TypeCode::kShort, &small), ValueRef::Make(TypeCode::kLong, &big)),
            -1);

  // A LONG against a numeric text compares as decimals, not as texts ("10" < "9" as texts).
  int32_t ten = 10;
  char nine[2] = {'9', ' '};
  EXPECT_EQ(CompareRefs(ValueRef::Make(TypeCode::kLong, &ten), ValueRef::Make(TypeCode::kString, nine, 2)),
            1);

  uint8_t price[3];  // DECIMAL(5,2)
  TheDecimalStack().PushText("2.50");
  TheDecimalStack().PopDecimal(price, 3, 2);
  double r = 2.5;
  EXPECT_EQ(CompareRefs(ValueRef::Make(TypeCode::kDecimal, price, 3, 2), ValueRef::Make(TypeCode::kReal, &r)),
            0);
  uint32_t huge = 4000000000u;
  auto U = ValueRef::Make(TypeCode::kULong, &huge);
  EXPECT_EQ(CompareRefs(U, ValueRef::Make(TypeCode::kLong, &ten)), 1);
  EXPECT_EQ(U.ToLong(), INT32_MAX);  // saturates rather than turning negative
  EXPECT_EQ(U.ToText(), "4000000000");
}

TEST_F(ValueRefTest, ConversionsBetweenKinds) {
  uint8_t byte = 0;
  auto B = ValueRef::Make(TypeCode::kByte, &byte);
  B.SetText("200");
  EXPECT_EQ(byte, 200);
  EXPECT_EQ(B.ToText(), "200");

  double r = 0;
  auto R = ValueRef::Make(TypeCode::kReal, &r);
  R.SetText("  -12.75 ");
  EXPECT_EQ(r, -12.75);
  EXPECT_EQ(R.ToLong(), -12);  // truncated toward zero
  EXPECT_EQ(R.ToText(), "-12.75");

  uint8_t dec[4];  // DECIMAL(7,2)
  auto D = ValueRef::Make(TypeCode::kDecimal, dec, 4, 2);
  D.SetReal(2.345);
  EXPECT_EQ(D.ToText(), "2.35");
  D.SetLong(-7);
  EXPECT_EQ(D.ToReal(), -7.0);
  TheDecimalStack().PushText("1.005");
  D.PopDecimal();
  EXPECT_EQ(D.ToText(), "1.01");

  char s[8];
  auto S = ValueRef::Make(TypeCode::kString, s, 8);
  S.SetLong(-42);
  EXPECT_EQ(std::string(s, 8), "-42     ");
  EXPECT_EQ(S.ToLong(), -42);
  EXPECT_EQ(S.ToReal(), -42.0);
  TheStringStack().PushText("xyz");
  S.PopString();
  EXPECT_EQ(std::string(s, 8), "xyz     ");

  uint8_t ps[6];
  auto P = ValueRef::Make(TypeCode::kPString, ps, 6);
  TheStringStack().PushText("abcdefgh");
  P.PopString();
  EXPECT_EQ(P.ToText(), "abcde");

  uint8_t date[4];
  auto Dt = ValueRef::Make(TypeCode::kDate, date);
  Dt.SetLong(4);
  EXPECT_EQ(date[0], 1);
  EXPECT_EQ(date[1], 1);
  EXPECT_EQ(LoadU16(date + 2), 1801);
  EXPECT_EQ(Dt.ToLong(), 4);

  uint8_t time[4];
  auto T = ValueRef::Make(TypeCode::kTime, time);
  T.SetLong(TimeFromParts(1, 2, 3, 4));
  EXPECT_EQ(T.ToLong(), TimeFromParts(1, 2, 3, 4));

  int32_t l = 0;
  auto L = ValueRef::Make(TypeCode::kLong, &l);
  L.SetReal(1e12);  // saturates instead of overflowing
  EXPECT_EQ(l, INT32_MAX);
  L.SetText("abc");  // not a number: 0
  EXPECT_EQ(l, 0);

  uint8_t bf[8];
  auto BF = ValueRef::Make(TypeCode::kBFloat8, bf);
  BF.SetReal(-3.5);
  EXPECT_EQ(BF.ToReal(), -3.5);
  EXPECT_EQ(BF.Kind(), TypeCode::kReal);
}

TEST_F(ValueRefTest, AnyFollowsItsTarget) {
  int32_t l = 5;
  auto L = ValueRef::Make(TypeCode::kLong, &l);
  auto A = ValueRef::Make(TypeCode::kAny, &L);
  auto AA = ValueRef::Make(TypeCode::kAny, &A);
  AA.SetLong(9);
  EXPECT_EQ(l, 9);
  EXPECT_EQ(AA.Kind(), TypeCode::kLong);
  EXPECT_EQ(ComparisonKind(AA, L), TypeCode::kLong);
}

TEST_F(ValueRefTest, MissingKindsAndBrokenReferencesRaiseTheFatalReport) {
  int dummy = 0;
  ValueRef bad = ValueRef::Make(TypeCode::kQueue, &dummy);
  EXPECT_FALSE(bad.Valid());
  ASSERT_EQ(fatal_codes_.size(), 1u);
  EXPECT_EQ(fatal_codes_[0], 501);
  EXPECT_EQ(fatal_messages_[0], "Internal error 01 : String Stack Error");

  // A reference without a variable, and an ANY that points at it, read as neutral values.
  EXPECT_EQ(bad.ToLong(), 0);
  auto A = ValueRef::Make(TypeCode::kAny, &bad);
  EXPECT_EQ(A.ToText(), "");
  A.SetLong(3);
  TheDecimalStack().PushLong(1);
  A.PopDecimal();
  TheStringStack().PushText("x");
  A.PopString();
  EXPECT_NE(fatal_messages_.back().find("Parameter typing error"), std::string::npos);

  // A cycle of ANY references ends instead of looping.
  ValueRef cycle[2];
  cycle[0] = ValueRef::Make(TypeCode::kAny, &cycle[1]);
  cycle[1] = ValueRef::Make(TypeCode::kAny, &cycle[0]);
  EXPECT_EQ(cycle[0].ToLong(), 0);
}

}  // namespace
}  // namespace cinevo
