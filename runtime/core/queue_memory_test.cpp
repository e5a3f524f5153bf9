#include "runtime/core/queue_memory.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace cinevo {
namespace {

TEST(LargeBlockTest, MapsWholeAlignedUnitsThatAreWritableToTheEnd) {
  LargeBlock block;
  EXPECT_FALSE(block.Map(0));
  EXPECT_EQ(block.data(), nullptr);

  ASSERT_TRUE(block.Map(LargeBlock::kUnit + 1));
  EXPECT_EQ(block.size(), 2 * LargeBlock::kUnit);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % LargeBlock::kUnit, 0u);
  block.data()[0] = 1;
  block.data()[block.size() - 1] = 2;  // the rounded-up room is really there
  EXPECT_EQ(block.data()[0] + block.data()[block.size() - 1], 3);

  // Moving hands the mapping over; the source is left empty and unmaps nothing.
  uint8_t* data = block.data();
  LargeBlock other = std::move(block);
  EXPECT_EQ(block.data(), nullptr);
  EXPECT_EQ(block.size(), 0u);
  EXPECT_EQ(other.data(), data);
  EXPECT_EQ(other.data()[0], 1);

  // Detach and Adopt round-trip the ownership.
  std::size_t size = other.size();
  uint8_t* raw = other.Detach();
  EXPECT_EQ(other.data(), nullptr);
  LargeBlock adopted = LargeBlock::Adopt(raw, size);
  EXPECT_EQ(adopted.data()[size - 1], 2);

  // A populated block replaces the earlier mapping and reads as zeros, as a fresh one does.
  ASSERT_TRUE(adopted.Map(100, /*populate=*/true));
  EXPECT_EQ(adopted.size(), LargeBlock::kUnit);
  EXPECT_EQ(adopted.data()[0] | adopted.data()[LargeBlock::kUnit - 1], 0);
}

// Fills `count` pointer-sized slots with a pattern derived from `seed`.
void Pattern(void* block, std::size_t count, uintptr_t seed) {
  auto* p = static_cast<uintptr_t*>(block);
  for (std::size_t i = 0; i < count; ++i) p[i] = seed * 1000003u + i;
}
bool HasPattern(const void* block, std::size_t count, uintptr_t seed) {
  const auto* p = static_cast<const uintptr_t*>(block);
  for (std::size_t i = 0; i < count; ++i) {
    if (p[i] != seed * 1000003u + i) return false;
  }
  return true;
}

TEST(QueueEntryMemoryTest, GrowingFromTheHeapIntoAMappingKeepsTheContents) {
  const PointerListMemory& memory = kQueueEntryMemory;
  memory.release(nullptr);  // harmless
  void* block = nullptr;
  std::size_t held = 0;  // slots filled so far
  for (std::size_t slots : {std::size_t{2}, std::size_t{256}, std::size_t{16000},
                            std::size_t{250000}, std::size_t{500000}, std::size_t{1000000}}) {
    void* grown = memory.reallocate(block, slots * sizeof(void*));
    ASSERT_NE(grown, nullptr) << slots;
    ASSERT_TRUE(HasPattern(grown, held, 7)) << "lost contents growing to " << slots;
    if (slots * sizeof(void*) >= LargeBlock::kUnit) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(grown) % 64, 0u) << "mapped entries start a line";
    }
    Pattern(grown, slots, 7);
    block = grown;
    held = slots;
  }
  // Once mapped, the room for the largest list is reserved: no more moves.
  void* again = memory.reallocate(block, 1000000 * sizeof(void*));
  EXPECT_EQ(again, block);
  memory.release(block);
}

TEST(QueueEntryMemoryTest, AListUsingItHoldsItsEntriesAcrossTheSwitchToAMapping) {
  // More pointers than fit in 2 MiB, so the array moves from the heap into a mapping.
  constexpr uint32_t kCount = 300000;
  std::vector<int> objects(kCount);
  struct NoDelete {
    void operator()(int*) const {}
  };
  PointerList<int, NoDelete> list(kObjectListClasses, &kQueueEntryMemory);
  for (uint32_t i = 0; i < kCount; ++i) {
    ASSERT_TRUE(list.Append(std::unique_ptr<int, NoDelete>(&objects[i])));
  }
  ASSERT_TRUE(list.Insert(0, std::unique_ptr<int, NoDelete>(&objects[5])));
  ASSERT_EQ(list.size(), kCount + 1);
  EXPECT_EQ(list.at(0), &objects[5]);
  for (uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(list.at(i + 1), &objects[i]) << i;
}

}  // namespace
}  // namespace cinevo
