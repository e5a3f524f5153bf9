#include "runtime/core/eval_builtins.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "runtime/core/error.h"
#include "runtime/core/eval.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/std_date.h"

namespace cinevo {
namespace {

std::string Str(std::string_view text) {
  PostError(1);
  auto e = CompiledExpression::Compile(text);
  return e ? e->String() : "<error " + std::to_string(ErrorCode()) + ">";
}

TEST(EvalBuiltinsTest, EveryFunctionOfTheTableIsKnownWithItsLimits) {
  EXPECT_EQ(BuiltinFunctions().size(), 44u);
  std::set<int> numbers;
  for (const BuiltinInfo& b : BuiltinFunctions()) {
    const SymbolEntry* e = LookupSymbol(b.name);
    ASSERT_NE(e, nullptr) << b.name;
    EXPECT_EQ(e->kind, SymbolKind::kFunction);
    EXPECT_EQ(e->max_args, b.max_args);
    EXPECT_LE(b.min_args, b.max_args);
    numbers.insert(b.number);
  }
  EXPECT_EQ(numbers.size(), 44u);
  EXPECT_EQ(LookupSymbol("CHOOSE")->max_args, 25);
  EXPECT_EQ(LookupSymbol("INSTRING")->max_args, 4);
  std::string most = "CHOOSE(24";
  for (int i = 0; i < 24; ++i) most += ",'" + std::to_string(i + 1) + "'";
  EXPECT_EQ(Str(most + ")"), "24");
  std::string too_many = "CHOOSE(1";
  for (int i = 0; i < 25; ++i) too_many += ",'x'";
  EXPECT_EQ(Str(too_many + ")"), "<error 800>");
}

TEST(EvalBuiltinsTest, SubPositionsFromEitherEnd) {
  EXPECT_EQ(Str("SUB('ABCDE',2,3)"), "BCD");
  EXPECT_EQ(Str("SUB('ABCDE',2)"), "BCDE");
  EXPECT_EQ(Str("SUB('ABCDE')"), "ABCDE");
  EXPECT_EQ(Str("SUB('ABCDE',0,2)"), "AB");
  EXPECT_EQ(Str("SUB('ABCDE',-1)"), "E");
  EXPECT_EQ(Str("SUB('ABCDE',-2,1)"), "D");
  EXPECT_EQ(Str("SUB('ABCDE',-5,2)"), "AB");
  EXPECT_EQ(Str("SUB('ABCDE',-9,2)"), "AB");
  EXPECT_EQ(Str("SUB('ABCDE',5,1)"), "E");
  EXPECT_EQ(Str("SUB('ABCDE',6)"), "");
  EXPECT_EQ(Str("SUB('ABCDE',3,10)"), "CDE");
  EXPECT_EQ(Str("SUB('ABCDE',2,-1)"), "BCDE");
  EXPECT_EQ(Str("SUB('ABCDE',2,0)"), "");
  EXPECT_EQ(Str("SUB('',1,1)"), "");
  EXPECT_EQ(Str("SUB('ABC',9223372036854775807,9223372036854775807)"), "");
  EXPECT_EQ(Str("SUB('ABC',-9223372036854775807,9223372036854775807)"), "ABC");
}

TEST(EvalBuiltinsTest, InstringStepsStartsAndDirections) {
  EXPECT_EQ(Str("INSTRING('C','ABCABC')"), "3");
  // The default step is the needle's length: positions 1, 3, 5 are tried.
  EXPECT_EQ(Str("INSTRING('BC','ABCABC')"), "5");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',0)"), "5");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',1)"), "2");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',1,3)"), "5");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',3,2)"), "2");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',3,3)"), "0");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',1,0)"), "2");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',-1,6)"), "5");
  EXPECT_EQ(Str("INSTRING('BC','ABCABC',-1,4)"), "2");
  EXPECT_EQ(Str("INSTRING('X','ABC',1)"), "0");
  EXPECT_EQ(Str("INSTRING('','ABC',1)"), "0");
  EXPECT_EQ(Str("INSTRING('ABCD','ABC',1)"), "0");
  EXPECT_EQ(Str("INSTRING('C','ABC',1,9)"), "0");
  EXPECT_EQ(Str("INSTRING('A','ABA',9223372036854775807,2)"), "0");
  EXPECT_EQ(Str("INSTRING('A','ABA',-9223372036854775807,3)"), "3");
}

// Straightforward search used as the reference.
int64_t Naive(const std::string& needle, const std::string& hay, int64_t start) {
  if (needle.empty()) return 0;
  for (int64_t p = std::max<int64_t>(start, 1); p + static_cast<int64_t>(needle.size()) - 1 <=
                                                 static_cast<int64_t>(hay.size());
       ++p) {
    if (hay.compare(p - 1, needle.size(), needle) == 0) return p;
  }
  return 0;
}

TEST(EvalBuiltinsTest, SkipTableSearchAgreesWithAPlainScan) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    int alphabet = 2 + round % 4;  // few letters: many partial matches
    size_t hay_len = 257 + rng() % 900;
    size_t needle_len = 5 + rng() % (round % 7 == 0 ? 400 : 12);
    std::string hay(hay_len, 'a');
    for (char& c : hay) c = static_cast<char>('a' + rng() % alphabet);
    std::string needle(needle_len, 'a');
    for (char& c : needle) c = static_cast<char>('a' + rng() % alphabet);
    if (round % 3 == 0 && needle_len < hay_len) {  // plant it, sometimes at the very end
      size_t at = round % 2 ? hay_len - needle_len : rng() % (hay_len - needle_len);
      hay.replace(at, needle_len, needle);
    }
    int64_t start = 1 + static_cast<int64_t>(rng() % 40);
    ASSERT_EQ(InString(needle, hay, 1, start), Naive(needle, hay, start))
        << "round " << round << " needle " << needle;
  }
  // A needle longer than 255 with its only match at the end: shifts are capped, none is missed.
  std::string needle(300, 'x');
  needle[0] = 'y';
  std::string hay = std::string(2000, 'x') + needle;
  EXPECT_EQ(InString(needle, hay, 1, 1), 2001);
}

// Short texts and needles (a file name's extension in a path) take the first-byte search.
TEST(EvalBuiltinsTest, ShortSearchesAgreeWithAPlainScan) {
  std::mt19937 rng(777);
  for (int round = 0; round < 5000; ++round) {
    const int alphabet = 2 + round % 3;
    std::string hay(1 + rng() % 130, 'a');
    for (char& c : hay) c = static_cast<char>('a' + rng() % alphabet);
    std::string needle(2 + rng() % 4, 'a');
    for (char& c : needle) c = static_cast<char>('a' + rng() % alphabet);
    if (round % 3 == 0 && needle.size() <= hay.size()) {
      hay.replace(round % 2 ? hay.size() - needle.size() : rng() % (hay.size() - needle.size() + 1), needle.size(),
                  needle);
    }
    const int64_t start = static_cast<int64_t>(rng() % 8) - 2;
    ASSERT_EQ(InString(needle, hay, 1, start), Naive(needle, hay, std::max<int64_t>(start, 1)))
        << "round " << round << " needle " << needle << " in " << hay << " from " << start;
  }
}

TEST(EvalBuiltinsTest, JustifyingMovesBlanksAndSetsTheLength) {
  EXPECT_EQ(Str("LEFT('  ab')"), "ab  ");
  EXPECT_EQ(Str("LEFT('  ab',3)"), "ab ");
  EXPECT_EQ(Str("LEFT('  ab',6)"), "ab    ");
  EXPECT_EQ(Str("LEFT('  ab c ',2)"), "ab");
  EXPECT_EQ(Str("RIGHT('ab  ')"), "  ab");
  EXPECT_EQ(Str("RIGHT('ab',5)"), "   ab");
  EXPECT_EQ(Str("CENTER('ab',6)"), "  ab  ");
  EXPECT_EQ(Str("CENTER('ab',5)"), " ab  ");
  EXPECT_EQ(Str("CENTER('  ab')"), " ab ");
  EXPECT_EQ(Str("CENTER('abc',2)"), "ab");
  EXPECT_EQ(Str("LEFT('x',-4)"), "");
  EXPECT_EQ(Str("LEN(LEFT('x',99999999999))"), "65535");  // bounded
  EXPECT_EQ(Str("LEFT('    ')"), "    ");
}

TEST(EvalBuiltinsTest, TextFunctions) {
  EXPECT_EQ(Str("CLIP('ab  ') & '|'"), "ab|");
  EXPECT_EQ(Str("CLIP('  ') & '|'"), "|");
  EXPECT_EQ(Str("LEN('ab  ')"), "4");
  EXPECT_EQ(Str("LEN(CLIP('ab  '))"), "2");
  EXPECT_EQ(Str("LEN(12345)"), "5");
  EXPECT_EQ(Str("UPPER('aBc1')"), "ABC1");
  EXPECT_EQ(Str("LOWER('aBc1')"), "abc1");
  EXPECT_EQ(Str("CHR(65) & CHR(97)"), "Aa");
  EXPECT_EQ(Str("LEN(CHR(0))"), "1");
  EXPECT_EQ(Str("CHR(256) & CHR(-1)"), "");
  EXPECT_EQ(Str("VAL('A')"), "65");
  EXPECT_EQ(Str("VAL('')"), "0");
  EXPECT_EQ(Str("VAL(CHR(200))"), "200");
  EXPECT_EQ(Str("ALL('ab',5)"), "ababa");
  EXPECT_EQ(Str("LEN(ALL('-'))"), "255");
  EXPECT_EQ(Str("ALL('',3)"), "   ");
  EXPECT_EQ(Str("ALL('ab',0)"), "");
  EXPECT_EQ(Str("GETINI('a','b','c','d')"), "");
}

TEST(EvalBuiltinsTest, CaseChangesFollowTheLocaleCaseTable) {
  LocaleTables& t = Locale();
  LocaleTables saved = t;
  t.case_partner[0xE9] = 0xC9;  // a lower-case letter and its upper-case partner
  t.case_partner[0xC9] = 0xE9;
  t.char_class[0xE9] = kCharLower;
  t.char_class[0xC9] = kCharUpper;
  EXPECT_EQ(Str("VAL(UPPER(CHR(233)))"), "201");
  EXPECT_EQ(Str("VAL(LOWER(CHR(201)))"), "233");
  EXPECT_EQ(Str("VAL(UPPER(CHR(201)))"), "201");
  t = saved;
  EXPECT_EQ(Str("VAL(UPPER(CHR(233)))"), "233");
}

TEST(EvalBuiltinsTest, ChooseAndInlist) {
  EXPECT_EQ(Str("CHOOSE(2,'a','b','c')"), "b");
  EXPECT_EQ(Str("CHOOSE(3,'a','b','c')"), "c");
  EXPECT_EQ(Str("CHOOSE(9,'a','b')"), "b");
  EXPECT_EQ(Str("CHOOSE(0,'a','b')"), "b");
  EXPECT_EQ(Str("CHOOSE(-1,'a','b')"), "b");
  EXPECT_EQ(Str("CHOOSE(1=1,'yes','no')"), "yes");
  EXPECT_EQ(Str("CHOOSE(1=2,'yes','no')"), "no");
  EXPECT_EQ(Str("CHOOSE(2,10,20) + 1"), "21");
  EXPECT_EQ(Str("CHOOSE(5 > 3)"), "1");
  EXPECT_EQ(Str("INLIST('b','a','b ','b')"), "2");  // trailing blanks do not count
  EXPECT_EQ(Str("INLIST('B','a','b')"), "0");
  EXPECT_EQ(Str("INLIST(3,1,2)"), "0");
  EXPECT_EQ(Str("INLIST(2.0,1,2)"), "2");
  EXPECT_EQ(Str("INLIST(7)"), "0");
}

TEST(EvalBuiltinsTest, NumbersAndBits) {
  EXPECT_EQ(Str("INT(3.7)"), "3");
  EXPECT_EQ(Str("INT(-3.7)"), "-3");
  EXPECT_EQ(Str("INT('12.9')"), "12");
  EXPECT_EQ(Str("INT(1E300)"), "9223372036854775807");
  EXPECT_EQ(Str("ABS(-2.5)"), "2.5");
  EXPECT_EQ(Str("ABS(4)"), "4");
  EXPECT_EQ(Str("SQRT(16)"), "4");
  EXPECT_EQ(Str("SQRT(-1)"), "0");
  EXPECT_EQ(Str("LOG10(1000)"), "3");
  EXPECT_EQ(Str("LOGE(1)"), "0");
  EXPECT_EQ(Str("ROUND(SIN(0) + COS(0) + TAN(0), 0.001)"), "1");
  EXPECT_EQ(Str("ROUND(ASIN(1) * 2 - ACOS(-1) + ATAN(0), .000001)"), "0");
  EXPECT_EQ(Str("BAND(12,10)"), "8");
  EXPECT_EQ(Str("BOR(12,10)"), "14");
  EXPECT_EQ(Str("BXOR(12,10)"), "6");
  EXPECT_EQ(Str("BSHIFT(1,4)"), "16");
  EXPECT_EQ(Str("BSHIFT(-16,-2)"), "-4");
  EXPECT_EQ(Str("BSHIFT(255,-4)"), "15");
  EXPECT_EQ(Str("BSHIFT(1,64)"), "0");
  EXPECT_EQ(Str("BSHIFT(-1,-99)"), "-1");
  EXPECT_EQ(Str("INRANGE(5,1,10)"), "1");
  EXPECT_EQ(Str("INRANGE(1,1,10) + INRANGE(10,1,10)"), "2");
  EXPECT_EQ(Str("INRANGE(0.5,1,10)"), "0");
  EXPECT_EQ(Str("INRANGE('7',1,10)"), "1");
}

TEST(EvalBuiltinsTest, RoundGoesHalfAwayFromZeroInDecimal) {
  EXPECT_EQ(Str("ROUND(2.345,.01)"), "2.35");
  EXPECT_EQ(Str("ROUND(-2.345,.01)"), "-2.35");
  EXPECT_EQ(Str("ROUND(2.5)"), "3");
  EXPECT_EQ(Str("ROUND(-2.5,1)"), "-3");
  EXPECT_EQ(Str("ROUND(1250,100)"), "1300");
  EXPECT_EQ(Str("ROUND(1.005,.01)"), "1.01");
  EXPECT_EQ(Str("ROUND(0.4,1)"), "0");
  EXPECT_EQ(Str("ROUND(999.96,.1)"), "1000");
  EXPECT_EQ(Str("ROUND(7.5,5)"), "10");  // not a power of ten: the nearest multiple
  EXPECT_EQ(Str("ROUND(7,0)"), "7");
  EXPECT_DOUBLE_EQ(RoundTo(1e35, 0.01), 1e35);
}

TEST(EvalBuiltinsTest, NumericRecognisesNumberTexts) {
  EXPECT_EQ(Str("NUMERIC('12.5')"), "1");
  EXPECT_EQ(Str("NUMERIC(' -3 ')"), "1");
  EXPECT_EQ(Str("NUMERIC('+3')"), "1");
  EXPECT_EQ(Str("NUMERIC('1e5')"), "1");
  EXPECT_EQ(Str("NUMERIC('.5')"), "1");
  EXPECT_EQ(Str("NUMERIC(42)"), "1");
  EXPECT_EQ(Str("NUMERIC('abc')"), "0");
  EXPECT_EQ(Str("NUMERIC('')"), "0");
  EXPECT_EQ(Str("NUMERIC('.')"), "0");
  EXPECT_EQ(Str("NUMERIC('1.2.3')"), "0");
  EXPECT_EQ(Str("NUMERIC('1e')"), "0");
  EXPECT_EQ(Str("NUMERIC('1 2')"), "0");
  EXPECT_EQ(Str("NUMERIC('-')"), "0");
}

TEST(EvalBuiltinsTest, RandomStaysInItsRangeAndMemoryIsReported) {
  std::set<std::string> seen;
  for (int i = 0; i < 600; ++i) {
    std::string v = Str("RANDOM(1,6)");
    int n = std::stoi(v);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, 6);
    seen.insert(v);
    int m = std::stoi(Str("RANDOM(6,1)"));
    ASSERT_GE(m, 1);
    ASSERT_LE(m, 6);
  }
  EXPECT_EQ(seen.size(), 6u);
  EXPECT_EQ(Str("RANDOM(5,5)"), "5");
  EXPECT_GE(std::stoll(Str("RANDOM()")), 0);
  EXPECT_GT(std::stoll(Str("MEMORY()")), 0);
  EXPECT_GE(std::stoll(Str("MEMORY(1)")), std::stoll(Str("MEMORY(0)")));
}

TEST(EvalBuiltinsTest, DatesThroughTheStandardDayNumbers) {
  EXPECT_EQ(Str("DATE(1,1,1801)"), "4");
  EXPECT_EQ(Str("DATE(12,31,9999)"), "2994626");
  EXPECT_EQ(Str("DATE(13,1,2000) = DATE(1,1,2001)"), "1");
  EXPECT_EQ(Str("DATE(2,29,1900) = DATE(3,1,1900)"), "1");  // days carry into the next month
  EXPECT_EQ(Str("DATE(2,0,1900)"), "-1");
  EXPECT_EQ(Str("DATE(1,99999999999,2000)"), "-1");
  EXPECT_EQ(Str("DAY(4) & '/' & MONTH(4) & '/' & YEAR(4)"), "1/1/1801");
  EXPECT_EQ(Str("YEAR(DATE(7,4,2021))"), "2021");
  EXPECT_EQ(Str("DAY(0)"), "0");
  EXPECT_EQ(Str("YEAR(99999999999)"), "0");
  EXPECT_EQ(Str("AGE(TODAY() - 60)"), "60 DAYS");
  EXPECT_EQ(Str("AGE(DATE(1,1,2000), DATE(1,1,2003))"), "3 YRS");
  EXPECT_EQ(Str("TODAY() = " + std::to_string(Today())), "1");
  std::string clock = Str("CLOCK()");
  EXPECT_GE(std::stoll(clock), 1);
  EXPECT_LE(std::stoll(clock), 8640000);
  EXPECT_NE(Str("CLOCK"), "<error 800>");  // no arguments: the parentheses may be left out
}

TEST(EvalBuiltinsTest, FormatAndDeformatThroughPictures) {
  EXPECT_EQ(Str("FORMAT(42,@N6)"), "    42");
  EXPECT_EQ(Str("FORMAT(42,@N(6))"), Str("FORMAT(42,'@N(6)')"));
  EXPECT_EQ(Str("LEN(FORMAT(-42,@N(6)))"), "6");
  EXPECT_EQ(Str("FORMAT(DATE(1,5,1998),@D2)"), " 1/05/1998");
  EXPECT_EQ(Str("FORMAT('abc',@S5) & '|'"), "abc  |");
  EXPECT_EQ(Str("FORMAT(7)"), "7");
  EXPECT_EQ(Str("FORMAT(7,@Q9)"), "");  // an invalid picture shows nothing
  EXPECT_EQ(Str("DEFORMAT(' 1/05/1998',@D2) = DATE(1,5,1998)"), "1");
  EXPECT_EQ(Str("DEFORMAT('$1,234.50')"), "1234.50");
  std::string picture = "@N6";
  EXPECT_EQ(Str("FORMAT(5, '" + picture + "' & '')"), "     5");  // a computed picture
}

}  // namespace
}  // namespace cinevo
