#include "runtime/data/isam/page_ref.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace cinevo::isam {
namespace {

// Handles count their page through copies, moves and assignments; the page lives exactly as
// long as one of them holds it (a fault here shows as a leak or a use after free under the
// address sanitizer).
TEST(PageRef, CountsItsHoldersThroughCopiesMovesAndAssignments) {
  PageRef a = PageRef::Make();
  a->address = 7;
  EXPECT_EQ(a.use_count(), 1u);
  {
    PageRef b = a;
    PageRef c = PageRef::Share(*a);
    EXPECT_EQ(a.use_count(), 3u);
    EXPECT_TRUE(b == a && c == a);
    PageRef d = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(a.use_count(), 3u);
    d = d;  // assigning a page to its own handle keeps it
    EXPECT_EQ(d->address, 7u);
    c = PageRef::Make();  // lets go of a's page, holds a new one
    EXPECT_EQ(a.use_count(), 2u);
    EXPECT_EQ(c.use_count(), 1u);
  }
  EXPECT_EQ(a.use_count(), 1u);
  PageRef e;
  EXPECT_TRUE(e == nullptr);
  EXPECT_EQ(e.use_count(), 0u);
  e = a;
  a.reset();
  EXPECT_EQ(e.use_count(), 1u);
  EXPECT_EQ(e->address, 7u);
}

// Copying a page's contents does not copy who holds it.
TEST(PageRef, CopyingAPageLeavesTheCountsOfBothObjectsAlone) {
  PageRef a = PageRef::Make();
  PageRef b = PageRef::Make();
  PageRef a2 = a;
  b->address = 9;
  *a = *b;
  EXPECT_EQ(a->address, 9u);
  EXPECT_EQ(a.use_count(), 2u);
  EXPECT_EQ(b.use_count(), 1u);
  std::vector<PageRef> many(100, b);
  EXPECT_EQ(b.use_count(), 101u);
  many.clear();
  EXPECT_EQ(b.use_count(), 1u);
}

}  // namespace
}  // namespace cinevo::isam
