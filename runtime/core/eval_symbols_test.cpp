#include "runtime/core/eval_symbols.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/core/eval.h"

namespace cinevo {
namespace {

class EvalSymbolsTest : public testing::Test {
 protected:
  void SetUp() override { ResetSymbols(); }
  void TearDown() override { ResetSymbols(); }

  static ValueRef Long(int32_t& v) { return ValueRef::Make(TypeCode::kLong, &v); }

  // The integer value of `text`, or -999 when it does not compile (ErrorCode() tells why).
  static int64_t Value(std::string_view text) {
    PostError(1);
    auto e = CompiledExpression::Compile(text);
    return e ? e->Integer() : -999;
  }
};

TEST_F(EvalSymbolsTest, NamesAreFoundWithoutRegardToCase) {
  int32_t v = 7;
  ASSERT_TRUE(Bind("Gru:Sifra", Long(v)));
  EXPECT_EQ(Value("GRU:SIFRA"), 7);
  EXPECT_EQ(Value("gru:sifra + 1"), 8);
  const SymbolEntry* e = LookupSymbol("gRU:sIFRA");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->kind, SymbolKind::kVariable);
  EXPECT_EQ(e->result, ResultKind::kInteger);
}

TEST_F(EvalSymbolsTest, BindTakesTheNamePartOfItsArgument) {
  int32_t v = 3;
  ASSERT_TRUE(Bind("N#(1)", Long(v)));
  EXPECT_NE(LookupSymbol("N#"), nullptr);
  EXPECT_EQ(LookupSymbol("N"), nullptr);
  ASSERT_TRUE(Bind("A:B C", Long(v)));
  EXPECT_NE(LookupSymbol("A:B"), nullptr);
  PostError(0);
  EXPECT_FALSE(Bind("(x)", Long(v)));
  EXPECT_EQ(ErrorCode(), 800);
  EXPECT_FALSE(Bind("X", ValueRef()));
}

TEST_F(EvalSymbolsTest, RebindingReplacesTheEntryButNotCompiledTrees) {
  int32_t a = 1, b = 2;
  char text[4] = {'a', 'b', 'c', ' '};
  ASSERT_TRUE(Bind("X", Long(a)));
  auto before = CompiledExpression::Compile("X");
  ASSERT_TRUE(Bind("x", Long(b)));
  EXPECT_EQ(Value("X"), 2);
  EXPECT_EQ(before->Integer(), 1);  // it keeps the reference it took
  // A new kind replaces the result kind as well.
  ASSERT_TRUE(Bind("X", ValueRef::Make(TypeCode::kString, text, sizeof text)));
  EXPECT_EQ(LookupSymbol("X")->result, ResultKind::kString);
  auto now = CompiledExpression::Compile("X & '!'");
  ASSERT_TRUE(now);
  EXPECT_EQ(now->String(), "abc !");
}

TEST_F(EvalSymbolsTest, ResultKindsFollowTheTypeCode) {
  EXPECT_EQ(ResultKindOf(TypeCode::kByte), ResultKind::kInteger);
  EXPECT_EQ(ResultKindOf(TypeCode::kDate), ResultKind::kInteger);
  EXPECT_EQ(ResultKindOf(TypeCode::kLong), ResultKind::kInteger);
  EXPECT_EQ(ResultKindOf(TypeCode::kULong), ResultKind::kFloating);
  EXPECT_EQ(ResultKindOf(TypeCode::kDecimal), ResultKind::kFloating);
  EXPECT_EQ(ResultKindOf(TypeCode::kString), ResultKind::kString);
  EXPECT_EQ(ResultKindOf(TypeCode::kGroup), ResultKind::kString);
}

TEST_F(EvalSymbolsTest, StoppingScopeHidesOuterNamesUntilPopped) {
  int32_t outer = 5;
  ASSERT_TRUE(Bind("A", Long(outer)));
  PushScope(false);
  EXPECT_EQ(Value("A"), -999);
  EXPECT_EQ(ErrorCode(), 801);
  EXPECT_EQ(Value("LEN('abc')"), 3);  // the built-ins stay reachable
  EXPECT_EQ(Value("1 AND 1"), 1);
  PopScope();
  EXPECT_EQ(Value("A"), 5);
  EXPECT_EQ(ScopeDepth(), 0);
}

TEST_F(EvalSymbolsTest, SeeingScopeFindsOuterNamesAndInnerBindingsHideThem) {
  int32_t outer = 5, inner = 9, deeper = 11;
  ASSERT_TRUE(Bind("A", Long(outer)));
  PushScope(true);
  EXPECT_EQ(Value("A"), 5);
  ASSERT_TRUE(Bind("A", Long(inner)));
  EXPECT_EQ(Value("A"), 9);
  PushScope(true);
  EXPECT_EQ(Value("A"), 9);
  ASSERT_TRUE(Bind("B", Long(deeper)));
  PushScope(false);  // stops before both trees above
  EXPECT_EQ(Value("B"), -999);
  PopScope();
  PopScope();
  EXPECT_EQ(Value("B"), -999);  // released with its tree
  PopScope();
  EXPECT_EQ(Value("A"), 5);
}

TEST_F(EvalSymbolsTest, PopWithoutPushIsAFatalReportThatChangesNothing) {
  int seen = 0;
  std::string message;
  SetFatalHandler([&](int code, const std::string& m) {
    seen = code;
    message = m;
  });
  int32_t v = 1;
  ASSERT_TRUE(Bind("K", Long(v)));
  PopScope();
  SetFatalHandler({});
  EXPECT_EQ(seen, 802);
  EXPECT_NE(message.find("Mismatched POPSCOPE"), std::string::npos);
  EXPECT_EQ(Value("K"), 1);
}

TEST_F(EvalSymbolsTest, TheRootDummyIsNoSymbolButItsNameCanBeBound) {
  EXPECT_EQ(LookupSymbol("MMMMMMM"), nullptr);
  int32_t v = 4;
  ASSERT_TRUE(Bind("mmmmmmm", Long(v)));
  EXPECT_EQ(Value("MMMMMMM * 2"), 8);
}

TEST_F(EvalSymbolsTest, ManyNamesInSortedOrderStayFindable) {
  // Sorted insertion degenerates the tree into a chain; it must neither recurse nor lose names.
  std::vector<int32_t> values(3000);
  char name[16];
  for (int i = 0; i < 3000; ++i) {
    values[i] = i;
    std::snprintf(name, sizeof name, "V%05d", i);
    ASSERT_TRUE(Bind(name, Long(values[i])));
  }
  EXPECT_EQ(Value("V00000 + V02999"), 2999);
  EXPECT_EQ(Value("v01234"), 1234);
  PushScope(true);
  for (int i = 2999; i >= 0; --i) {
    std::snprintf(name, sizeof name, "W%05d", i);
    ASSERT_TRUE(Bind(name, Long(values[i])));
  }
  EXPECT_EQ(Value("W00001 + V00002"), 3);
  PopScope();
  EXPECT_EQ(Value("W00001"), -999);
}

TEST_F(EvalSymbolsTest, AVariableMayHideABuiltInName) {
  int32_t v = 42;
  ASSERT_TRUE(Bind("LEN", Long(v)));
  EXPECT_EQ(Value("LEN"), 42);
  EXPECT_EQ(Value("LEN('ab')"), -999);
  ResetSymbols();
  EXPECT_EQ(Value("LEN('ab')"), 2);
}

}  // namespace
}  // namespace cinevo
