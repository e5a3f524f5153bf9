#include "runtime/ui/entry_mask.h"

#include <gtest/gtest.h>

#include <string>

namespace cinevo {
namespace {

// Types `keys` one by one from the blank mask; refused keys change nothing.
std::string TypeAll(const EntryMask& m, std::string_view keys, int* cursor = nullptr) {
  EntryMask::Edit e{m.Fit({}), 0};
  for (char c : keys) {
    if (auto next = m.Type(e.text, e.cursor, c)) e = *next;
  }
  if (cursor) *cursor = e.cursor;
  return e.text;
}

TEST(EntryMaskTest, OnlyPatternAndKeyInPicturesAreMasks) {
  EXPECT_FALSE(EntryMask(CompilePicture("@s20")).Active());
  EXPECT_FALSE(EntryMask(CompilePicture("@n6.2")).Active());
  EXPECT_FALSE(EntryMask(CompilePicture("@d1")).Active());
  EXPECT_FALSE(EntryMask(CompilePicture("@Kx")).Active());  // invalid
  EXPECT_EQ(EntryMask(CompilePicture("@P(###)###-####P")).Width(), 13);
  // "|" takes no position, "\" makes the next character a literal.
  EntryMask k(CompilePicture("@K##|-\\###K"));
  EXPECT_EQ(k.Width(), 6);
  EXPECT_EQ(k.Fit({}), "  -#  ");
}

TEST(EntryMaskTest, DigitsFillThePositionsAndTheCursorSkipsLiterals) {
  EntryMask m(CompilePicture("@P(###)###-####P"));
  int cursor = 0;
  EXPECT_EQ(TypeAll(m, "5551234567", &cursor), "(555)123-4567");
  EXPECT_EQ(cursor, 13);
  // Typing the literals themselves steps over them; what fits nowhere is refused.
  EXPECT_EQ(TypeAll(m, "(555) 123-45x67"), "(555)123-4567");
  EXPECT_EQ(TypeAll(m, "55a5"), "(555)   -    ");
  // Past the last position nothing more is taken.
  EXPECT_EQ(TypeAll(m, "555123456789"), "(555)123-4567");
  EXPECT_FALSE(m.Type("(555)123-4567", 13, '1'));
}

TEST(EntryMaskTest, KeyInPositionsTakeTheirKindAndConvertCase) {
  EntryMask m(CompilePicture("@K^__-#<-?K"));
  EXPECT_EQ(TypeAll(m, "aBC1 x"), "Abc-1 -x");
  EXPECT_FALSE(m.Type(m.Fit({}), 0, '1'));   // a digit where a letter goes
  EXPECT_FALSE(m.Type("Abc-  - ", 4, 'q'));  // a letter where a digit goes
  EXPECT_FALSE(m.Type("Abc-  - ", 4, ' '));  // "#" takes no blank, "<" does
  EXPECT_TRUE(m.Type("Abc-1 - ", 5, ' '));
  EXPECT_FALSE(m.Type(m.Fit({}), 0, '\xE8'));  // not one byte of the shown text
}

TEST(EntryMaskTest, TypingOverwritesAndTheBlankTailStartsWhereTheTypingStopped) {
  EntryMask m(CompilePicture("@P###-####P"));
  EXPECT_EQ(m.FirstFree("12 -    "), 2);
  EXPECT_EQ(m.FirstFree("123-    "), 4);
  EXPECT_EQ(m.FirstFree("   -    "), 0);
  EXPECT_EQ(m.FirstFree("123-4567"), 8);
  auto e = m.Type("123-4567", 1, '9');
  ASSERT_TRUE(e);
  EXPECT_EQ(e->text, "193-4567");
  EXPECT_EQ(e->cursor, 2);
}

TEST(EntryMaskTest, ErasingBlanksValuePositionsAndLeavesLiterals) {
  EntryMask m(CompilePicture("@P###-####P"));
  EXPECT_EQ(m.Erase("123-4567", 0, 8).text, "   -    ");
  EntryMask::Edit e = m.Backspace("123-4567", 4);  // just after the "-": the "3" goes
  EXPECT_EQ(e.text, "12 -4567");
  EXPECT_EQ(e.cursor, 2);
  e = m.Delete("123-4567", 3);  // on the "-": the "4" goes
  EXPECT_EQ(e.text, "123- 567");
  EXPECT_EQ(e.cursor, 4);
  EXPECT_EQ(m.Backspace("123-4567", 0).text, "123-4567");
  // A text from elsewhere is laid over the mask: misfits blank, literals restored.
  EXPECT_EQ(m.Fit("1a3x45"), "1 3-45  ");
}

}  // namespace
}  // namespace cinevo
