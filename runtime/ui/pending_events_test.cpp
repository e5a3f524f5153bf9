#include "runtime/ui/pending_events.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace cinevo {
namespace {

EventRecord Rec(uint32_t code) {
  EventRecord r;
  r.code = code;
  return r;
}

std::vector<uint32_t> Drain(PendingEventList& list) {
  std::vector<uint32_t> out;
  while (auto r = list.PopFront()) out.push_back(r->code);
  return out;
}

TEST(PendingEventList, FifoOrderSurvivesWrapAroundAndGrowth) {
  PendingEventList list;
  EXPECT_FALSE(list.PopFront().has_value());
  EXPECT_EQ(list.Front(), nullptr);
  // Move the head into the middle of the ring, then grow across the wrap point.
  for (uint32_t i = 0; i < 6; ++i) list.Append(Rec(i));
  for (int i = 0; i < 5; ++i) list.PopFront();
  for (uint32_t i = 6; i < 40; ++i) list.Append(Rec(i));
  ASSERT_EQ(list.size(), 35u);
  std::vector<uint32_t> got = Drain(list);
  ASSERT_EQ(got.size(), 35u);
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], i + 5);
  EXPECT_TRUE(list.empty());
}

TEST(PendingEventList, CapacityGrowsThroughTheSizeClasses) {
  PendingEventList list;
  std::vector<size_t> seen;
  for (uint32_t i = 0; i < 16000; ++i) {
    list.Append(Rec(i));
    if (seen.empty() || seen.back() != list.capacity()) seen.push_back(list.capacity());
  }
  EXPECT_EQ(seen, (std::vector<size_t>{8, 16, 32, 64, 128, 256, 1024, 2048, 4096, 8192, 16000}));
}

TEST(PendingEventList, FullListIsCutBackToItsOldestRecordsBeforeAppending) {
  PendingEventList list;
  for (uint32_t i = 0; i < 16000; ++i) list.Append(Rec(i));
  EXPECT_EQ(list.size(), 16000u);
  EXPECT_EQ(list.discarded(), 0u);
  list.Append(Rec(99999));
  ASSERT_EQ(list.size(), 15900u);
  EXPECT_EQ(list.discarded(), 101u);
  EXPECT_EQ(list.at(0).code, 0u);
  EXPECT_EQ(list.at(15898).code, 15898u);
  EXPECT_EQ(list.at(15899).code, 99999u);  // the new record is last
  EXPECT_EQ(list.capacity(), 16000u);      // never beyond the limit
}

TEST(PendingEventList, FrontRecordsComeBeforeEverythingQueued) {
  PendingEventList list;
  list.Append(Rec(1));
  list.Append(Rec(2));
  list.PushFront(Rec(0));
  EXPECT_EQ(list.Front()->code, 0u);
  PendingEventList empty;
  empty.PushFront(Rec(7));
  empty.Append(Rec(8));
  EXPECT_EQ(Drain(list), (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(Drain(empty), (std::vector<uint32_t>{7, 8}));
}

TEST(PendingEventList, ClearEmptiesAndTheListIsReusable) {
  PendingEventList list;
  for (uint32_t i = 0; i < 100; ++i) list.Append(Rec(i));
  list.Clear();
  EXPECT_TRUE(list.empty());
  list.Append(Rec(5));
  EXPECT_EQ(Drain(list), (std::vector<uint32_t>{5}));
}

// Appends, records put in front and pops at random against a double-ended queue, across growth,
// wrap-around and the cut-back at the limit: the order is the model's and the ring keeps its rules
// after every step.
TEST(PendingEventList, RandomTrafficMatchesAModelAndKeepsTheRingsRules) {
  PendingEventList list;
  std::deque<uint32_t> model;
  std::mt19937 rng(23);
  uint32_t next = 0;
  for (int step = 0; step < 60000; ++step) {
    // Phases of mostly appending and mostly popping, so that the list fills up to its limit.
    bool filling = (step / 20000) % 2 == 0;
    unsigned r = rng() % 20;
    if (r < (filling ? 17u : 5u)) {
      list.Append(Rec(next));
      if (model.size() == PendingEventList::kLimit) model.resize(PendingEventList::kCutBack);
      model.push_back(next++);
    } else if (r < (filling ? 19u : 6u)) {
      list.PushFront(Rec(next));
      if (model.size() == PendingEventList::kLimit) model.resize(PendingEventList::kCutBack);
      model.push_front(next++);
    } else {
      auto got = list.PopFront();
      ASSERT_EQ(got.has_value(), !model.empty());
      if (got) {
        ASSERT_EQ(got->code, model.front()) << "step " << step;
        model.pop_front();
      }
    }
    list.CheckInvariants();
    ASSERT_EQ(list.size(), model.size());
  }
  EXPECT_GT(list.discarded(), 0u);
}

}  // namespace
}  // namespace cinevo
