#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/core/picture.h"

namespace cinevo {
namespace {

bool Valid(std::string_view text) { return CompilePicture(text).Valid(); }

TEST(PictureCompile, HeaderWordCarriesClassSubKindFlagAndWidth) {
  CompiledPicture n = CompilePicture("@N-10.2B");
  EXPECT_EQ(n.Class(), PictureClass::kNumeric);
  EXPECT_EQ(n.SubKind(), kSignLeading);
  EXPECT_TRUE(n.BlankWhenZero());
  EXPECT_EQ(n.Width(), 10);
  EXPECT_EQ(n.header, 1 | (1 << 3) | 0x40 | (10 << 7));

  CompiledPicture d = CompilePicture("@D4");
  EXPECT_EQ(d.Class(), PictureClass::kDate);
  EXPECT_EQ(d.SubKind(), 1);  // month names
  EXPECT_EQ(d.number, 4);
  EXPECT_EQ(d.Width(), 18);
  EXPECT_EQ(CompilePicture("@D2").SubKind(), 0);

  CompiledPicture t = CompilePicture("@T3");
  EXPECT_EQ(t.Class(), PictureClass::kTime);
  EXPECT_EQ(t.SubKind(), 1);  // 12-hour
  EXPECT_EQ(t.Width(), 7);

  CompiledPicture s = CompilePicture("@S255");
  EXPECT_EQ(s.Class(), PictureClass::kString);
  EXPECT_EQ(s.Width(), 255);
  EXPECT_EQ(s.header & 7, 5);
  EXPECT_EQ(s.Source(), "S255");
}

TEST(PictureCompile, KindLettersInEitherCaseAndOptionalAt) {
  EXPECT_TRUE(Valid("d2"));
  EXPECT_TRUE(Valid("@n10.2"));
  EXPECT_TRUE(Valid("@s5"));
  EXPECT_TRUE(Valid("@t1"));
  EXPECT_TRUE(Valid("@e12.3"));
  EXPECT_TRUE(Valid("@p###p"));
  EXPECT_TRUE(Valid("@k###k"));
  EXPECT_EQ(CompilePicture("@d2").Width(), 10);
}

TEST(PictureCompile, DateAndTimeWidths) {
  const int date_widths[] = {0, 8, 10, 12, 18, 8, 10, 9, 11, 8, 10, 6, 8, 5, 7, 5, 7, 8, 18, 17, 17};
  for (int n = 1; n <= 20; ++n) {
    EXPECT_EQ(CompilePicture("@D" + std::to_string(n)).Width(), date_widths[n]) << n;
  }
  const int time_widths[] = {0, 5, 4, 7, 8, 6, 10, 8, 11};
  for (int n = 1; n <= 8; ++n) {
    EXPECT_EQ(CompilePicture("@T" + std::to_string(n)).Width(), time_widths[n]) << n;
  }
}

TEST(PictureCompile, CenturyWindowModifiers) {
  EXPECT_EQ(CompilePicture("@D1").century_window, 80);
  EXPECT_EQ(CompilePicture("@D1>10").century_window, 89);
  EXPECT_EQ(CompilePicture("@D1>").century_window, 19);
  EXPECT_EQ(CompilePicture("@D1<").century_window, 80);
  EXPECT_EQ(CompilePicture("@D1<10").century_window, 10);
  EXPECT_EQ(CompilePicture("@D1>0").century_window, 99);
  EXPECT_EQ(CompilePicture("@D6.>5").century_window, 94);
  EXPECT_EQ(CompilePicture("@D6>5-").century_window, 94);  // modifiers in any order
  EXPECT_FALSE(Valid("@D1>100"));
  EXPECT_FALSE(Valid("@D1<100"));
  EXPECT_FALSE(Valid("@T1<5"));  // times have no years
}

TEST(PictureCompile, ModifiersMayFollowTheLastNumber) {
  EXPECT_TRUE(Valid("@D2-"));
  EXPECT_TRUE(Valid("@d5."));
  EXPECT_TRUE(Valid("@D6_"));
  EXPECT_TRUE(Valid("@D6`"));
  EXPECT_TRUE(Valid("@T4."));
  EXPECT_TRUE(Valid("@N10.2-"));
  EXPECT_TRUE(Valid("@N(10.2)"));
  EXPECT_TRUE(Valid("@N10.2~ DM~"));
  EXPECT_TRUE(Valid("@N10.2$"));
  EXPECT_TRUE(Valid("@N10`"));
  EXPECT_TRUE(Valid("@N10.2  \t"));
  EXPECT_TRUE(Valid("@N10.2 B"));
  EXPECT_FALSE(Valid("@N10.2 x"));
  EXPECT_FALSE(Valid("@S5x"));
  EXPECT_FALSE(Valid("@S5 5"));
  EXPECT_FALSE(Valid("@D2?"));
  EXPECT_FALSE(Valid("@D2/"));
  EXPECT_FALSE(Valid("@E12.3-"));
}

TEST(PictureCompile, InvalidPicturesOfEveryListedCause) {
  // No text, or too long.
  EXPECT_FALSE(Valid(""));
  EXPECT_FALSE(Valid("@"));
  EXPECT_FALSE(Valid("@   "));
  const std::string mask98(98, '#');
  EXPECT_TRUE(Valid("@K" + mask98 + "K"));    // 100 characters after "@"
  EXPECT_FALSE(Valid("@K#" + mask98 + "K"));  // 101
  EXPECT_FALSE(Valid(std::string(5000, '9')));
  // Blank-when-zero leaving too little.
  EXPECT_FALSE(Valid("@B"));
  EXPECT_FALSE(Valid("@SB"));
  // Unknown kind letter.
  EXPECT_FALSE(Valid("@X5"));
  EXPECT_FALSE(Valid("@#5"));
  // Missing or out-of-range widths and numbers.
  EXPECT_FALSE(Valid("@S"));
  EXPECT_FALSE(Valid("@S0"));
  EXPECT_FALSE(Valid("@S256"));
  EXPECT_FALSE(Valid("@S99999999999999999999"));
  EXPECT_FALSE(Valid("@D0"));
  EXPECT_FALSE(Valid("@D21"));
  EXPECT_FALSE(Valid("@D"));
  EXPECT_FALSE(Valid("@D0-"));
  EXPECT_FALSE(Valid("@D_"));
  EXPECT_FALSE(Valid("@T0"));
  EXPECT_FALSE(Valid("@T9"));
  EXPECT_FALSE(Valid("@N0"));
  EXPECT_FALSE(Valid("@N101"));
  EXPECT_FALSE(Valid("@N10.101"));
  EXPECT_FALSE(Valid("@N.2"));
  EXPECT_FALSE(Valid("@E101"));
  // Parentheses, currency and minus signs.
  EXPECT_FALSE(Valid("@N(10.2"));
  EXPECT_FALSE(Valid("@N10.2)"));
  EXPECT_FALSE(Valid("@N(10.2))"));
  EXPECT_FALSE(Valid("@N-10.2-"));
  EXPECT_FALSE(Valid("@N(10.2)-"));
  EXPECT_FALSE(Valid("@N10.2--"));
  EXPECT_FALSE(Valid("@N$10.2$"));
  EXPECT_FALSE(Valid("@N$10.2~DM~"));
  EXPECT_FALSE(Valid("@N10.2$~DM~"));
  EXPECT_FALSE(Valid("@N~~10.2"));
  EXPECT_FALSE(Valid("@N~EUR10.2"));
  // Masks.
  EXPECT_FALSE(Valid("@PP"));
  EXPECT_FALSE(Valid("@P###"));
  EXPECT_FALSE(Valid("@P###K"));
  EXPECT_FALSE(Valid("@K###\\K"));
  EXPECT_FALSE(Valid("@K|K"));
}

TEST(PictureCompile, InvalidPictureHasNoWidthAndFormatsNothing) {
  CompiledPicture bad = CompilePicture("@N(10.2");
  EXPECT_EQ(bad.Width(), 0);
  EXPECT_EQ(Format(bad, int64_t{5}), "");
  EXPECT_EQ(Format(bad, std::string_view("x")), "");
  EXPECT_FALSE(Deformat(bad, "5").ok);
}

TEST(PictureCompile, WidthQueryHoldsAnyEditedValue) {
  EXPECT_EQ(PictureWidth("@S255"), 512);
  EXPECT_EQ(PictureWidth("@S10"), 22);
  EXPECT_EQ(PictureWidth("@D2"), 22);
  EXPECT_EQ(PictureWidth("@N10.2"), 22);
  EXPECT_EQ(PictureWidth("@X5"), 0);
  EXPECT_EQ(PictureWidth(""), 0);
}

TEST(PictureCompile, NullPictureIsAWideString) {
  CompiledPicture p = NullPicture();
  EXPECT_EQ(p.Class(), PictureClass::kString);
  EXPECT_EQ(p.Width(), 255);
  EXPECT_EQ(Format(p, std::string_view("ab")).size(), 255u);
}

TEST(PictureCompile, ArbitraryTextNeverBreaksTheCompilerOrFormatter) {
  std::mt19937 rng(12345);
  const std::string alphabet = "@SDTNEPKBb0123456789.-_`<>$~()#^?|\\ \t*vVxyz";
  char out[256];
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    size_t len = rng() % 24;
    for (size_t k = 0; k < len; ++k) text += alphabet[rng() % alphabet.size()];
    CompiledPicture p = CompilePicture(text);
    ASSERT_LE(p.Width(), 255);
    size_t n = FormatLong(p, static_cast<int64_t>(rng() % 3000000) - 100, out);
    ASSERT_EQ(n, static_cast<size_t>(p.Width())) << text;
    n = FormatText(p, text, out);
    ASSERT_EQ(n, static_cast<size_t>(p.Width())) << text;
    n = FormatReal(p, -1234.5678, out);
    ASSERT_EQ(n, static_cast<size_t>(p.Width())) << text;
    (void)Deformat(p, std::string(out, n));
  }
}

}  // namespace
}  // namespace cinevo
