#include "runtime/ui/deferred_call.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <vector>

namespace cinevo {
namespace {

TEST(DeferredCall, WithoutAnApplicationTheCallRunsAtOnce) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  int calls = 0;
  CallFromEventLoop([&] { ++calls; });
  EXPECT_EQ(calls, 1);
}

TEST(DeferredCall, WithAnApplicationCallsWaitForTheLoopAndKeepTheirOrder) {
  int argc = 1;
  char name[] = "deferred_call_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  std::vector<int> order;
  CallFromEventLoop([&] { order.push_back(1); });
  CallFromEventLoop([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  QCoreApplication::processEvents();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace cinevo
