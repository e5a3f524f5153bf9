#include "runtime/data/isam/key_read_ahead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cinevo::isam {
namespace {

// A reader of made-up records: record r is "rec<r>", except that `missing` has none and
// `failing` fails. It notes the order it is asked in.
struct FakeReader {
  uint32_t missing = 0, failing = 0;
  std::vector<uint32_t> asked;
  KeyReadAhead::Reader Fn() {
    return [this](uint32_t r, std::string& out, bool& exists) {
      asked.push_back(r);
      if (r == failing) return Status::System(5, "read failed");
      exists = r != missing;
      if (exists) out += "rec" + std::to_string(r);
      return Status::Ok();
    };
  }
};

// Steps that load pages: two per step, as a scan over a file the cache cannot hold.
size_t StepLoading(KeyReadAhead& a, uint64_t& loads) {
  loads += 2;
  return a.CountStep(loads, 100);
}

TEST(KeyReadAhead, StartsAfterALongScanAndGrowsWithItUpToItsByteLimit) {
  KeyReadAhead a;
  uint64_t loads = 0;
  for (uint64_t i = 1; i < KeyReadAhead::kStartAfter; ++i) ASSERT_EQ(StepLoading(a, loads), 0u) << i;
  EXPECT_EQ(StepLoading(a, loads), KeyReadAhead::kStartAfter);
  for (int i = 0; i < 100; ++i) StepLoading(a, loads);
  EXPECT_EQ(StepLoading(a, loads), KeyReadAhead::kStartAfter + 101);
  for (int i = 0; i < 100000; ++i) StepLoading(a, loads);
  EXPECT_EQ(StepLoading(a, loads), KeyReadAhead::kMaxBytes / 100);
  // A scan whose pages stay cached reads nothing ahead.
  a.Reset();
  for (uint64_t i = 0; i < 5 * KeyReadAhead::kStartAfter; ++i) ASSERT_EQ(a.CountStep(loads, 100), 0u);
}

TEST(KeyReadAhead, ReadsInRecordOrderAndGivesTheRecordsInTheScansOrder) {
  KeyReadAhead a;
  FakeReader reader;
  reader.missing = 5;
  std::vector<uint32_t> scan{9, 2, 5, 7, 2};  // a record may come twice (two entries of one key)
  ASSERT_TRUE(a.Fill(3, scan, reader.Fn()).ok());
  EXPECT_EQ(reader.asked, (std::vector<uint32_t>{2, 2, 5, 7, 9}));
  for (uint32_t r : scan) {
    std::string_view stored;
    bool exists = true;
    ASSERT_TRUE(a.Next(3, r, stored, exists)) << r;
    EXPECT_EQ(exists, r != 5);
    if (exists) {
      EXPECT_EQ(stored, "rec" + std::to_string(r));
    }
  }
  std::string_view stored;
  bool exists = false;
  EXPECT_FALSE(a.Next(3, 1, stored, exists)) << "nothing is left";
}

// A change to the file (a new version) or a scan that goes elsewhere spoils the batch: nothing
// more is given from it, and the scan reads no further ahead until it starts anew.
TEST(KeyReadAhead, ASpoiltBatchIsDroppedAndEndsReadingAhead) {
  for (bool change : {true, false}) {
    KeyReadAhead a;
    FakeReader reader;
    uint64_t loads = 0;
    for (uint64_t i = 0; i < KeyReadAhead::kStartAfter; ++i) StepLoading(a, loads);
    std::vector<uint32_t> scan{1, 2, 3};
    ASSERT_TRUE(a.Fill(7, scan, reader.Fn()).ok());
    std::string_view stored;
    bool exists = false;
    ASSERT_TRUE(a.Next(7, 1, stored, exists));
    EXPECT_FALSE(change ? a.Next(8, 2, stored, exists) : a.Next(7, 3, stored, exists));
    EXPECT_FALSE(a.Next(7, change ? 2 : 3, stored, exists));
    EXPECT_EQ(StepLoading(a, loads), 0u);
    a.Reset();
    for (uint64_t i = 1; i < KeyReadAhead::kStartAfter; ++i) StepLoading(a, loads);
    EXPECT_EQ(StepLoading(a, loads), KeyReadAhead::kStartAfter);
  }
}

TEST(KeyReadAhead, AFailedReadKeepsNothing) {
  KeyReadAhead a;
  FakeReader reader;
  reader.failing = 4;
  std::vector<uint32_t> scan{3, 4, 5};
  EXPECT_FALSE(a.Fill(1, scan, reader.Fn()).ok());
  std::string_view stored;
  bool exists = false;
  EXPECT_FALSE(a.Next(1, 3, stored, exists));
  EXPECT_EQ(a.kept(), 0u);
}

}  // namespace
}  // namespace cinevo::isam
