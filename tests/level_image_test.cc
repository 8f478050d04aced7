#include <gtest/gtest.h>

#include <vector>

#include "level/level_image.h"

namespace {

TEST(LevelImage, Round4) {
  const std::pair<std::int64_t, std::int64_t> cases[] = {{0, 0}, {1, 4}, {3, 4}, {4, 4}, {5, 8}, {49718, 49720}, {65532, 65532}, {65533, 65536}};
  for (auto [n, rounded] : cases) EXPECT_EQ(round4(n), rounded) << n;
}

TEST(LevelImage, RecordSizeIncludesHeaderAndPadding) {
  const std::uint8_t type[4] = {'A', 'T', 'T', 'R'};
  const std::pair<std::uint32_t, std::int64_t> cases[] = {{0, 8}, {1, 12}, {2, 12}, {3, 12}, {4, 12}, {7, 16}, {8, 16}};
  chunk_list list;
  for (auto [length, size] : cases) {
    chunk_record* record = chunk_list_append(list, type, length);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(chunk_record_size(record), size);
    EXPECT_EQ(chunk_record_length(record), length);
    const std::uint8_t* b = chunk_record_bytes(record);
    EXPECT_EQ(std::string(b, b + 4), "ATTR");
    for (std::int64_t i = 8; i < size; ++i) EXPECT_EQ(b[i], 0);
  }
  EXPECT_EQ(chunk_list_append(list, type, max_chunk_length + 1), nullptr);
  EXPECT_EQ(list.count, static_cast<std::int64_t>(std::size(cases)));
  chunk_list_clear(list);
}

// Records packed over several blocks, with chunks kept in files between
// them, come back in the order they were appended.
TEST(LevelImage, ChunkListKeepsOrderAcrossBlocksAndSources) {
  chunk_list list;
  std::size_t calls = 0;
  chunk_list_for_each(list, [&](const chunk_record*) { ++calls; });
  EXPECT_EQ(calls, 0u);

  struct appended {
    std::uint32_t length;
    bool in_file;
  };
  std::vector<appended> order;
  for (std::uint32_t i = 0; i < 40000; ++i) order.push_back({i % 97, i % 5000 == 3});
  order.push_back({200 << 10, false});  // larger than a block
  order.push_back({5, true});

  for (std::uint32_t i = 0; i < order.size(); ++i) {
    const std::uint8_t type[4] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                                  static_cast<std::uint8_t>(i >> 16), 'T'};
    if (order[i].in_file) {
      ASSERT_TRUE(chunk_list_append_source(list, type, {static_cast<std::intptr_t>(i), order[i].length}));
    } else {
      chunk_record* record = chunk_list_append(list, type, order[i].length);
      if (order[i].length > 0) chunk_record_bytes(record)[8 + order[i].length - 1] = 0xAB;
    }
  }
  std::uint32_t seen = 0;
  chunk_list_for_each(list, [&](const chunk_record* record, const chunk_source* source) {
    ASSERT_LT(seen, order.size());
    const std::uint8_t* b = chunk_record_bytes(record);
    EXPECT_EQ(b[0] | b[1] << 8 | b[2] << 16, static_cast<int>(seen));
    EXPECT_EQ(chunk_record_length(record), order[seen].length);
    EXPECT_EQ(source != nullptr, order[seen].in_file);
    if (source != nullptr) {
      EXPECT_EQ(source->file, static_cast<std::intptr_t>(seen));
    } else if (order[seen].length > 0) {
      EXPECT_EQ(b[8 + order[seen].length - 1], 0xAB);
    }
    ++seen;
  });
  EXPECT_EQ(seen, order.size());
  chunk_list_clear(list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);
}

}  // namespace
