#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

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

TEST(MemoryDeathTest, RefusedRequestEndsWithStatus3AndTheExactMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(mem_alloc_zeroed(-5), testing::ExitedWithCode(3),
              "^Unrecoverable error \\(3\\): malloc error: requested -5 bytes\n\n$");
  EXPECT_EXIT(fail_fatal(3, "%s %d", "gone", 7), testing::ExitedWithCode(3), "^Unrecoverable error \\(3\\): gone 7\n$");
}

}  // namespace
