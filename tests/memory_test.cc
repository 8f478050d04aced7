#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/memory.h"

namespace {

TEST(Memory, FreshBlocksAreAllZero) {
  for (std::int32_t size : {0, 1, 3, 4096, 1 << 20}) {
    auto* block = static_cast<std::uint8_t*>(mem_alloc_zeroed(size));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(std::all_of(block, block + size, [](std::uint8_t b) { return b == 0; })) << size;
    mem_release(block);
  }
  mem_release(nullptr);
}

TEST(Memory, LargeBlocksAreZeroWritableAndReleasedInAnyOrder) {
  // Blocks of 2 MiB or more have mappings of their own, while the table of
  // them lasts; past it they come from the heap like the rest.
  std::vector<std::uint8_t*> blocks;
  for (std::int32_t size : {2 << 20, (5 << 20) + 5, (2 << 20) - 1, 40 << 20}) {
    auto* block = static_cast<std::uint8_t*>(mem_alloc_zeroed(size));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(std::all_of(block, block + size, [](std::uint8_t b) { return b == 0; })) << size;
    block[0] = 1;
    block[size - 1] = 1;
    blocks.push_back(block);
  }
  for (std::size_t i : {2, 0, 3, 1}) mem_release(blocks[i]);

  blocks.clear();
  constexpr std::int32_t size = (2 << 20) + 100;
  for (int i = 0; i < 80; ++i) {
    blocks.push_back(static_cast<std::uint8_t*>(mem_alloc_zeroed(size)));
    blocks.back()[size - 1] = 1;
  }
  for (std::uint8_t* block : blocks) mem_release(block);
}

TEST(MemoryDeathTest, RefusedRequestEndsWithStatus3AndTheExactMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(mem_alloc_zeroed(-5), testing::ExitedWithCode(3),
              "^Unrecoverable error \\(3\\): malloc error: requested -5 bytes\n\n$");
  EXPECT_EXIT(fail_fatal(3, "%s %d", "gone", 7), testing::ExitedWithCode(3), "^Unrecoverable error \\(3\\): gone 7\n$");
}

}  // namespace
