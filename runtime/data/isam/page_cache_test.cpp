#include "runtime/data/isam/page_cache.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace cinevo::isam {
namespace {

std::shared_ptr<Page> MakePage(uint32_t address) {
  auto p = std::make_shared<Page>();
  p->address = address;
  return p;
}

// A cache turning over at every load keeps the last page it evicted for the next load to
// decode into, but never a page that someone else still holds (a remembered path, a caller).
TEST(PageCacheReuse, OnlyAnEvictedPageNobodyHoldsBecomesTheSpare) {
  PageCache cache(4, 2);
  std::vector<std::shared_ptr<Page>> held;
  for (uint32_t a = 0; a < 4; ++a) {
    auto p = MakePage(a);
    held.push_back(p);  // every cached page is held elsewhere
    cache.Insert(p, false);
  }
  cache.Insert(MakePage(10), false);  // nothing can be evicted: all are held
  EXPECT_EQ(cache.TakeSpare(), nullptr);
  EXPECT_EQ(cache.size(), 5u);
  held.clear();
  cache.Insert(MakePage(11), false);  // now the least recently used page goes
  std::shared_ptr<Page> spare = cache.TakeSpare();
  ASSERT_NE(spare, nullptr);
  EXPECT_EQ(spare.use_count(), 1);
  EXPECT_EQ(cache.Find(spare->address), nullptr) << "the spare is no longer cached";
  EXPECT_EQ(cache.TakeSpare(), nullptr) << "it is handed out once";
}

// Pages come and go through a small cache for a long time (the removed list nodes are reused
// and the spare page is handed back in): every page the model says is cached is found under
// its address, every other address is not, and the cache never exceeds its limit.
TEST(PageCacheReuse, LongTurnoverThroughASmallCacheKeepsEveryAddressRight) {
  PageCache cache(16, 4);
  std::mt19937 rng(3);
  std::map<uint32_t, std::weak_ptr<Page>> seen;
  for (int step = 0; step < 20000; ++step) {
    uint32_t a = static_cast<uint32_t>(rng() % 200);
    if (std::shared_ptr<Page> p = cache.Find(a)) {
      ASSERT_EQ(p->address, a);
      if (rng() % 5 == 0) cache.Erase(a);
      continue;
    }
    std::shared_ptr<Page> page = cache.TakeSpare();
    if (!page) page = std::make_shared<Page>();
    page->address = a;
    page->level = static_cast<uint8_t>(a % 3);
    cache.Insert(page, false);
    seen[a] = page;
    ASSERT_LE(cache.size(), 16u);
  }
  for (const auto& [a, weak] : seen) {
    std::shared_ptr<Page> cached = cache.Find(a);
    if (cached) {
      EXPECT_EQ(cached->address, a);
      EXPECT_EQ(cached->level, a % 3);
    }
  }
  EXPECT_GT(cache.evictions(), 1000u);
}

}  // namespace
}  // namespace cinevo::isam
