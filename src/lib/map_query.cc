#include <cstring>
#include <string_view>

#include "level/attribute_text.h"
#include "lib/map_handle.h"

int mg_map_shape(const mg_map* map) {
  if (map == nullptr) return MG_SHAPE_PLAIN;
  switch (map->file.shape_as_read()) {
    case level_shape::plain: return MG_SHAPE_PLAIN;
    case level_shape::tileset: return MG_SHAPE_TILESET;
    case level_shape::extended: return MG_SHAPE_EXTENDED;
  }
  return MG_SHAPE_PLAIN;
}

const char* mg_map_damage(const mg_map* map) { return map != nullptr ? map->file.damage() : nullptr; }

const char* mg_map_unlike_a_map(const mg_map* map) { return map != nullptr ? map->file.unlike_a_map() : nullptr; }

const char* mg_map_errmsg(const mg_map* map) { return map == nullptr ? "" : map->errmsg.c_str(); }

size_t mg_map_chunk_count(const mg_map* map) { return map == nullptr ? 0 : map->file.chunks().size(); }

int mg_map_chunk(const mg_map* map, size_t index, mg_chunk* chunk) {
  if (map == nullptr || chunk == nullptr) return MG_ERR_ARGUMENT;
  if (index >= map->file.chunks().size()) return MG_ERR_NO_CHUNK;
  const chunk_record* record = map->file.chunks()[index];
  std::memcpy(chunk->type, chunk_record_type(record), 4);
  chunk->data = chunk_record_bytes(record) + chunk_header_size;
  chunk->size = chunk_record_length(record);
  return MG_OK;
}

int mg_map_tileset(const mg_map* map, const unsigned char** data, size_t* size) {
  if (map == nullptr || data == nullptr || size == nullptr) return MG_ERR_ARGUMENT;
  if (map->file.tileset().empty()) return MG_ERR_NO_TILESET;
  *data = map->file.tileset().data();
  *size = map->file.tileset().size();
  return MG_OK;
}

int mg_map_tiles(const mg_map* map, const unsigned char** data, size_t* size) {
  if (map == nullptr || data == nullptr || size == nullptr) return MG_ERR_ARGUMENT;
  *data = map->file.image().map_data;
  *size = static_cast<size_t>(map->file.image().map_length);
  return MG_OK;
}

int mg_map_get_attr(const mg_map* map, const char* key, const unsigned char** value, size_t* size) {
  if (map == nullptr || key == nullptr || value == nullptr || size == nullptr) return MG_ERR_ARGUMENT;
  for (const chunk_record* record : map->file.chunks()) {
    if (std::memcmp(chunk_record_type(record), "ATTR", 4) != 0) continue;
    const std::string_view data(reinterpret_cast<const char*>(chunk_record_bytes(record) + chunk_header_size),
                                chunk_record_length(record));
    std::string_view found_key, found_value;
    if (!attribute_text(data, found_key, found_value) || found_key != key) continue;
    *value = reinterpret_cast<const unsigned char*>(found_value.data());
    *size = found_value.size();
    return MG_OK;
  }
  return MG_ERR_NO_ATTR;
}
