#include <gtest/gtest.h>

#include <string>

#include "runtime/core/picture.h"

namespace cinevo {
namespace {

std::string Show(std::string_view picture, std::string_view number) {
  return Format(CompilePicture(picture), TextToDecimal(number));
}

std::string Read(std::string_view picture, std::string_view text) {
  DeformatResult r = Deformat(CompilePicture(picture), text);
  return r.ok ? r.text : "<invalid>";
}

TEST(PictureNumeric, SignStylesWithNegativePositiveAndZero) {
  struct Case {
    const char* picture;
    const char* negative;
    const char* positive;
    const char* zero;
  } cases[] = {
      {"@N10.2", "  -1234.50", "   1234.50", "      0.00"},
      {"@N-10.2", "  -1234.50", "   1234.50", "      0.00"},
      {"@N(10.2)", " (1234.50)", "  1234.50 ", "     0.00 "},
      {"@N10.2-", "  1234.50-", "  1234.50 ", "     0.00 "},
      {"@N$10.2", " -$1234.50", "  $1234.50", "     $0.00"},
      {"@N-$10.2", "", "", ""},  // currency comes before the sign style: invalid
      {"@N$-10.2", " -$1234.50", "  $1234.50", "     $0.00"},
      {"@N12.2~ DM~", " -1234.50 DM", "  1234.50 DM", "     0.00 DM"},
      {"@N(13.2~ DM~)", " (1234.50 DM)", "  1234.50 DM ", "     0.00 DM "},
      {"@N~EUR ~-12.2", "-EUR 1234.50", " EUR 1234.50", "    EUR 0.00"},
      {"@N010.2", "-001234.50", "0001234.50", "0000000.00"},
      {"@N-010.2", "-001234.50", "0001234.50", "0000000.00"},
      {"@N*10.2", "-**1234.50", "***1234.50", "******0.00"},
      {"@N$*10.2", "-$*1234.50", "$**1234.50", "$*****0.00"},
  };
  for (const Case& c : cases) {
    CompiledPicture p = CompilePicture(c.picture);
    if (*c.negative == '\0') {
      EXPECT_FALSE(p.Valid()) << c.picture;
      continue;
    }
    // The expectations above leave out the blanks in front.
    std::string neg = Format(p, TextToDecimal("-1234.5"));
    EXPECT_EQ(neg.size(), static_cast<size_t>(p.Width())) << c.picture;
    auto right = [&](std::string s) {
      while (s.size() < static_cast<size_t>(p.Width())) s.insert(s.begin(), ' ');
      return s;
    };
    EXPECT_EQ(neg, right(c.negative)) << c.picture;
    EXPECT_EQ(Format(p, TextToDecimal("1234.5")), right(c.positive)) << c.picture;
    EXPECT_EQ(Format(p, TextToDecimal("0")), right(c.zero)) << c.picture;
  }
}

TEST(PictureNumeric, GroupingAndDecimalCharacters) {
  EXPECT_EQ(Show("@N14`.2", "1234567.891"), "  1,234,567.89");
  EXPECT_EQ(Show("@N-14`.2", "-1234567.891"), " -1,234,567.89");
  EXPECT_EQ(Show("@N14.`2", "1234567.891"), "  1.234.567,89");
  EXPECT_EQ(Show("@N14_`2", "1234567.891"), "  1 234 567,89");
  EXPECT_EQ(Show("@N10`", "1234567"), " 1,234,567");
  EXPECT_EQ(Show("@N10`", "123"), "       123");
  EXPECT_EQ(Show("@N10`", "1000"), "     1,000");
  EXPECT_EQ(Show("@N10.2", "0.5"), "      0.50");
  EXPECT_EQ(Show("@N10`2", "3.25"), "      3,25");
  EXPECT_EQ(Show("@N10v2", "12.34"), "      1234");
  EXPECT_EQ(Show("@N010v2", "12.34"), "0000001234");
  EXPECT_EQ(Show("@N10.0", "12.5"), "        13");
  EXPECT_EQ(Show("@N10", "-12.5"), "       -13");
}

TEST(PictureNumeric, RoundingHalfAwayFromZero) {
  EXPECT_EQ(Show("@N6.2", "2.345"), "  2.35");
  EXPECT_EQ(Show("@N6.2", "-2.345"), " -2.35");
  EXPECT_EQ(Show("@N6.2", "2.3449"), "  2.34");
  EXPECT_EQ(Show("@N6.2", "9.995"), " 10.00");
  EXPECT_EQ(Show("@N6.2", "0.005"), "  0.01");
  EXPECT_EQ(Show("@N6.2", "-0.004"), "  0.00");  // no minus before a shown zero
  EXPECT_EQ(Show("@N6", "99999.5"), "100000");
  EXPECT_EQ(Show("@N40.35", "1.5"), "   1.50000000000000000000000000000000000");
}

TEST(PictureNumeric, BlankWhenZero) {
  EXPECT_EQ(Show("@N10.2B", "0"), std::string(10, ' '));
  EXPECT_EQ(Show("@N10.2b", "-0.001"), std::string(10, ' '));  // rounds to zero
  EXPECT_EQ(Show("@N10.2B", "0.01"), "      0.01");
  EXPECT_EQ(Show("@N$(010.2)B", "0"), std::string(10, ' '));
  EXPECT_EQ(Show("@E12.3B", "0"), std::string(12, ' '));
  EXPECT_EQ(Show("@P###PB", "0"), "   ");
  EXPECT_EQ(Format(CompilePicture("@K###KB"), std::string_view("  ")), "   ");
}

TEST(PictureNumeric, ValuesThatDoNotFitShowHashes) {
  EXPECT_EQ(Show("@N5", "123456"), "#####");
  EXPECT_EQ(Show("@N5", "-12345"), "#####");
  EXPECT_EQ(Show("@N4.2", "0.5"), "0.50");
  EXPECT_EQ(Show("@N3.2", "0.5"), ".50");  // the zero before the point gives way first
  EXPECT_EQ(Show("@N3.2", "1.5"), "###");
  EXPECT_EQ(Show("@N3.2", "-0.5"), "###");
  EXPECT_EQ(Show("@N1", "0"), "0");
}

TEST(PictureNumeric, OtherValueKinds) {
  CompiledPicture p = CompilePicture("@N-13`.2");
  EXPECT_EQ(Format(p, int64_t{-1234567}), "-1,234,567.00");
  EXPECT_EQ(FormatReal(p, 1234.565), "     1,234.57");
  EXPECT_EQ(Format(p, std::string_view("  -12.5")), "       -12.50");
  EXPECT_EQ(Format(p, std::string_view("abc")), "         0.00");
  EXPECT_EQ(Format(p, int64_t{INT64_MIN}), "#############");
}

TEST(PictureNumeric, DeformatReadsBackWhatIsShown) {
  const char* pictures[] = {"@N10.2",    "@N-10.2", "@N(12.2)",   "@N10.2-",    "@N$12.2",
                            "@N14`.2~ DM~", "@N014.2", "@N*14`.2", "@N14.`2",    "@N12v2",
                            "@N12`",     "@N-12.5", "@N~kn ~-14_`3"};
  const char* values[] = {"0", "1", "-1", "0.5", "-0.25", "1234.5", "-98765.43", "12.3456"};
  for (const char* pic : pictures) {
    CompiledPicture p = CompilePicture(pic);
    ASSERT_TRUE(p.Valid()) << pic;
    for (const char* v : values) {
      DecimalAccumulator value = TextToDecimal(v);
      std::string shown = Format(p, value);
      DeformatResult r = Deformat(p, shown);
      ASSERT_TRUE(r.ok) << pic << " '" << shown << "'";
      // What was shown was rounded to the picture's places.
      DecimalStack& s = TheDecimalStack();
      s.PushAccumulator(value);
      s.Round(p.numeric.places);
      DecimalAccumulator rounded = s.Pop();
      EXPECT_EQ(CompareDecimals(r.decimal, rounded), 0) << pic << " '" << shown << "' " << r.text;
    }
  }
}

TEST(PictureNumeric, DeformatIsGenerous) {
  EXPECT_EQ(Read("@N12`.2", "1,234.50"), "1234.5");
  EXPECT_EQ(Read("@N12`.2", "1234.5"), "1234.5");
  EXPECT_EQ(Read("@N12`.2", "  -5  "), "-5");
  EXPECT_EQ(Read("@N12`.2", "5-"), "-5");
  EXPECT_EQ(Read("@N12`.2", "(5.00)"), "-5");
  EXPECT_EQ(Read("@N12`.2", "( 5.00 )"), "-5");
  EXPECT_EQ(Read("@N$12.2", "$5.00"), "5");
  EXPECT_EQ(Read("@N$12.2", "-$5"), "-5");
  EXPECT_EQ(Read("@N12.2~ DM~", "5 dm"), "5");
  EXPECT_EQ(Read("@N12.`2", "1.234,5"), "1234.5");
  EXPECT_EQ(Read("@N12.`2", "5,25"), "5.25");
  EXPECT_EQ(Read("@N12`2", "5.25"), "5.25");  // "." also marks the decimals when it does not group
  EXPECT_EQ(Read("@N12v2", "1234"), "12.34");
  EXPECT_EQ(Read("@N12v2", "5"), "0.05");
  EXPECT_EQ(Read("@N12v2", "12.5"), "12.5");
  EXPECT_EQ(Read("@N*12.2", "*****5.00"), "5");
  EXPECT_EQ(Read("@N12.2", "2.345"), "2.35");
  EXPECT_EQ(Read("@N12.2", ""), "0");
  EXPECT_EQ(Read("@N12.2", "12a"), "<invalid>");
  EXPECT_EQ(Read("@N12.2", "1.2.3"), "<invalid>");
  EXPECT_EQ(Read("@N12.2", "--5"), "<invalid>");
  EXPECT_EQ(Read("@N12.2", "(-5)"), "<invalid>");
  EXPECT_EQ(Read("@N12.2", "5*"), "<invalid>");
}

TEST(PictureScientific, Layout) {
  EXPECT_EQ(Show("@E12.3", "1234.56"), "  1.235E+003");
  EXPECT_EQ(Show("@E12.3", "-0.00012"), " -1.200E-004");
  EXPECT_EQ(Show("@E12.3", "0"), "  0.000E+000");
  EXPECT_EQ(Show("@E12`3", "1234.56"), "  1,235E+003");
  EXPECT_EQ(Show("@E8", "1234.56"), "  1E+003");
  EXPECT_EQ(Show("@E5.3", "1234.56"), "#####");
  EXPECT_EQ(FormatReal(CompilePicture("@E12.3"), 1e300), "  1.000E+300");
  EXPECT_EQ(Read("@E12.3", "  1.235E+003"), "1235");
  EXPECT_EQ(Read("@E12.3", "-1.2e-4"), "-0.00012");
  EXPECT_EQ(Read("@E12.3", "1.2x"), "<invalid>");
  EXPECT_EQ(Read("@E12.3", "1.2E"), "<invalid>");
}

TEST(PicturePattern, DigitMasks) {
  CompiledPicture phone = CompilePicture("@P(###)###-####P");
  EXPECT_EQ(phone.Width(), 13);
  EXPECT_EQ(Format(phone, int64_t{5551234567}), "(555)123-4567");
  EXPECT_EQ(Format(phone, int64_t{12}), "(000)000-0012");
  EXPECT_EQ(Format(phone, int64_t{55512345678}), "#############");
  EXPECT_EQ(Format(phone, int64_t{-5}), "#############");
  EXPECT_EQ(Show("@P<<#.##P", "1234"), " 12.34");
  EXPECT_EQ(Show("@P<<#.##P", "5"), "  0.05");
  EXPECT_EQ(Show("@pPp-##p", "42"), "Pp-42");  // the last letter closes, earlier ones are text
  EXPECT_EQ(Read("@P(###)###-####P", "(555)123-4567"), "5551234567");
  EXPECT_EQ(Read("@P(###)###-####P", "555 123 4567"), "5551234567");
  EXPECT_EQ(Read("@P(###)###-####P", "55512345678"), "<invalid>");
  EXPECT_EQ(Read("@P(###)###-####P", "555x"), "<invalid>");
}

TEST(PicturePattern, KeyInMasks) {
  CompiledPicture ssn = CompilePicture("@K###-##-####K");
  EXPECT_EQ(Format(ssn, std::string_view("123456789")), "123-45-6789");
  EXPECT_EQ(Format(ssn, std::string_view("1234")), "123-4 -    ");
  EXPECT_EQ(Read("@K###-##-####K", "123-45-6789"), "123456789");
  EXPECT_EQ(Read("@K###-##-####K", "123456789"), "123456789");
  EXPECT_EQ(Read("@K###-##-####K", "12a-45-6789"), "<invalid>");
  EXPECT_EQ(Read("@K###-##-####K", "123-45-678"), "<invalid>");
  EXPECT_EQ(Read("@K###-##-####K", "123-45-67890"), "<invalid>");
  EXPECT_EQ(Read("@K###-##-####K", ""), "");

  EXPECT_EQ(Format(CompilePicture("@K^^^-_@?K"), std::string_view("abcXyZ")), "ABC-xyZ");
  EXPECT_EQ(Read("@K^^^-_@?K", "abc-XY!"), "ABCxY!");
  EXPECT_EQ(Read("@K^^^-_@?K", "ab1-XY!"), "<invalid>");

  CompiledPicture opt = CompilePicture("@K@@|-##K");
  EXPECT_EQ(opt.Width(), 5);
  EXPECT_EQ(Format(opt, std::string_view("ab")), "ab   ");
  EXPECT_EQ(Format(opt, std::string_view("ab12")), "ab-12");
  EXPECT_EQ(Read("@K@@|-##K", "ab"), "ab");
  EXPECT_EQ(Read("@K@@|-##K", "ab-12"), "ab12");
  EXPECT_EQ(Read("@K@@|-##K", "a"), "<invalid>");

  EXPECT_EQ(Format(CompilePicture("@K\\##K"), std::string_view("5")), "#5");
  EXPECT_EQ(Read("@K<<#K", " 12"), " 12");
}

TEST(PictureString, WidthCutsAndPads) {
  CompiledPicture p = CompilePicture("@S5");
  EXPECT_EQ(Format(p, std::string_view("abcdefg")), "abcde");
  EXPECT_EQ(Format(p, std::string_view("ab")), "ab   ");
  EXPECT_EQ(Format(p, int64_t{-42}), "-42  ");
  EXPECT_EQ(Read("@S5", "abcdefg"), "abcde");
  EXPECT_EQ(Read("@S5", " ab"), " ab");
  EXPECT_EQ(Format(CompilePicture("@S255"), std::string_view(std::string(300, 'x'))),
            std::string(255, 'x'));
}

}  // namespace
}  // namespace cinevo
