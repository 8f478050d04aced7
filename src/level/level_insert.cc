#include "level/level_insert.h"

#include <cstring>
#include <limits>

bool level_add_chunk(level_image& image, const char* magic, std::span<const std::uint8_t> data) {
  if (round4(chunk_header_size + static_cast<std::int64_t>(data.size())) > std::numeric_limits<std::int32_t>::max())
    return false;
  std::uint8_t type[4] = {};
  for (int i = 0; i < 4 && magic[i] != '\0'; ++i) type[i] = static_cast<std::uint8_t>(magic[i]);
  chunk_record* record = chunk_record_new(type, static_cast<std::uint32_t>(data.size()));
  if (!data.empty()) std::memcpy(chunk_record_bytes(record) + chunk_header_size, data.data(), data.size());
  chunk_list_append(image.chunks, record);
  return true;
}
