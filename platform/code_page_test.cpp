#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace cinevo::platform {
namespace {

TEST(CodePageTest, KnownLettersMapBothWays) {
  // e-acute: CP850 0x82, CP1252 0xE9; u-umlaut: 0x81 / 0xFC; A-ring 0x8F / 0xC5; pound 0x9C / 0xA3.
  const std::pair<uint8_t, uint8_t> pairs[] = {{0x82, 0xE9}, {0x81, 0xFC}, {0x8F, 0xC5}, {0x9C, 0xA3},
                                               {0xE1, 0xDF}, {0xA4, 0xF1}};
  for (auto [oem, ansi] : pairs) {
    EXPECT_EQ(OemToAnsiChar(oem), ansi) << int{oem};
    EXPECT_EQ(AnsiToOemChar(ansi), oem) << int{ansi};
  }
  EXPECT_EQ(OemToAnsi(std::string("\x82t\x82", 3)), std::string("\xE9t\xE9", 3));
}

TEST(CodePageTest, AsciiAndControlsAreUnchangedAndMissingCharactersBecomeQuestionMarks) {
  for (int c = 0; c < 128; ++c) {
    EXPECT_EQ(OemToAnsiChar(static_cast<uint8_t>(c)), c);
    EXPECT_EQ(AnsiToOemChar(static_cast<uint8_t>(c)), c);
  }
  EXPECT_EQ(OemToAnsiChar(0xC9), '?');  // a box-drawing corner has no ANSI character
  EXPECT_EQ(AnsiToOemChar(0x80), '?');  // the euro sign has no CP850 character
  EXPECT_EQ(AnsiToOemChar(0x81), '?');  // an undefined ANSI code
}

TEST(CodePageTest, CharactersPresentInBothPagesRoundTrip) {
  int round_trips = 0;
  for (int c = 128; c < 256; ++c) {
    uint8_t ansi = OemToAnsiChar(static_cast<uint8_t>(c));
    if (ansi == '?') continue;
    EXPECT_EQ(AnsiToOemChar(ansi), c) << c;
    ++round_trips;
  }
  EXPECT_GT(round_trips, 90);  // CP850 shares most of its letters with CP1252
}

TEST(CodePageTest, UnicodeOfAnsiBytes) {
  EXPECT_EQ(AnsiToUnicode(0x80), char32_t{0x20AC});
  EXPECT_EQ(AnsiToUnicode(0xC0), char32_t{0xC0});
  EXPECT_FALSE(AnsiToUnicode(0x8D).has_value());
  EXPECT_EQ(UnicodeToAnsi(0x20AC), uint8_t{0x80});
  EXPECT_FALSE(UnicodeToAnsi(0x4E00).has_value());
  EXPECT_EQ(AnsiToUtf8("a\x80\x8D"), "a\xE2\x82\xAC\xEF\xBF\xBD");
}

}  // namespace
}  // namespace cinevo::platform
