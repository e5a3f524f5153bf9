#include "runtime/ui/event_code.h"

#include <gtest/gtest.h>

#include "runtime/ui/key_code.h"

#include <Qt>

namespace cinevo {
namespace {

TEST(EventCode, LanguageAndInternalValuesDifferByTheBias) {
  EXPECT_EQ(InternalEventCode(EVENT::OpenWindow), 0x1603u);
  EXPECT_EQ(LanguageEventCode(0x1401), EVENT::Accepted);
  EXPECT_TRUE(IsFieldEvent(EVENT::Accepted));
  EXPECT_TRUE(IsFieldEvent(EVENT::ColumnResize));
  EXPECT_TRUE(IsFieldEvent(EVENT::Selected));
  EXPECT_FALSE(IsFieldEvent(EVENT::CloseWindow));
  EXPECT_FALSE(IsFieldEvent(0));
}

TEST(EventCode, NamesTableCoversEventsAndPrivateMessagesOnly) {
  EXPECT_EQ(EventName(InternalEventCode(EVENT::Accepted)), "EVENT:Accepted");
  EXPECT_EQ(EventName(InternalEventCode(EVENT::ColumnResize)), "EVENT:ColumnResize");
  EXPECT_EQ(EventName(InternalEventCode(EVENT::Selected)), "EVENT:Selected");
  EXPECT_EQ(EventName(InternalEventCode(EVENT::Timer)), "EVENT:Timer");
  EXPECT_EQ(EventName(InternalEventCode(EVENT::BuildDone)), "EVENT:BuildDone");
  EXPECT_EQ(EventName(0x241C), "QUERY_CONTINUETHREAD");
  EXPECT_EQ(EventName(0x241D), "QUERY_EDITDONE");
  EXPECT_TRUE(EventName(InternalEventCode(0x207)).empty());  // no event has this value
  EXPECT_TRUE(EventName(EVENT::Accepted).empty());            // language values are not names
  EXPECT_TRUE(EventName(0xFFFFFFFF).empty());
}

TEST(KeyCode, FitsElevenBitsWithModifierBits) {
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_A, Qt::NoModifier, u'a'), 0x41u);
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, 0), 0x341u);
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_F24, Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier,
                          0) & ~kKeyCodeMask,
            0u);
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_Return, Qt::NoModifier, u'\r'), 0x0Du);
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_Delete, Qt::NoModifier, 0), 0x2Eu);
  // Shift+Tab comes as Backtab with Shift: Tab with the Shift bit.
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_Backtab, Qt::ShiftModifier, 0), 0x109u);
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_F1, Qt::NoModifier, 0), 0x70u);
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_Shift, Qt::ShiftModifier, 0), 0u);  // a modifier alone
  // Ctrl+' is the forms' history key, not Ctrl+Right (whose code the apostrophe's text has).
  EXPECT_EQ(KeyCodeFromQt(Qt::Key_Apostrophe, Qt::ControlModifier, u'\''), 0x2DEu);
}

TEST(KeyCode, PressCharactersBecomeTheKeysThatTypeThem) {
  QtKeystroke a = QtKeystrokeFromChar('a');
  EXPECT_EQ(a.key, Qt::Key_A);
  EXPECT_EQ(a.modifiers, 0);
  EXPECT_EQ(a.text, u'a');
  QtKeystroke big = QtKeystrokeFromChar('Z');
  EXPECT_EQ(big.key, Qt::Key_Z);
  EXPECT_EQ(big.modifiers, static_cast<int>(Qt::ShiftModifier));
  EXPECT_EQ(QtKeystrokeFromChar('\r').key, Qt::Key_Return);
  EXPECT_EQ(QtKeystrokeFromChar(' ').key, Qt::Key_Space);
  EXPECT_EQ(QtKeystrokeFromChar(0xE9).text, u'\u00e9');
}

}  // namespace
}  // namespace cinevo
