// File and key properties: the generic answers, a driver's own answers taking precedence, and
// string results reaching the StringStack in the language's calling form.
#include "runtime/data/file_properties.h"

#include <gtest/gtest.h>

#include "runtime/core/string_stack.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/recording_test_driver.h"

namespace cinevo {
namespace {

using testing::RecordingDriver;

class FilePropertiesTest : public ::testing::Test {
 protected:
  static FileDeclaration Declaration() {
    FileDeclaration d;
    d.label = "PODGRU";
    d.driver = "RECTEST";
    d.fields = {MakeField("POD:SIFRA", TypeCode::kLong, 0, 4),
                MakeField("POD:GRUPA", TypeCode::kLong, 4, 4),
                MakeField("POD:SLOG", TypeCode::kString, 8, 255)};
    d.keys = {MakeKey("POD:PRK", kKeyPrimary, {1}),
              MakeKey("POD:GRK", kKeyDup | kKeyNoCase, {2, -1})};
    MemoDeclaration blob;
    blob.label = "POD:SLIKA";
    blob.flags = kMemoBlob | kMemoBinary;
    d.memos = {blob};
    return d;
  }
  void SetUp() override {
    RecordingDriver::Get().Reset();
    TheStringStack().Reset();
  }
  void TearDown() override {
    RecordingDriver::Get().Reset();
    TheStringStack().Reset();
  }

  bool registered = RegisterDriver(testing::RecordingRegistration());
  FileDeclaration decl = Declaration();
  FileControlBlock fcb{decl};
};

TEST_F(FilePropertiesTest, FileProperties) {
  EXPECT_EQ(GetProperty(fcb, kPropMemoCount), "1");
  EXPECT_EQ(GetProperty(fcb, kPropFieldCount), "3");
  EXPECT_EQ(GetProperty(fcb, kPropFileName), "PODGRU");
  EXPECT_EQ(GetProperty(fcb, kPropFieldName, 3), "POD:SLOG");
  EXPECT_EQ(GetProperty(fcb, kPropFieldName, 4), "");
  EXPECT_EQ(fcb.last_error, 80);  // nobody answers a field past the end
  EXPECT_EQ(GetProperty(fcb, kPropFieldName, 0), "");
  EXPECT_EQ(GetProperty(fcb, kPropMemoValue, -1), "");  // the driver's business
  EXPECT_EQ(GetProperty(fcb, kPropCurrentKey), "0");
  ASSERT_EQ(Open(fcb), 0);
  ASSERT_EQ(SetKey(fcb, 1), 0);
  EXPECT_EQ(GetProperty(fcb, kPropCurrentKey), "2");
  ASSERT_EQ(Set(fcb), 0);
  EXPECT_EQ(GetProperty(fcb, kPropCurrentKey), "0");
  EXPECT_EQ(GetProperty(fcb, kPropHeld), "0");
  EXPECT_EQ(GetProperty(fcb, kPropWatched), "0");
}

TEST_F(FilePropertiesTest, KeyProperties) {
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyComponents), "2");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyDups), "1");
  EXPECT_EQ(GetKeyProperty(fcb, 0, kPropKeyDups), "0");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyNocase), "1");
  EXPECT_EQ(GetKeyProperty(fcb, 0, kPropKeyPrimary), "1");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyPrimary), "0");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyComponentField, 1), "2");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyComponentField, 2), "1");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyComponentAscend, 1), "1");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyComponentAscend, 2), "0");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropKeyComponentAscend, 3), "");
  EXPECT_EQ(GetKeyProperty(fcb, 1, kPropFileName), "");  // not a key property
}

TEST_F(FilePropertiesTest, DriverAnswerTakesPrecedence) {
  RecordingDriver::Get().texts[DriverOp::kGetProperty] = "C:\\DATA\\PODGRU.TVX";
  EXPECT_EQ(GetProperty(fcb, kPropFileName), "C:\\DATA\\PODGRU.TVX");
  RecordingDriver::Get().results[DriverOp::kSetProperty] = 80;
  EXPECT_EQ(SetProperty(fcb, kPropTransaction, "1"), 80);  // a driver without transactions
}

TEST_F(FilePropertiesTest, LanguageFormPushesStrings) {
  RecordingDriver::Get().texts[DriverOp::kName] = "PODGRU.TVX";
  DriverArgs a;
  EXPECT_EQ(DispatchToStack(DriverOp::kName, fcb, a), 0);
  DriverArgs p;
  p.property = kPropFieldName;
  p.index = 2;
  EXPECT_EQ(DispatchToStack(DriverOp::kGetProperty, fcb, p), 0);
  DriverArgs failed;
  EXPECT_EQ(DispatchToStack(DriverOp::kPositionFile, fcb, failed), 37);
  DriverArgs none;
  EXPECT_EQ(DispatchToStack(DriverOp::kFlush, fcb, none), 37);  // no string: nothing pushed
  ASSERT_EQ(TheStringStack().Count(), 3);
  EXPECT_EQ(TheStringStack().PopText(), "");  // a failed POSITION still leaves its string
  EXPECT_EQ(TheStringStack().PopText(), "POD:GRUPA");
  EXPECT_EQ(TheStringStack().PopText(), "PODGRU.TVX");
}

TEST(GenericPropertyTest, UnknownNumbersAreNotAnswered) {
  FileDeclaration d;
  d.label = "X";
  FileControlBlock f(d, nullptr);
  EXPECT_FALSE(GenericProperty(f, -1, 0x7999, 0));
  EXPECT_FALSE(GenericProperty(f, 0, kPropKeyComponents, 0));  // no such key
  EXPECT_EQ(GenericProperty(f, -1, kPropFieldCount, 0), "0");
}

}  // namespace
}  // namespace cinevo
