#include "level/level_insert.h"

#include <cstring>
#include <limits>

std::uint8_t* level_add_chunk_space(level_image& image, const char* magic, std::uint64_t length) {
  if (length > std::numeric_limits<std::uint32_t>::max() ||
      round4(chunk_header_size + static_cast<std::int64_t>(length)) > std::numeric_limits<std::int32_t>::max())
    return nullptr;
  std::uint8_t type[4] = {};
  for (int i = 0; i < 4 && magic[i] != '\0'; ++i) type[i] = static_cast<std::uint8_t>(magic[i]);
  chunk_record* record = chunk_record_new(type, static_cast<std::uint32_t>(length));
  chunk_list_append(image.chunks, record);
  return chunk_record_bytes(record) + chunk_header_size;
}

bool level_add_chunk(level_image& image, const char* magic, std::span<const std::uint8_t> data) {
  std::uint8_t* space = level_add_chunk_space(image, magic, data.size());
  if (space == nullptr) return false;
  if (!data.empty()) std::memcpy(space, data.data(), data.size());
  return true;
}
