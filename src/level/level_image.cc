#include "level/level_image.h"

#include <algorithm>
#include <cstring>

#include "support/memory.h"

namespace {

// Blocks grow from 64 KiB to 16 MiB, so a handful of chunks costs little and
// millions of them cost a few allocations. A record larger than that gets a
// block of its own size. Unused room at a block's end is never touched, so
// it costs address space, not memory.
constexpr std::int64_t first_block_size = 64 << 10;
constexpr std::int64_t largest_block_size = 16 << 20;

std::uint8_t* room_for(chunk_list& list, std::int64_t size) {
  chunk_block* tail = list.tail;
  if (tail != nullptr && tail->capacity - tail->used >= size) {
    std::uint8_t* room = tail->bytes + tail->used;
    tail->used += size;
    return room;
  }
  const std::int64_t grown = tail == nullptr ? first_block_size : std::min(tail->capacity * 2, largest_block_size);
  const std::int64_t capacity = std::max(grown, size);
  auto* block = static_cast<chunk_block*>(mem_alloc_zeroed(sizeof(chunk_block)));
  block->bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(capacity)));
  block->capacity = capacity;
  block->used = size;
  if (tail != nullptr)
    tail->next = block;
  else
    list.head = block;
  list.tail = block;
  return block->bytes;
}

}  // namespace

void chunk_list_init(chunk_list& list) { list = chunk_list{}; }

chunk_record* chunk_list_append(chunk_list& list, const std::uint8_t type[4], std::uint32_t length) {
  if (length > max_chunk_length) return nullptr;
  std::uint8_t* bytes = room_for(list, round4(chunk_header_size + std::int64_t{length}));
  std::memcpy(bytes, type, 4);
  write_u32le(bytes + 4, length);
  ++list.count;
  return reinterpret_cast<chunk_record*>(bytes);
}

bool chunk_list_append_source(chunk_list& list, const std::uint8_t type[4], const chunk_source& source) {
  if (source.length > max_chunk_length) return false;
  if (list.sources_count == list.sources_capacity) {
    const std::int64_t capacity = std::max<std::int64_t>(4, list.sources_capacity * 2);
    auto* grown = static_cast<chunk_source_entry*>(
        mem_alloc_zeroed(static_cast<std::int32_t>(capacity * static_cast<std::int64_t>(sizeof(chunk_source_entry)))));
    if (list.sources_count > 0)
      std::memcpy(grown, list.sources, static_cast<std::size_t>(list.sources_count) * sizeof(chunk_source_entry));
    mem_release(list.sources);
    list.sources = grown;
    list.sources_capacity = capacity;
  }
  chunk_source_entry& entry = list.sources[list.sources_count++];
  entry.position = list.count++;
  std::memcpy(entry.header, type, 4);
  write_u32le(entry.header + 4, static_cast<std::uint32_t>(source.length));
  entry.source = source;
  return true;
}

void chunk_list_clear(chunk_list& list) {
  chunk_block* block = list.head;
  while (block != nullptr) {
    chunk_block* next = block->next;
    mem_release(block->bytes);
    mem_release(block);
    block = next;
  }
  mem_release(list.sources);
  chunk_list_init(list);
}

void level_image_release(level_image& image) {
  chunk_list_clear(image.chunks);
  mem_release(image.tileset);
  mem_release(image.map_data);
  image = level_image{};
}
