#include "level/level_insert.h"

#include <cstring>
#include <limits>

void chunk_type_from_magic(const char* magic, std::uint8_t type[4]) {
  std::memset(type, 0, 4);
  for (int i = 0; i < 4 && magic[i] != '\0'; ++i) type[i] = static_cast<std::uint8_t>(magic[i]);
}

bool level_add_chunk(level_image& image, const char* magic, std::span<const std::uint8_t> data) {
  if (data.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  std::uint8_t type[4];
  chunk_type_from_magic(magic, type);
  chunk_record* record = chunk_list_append(image.chunks, type, static_cast<std::uint32_t>(data.size()));
  if (record == nullptr) return false;
  if (!data.empty()) std::memcpy(chunk_record_bytes(record) + chunk_header_size, data.data(), data.size());
  return true;
}

bool level_add_chunk_source(level_image& image, const char* magic, const file_source& source) {
  std::uint8_t type[4];
  chunk_type_from_magic(magic, type);
  return chunk_list_append_source(image.chunks, type, chunk_source{source});
}
