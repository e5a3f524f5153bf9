// The driver registry and what a registration declares.
#include "runtime/data/driver.h"

#include <gtest/gtest.h>

#include "runtime/data/recording_test_driver.h"

namespace cinevo {
namespace {

int OtherEntry(DriverOp, FileControlBlock&, DriverArgs&) { return 0; }

TEST(DriverRegistryTest, FindsByNameIgnoringCase) {
  const DriverRegistration& rec = testing::RecordingRegistration();
  ASSERT_TRUE(RegisterDriver(rec));
  EXPECT_EQ(FindDriver("RECTEST"), &rec);
  EXPECT_EQ(FindDriver("RecTest"), &rec);
  EXPECT_EQ(FindDriver("RECTES"), nullptr);
  EXPECT_EQ(FindDriver(""), nullptr);

  static const DriverRegistration replacement{{}, {}, "rectest", "", "", &OtherEntry, nullptr};
  ASSERT_TRUE(RegisterDriver(replacement));
  EXPECT_EQ(FindDriver("RECTEST"), &replacement);
  EXPECT_TRUE(UnregisterDriver("RECTEST"));
  EXPECT_EQ(FindDriver("RECTEST"), nullptr);
  EXPECT_FALSE(UnregisterDriver("RECTEST"));
}

TEST(DriverRegistryTest, RefusesIncompleteRecords) {
  static const DriverRegistration nameless{{}, {}, "", "", "", &OtherEntry, nullptr};
  static const DriverRegistration no_entry{{}, {}, "NOENTRY", "", "", nullptr, nullptr};
  EXPECT_FALSE(RegisterDriver(nameless));
  EXPECT_FALSE(RegisterDriver(no_entry));
  EXPECT_EQ(FindDriver("NOENTRY"), nullptr);
}

TEST(DriverRegistryTest, DeclaredOpsAndTypes) {
  const DriverRegistration& rec = testing::RecordingRegistration();
  EXPECT_TRUE(rec.Declares(DriverOp::kOpen));
  EXPECT_TRUE(rec.Declares(DriverOp::kSend));
  EXPECT_FALSE(rec.Declares(DriverOp::kPack));
  EXPECT_TRUE(rec.SupportsType(18));
  EXPECT_FALSE(rec.SupportsType(21));
}

TEST(FileControlBlockTest, StartsClosedAndSized) {
  FileDeclaration d;
  d.label = "T";
  d.driver = "NOWHERE";
  d.fields = {MakeField("T:A", TypeCode::kLong, 0, 4), MakeField("T:B", TypeCode::kString, 4, 6)};
  d.keys = {MakeKey("T:K", 0, {1}), MakeKey("T:I", kKeyIndex, {2})};
  FileControlBlock f(d);
  EXPECT_EQ(f.entry, nullptr);
  EXPECT_EQ(f.record.size(), 10u);
  EXPECT_EQ(f.state, 0u);
  EXPECT_EQ(f.work, nullptr);
  ASSERT_EQ(f.keys.size(), 2u);
  EXPECT_FALSE(f.keys[0].needs_build);
  EXPECT_TRUE(f.keys[1].needs_build);
  EXPECT_FALSE(f.keys[1].built);
}

}  // namespace
}  // namespace cinevo
