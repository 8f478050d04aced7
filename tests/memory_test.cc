#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "cli/fatal_error.h"
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
  // Blocks of 2 MiB or more have mappings of their own.
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

TEST(Memory, RefusedRequestIsAnErrorWithItsSize) {
  try {
    mem_alloc_zeroed(-5);
    ADD_FAILURE() << "no error";
  } catch (const out_of_memory& exhausted) {
    EXPECT_EQ(exhausted.requested, -5);
  }
}

TEST(MemoryDeathTest, ProgramsEndWithStatus3AndTheExactMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto exhausting = [](int, char**) -> int { mem_alloc_zeroed(-5); return 0; };
  EXPECT_EXIT(run_to_exhaustion(0, nullptr, exhausting), testing::ExitedWithCode(3),
              "^Unrecoverable error \\(3\\): malloc error: requested -5 bytes\n\n$");
  EXPECT_EXIT(fail_fatal(3, "%s %d", "gone", 7), testing::ExitedWithCode(3), "^Unrecoverable error \\(3\\): gone 7\n$");
}

}  // namespace
