// The operation table and names: consistency rules that every row must keep.
#include "runtime/data/driver_op.h"

#include <gtest/gtest.h>

#include "runtime/data/file_state.h"

namespace cinevo {
namespace {

TEST(DriverOpTest, NamesIncludingPlaceholders) {
  EXPECT_EQ(DriverOpName(0), "(0)");
  EXPECT_EQ(DriverOpName(35), "(35)");
  EXPECT_EQ(DriverOpName(39), "(39)");
  EXPECT_EQ(DriverOpName(87), "Internal");
  EXPECT_EQ(DriverOpName(91), "Internal");
  EXPECT_EQ(DriverOpName(DriverOp::kBuildDynFilter), "BUILDdynfilter");
  EXPECT_EQ(DriverOpName(DriverOp::kEndView), "ENDVIEW");
  EXPECT_EQ(DriverOpName(94), "UNKNOWN");
  EXPECT_EQ(DriverOpName(-1), "UNKNOWN");
}

TEST(DriverOpTest, RowsExistExactlyForCodes1To93) {
  EXPECT_EQ(OpTableRow(0), nullptr);
  EXPECT_EQ(OpTableRow(94), nullptr);
  for (int code = 1; code <= kLastDriverOp; ++code) ASSERT_NE(OpTableRow(code), nullptr) << code;
}

TEST(DriverOpTest, RowsAreConsistent) {
  for (int code = 1; code <= kLastDriverOp; ++code) {
    const OpRow& r = *OpTableRow(code);
    SCOPED_TRACE(DriverOpName(code));
    // File-level operations on a closed file free the working state afterwards.
    if (r.forbidden & kStateOpen) {
      EXPECT_TRUE(r.actions & (kPostAllowedClosed | kPostFreeState));
    }
    // Nothing sets a bit that it also clears, or requires a bit that it forbids.
    EXPECT_EQ(r.set & r.clear, 0u);
    EXPECT_EQ(r.required & r.forbidden, 0u);
    // Positioning operations fix a sequence; every SET/RESET also marks it fresh.
    if (r.actions & kPostPositioning) {
      EXPECT_TRUE((r.set | r.clear | r.fail_clear) & kStateSequenceSet);
      if (r.set & kStateSequenceSet && code != static_cast<int>(DriverOp::kSetView)) {
        EXPECT_TRUE(r.set & kStateFreshSequence);
      }
    }
    // Key operations are the ones that require a built index.
    if (r.required & kStateIndexBuilt) {
      EXPECT_TRUE(r.required & kStateOpen);
    }
  }
}

TEST(DriverOpTest, SpotRows) {
  const OpRow& next = *OpTableRow(24);
  EXPECT_EQ(next.actions, 5);
  EXPECT_EQ(next.required, 0x21u);
  EXPECT_EQ(next.fail_clear, 0x2022u);
  const OpRow& close = *OpTableRow(7);
  EXPECT_EQ(close.actions, 3);
  EXPECT_EQ(close.clear, 0x101u);
  const OpRow& unlock = *OpTableRow(50);
  EXPECT_EQ(unlock.required, 0x11u);
  EXPECT_EQ(unlock.forbidden, 0x4u);
  const OpRow& inview = *OpTableRow(92);
  EXPECT_EQ(inview.forbidden, 0x100u);
  EXPECT_EQ(inview.set, 0x100u);
  const OpRow& put_ptr = *OpTableRow(54);
  EXPECT_EQ(put_ptr.fail_clear, 0x2u);
  EXPECT_EQ(OpTableRow(84)->required, 0xC0u);
}

TEST(AccessModeTest, Bits) {
  EXPECT_EQ(AccessModeState(0x22), uint32_t{kStateWriteAllowed});
  EXPECT_EQ(AccessModeState(0x42), uint32_t{kStateWriteAllowed});
  EXPECT_EQ(AccessModeState(0x12), uint32_t{kStateWriteAllowed | kStateExclusive});
  EXPECT_EQ(AccessModeState(0x10), uint32_t{kStateExclusive});
  EXPECT_EQ(AccessModeState(0x40), 0u);
  EXPECT_EQ(AccessModeState(0x21), uint32_t{kStateWriteAllowed});
}

}  // namespace
}  // namespace cinevo
