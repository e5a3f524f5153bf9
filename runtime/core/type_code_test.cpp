#include "runtime/core/type_code.h"

#include <gtest/gtest.h>

#include "runtime/core/locale_tables.h"

namespace cinevo {
namespace {

TEST(TypeCodeTest, NamesIncludingTheUnnamedCodeAndOutOfRange) {
  EXPECT_EQ(TypeCodeName(TypeCode::kEnd), "END");
  EXPECT_EQ(TypeCodeName(TypeCode::kString), "STRING");
  EXPECT_EQ(TypeCodeName(TypeCode::kObject), "CLASS");
  EXPECT_EQ(TypeCodeName(TypeCode::kStdNum), "STDNUM");
  EXPECT_EQ(TypeCodeName(uint8_t{17}), "(17)");
  EXPECT_EQ(TypeCodeName(uint8_t{31}), "UNKNOWN");
  EXPECT_EQ(TypeCodeName(uint8_t{255}), "UNKNOWN");
}

TEST(TypeCodeTest, StringLikeCodes) {
  EXPECT_TRUE(IsStringLike(TypeCode::kString));
  EXPECT_TRUE(IsStringLike(TypeCode::kPString));
  EXPECT_TRUE(IsStringLike(TypeCode::kBlob));
  EXPECT_TRUE(IsStringLike(TypeCode::kPicture));
  EXPECT_FALSE(IsStringLike(TypeCode::kMemo));
  EXPECT_FALSE(IsStringLike(TypeCode::kGroup));
  EXPECT_FALSE(IsStringLike(TypeCode::kLong));
}

TEST(LocaleTablesTest, DefaultsPairAsciiLettersOnly) {
  LocaleTables t;
  EXPECT_EQ(t.case_partner['a'], 'A');
  EXPECT_EQ(t.char_class['Z'], kCharUpper);
  EXPECT_EQ(t.char_class['5'], kCharDigit);
  EXPECT_EQ(t.char_class[0xC0], 0);
  EXPECT_EQ(t.collation[0xC0], 0xC0);
  EXPECT_EQ(t.month_long[8], "September");
  EXPECT_EQ(t.month_short[8], "Sep");
}

}  // namespace
}  // namespace cinevo
