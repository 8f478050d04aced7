#include <gtest/gtest.h>

#include <vector>

#include "level/level_image.h"
#include "support/memory.h"

namespace {

TEST(LevelImage, Round4) {
  const std::pair<std::int64_t, std::int64_t> cases[] = {{0, 0}, {1, 4}, {3, 4}, {4, 4}, {5, 8}, {49718, 49720}, {65532, 65532}, {65533, 65536}};
  for (auto [n, rounded] : cases) EXPECT_EQ(round4(n), rounded) << n;
}

TEST(LevelImage, RecordSizeIncludesHeaderAndPadding) {
  const std::uint8_t type[4] = {'A', 'T', 'T', 'R'};
  const std::pair<std::uint32_t, std::int64_t> cases[] = {{0, 8}, {1, 12}, {2, 12}, {3, 12}, {4, 12}, {7, 16}, {8, 16}};
  for (auto [length, size] : cases) {
    chunk_record* record = chunk_record_new(type, length);
    EXPECT_EQ(chunk_record_size(record), size);
    EXPECT_EQ(chunk_record_length(record), length);
    const std::uint8_t* b = chunk_record_bytes(record);
    EXPECT_EQ(std::string(b, b + 4), "ATTR");
    for (std::int64_t i = 8; i < size; ++i) EXPECT_EQ(b[i], 0);
    mem_release(record);
  }
}

TEST(LevelImage, ChunkListKeepsOrderAndClears) {
  chunk_list list;
  chunk_list_init(list);
  std::vector<chunk_record*> seen;
  chunk_list_for_each(list, [&](chunk_record* r) { seen.push_back(r); });
  EXPECT_TRUE(seen.empty());
  chunk_list_clear(list);
  EXPECT_EQ(list.head, nullptr);

  const std::uint8_t type[4] = {'A', 'B', 'C', 'D'};
  std::vector<chunk_record*> added;
  for (std::uint32_t i = 0; i < 3; ++i) {
    added.push_back(chunk_record_new(type, i));
    chunk_list_append(list, added.back());
    EXPECT_EQ(list.tail->item, added.back());
    EXPECT_EQ(list.tail->next, nullptr);
  }
  chunk_list_for_each(list, [&](chunk_record* r) { seen.push_back(r); });
  EXPECT_EQ(seen, added);
  chunk_list_for_each(list, mem_release);
  chunk_list_clear(list);
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.tail, nullptr);
}

}  // namespace
