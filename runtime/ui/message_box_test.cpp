#include "runtime/ui/message_box.h"

#include <gtest/gtest.h>

namespace cinevo {
namespace {

TEST(MessageBoxTest, DefaultAnswerIsTheDefaultButtonWhenPresentElseTheFirst) {
  using namespace box_button;
  EXPECT_EQ(DefaultAnswer({"t", "T", 0, kYes + kNo + kCancel, kNo}), kNo);
  EXPECT_EQ(DefaultAnswer({"t", "T", 0, kYes + kNo + kCancel, 0}), kYes);
  EXPECT_EQ(DefaultAnswer({"t", "T", 0, kYes + kNo, kCancel}), kYes);  // not one of the buttons
  EXPECT_EQ(DefaultAnswer({"t", "T", 0, kYes + kNo, kYes + kNo}), kYes);  // not one button
  EXPECT_EQ(DefaultAnswer({"t", "T", 0, 0, 0}), kOk);
}

TEST(MessageBoxTest, BarsBecomeLineBreaks) {
  EXPECT_EQ(MessageBoxLines("one|two||three"), "one\ntwo\n\nthree");
}

TEST(MessageBoxTest, ScriptAnswersInOrderRecordsAndRestores) {
  {
    ScriptedMessageBoxes user({box_button::kNo, box_button::kCancel});
    EXPECT_EQ(ShowMessageBox("Save?", "Save Record", box_icon::kExclamation, 70, 2), 4u);
    EXPECT_EQ(ShowMessageBox("Again?", "Save Record", box_icon::kExclamation, 70, 2), 64u);
    EXPECT_EQ(ShowMessageBox("More?", "Save Record", box_icon::kExclamation, 70, 2), 2u);
    ASSERT_EQ(user.Shown().size(), 3u);
    EXPECT_EQ(user.Shown()[0],
              (MessageBoxRequest{"Save?", "Save Record", box_icon::kExclamation, 70, 2}));
    {
      ScriptedMessageBoxes inner({box_button::kOk});
      ShowMessageBox("inner", "I");
      EXPECT_EQ(inner.Shown().size(), 1u);
    }
    ShowMessageBox("outer again", "O");
    EXPECT_EQ(user.Shown().size(), 4u);  // the outer script is back after the inner one ends
  }
  // No script and no application: the default answer, told on standard error.
  EXPECT_EQ(ShowMessageBox("x", "y", 0, box_button::kYes + box_button::kNo, box_button::kNo),
            box_button::kNo);
}

TEST(MessageBoxTest, HaltIsRecordedByTheScriptInsteadOfEndingTheProcess) {
  ScriptedMessageBoxes user;
  Halt(0, "Fatal Error");
  ASSERT_EQ(user.Halts().size(), 1u);
  EXPECT_EQ(user.Halts()[0].exitCode, 0);
  EXPECT_EQ(user.Halts()[0].text, "Fatal Error");
  EXPECT_TRUE(user.Shown().empty());
}

TEST(MessageBoxDeathTest, HaltWithoutHandlerEndsTheProcessWithItsCode) {
  EXPECT_EXIT(Halt(7, "stop"), ::testing::ExitedWithCode(7), "Halt: stop");
}

}  // namespace
}  // namespace cinevo
