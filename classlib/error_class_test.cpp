// The error reporter and its message table, with the user replaced by a script.
#include "classlib/error_class.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {
namespace {

using box_button::kCancel;
using box_button::kNo;
using box_button::kOk;
using box_button::kYes;

constexpr int kExclamation = 32515;
constexpr int kInformation = 32516;

MessageBoxRequest Box(std::string text, std::string title, int icon, unsigned buttons, unsigned def) {
  return MessageBoxRequest{std::move(text), std::move(title), icon, buttons, def};
}

class ErrorClassTest : public ::testing::Test {
 protected:
  void SetUp() override { errors_.Init(); }
  void TearDown() override { errors_.Kill(); }
  // An application set of one message.
  void AddOne(uint16_t id, uint8_t severity, std::string title, std::string text) {
    titles_.push_back(std::move(title));
    texts_.push_back(std::move(text));
    MessageEntry e{id, severity, titles_.back(), texts_.back()};
    sets_.push_back(PackMessageSet(std::span(&e, 1)));
    ASSERT_TRUE(errors_.AddErrors(sets_.back()));
  }
  std::string Format(uint16_t id) {
    EXPECT_TRUE(errors_.FindError(id));
    return errors_.FormatText();
  }

  ErrorClass errors_;
  std::vector<std::string> titles_, texts_;
  std::vector<std::vector<uint8_t>> sets_;
};

TEST(DefaultMessagesTest, HoldsTheThirtySixMessagesInStoredOrder) {
  std::vector<MessageEntry> e;
  ASSERT_TRUE(ReadMessageSet(DefaultMessages(), e));
  ASSERT_EQ(e.size(), 36u);
  const std::vector<int> ids = {18, 29, 5,  26, 24, 25, 23, 22, 33, 32, 16, 30, 14, 39, 8,  15, 38, 7,
                                3,  10, 1,  12, 2,  11, 9,  28, 27, 37, 36, 19, 31, 40, 21, 42, 43, 44};
  const std::string severities = "533555555555511555151511355115551555";
  for (size_t i = 0; i < e.size(); ++i) {
    EXPECT_EQ(e[i].id, ids[i]) << i;
    EXPECT_EQ(e[i].severity, severities[i] - '0') << "id " << e[i].id;
  }
  // The blanks that a retyped table loses.
  EXPECT_EQ(e[20].message,
            "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?");
  EXPECT_EQ(e[24].message, "File (%File) could not be opened.  Error: %ErrorText.");
  EXPECT_EQ(e[21].message, "%File File Load Error.  Error: %ErrorText.");
  EXPECT_EQ(e[30].message,
            "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to "
            "previous window.");
  EXPECT_EQ(e[35].message, "The value of %Field must be in the list : %Message.");
  EXPECT_EQ(e[12].message,
            "This record was changed by another station. Those changes will now be displayed. Use "
            "the Ditto Button or Ctrl+' to recall your changes.");
  EXPECT_EQ(e[8].title, "Referential Integrity Update Error");
  EXPECT_EQ(e[15].message, "This form cannot be used to insert a record");  // no full stop
  // The whole set is exactly the packed form of its entries: count, then no filler anywhere.
  EXPECT_EQ(PackMessageSet(e), std::vector<uint8_t>(DefaultMessages().begin(), DefaultMessages().end()));
  EXPECT_EQ(DefaultMessages()[0], 36);
  EXPECT_EQ(DefaultMessages()[1], 0);
  EXPECT_EQ(DefaultMessages()[2], 18);  // the first id, low byte first
  for (int undefined : {4, 6, 13, 17, 20, 34, 35, 41}) {
    for (const MessageEntry& m : e) EXPECT_NE(m.id, undefined);
  }
}

TEST(MessageSetTest, DamagedSetsAreRefusedWithoutReadingPastTheirEnd) {
  std::vector<MessageEntry> e;
  EXPECT_FALSE(ReadMessageSet({}, e));
  const uint8_t one[] = {1};
  EXPECT_FALSE(ReadMessageSet(one, e));
  const uint8_t none[] = {0, 0};
  EXPECT_TRUE(ReadMessageSet(none, e));
  EXPECT_TRUE(e.empty());
  // Two entries announced, the second cut inside its text: the first is still read.
  MessageEntry two[] = {{50, 5, "T1", "first"}, {51, 1, "T2", "second"}};
  std::vector<uint8_t> set = PackMessageSet(two);
  for (size_t cut = 2; cut < set.size(); ++cut) {
    e.clear();
    std::vector<uint8_t> part(set.begin(), set.begin() + static_cast<long>(cut));
    EXPECT_FALSE(ReadMessageSet(part, e)) << cut;
    EXPECT_LE(e.size(), 1u);
  }
  e.clear();
  ASSERT_TRUE(ReadMessageSet(set, e));
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[1].id, 51);
  EXPECT_EQ(e[1].title, "T2");
  EXPECT_EQ(e[1].message, "second");
  // Over-long parts are cut to what a length byte can say.
  std::string longText(300, 'x');
  MessageEntry big{60, 5, "T", longText};
  e.clear();
  ASSERT_TRUE(ReadMessageSet(PackMessageSet(std::span(&big, 1)), e));
  EXPECT_EQ(e[0].message.size(), 255u);
}

TEST_F(ErrorClassTest, AQuestionAnswersZeroForYesAndCancelOtherwise) {
  ScriptedMessageBoxes user({kYes, kNo});
  EXPECT_EQ(errors_.TakeError(39), kLevelBenign);
  EXPECT_EQ(errors_.TakeError(39), kLevelCancel);
  ASSERT_EQ(user.Shown().size(), 2u);
  EXPECT_EQ(user.Shown()[0],
            Box("An error was experienced changing this record. Do you want to try to save again?",
                "Record Update Error", kExclamation, kYes + kNo, kYes));
}

TEST_F(ErrorClassTest, NotifyShowsOkAndReturnsFive) {
  ScriptedMessageBoxes user;
  errors_.SetFile("Grupa     ");
  EXPECT_EQ(errors_.TakeError(42), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0],
            Box("A record held by another station was encountered reading from the Grupa file.",
                "Record not read", kInformation, kOk, kOk));
}

TEST_F(ErrorClassTest, FatalShowsTheTailThenHaltsWithTheTitle) {
  ScriptedMessageBoxes user;
  errors_.SetFile("PodGru");
  errors_.SetSavedErrors(5, "Access Denied", "", "");
  EXPECT_EQ(errors_.TakeError(9), kLevelFatal);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0],
            Box("File (PodGru) could not be opened.  Error: Access Denied (5).  Press OK to end this "
                "application",
                "File Access Error", kInformation, kOk, kOk));
  ASSERT_EQ(user.Halts().size(), 1u);
  EXPECT_EQ(user.Halts()[0].exitCode, 0);
  EXPECT_EQ(user.Halts()[0].text, "File Access Error");
}

TEST_F(ErrorClassTest, ErrorTextTakesTheDriverTextForFileSystemErrors) {
  errors_.SetFile("Grupa");
  errors_.SetSavedErrors(90, "File System Error", "28", "No space left on device");
  EXPECT_EQ(Format(28), "An error (No space left on device (28)) was experienced when making changes to "
                        "the Grupa file.");
  errors_.SetSavedErrors(5, "Access Denied", "", "");
  EXPECT_EQ(Format(28), "An error (Access Denied (5)) was experienced when making changes to the Grupa file.");
}

TEST_F(ErrorClassTest, SetErrorsCapturesTheRuntimeErrorOfTheMoment) {
  PostError(5);
  errors_.SetErrors();
  PostError(0);
  EXPECT_EQ(errors_.SavedErrorCode(), 5);
  EXPECT_EQ(errors_.SavedError(), "Access Denied");
  EXPECT_EQ(errors_.SavedFileErrorCode(), "");
  errors_.SetFile("Grupa");
  EXPECT_EQ(Format(5), "Error: (Access Denied (5)) creating Grupa.");
}

TEST_F(ErrorClassTest, PlaceholdersAreFilledOnceLongestFirst) {
  AddOne(100, 5, "T", "%ErrorCode|%ErrorText|%Error|%FileErrorCode|%FileError|%File|%Message|%Field|%File");
  errors_.SetSavedErrors(90, "File System Error", "13", "Permission denied");
  errors_.SetFile("F");
  errors_.SetMessageText("M");
  errors_.SetFieldName("GRU:SIFRA");
  EXPECT_EQ(Format(100), "90|Permission denied (13)|File System Error|13|Permission denied|F|M|GRU:SIFRA|F");
  // A value holding a placeholder is inserted as it is, not expanded again.
  errors_.SetFile("%Message%File");
  errors_.SetMessageText("%Field");
  EXPECT_EQ(Format(100).substr(Format(100).rfind("Permission denied|") + 18),
            "%Message%File|%Field|GRU:SIFRA|%Message%File");
  // An unknown or unfinished placeholder stays as it is.
  AddOne(101, 5, "T", "100% %Unknown %Fiel %");
  EXPECT_EQ(Format(101), "100% %Unknown %Fiel %");
}

TEST_F(ErrorClassTest, PreviousShowsTheOlderTextUnfilled) {
  AddOne(9, 3, "Cannot Open", "Sorry. %Previous");
  errors_.SetFile("Grupa");
  errors_.SetSavedErrors(2, "File Not Found", "", "");
  EXPECT_EQ(Format(9), "Sorry. File (%File) could not be opened.  Error: %ErrorText.");
  ScriptedMessageBoxes user;
  errors_.TakeError(9);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "Cannot Open");
  // The newest entry stays current after the look-back.
  EXPECT_EQ(errors_.Current()->title, "Cannot Open");
  // Without an older entry the placeholder goes and nothing else.
  AddOne(200, 5, "T", "a%Previous b %Previous");
  EXPECT_EQ(Format(200), "a b ");
  // A value that spells %Previous is not looked up.
  errors_.SetFile("%Previous");
  AddOne(201, 5, "T", "%File");
  EXPECT_EQ(Format(201), "%Previous");
}

TEST_F(ErrorClassTest, AskShowsTheGivenButtonsAndIgnoresSeverity) {
  ScriptedMessageBoxes user({kCancel, kNo});
  EXPECT_EQ(errors_.Ask(36, 70, 64), kCancel);
  EXPECT_EQ(errors_.Ask(9, kYes + kNo, kNo), kNo);  // a Fatal message does not halt here
  EXPECT_EQ(user.Shown()[0], Box("Do you want to save the changes to this record?", "Save Record",
                                 kExclamation, kYes + kNo + kCancel, kCancel));
  EXPECT_TRUE(user.Halts().empty());
}

TEST_F(ErrorClassTest, AnUnknownIdIsReportedAndNeverBenign) {
  ScriptedMessageBoxes user({kYes});
  errors_.SetSavedErrors(0, "", "", "");
  EXPECT_EQ(errors_.TakeError(4), kLevelProgram);
  EXPECT_EQ(errors_.Current(), nullptr);
  EXPECT_EQ(errors_.FormatText(), "");
  EXPECT_EQ(errors_.Ask(41, kYes + kNo, kYes), kCancel);  // the question is never put
  ASSERT_EQ(user.Shown().size(), 2u);
  EXPECT_EQ(user.Shown()[0], Box("Message 4 is not in the message table.", "Unknown Message",
                                 kInformation, kOk, kOk));
  EXPECT_TRUE(user.Halts().empty());
  // After Kill nothing is known, and nothing breaks.
  errors_.Kill();
  EXPECT_EQ(errors_.TakeError(39), kLevelProgram);
}

TEST_F(ErrorClassTest, SeveritiesOutsideTheTableEndTheProgram) {
  AddOne(300, 2, "Program", "p");
  AddOne(301, 9, "Other", "o");
  AddOne(302, 0, "Benign", "b");
  AddOne(303, 4, "Cancel", "c");
  ScriptedMessageBoxes user({kYes});
  EXPECT_EQ(errors_.TakeError(302), kLevelBenign);
  EXPECT_TRUE(user.Shown().empty());
  EXPECT_EQ(errors_.TakeError(303), kLevelBenign);  // asked as a question
  errors_.TakeError(300);
  errors_.TakeError(301);
  ASSERT_EQ(user.Halts().size(), 2u);
  EXPECT_EQ(user.Halts()[0].text, "Program");
  EXPECT_EQ(user.Halts()[1].text, "Other");
}

TEST_F(ErrorClassTest, LongValuesAndTextsAreCut) {
  errors_.SetFile(std::string(300, 'f') + "   ");
  EXPECT_EQ(errors_.FileName().size(), 254u);
  std::string message(255, 'm');
  errors_.SetMessageText(message);
  EXPECT_EQ(errors_.MessageText().size(), 254u);
  std::string many = std::string(100, '.');
  for (int i = 0; i < 19; ++i) many += "%Message";  // 252 bytes, fills to far past 1999
  AddOne(400, 5, "T", many);
  EXPECT_EQ(Format(400).size(), 1999u);
}

}  // namespace
}  // namespace cinevo::classlib
