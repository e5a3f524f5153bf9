#include "runtime/data/isam/page_cache.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace cinevo::isam {
namespace {

PageRef MakePage(uint32_t address) {
  auto p = PageRef::Make();
  p->address = address;
  return p;
}

TEST(PageCacheRules, HoldsAtMostTheLimitAndNeverDropsDirtyOrHeldPages) {
  PageCache cache(100, 20);
  auto held = MakePage(5);
  cache.Insert(held, false);
  auto dirty = MakePage(105);  // same chain as 5
  cache.Insert(dirty, true);
  for (uint32_t a = 1000; a < 1300; ++a) {
    auto p = MakePage(a);
    cache.Insert(p, false);
    EXPECT_LE(cache.size() - cache.dirty_count(), 100u);  // dirty pages do not count
  }
  EXPECT_EQ(cache.Find(5), held);
  EXPECT_EQ(cache.Find(105), dirty);
  EXPECT_EQ(cache.DirtyPages().size(), 1u);
}

TEST(PageCacheRules, ManyDirtyPagesDoNotCrowdOutThePagesOnlyRead) {
  PageCache cache(100, 20);
  for (uint32_t a = 0; a < 500; ++a) {
    auto p = MakePage(a);
    cache.Insert(p, true);
  }
  for (uint32_t a = 1000; a < 1050; ++a) {
    auto p = MakePage(a);
    cache.Insert(p, false);
  }
  for (uint32_t a = 1000; a < 1050; ++a) EXPECT_NE(cache.Find(a), nullptr) << a;
  EXPECT_EQ(cache.dirty_count(), 500u);
  cache.MarkAllClean();  // after the commit the limit applies to all of them
  EXPECT_LE(cache.size(), 100u);
}

// Random inserts, erasures, moves and dirty/clean changes against a plain map, with a limit
// high enough that nothing is evicted: every page must be found under its address and no other.
TEST(PageCacheRules, FindsEveryPageUnderItsAddressThroughAnyMixOfChanges) {
  PageCache cache(1u << 20, 20);
  std::map<uint32_t, PageRef> model;
  std::set<uint32_t> dirty;
  std::mt19937 rng(5);
  auto any_address = [&] { return static_cast<uint32_t>(rng() % 3000) * 7; };  // collide often
  for (int step = 0; step < 40000; ++step) {
    uint32_t a = any_address();
    switch (rng() % 8) {
      case 0:
      case 1:
      case 2: {
        auto p = MakePage(a);
        bool d = rng() % 2 == 0;
        cache.Insert(p, d);
        model[a] = p;
        if (d) dirty.insert(a); else dirty.erase(a);
        break;
      }
      case 3:
        cache.Erase(a);
        model.erase(a);
        dirty.erase(a);
        break;
      case 4: {
        if (model.empty()) break;
        uint32_t from = std::next(model.begin(), static_cast<long>(rng() % model.size()))->first;
        if (from == a) break;
        cache.Rekey(from, a);
        model[from]->address = a;  // as the page store does when it moves a page
        model[a] = model[from];
        model.erase(from);
        bool was_dirty = dirty.erase(from) > 0;
        dirty.erase(a);
        if (was_dirty) dirty.insert(a);
        break;
      }
      case 5:
        if (auto it = model.find(a); it != model.end()) {
          cache.MarkDirty(it->second);
          dirty.insert(a);
        }
        break;
      case 6:
        if (rng() % 50 == 0) {
          cache.MarkAllClean();
          dirty.clear();
        }
        break;
      default:
        if (rng() % 200 == 0) {
          cache.DropDirty();
          for (uint32_t d : dirty) model.erase(d);
          dirty.clear();
        }
        break;
    }
    cache.CheckInvariants();
    if (step % 997 == 0 || step == 39999) {
      ASSERT_EQ(cache.size(), model.size()) << step;
      ASSERT_EQ(cache.dirty_count(), dirty.size()) << step;
      for (uint32_t x = 0; x < 3000 * 7; x += 7) {
        auto it = model.find(x);
        ASSERT_EQ(cache.Find(x), it == model.end() ? nullptr : it->second) << "address " << x << " step " << step;
      }
    }
  }
}

// 0xFFFFFFFF marks the table's empty places and is no page's address; a damaged file can still
// name it as a child. Looking it up finds nothing (it used to find an empty place).
TEST(PageCacheRules, TheEmptyPlaceMarkIsNoPagesAddress) {
  PageCache cache;
  EXPECT_EQ(cache.Find(0xFFFFFFFF), nullptr);
  cache.Insert(MakePage(3), false);
  EXPECT_EQ(cache.Find(0xFFFFFFFF), nullptr);
  cache.Erase(0xFFFFFFFF);
  EXPECT_NE(cache.Find(3), nullptr);
}

TEST(PageCacheRules, AboveTheLowMarkStalePagesGoFirst) {
  PageCache cache(100, 20);
  for (uint32_t a = 0; a < 30; ++a) {
    auto p = MakePage(a);
    cache.Insert(p, false);
  }
  // Only page 0 stays in use; the others grow stale and are dropped as new pages come in.
  for (uint32_t a = 100; a < 200; ++a) {
    cache.Find(0);
    cache.Find(a - 1);
    auto p = MakePage(a);
    cache.Insert(p, false);
  }
  EXPECT_LT(cache.size(), 100u);
  EXPECT_GE(cache.size(), 19u);
  EXPECT_NE(cache.Find(0), nullptr);
  EXPECT_EQ(cache.Find(5), nullptr);
}

PageRef MakeIndexPage(uint32_t address, uint8_t level = 1) {
  PageRef p = MakePage(address);
  p->level = level;
  return p;
}

// With an index limit, a long stream of leaves (a lookup per record of a large file) never
// pushes out the index pages, and the index pages are held to their own limit.
TEST(PageCacheRules, IndexPagesKeptApartOutliveAStreamOfLeaves) {
  PageCache cache(10, 4, 50);
  for (uint32_t a = 0; a < 40; ++a) cache.Insert(MakeIndexPage(a), false);
  for (uint32_t a = 1000; a < 3000; ++a) {
    cache.Find(a % 40);  // every lookup descends through an index page
    cache.Insert(MakePage(a), false);
    ASSERT_LE(cache.size() - cache.clean_index_count(), 10u);
  }
  EXPECT_EQ(cache.clean_index_count(), 40u);
  for (uint32_t a = 0; a < 40; ++a) EXPECT_NE(cache.Find(a), nullptr) << a;
  for (uint32_t a = 100; a < 200; ++a) cache.Insert(MakeIndexPage(a, 2), false);
  EXPECT_LE(cache.clean_index_count(), 50u);
  cache.CheckInvariants();
}

// Index pages do not age: a lookup in a large tree reaches each page of the level above the
// leaves only once in many accesses, so each looks stale by the clock of all accesses though
// every lookup needs one of them. Below the index limit none of them is dropped.
TEST(PageCacheRules, IndexPagesReachedSeldomStayBelowTheirLimit) {
  PageCache cache(10, 4, 500);
  std::mt19937 rng(3);
  uint64_t index_loads = 0;
  for (uint32_t a = 1000; a < 21000; ++a) {
    if (!cache.Find(0)) cache.Insert(MakeIndexPage(0, 2), false);  // the root, in every lookup
    const uint32_t below = 1 + rng() % 400;                         // a page of the level below
    if (!cache.Find(below)) {
      cache.Insert(MakeIndexPage(below), false);
      if (a >= 11000) ++index_loads;
    }
    cache.Insert(MakePage(a), false);
  }
  EXPECT_EQ(index_loads, 0u) << "once loaded, the index pages stay";
  EXPECT_EQ(cache.clean_index_count(), 401u);
  // Leaves still age: only the recent ones are kept.
  EXPECT_LE(cache.size() - cache.clean_index_count(), 10u);
  cache.CheckInvariants();
}

// A page changed in an update goes back to the list of its level when the update commits: a
// leaf that became an index page (the root of a tree that grew) is then kept as one.
TEST(PageCacheRules, ACommittedPageReturnsToTheListOfItsLevel) {
  PageCache cache(4, 2, 8);
  PageRef root = MakePage(1);
  cache.Insert(root, false);
  cache.MarkDirty(root);
  root->level = 1;
  PageRef leaf = MakePage(2);
  cache.Insert(leaf, true);
  cache.MarkAllClean();
  cache.CheckInvariants();
  EXPECT_EQ(cache.clean_index_count(), 1u);
  root.reset();
  leaf.reset();
  for (uint32_t a = 10; a < 30; ++a) cache.Insert(MakePage(a), false);
  EXPECT_NE(cache.Find(1), nullptr) << "the index page outlives the leaves";
  EXPECT_EQ(cache.Find(2), nullptr);
  cache.CheckInvariants();
}

// Without an index limit every page counts under the one limit, whatever its level.
TEST(PageCacheRules, WithoutAnIndexLimitEveryPageSharesTheLimit) {
  PageCache cache(8, 4);
  for (uint32_t a = 0; a < 100; ++a) cache.Insert(MakeIndexPage(a, static_cast<uint8_t>(a % 2)), false);
  EXPECT_LE(cache.size(), 8u);
  EXPECT_EQ(cache.clean_index_count(), 0u);
  cache.CheckInvariants();
}

TEST(PageCacheRules, RekeyMovesAPageBetweenChains) {
  PageCache cache;
  auto p = MakePage(7);
  cache.Insert(p, true);
  cache.Rekey(7, 42);
  EXPECT_EQ(cache.Find(7), nullptr);
  EXPECT_EQ(cache.Find(42), p);
  cache.DropDirty();
  EXPECT_EQ(cache.Find(42), nullptr);
}

// A cache turning over at every load keeps the pages it evicted (a few) for the next loads to
// decode into, but never a page that someone else still holds (a remembered path, a caller).
TEST(PageCacheReuse, OnlyAnEvictedPageNobodyHoldsBecomesTheSpare) {
  PageCache cache(4, 2);
  std::vector<PageRef> held;
  for (uint32_t a = 0; a < 4; ++a) {
    auto p = MakePage(a);
    held.push_back(p);  // every cached page is held elsewhere
    cache.Insert(p, false);
  }
  cache.Insert(MakePage(10), false);  // nothing can be evicted: all are held
  EXPECT_EQ(cache.TakeSpare(), nullptr);
  EXPECT_EQ(cache.size(), 5u);
  held.clear();
  cache.Insert(MakePage(11), false);  // now the least recently used pages go, down to the limit
  ASSERT_GT(cache.evictions(), 0u);
  std::set<uint32_t> spares;
  while (PageRef spare = cache.TakeSpare()) {
    EXPECT_EQ(spare.use_count(), 1);
    EXPECT_EQ(cache.Find(spare->address), nullptr) << "a spare is no longer cached";
    EXPECT_TRUE(spares.insert(spare->address).second) << "each is handed out once";
  }
  EXPECT_EQ(spares.size(), cache.evictions());
}

// Pages come and go through a small cache for a long time (the removed list nodes are reused
// and the spare page is handed back in): every page the model says is cached is found under
// its address, every other address is not, and the cache never exceeds its limit.
TEST(PageCacheReuse, LongTurnoverThroughASmallCacheKeepsEveryAddressRight) {
  PageCache cache(16, 4);
  std::mt19937 rng(3);
  std::set<uint32_t> seen;
  for (int step = 0; step < 20000; ++step) {
    uint32_t a = static_cast<uint32_t>(rng() % 200);
    if (PageRef p = cache.Find(a)) {
      ASSERT_EQ(p->address, a);
      if (rng() % 5 == 0) {
        cache.Erase(a);
        cache.CheckInvariants();
      }
      continue;
    }
    PageRef page = cache.TakeSpare();
    if (!page) page = PageRef::Make();
    page->address = a;
    page->level = static_cast<uint8_t>(a % 3);
    cache.Insert(page, false);
    cache.CheckInvariants();
    seen.insert(a);
    ASSERT_LE(cache.size(), 16u);
  }
  for (uint32_t a : seen) {
    PageRef cached = cache.Find(a);
    if (cached) {
      EXPECT_EQ(cached->address, a);
      EXPECT_EQ(cached->level, a % 3);
    }
  }
  EXPECT_GT(cache.evictions(), 1000u);
}

}  // namespace
}  // namespace cinevo::isam
