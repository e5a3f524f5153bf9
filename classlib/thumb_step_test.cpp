#include "classlib/thumb_step.h"

#include <gtest/gtest.h>

#include <string>

namespace cinevo::classlib {
namespace {

TEST(ThumbStepTest, BuiltInTablesAreAscendingAndOfTheirSize) {
  ASSERT_EQ(kNameTable.size(), 300u);
  ASSERT_EQ(kAlphaTable.size(), 200u);
  for (auto [table, len] : {std::pair{kNameTable, 3}, std::pair{kAlphaTable, 2}}) {
    for (size_t i = len; i < table.size(); i += len) {
      EXPECT_LT(table.substr(i - len, len), table.substr(i, len)) << "entry " << i / len;
    }
  }
  EXPECT_EQ(kAlphaTable.substr(0, 8), "  AFANAT");
  EXPECT_EQ(kAlphaTable.substr(8, 8), "B BFBNBT");
  EXPECT_EQ(kAlphaTable.substr(kAlphaTable.find("Q "), 8), "Q QNR RF");
}

TEST(ThumbStepTest, NameModePlacesValuesByTheSurnameTable) {
  StringStep s;
  s.Init(step::kLetters, LookupMode::kName);
  EXPECT_EQ(s.GetPercentile("ADAMS"), 1);  // only the blank entry is not greater
  EXPECT_EQ(s.GetPercentile("BROWN"), 11);
  EXPECT_EQ(s.GetPercentile("ZZZ"), 100);
  EXPECT_EQ(s.GetPercentile("brown"), 11);  // not case sensitive: upper-cased first
  EXPECT_EQ(s.GetValue(11), "BRO");
  EXPECT_EQ(s.GetValue(0), "   ");
  EXPECT_FALSE(s.UsesRuntimeTable());

  s.Init(step::kLetters | step::kDescending, LookupMode::kName);
  EXPECT_EQ(s.GetPercentile("BROWN"), 89);
  EXPECT_EQ(s.GetValue(89), "BRO");  // the mirrored position comes back to the same boundary
  EXPECT_EQ(s.GetPercentile("ZZZ"), 1);
}

TEST(ThumbStepTest, CaseSensitiveValuesAreNotUpperCased) {
  StringStep s;
  s.Init(step::kLetters | step::kCaseSensitive, LookupMode::kName);
  EXPECT_EQ(s.GetPercentile("brown"), 100);  // lower case sorts after every upper-case entry
}

TEST(ThumbStepTest, AlphaModeEnds) {
  StringStep s;
  s.Init(step::kLetters, LookupMode::kAlpha);
  EXPECT_EQ(s.GetValue(1), "  ");
  EXPECT_EQ(s.GetValue(100), "ZN");
  EXPECT_EQ(s.GetPercentile("MOVIE"), s.GetPercentile("MN"));
  EXPECT_EQ(s.GetPercentile("A"), 1);  // "A " is below "AF"
}

TEST(ThumbStepTest, SortCharsFollowTheControls) {
  StringStep s;
  s.Init(step::kLetters, LookupMode::kRuntime);
  EXPECT_EQ(s.SortChars(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  s.Init(step::kLetters | step::kCaseSensitive | step::kDigits, LookupMode::kRuntime);
  EXPECT_EQ(s.SortChars(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  s.Init(step::kPunctuation, LookupMode::kRuntime);
  EXPECT_EQ(s.SortChars().size(), 30u);
  EXPECT_EQ(s.SortChars().front(), ' ');  // in code order
  EXPECT_EQ(s.SortChars().back(), '\xA3');
  EXPECT_TRUE(s.UsesRuntimeTable());
}

TEST(ThumbStepTest, ValueOfAndTextOfAreInverse) {
  StringStep s;
  s.Init(step::kLetters | step::kDigits, LookupMode::kRuntime);
  const int64_t n = static_cast<int64_t>(s.SortChars().size());
  for (int64_t v : {int64_t{0}, int64_t{1}, n - 1, n, n * n + 7, n * n * n * n - 1}) {
    EXPECT_EQ(s.ValueOf(s.TextOf(v)), v) << v;
  }
  for (std::string t : {"AAAA", "ITHA", "YTHE", "Z9Z9", "0000"}) EXPECT_EQ(s.TextOf(s.ValueOf(t)), t);
  EXPECT_LT(s.ValueOf("ITHA"), s.ValueOf("ITHB"));
  EXPECT_LT(s.ValueOf("ITHZ"), s.ValueOf("IUAA"));
  // Missing and disallowed characters count as the lowest allowed one.
  EXPECT_EQ(s.ValueOf("IT"), s.ValueOf("IT00"));
  EXPECT_EQ(s.ValueOf("I-T"), s.ValueOf("I0T"));
}

TEST(ThumbStepTest, RuntimeLimitsSharingARootRunFromLowToHigh) {
  StringStep s;
  s.Init(step::kLetters, LookupMode::kRuntime);
  s.SetLimits("SMITH", "SMYTHE  ");
  EXPECT_EQ(s.Root(), "SM");
  EXPECT_EQ(s.Entry(0), "ITHA");  // filled up with the lowest allowed character
  EXPECT_EQ(s.Entry(99), "YTHE");
  for (int i = 1; i < 100; ++i) EXPECT_LT(s.Entry(i - 1), s.Entry(i)) << i;
  EXPECT_EQ(s.GetValue(1), "SMITHA");
  EXPECT_EQ(s.GetValue(100), "SMYTHE");
  EXPECT_EQ(s.GetPercentile("SMITH"), 1);
  EXPECT_EQ(s.GetPercentile("SMYTHE"), 100);
  int middle = s.GetPercentile("SMOOTH");
  EXPECT_GT(middle, 30);
  EXPECT_LT(middle, 60);
  // A value shorter than the root, or not beginning with it, is placed by what follows the
  // root's length.
  EXPECT_EQ(s.GetPercentile("S"), 1);
  EXPECT_EQ(s.GetPercentile("XXOOTH"), middle);
}

TEST(ThumbStepTest, LimitsWhereOneBeginsWithTheOther) {
  StringStep s;
  s.Init(step::kLetters, LookupMode::kRuntime);
  s.SetLimits("SMITH", "SMITHSON");
  EXPECT_EQ(s.Root(), "SMITH");
  EXPECT_EQ(s.Entry(0), "AAAA");  // low has nothing after the root: all lowest
  EXPECT_EQ(s.Entry(99), "SONZ");
  s.SetLimits("SAME", "SAME");
  EXPECT_EQ(s.Root(), "SAME");
  EXPECT_EQ(s.GetPercentile("SAME"), 1);
}

TEST(ThumbStepTest, DescendingRuntimeTableMirrorsEveryPosition) {
  StringStep up, down;
  up.Init(step::kLetters, LookupMode::kRuntime);
  down.Init(step::kLetters | step::kDescending, LookupMode::kRuntime);
  up.SetLimits("SMITH", "SMYTHE");
  down.SetLimits("SMYTHE", "SMITH");  // a descending browse reads its highest value first
  EXPECT_EQ(down.Root(), "SM");
  int distinct = 0, last = -1;
  for (std::string v : {"SMITH", "SMJONES", "SMLAND", "SMOOTH", "SMROOT", "SMUDGE", "SMYTHE"}) {
    const int sum = down.GetPercentile(v) + up.GetPercentile(v);
    EXPECT_TRUE(sum == 100 || sum == 101) << v << " " << sum;  // 101 where a position was raised to 1
    if (last != -1) {
      EXPECT_LT(down.GetPercentile(v), last) << v;
    }
    if (down.GetPercentile(v) != last) ++distinct;
    last = down.GetPercentile(v);
    // Positions and values stay inverse: a value's position leads to a boundary at or below it
    // (the lowest value lies below the first boundary, which is filled up).
    if (v != "SMITH") {
      EXPECT_LE(down.GetValue(down.GetPercentile(v)), v) << v;
    }
  }
  EXPECT_EQ(distinct, 7);
  EXPECT_EQ(down.GetValue(100), "SMITHA");
  EXPECT_EQ(down.GetValue(1), up.GetValue(99));
}

TEST(ThumbStepTest, KillDropsTheRuntimeTable) {
  StringStep s;
  s.Init(step::kLetters, LookupMode::kRuntime);
  s.SetLimits("A", "Z");
  s.Kill();
  EXPECT_TRUE(s.SortChars().empty());
  EXPECT_EQ(s.GetPercentile("M"), 1);
  s.SetLimits("A", "Z");  // nothing to build with after Kill
  EXPECT_EQ(s.GetValue(50), "");
}

TEST(ThumbStepTest, NumericStepsAreProportional) {
  NumericStep n;
  n.Init(0);
  n.SetLimits("1000", "1");  // either order
  EXPECT_EQ(n.GetPercentile("1"), 1);
  EXPECT_EQ(n.GetPercentile("1000"), 100);
  EXPECT_EQ(n.GetPercentile("-5"), 1);
  EXPECT_EQ(n.GetPercentile("5000"), 100);
  EXPECT_EQ(n.GetPercentile("500.5"), 50);
  EXPECT_EQ(n.GetValue(1), "1");
  EXPECT_EQ(n.GetValue(100), "1000");
  for (int p : {1, 17, 50, 99, 100}) EXPECT_EQ(n.GetPercentile(n.GetValue(p)), p) << p;

  n.Init(step::kDescending);
  EXPECT_EQ(n.GetPercentile("1"), 99);
  EXPECT_EQ(n.GetPercentile("1000"), 1);
  EXPECT_EQ(n.GetPercentile(n.GetValue(40)), 40);

  NumericStep flat;
  flat.SetLimits("7", "7");
  EXPECT_EQ(flat.GetPercentile("7"), 100);
  EXPECT_EQ(flat.GetPercentile("junk"), 1);
}

}  // namespace
}  // namespace cinevo::classlib
