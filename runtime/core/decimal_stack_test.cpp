#include "runtime/core/decimal_stack.h"

#include <cmath>
#include <cstdlib>
#include <random>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/error.h"

namespace cinevo {
namespace {

class DecimalStackTest : public testing::Test {
 protected:
  void SetUp() override {
    ds_.Reset();
    SetFatalHandler([this](int code, const std::string&) { fatal_codes_.push_back(code); });
  }
  void TearDown() override {
    ds_.Reset();
    SetFatalHandler({});
  }
  // The text of a value read from `text` after `places` rounding.
  std::string Rounded(const char* text, int places) {
    ds_.PushText(text);
    ds_.Round(places);
    return ds_.PopText();
  }
  std::string Hex(const uint8_t* p, size_t n) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
      s += kDigits[p[i] >> 4];
      s += kDigits[p[i] & 15];
    }
    return s;
  }

  DecimalStack& ds_ = TheDecimalStack();
  std::vector<int> fatal_codes_;
};

TEST_F(DecimalStackTest, TextReadingRule) {
  EXPECT_EQ(DecimalToText(TextToDecimal("   12.50")), "12.5");
  EXPECT_EQ(DecimalToText(TextToDecimal("-0.001")), "-0.001");
  EXPECT_EQ(DecimalToText(TextToDecimal("+5")), "0");       // "+" is not accepted
  EXPECT_EQ(DecimalToText(TextToDecimal("12abc")), "12");   // stops at the first misfit
  EXPECT_EQ(DecimalToText(TextToDecimal("abc")), "0");
  EXPECT_EQ(DecimalToText(TextToDecimal("")), "0");
  EXPECT_EQ(DecimalToText(TextToDecimal("1.5e3")), "1500");
  EXPECT_EQ(DecimalToText(TextToDecimal("15E-3")), "0.015");
  EXPECT_EQ(DecimalToText(TextToDecimal("-0")), "0");       // no negative zero
  EXPECT_EQ(DecimalToText(TextToDecimal(".5")), "0.5");
  EXPECT_EQ(DecimalToText(TextToDecimal("1 2")), "1");
  // Exponents far out of range lose every digit instead of reading out of bounds.
  EXPECT_EQ(DecimalToText(TextToDecimal("1e99999999999999999999")), "0");
  EXPECT_EQ(DecimalToText(TextToDecimal("1e-99999999999999999999")), "0");
}

TEST_F(DecimalStackTest, ThirtyTwoIntegerAndFractionDigitsAreExact) {
  std::string big = std::string(32, '9') + "." + std::string(32, '9');
  EXPECT_EQ(DecimalToText(TextToDecimal(big)), big);
  // A 33rd integer digit has no cell: it is lost from the top.
  EXPECT_EQ(DecimalToText(TextToDecimal("1" + std::string(32, '0'))), "0");
}

TEST_F(DecimalStackTest, TextToRealClipsBlanksAndReadsAtMost39Characters) {
  EXPECT_DOUBLE_EQ(TextToReal("  3.25   "), 3.25);
  EXPECT_DOUBLE_EQ(TextToReal("-2e-2"), -0.02);
  EXPECT_DOUBLE_EQ(TextToReal("x"), 0.0);
  EXPECT_DOUBLE_EQ(TextToReal("1e400"), HUGE_VAL);
  std::string forty = std::string(38, '0') + "12";  // "...0" x38 then "1" is char 39, "2" char 40
  EXPECT_DOUBLE_EQ(TextToReal(forty), 1.0);
}

TEST_F(DecimalStackTest, ArithmeticWithSigns) {
  struct Case {
    const char *a, *b, *sum, *difference;
  } cases[] = {
      {"1.5", "2.25", "3.75", "-0.75"},    {"-1.5", "2.25", "0.75", "-3.75"},
      {"1.5", "-2.25", "-0.75", "3.75"},   {"-1.5", "-2.25", "-3.75", "0.75"},
      {"999.999", "0.001", "1000", "999.998"}, {"5", "5", "10", "0"},
  };
  for (const Case& c : cases) {
    ds_.PushText(c.a);
    ds_.PushText(c.b);
    ds_.Add();
    EXPECT_EQ(ds_.PopText(), c.sum) << c.a << " + " << c.b;
    ds_.PushText(c.a);
    ds_.PushText(c.b);
    ds_.Subtract();
    EXPECT_EQ(ds_.PopText(), c.difference) << c.a << " - " << c.b;
  }
  ds_.PushText("-1.5");
  ds_.PushText("0.004");
  ds_.Multiply();
  EXPECT_EQ(ds_.PopText(), "-0.006");
  ds_.PushText("123456789");
  ds_.PushText("987654321");
  ds_.Multiply();
  EXPECT_EQ(ds_.PopText(), "121932631112635269");
  EXPECT_EQ(ds_.Count(), 0);
}

TEST_F(DecimalStackTest, CompareInPushOrderAndPopsBoth) {
  ds_.PushText("-3");
  ds_.PushText("2");
  EXPECT_EQ(ds_.Compare(), -1);
  ds_.PushText("0.10");
  ds_.PushText(".1");
  EXPECT_EQ(ds_.Compare(), 0);
  ds_.PushText("-0.5");
  ds_.PushText("-0.6");
  EXPECT_EQ(ds_.Compare(), 1);
  EXPECT_EQ(ds_.Count(), 0);
}

TEST_F(DecimalStackTest, RoundingGoesHalfAwayFromZeroAndMayAddADigit) {
  EXPECT_EQ(Rounded("2.345", 2), "2.35");
  EXPECT_EQ(Rounded("-2.345", 2), "-2.35");
  EXPECT_EQ(Rounded("2.344", 2), "2.34");
  EXPECT_EQ(Rounded("9.995", 2), "10");
  EXPECT_EQ(Rounded("-0.4", 0), "0");
  EXPECT_EQ(Rounded("1250", -2), "1300");
  EXPECT_EQ(Rounded("1.5", 40), "1.5");
  ds_.PushText("7.9");
  ds_.Truncate();
  EXPECT_EQ(ds_.PopText(), "7");
  ds_.PushText("-7.9");
  ds_.Abs();
  EXPECT_EQ(ds_.PopText(), "7.9");
  ds_.PushText("7.9");
  ds_.Negate();
  EXPECT_EQ(ds_.PopText(), "-7.9");
  ds_.PushLong(0);
  ds_.Negate();
  EXPECT_EQ(ds_.Top().sign, 0);
}

TEST_F(DecimalStackTest, DecimalFieldRoundTripAndSignNibbles) {
  // DECIMAL(7,2) in 4 bytes: sign nibble then 7 digits.
  uint8_t field[4];
  ds_.PushText("-2.345");
  ds_.PopDecimal(field, 4, 2);
  EXPECT_EQ(Hex(field, 4), "F0000235");
  ds_.PushDecimal(field, 4, 2);
  EXPECT_EQ(ds_.PopText(), "-2.35");
  ds_.PushText("12345.678");
  ds_.PopDecimal(field, 4, 2);
  EXPECT_EQ(Hex(field, 4), "01234568");
  // Any non-zero sign nibble reads as negative.
  const uint8_t odd_sign[2] = {0x30, 0x15};
  ds_.PushDecimal(odd_sign, 2, 1);
  EXPECT_EQ(ds_.PopText(), "-1.5");
  // Integer digits that do not fit are lost from the top.
  ds_.PushText("987654321");
  ds_.PopDecimal(field, 2, 0);
  EXPECT_EQ(Hex(field, 2), "0321");
}

TEST_F(DecimalStackTest, PDecimalFieldRoundTripAndSignNibbles) {
  uint8_t field[3];  // 5 digits and a sign
  ds_.PushText("-12.345");
  ds_.PopPDecimal(field, 3, 3);
  EXPECT_EQ(Hex(field, 3), "12345D");
  ds_.PushPDecimal(field, 3, 3);
  EXPECT_EQ(ds_.PopText(), "-12.345");
  ds_.PushText("7");
  ds_.PopPDecimal(field, 3, 0);
  EXPECT_EQ(Hex(field, 3), "00007F");
  const uint8_t c_sign[2] = {0x01, 0x5C};  // only 0xD reads as negative
  ds_.PushPDecimal(c_sign, 2, 0);
  EXPECT_EQ(ds_.PopText(), "15");
  // A negative value whose kept digits are all zero is written as positive zero.
  ds_.PushText("-0.001");
  ds_.PopPDecimal(field, 3, 2);
  EXPECT_EQ(Hex(field, 3), "00000F");
}

TEST_F(DecimalStackTest, LongsAndReals) {
  ds_.PushLong(INT64_MIN);
  EXPECT_EQ(ds_.Top().sign, 1);
  EXPECT_EQ(ds_.PopLong(), INT64_MIN);
  ds_.PushText("-123.9");
  EXPECT_EQ(ds_.PopLong(), -123);
  ds_.PushText(std::string(25, '9'));
  EXPECT_EQ(ds_.PopLong(), INT64_MAX);
  ds_.PushReal(0.1);
  EXPECT_EQ(ds_.PopText(), "0.1");
  ds_.PushReal(-1.5e20);
  EXPECT_EQ(ds_.PopText(), "-150000000000000000000");
  ds_.PushText("0.25");
  EXPECT_DOUBLE_EQ(ds_.PopReal(), 0.25);
}

TEST_F(DecimalStackTest, OverflowAndUnderflowAreReportedAndHarmless) {
  for (int i = 0; i < DecimalStack::kDepth; ++i) ds_.PushLong(i);
  EXPECT_TRUE(fatal_codes_.empty());
  ds_.PushLong(99);
  ASSERT_EQ(fatal_codes_.size(), 1u);
  EXPECT_EQ(fatal_codes_[0], 502);
  EXPECT_EQ(ds_.Count(), DecimalStack::kDepth);
  EXPECT_EQ(ds_.PopText(), "9");
  ds_.Reset();
  uint8_t field[2] = {0x12, 0x34};
  ds_.PopDecimal(field, 2, 0);
  EXPECT_EQ(field[0], 0x12);  // untouched
  EXPECT_EQ(ds_.PopLong(), 0);
  ds_.Add();
  ds_.Round(2);
  EXPECT_EQ(ds_.Compare(), 0);
  EXPECT_EQ(ds_.Count(), 0);
  EXPECT_EQ(fatal_codes_.size(), 6u);
}

// Random pushes, arithmetic, rounding and pops against whole numbers kept in 64 bits (the values
// stay far inside both ranges): every accumulator keeps its rules through every step, negative
// zero included (a difference of equal values, a product with zero).
TEST_F(DecimalStackTest, RandomArithmeticKeepsEveryAccumulatorsRules) {
  std::mt19937 rng(17);
  std::vector<int64_t> model;
  auto small = [&] { return static_cast<int64_t>(rng() % 2001) - 1000; };
  for (int step = 0; step < 5000; ++step) {
    size_t count = model.size();
    switch (rng() % 8) {
      case 0:
      case 1:
        if (count < DecimalStack::kDepth) {
          int64_t v = small();
          ds_.PushLong(v);
          model.push_back(v);
        }
        break;
      case 2:
        if (count < DecimalStack::kDepth) {
          int64_t v = small();
          ds_.PushText(std::to_string(v) + ".000");
          model.push_back(v);
        }
        break;
      case 3:
      case 4:
        if (count >= 2) {
          int64_t b = model.back();
          model.pop_back();
          int op = static_cast<int>(rng() % 3);
          if (op == 2 && (std::llabs(model.back()) >= 1000000 || std::llabs(b) >= 1000000)) op = 1;
          if (op == 0) {
            ds_.Add();
            model.back() += b;
          } else if (op == 1) {
            ds_.Subtract();
            model.back() -= b;
          } else {
            ds_.Multiply();
            model.back() *= b;
          }
        }
        break;
      case 5:
        if (count >= 1) {
          ds_.Negate();
          model.back() = -model.back();
        }
        break;
      case 6:
        if (count >= 1) ds_.Round(0);  // whole numbers: unchanged
        break;
      default:
        if (count >= 1) {
          ASSERT_EQ(ds_.PopLong(), model.back()) << "step " << step;
          model.pop_back();
        }
        break;
    }
    ds_.CheckInvariants();
    ASSERT_EQ(ds_.Count(), static_cast<int>(model.size()));
  }
  EXPECT_TRUE(fatal_codes_.empty());
}

}  // namespace
}  // namespace cinevo
