#include "runtime/core/queue_prefix_index.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace cinevo {
namespace {

// Fills `index` with `values` (sorted by the caller).
void Fill(QueuePrefixIndex& index, const std::vector<uint64_t>& values) {
  for (uint64_t v : values) ASSERT_TRUE(index.Insert(index.size(), v));
}

std::vector<uint64_t> Contents(const QueuePrefixIndex& index) {
  std::vector<uint64_t> out;
  for (uint32_t i = 0; i < index.size(); ++i) out.push_back(index.at(i));
  return out;
}

// The searches against the standard ones over every size up to a few hundred (both search loops,
// odd and even lengths), sub-ranges, runs of equal values and probes between, at and beyond the
// stored values, including the extremes of the 64-bit range.
TEST(QueuePrefixIndexTest, SearchesAgreeWithTheStandardBoundsOnEveryRange) {
  std::mt19937_64 rng(11);
  for (uint32_t n = 0; n < 300; n += (n < 40 ? 1 : 13)) {
    std::vector<uint64_t> values(n);
    for (uint64_t& v : values) v = (rng() % 7) * 2 + (rng() % 5 == 0 ? ~uint64_t{0} - 20 : 0);
    std::sort(values.begin(), values.end());
    QueuePrefixIndex index;
    Fill(index, values);
    std::vector<void*> companion(n + 1, nullptr);
    for (int probe_round = 0; probe_round < 40; ++probe_round) {
      uint64_t p = probe_round == 0   ? 0
                   : probe_round == 1 ? ~uint64_t{0}
                                      : (rng() % 16) + (rng() % 5 == 0 ? ~uint64_t{0} - 20 : 0);
      uint32_t from = n ? static_cast<uint32_t>(rng() % (n + 1)) : 0;
      uint32_t to = from + (n ? static_cast<uint32_t>(rng() % (n - from + 1)) : 0);
      if (probe_round % 3 == 0) from = 0, to = n;
      auto first = values.begin() + from, last = values.begin() + to;
      uint32_t lower = static_cast<uint32_t>(std::lower_bound(first, last, p) - values.begin());
      uint32_t upper = static_cast<uint32_t>(std::upper_bound(first, last, p) - values.begin());
      ASSERT_EQ(index.LowerBound(p, from, to), lower) << "n=" << n << " p=" << p;
      ASSERT_EQ(index.UpperBound(p, from, to), upper) << "n=" << n << " p=" << p;
      ASSERT_EQ(index.LowerBound(p, from, to, companion.data()), lower);
      ASSERT_EQ(index.UpperBound(p, from, to, companion.data()), upper);
    }
  }
}

TEST(QueuePrefixIndexTest, RangesBeyondTheEndAndEmptyRangesAreClamped) {
  QueuePrefixIndex index;
  EXPECT_EQ(index.LowerBound(5, 0, 100), 0u);  // no array at all
  Fill(index, {1, 3, 3, 5});
  EXPECT_EQ(index.LowerBound(3, 0, 1000), 1u);
  EXPECT_EQ(index.UpperBound(3, 0, 1000), 3u);
  EXPECT_EQ(index.UpperBound(9, 0, 1000), 4u);  // never beyond the stored prefixes
  EXPECT_EQ(index.LowerBound(0, 2, 2), 2u);     // an empty range answers its start
}

TEST(QueuePrefixIndexTest, InsertAndEraseKeepTheOthersInPlaceAcrossGrowth) {
  QueuePrefixIndex index;
  std::vector<uint64_t> model;
  std::mt19937 rng(3);
  for (int step = 0; step < 5000; ++step) {
    if (model.empty() || rng() % 4 != 0) {
      uint32_t at = static_cast<uint32_t>(rng() % (model.size() + 2));  // may be beyond the end
      uint64_t v = rng();
      ASSERT_TRUE(index.Insert(at, v));
      model.insert(model.begin() + std::min<size_t>(at, model.size()), v);
    } else {
      uint32_t at = static_cast<uint32_t>(rng() % model.size());
      index.Erase(at);
      model.erase(model.begin() + at);
    }
    ASSERT_EQ(index.size(), model.size());
  }
  EXPECT_EQ(Contents(index), model);

  index.Clear();
  EXPECT_EQ(index.size(), 0u);
  ASSERT_TRUE(index.Insert(0, 42));  // usable again after Clear
  EXPECT_EQ(Contents(index), std::vector<uint64_t>{42});
}

TEST(QueuePrefixIndexTest, ReserveThenResizeExposesTheRoomForFilling) {
  QueuePrefixIndex index;
  Fill(index, {7});
  ASSERT_TRUE(index.Reserve(1000));
  index.Resize(1000);
  for (uint32_t i = 0; i < 1000; ++i) index.data()[i] = i;
  EXPECT_EQ(index.UpperBound(499, 0, 1000), 500u);
  ASSERT_TRUE(index.Insert(1000, 5000));  // growth past the reserved room keeps the contents
  EXPECT_EQ(index.at(999), 999u);
  EXPECT_EQ(index.at(1000), 5000u);
}

// From 2 MiB on the prefixes live in a mapping sized for a full queue; growing past that room
// moves them once more. Neither move may lose or reorder a prefix.
TEST(QueuePrefixIndexTest, MovesIntoTheLargeBlockAndBeyondItKeepTheContents) {
  QueuePrefixIndex index;
  constexpr uint32_t kPastHeap = (2u << 20) / sizeof(uint64_t) + 10;
  for (uint32_t i = 0; i < kPastHeap; ++i) ASSERT_TRUE(index.Insert(i, 3 * uint64_t{i}));
  ASSERT_TRUE(index.Reserve((1u << 20) + 5));
  ASSERT_TRUE(index.Insert(0, 0));
  ASSERT_EQ(index.size(), kPastHeap + 1);
  for (uint32_t i = 0; i < kPastHeap; ++i) ASSERT_EQ(index.at(i + 1), 3 * uint64_t{i}) << i;
  EXPECT_EQ(index.LowerBound(3 * uint64_t{kPastHeap - 1}, 0, index.size()), kPastHeap);
}

}  // namespace
}  // namespace cinevo
