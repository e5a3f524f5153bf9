#include "runtime/core/invariant.h"

#include <gtest/gtest.h>

namespace cinevo {
namespace {

// The test build checks invariants (CINEVO_INVARIANTS is on unless the build is a Release one).
TEST(Invariant, TestBuildsCheckThem) { EXPECT_TRUE(kCheckInvariants); }

TEST(InvariantDeathTest, ABrokenRuleEndsTheProcessNamingRuleConditionAndPlace) {
  if (!kCheckInvariants) GTEST_SKIP() << "built without invariant checks";
  int slots = 3;
  CINEVO_INVARIANT(slots == 3, "three slots");  // holds: nothing happens
  EXPECT_DEATH(CINEVO_INVARIANT(slots < 2, "at most one slot"),
               "Invariant broken: at most one slot\n  \\(slots < 2\\) is false at .*invariant_test.cpp:[0-9]+");
}

}  // namespace
}  // namespace cinevo
