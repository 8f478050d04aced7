#include "level/level_image.h"

#include <cstring>

#include "support/byte_order.h"
#include "support/memory.h"

chunk_record* chunk_record_alloc(std::int32_t size) {
  return static_cast<chunk_record*>(mem_alloc_zeroed(size));
}

chunk_record* chunk_record_new(const std::uint8_t type[4], std::uint32_t length) {
  chunk_record* record = chunk_record_alloc(static_cast<std::int32_t>(round4(chunk_header_size + std::int64_t{length})));
  std::uint8_t* bytes = chunk_record_bytes(record);
  std::memcpy(bytes, type, 4);
  write_u32le(bytes + 4, length);
  return record;
}

std::uint8_t* chunk_record_bytes(chunk_record* record) { return reinterpret_cast<std::uint8_t*>(record); }

const std::uint8_t* chunk_record_bytes(const chunk_record* record) {
  return reinterpret_cast<const std::uint8_t*>(record);
}

const std::uint8_t* chunk_record_type(const chunk_record* record) { return chunk_record_bytes(record); }

std::uint32_t chunk_record_length(const chunk_record* record) { return read_u32le(chunk_record_bytes(record) + 4); }

std::int64_t chunk_record_size(const chunk_record* record) {
  return round4(chunk_header_size + std::int64_t{chunk_record_length(record)});
}

void chunk_list_init(chunk_list& list) {
  list.head = nullptr;
  list.tail = nullptr;
}

void chunk_list_append(chunk_list& list, chunk_record* item) {
  auto* node = static_cast<chunk_list_node*>(mem_alloc_zeroed(sizeof(chunk_list_node)));
  node->next = nullptr;
  node->item = item;
  if (list.tail != nullptr)
    list.tail->next = node;
  else
    list.head = node;
  list.tail = node;
}

void chunk_list_clear(chunk_list& list) {
  chunk_list_node* node = list.head;
  while (node != nullptr) {
    chunk_list_node* next = node->next;
    mem_release(node);
    node = next;
  }
  chunk_list_init(list);
}

void level_image_release(level_image& image) {
  chunk_list_for_each(image.chunks, mem_release);
  chunk_list_clear(image.chunks);
  mem_release(image.tileset);
  mem_release(image.map_data);
  image = level_image{};
}
