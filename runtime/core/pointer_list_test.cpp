#include "runtime/core/pointer_list.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/error.h"

namespace cinevo {
namespace {

// An object that records its destruction in a shared log.
struct Tracked {
  Tracked(int id, std::vector<int>* log) : id(id), log(log) {}
  ~Tracked() { log->push_back(id); }
  int id;
  std::vector<int>* log;
};

std::vector<int> Ids(PointerList<Tracked>& list) {
  std::vector<int> ids;
  for (uint32_t i = 0; i < list.size(); ++i) ids.push_back(list.at(i)->id);
  return ids;
}

TEST(PointerListTest, InsertTakeRemoveMoveKeepOrderAndOwnership) {
  std::vector<int> destroyed;
  {
    PointerList<Tracked> list;
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(list.Append(std::make_unique<Tracked>(i, &destroyed)));
    ASSERT_TRUE(list.Insert(0, std::make_unique<Tracked>(0, &destroyed)));
    ASSERT_TRUE(list.Insert(99, std::make_unique<Tracked>(4, &destroyed)));  // beyond: appends
    EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 2, 3, 4}));

    std::unique_ptr<Tracked> taken = list.Take(2);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->id, 2);
    EXPECT_TRUE(destroyed.empty());  // taken over, not destroyed
    EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 3, 4}));

    EXPECT_TRUE(list.Remove(0));
    EXPECT_EQ(destroyed, (std::vector<int>{0}));
    EXPECT_FALSE(list.Remove(4));
    EXPECT_EQ(list.Take(4), nullptr);
    EXPECT_EQ(list.at(4), nullptr);

    list.Move(0, 2);
    EXPECT_EQ(Ids(list), (std::vector<int>{3, 4, 1}));
    list.Move(2, 0);
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 3, 4}));

    auto old = list.Exchange(1, std::make_unique<Tracked>(7, &destroyed));
    EXPECT_EQ(old->id, 3);
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 7, 4}));
    destroyed.clear();
  }
  // The list's destructor destroys what it still owns (taken/exchanged objects die with their
  // unique_ptrs at the end of the scope as well).
  std::sort(destroyed.begin(), destroyed.end());
  EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 3, 4, 7}));
}

TEST(PointerListTest, CapacityStepsThroughTheSizeClasses) {
  PointerList<int> list;
  EXPECT_EQ(list.capacity(), 0u);
  EXPECT_EQ(list.size_class(), PointerListBase::kNoClass);
  std::vector<uint32_t> seen;
  for (uint32_t i = 0; i < 1000000; ++i) {
    ASSERT_TRUE(list.Append(nullptr));
    if (seen.empty() || seen.back() != list.capacity()) seen.push_back(list.capacity());
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{2, 4, 8, 16, 32, 64, 128, 256, 1024, 2048, 4096, 8192,
                                         16000, 32000, 65000, 130000, 250000, 500000, 1000000}));
  EXPECT_EQ(list.size_class(), 18);
  // One more entry: the list is first cut back to 999,900, then takes it.
  ASSERT_TRUE(list.Append(std::make_unique<int>(42)));
  EXPECT_EQ(list.size(), 999901u);
  EXPECT_EQ(*list.at(999900), 42);
  EXPECT_EQ(list.capacity(), 1000000u);
}

TEST(PointerListTest, FullEventListCutsBackTheTopEntries) {
  std::vector<int> destroyed;
  PointerList<Tracked> list(kEventListClasses);
  for (int i = 0; i < 16000; ++i) ASSERT_TRUE(list.Append(std::make_unique<Tracked>(i, &destroyed)));
  EXPECT_EQ(list.capacity(), 16000u);
  EXPECT_TRUE(destroyed.empty());
  ASSERT_TRUE(list.Insert(0, std::make_unique<Tracked>(-1, &destroyed)));
  EXPECT_EQ(list.size(), 15901u);
  ASSERT_EQ(destroyed.size(), 100u);
  std::sort(destroyed.begin(), destroyed.end());
  EXPECT_EQ(destroyed.front(), 15900);  // the top hundred went
  EXPECT_EQ(destroyed.back(), 15999);
  EXPECT_EQ(list.at(0)->id, -1);
  EXPECT_EQ(list.at(15900)->id, 15899);
}

// Memory that refuses any array above 4 entries.
void* SmallOnly(void* block, std::size_t bytes) {
  return bytes > 4 * sizeof(void*) ? nullptr : std::realloc(block, bytes);
}
void FreeBlock(void* block) { std::free(block); }
constexpr PointerListMemory kSmallMemory{&SmallOnly, &FreeBlock};

TEST(PointerListTest, UnobtainableClassRaisesFatal501AndKeepsTheEntries) {
  std::vector<std::string> reports;
  SetFatalHandler([&](int code, const std::string& message) {
    reports.push_back(std::to_string(code) + "|" + message);
  });
  std::vector<int> destroyed;
  {
    PointerList<Tracked> list(kObjectListClasses, &kSmallMemory);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(list.Append(std::make_unique<Tracked>(i, &destroyed)));
    EXPECT_FALSE(list.Append(std::make_unique<Tracked>(9, &destroyed)));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("501|"), std::string::npos);
    EXPECT_NE(reports[0].find(" : Out of memory in WSLARRAY!"), std::string::npos);
    EXPECT_EQ(destroyed, (std::vector<int>{9}));  // the refused object is not leaked
    EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 2, 3}));
  }
  SetFatalHandler({});
  EXPECT_EQ(destroyed.size(), 5u);
}

TEST(PointerListTest, MovedListOwnsTheEntries) {
  std::vector<int> destroyed;
  PointerList<Tracked> a;
  a.Append(std::make_unique<Tracked>(1, &destroyed));
  PointerListBase moved(std::move(a.base()));
  EXPECT_EQ(a.size(), 0u);
  EXPECT_EQ(moved.size(), 1u);
  a.Clear();
  EXPECT_TRUE(destroyed.empty());
}

}  // namespace
}  // namespace cinevo
