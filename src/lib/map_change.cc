#include <cstring>
#include <span>
#include <string>

#include "lib/change_checks.h"
#include "lib/map_handle.h"
#include "support/format_line.h"

namespace {

std::span<const std::uint8_t> bytes_of(const void* data, size_t size) {
  return {static_cast<const std::uint8_t*>(data), size};
}

// The text goes where mg_map_errmsg finds it; the result is the code.
int refused(mg_map* map, int code, const std::string& text) {
  map->errmsg = text;
  return code;
}

int no_chunk(mg_map* map, size_t index) {
  return refused(map, MG_ERR_NO_CHUNK, format_line("no chunk %llu", static_cast<unsigned long long>(index)));
}

int too_large(mg_map* map) { return refused(map, MG_ERR_TOO_LARGE, "the chunk would not fit a map file"); }

// A key refused, or MG_OK.
int key_refusal(mg_map* map, const char* key) {
  if (key == nullptr) return MG_ERR_ARGUMENT;
  const status s = attribute_key_check(key);
  return s.is_ok() ? MG_OK : refused(map, result_of(s), s.why());
}

// Applies one operation, whose every refusal has been checked by then but
// for the sizes.
int apply(mg_map* map, const edit_operation& op, std::size_t tileset_room = 0) {
  return guarded([&]() -> int {
    map->errmsg.clear();
    edit_summary summary;
    if (status s = map->file.apply({&op, 1}, summary, nullptr, tileset_room); !s.is_ok())
      return refused(map, result_of(s), s.why());
    return MG_OK;
  });
}

edit_operation operation(edit_operation::kind what) {
  edit_operation op{};
  op.what = what;
  return op;
}

}  // namespace

int mg_map_add_chunk(mg_map* map, const char type[4], const void* data, size_t size) {
  if (map == nullptr || type == nullptr || (data == nullptr && size != 0) || change_refused(map)) return MG_ERR_ARGUMENT;
  if (size > max_chunk_length) return too_large(map);
  return guarded([&]() -> int {
    edit_operation op = operation(edit_operation::kind::add);
    std::memcpy(op.type, type, 4);
    op.data = bytes_of(data, size);
    return apply(map, op);
  });
}

int mg_map_remove_chunk(mg_map* map, size_t index) {
  if (map == nullptr || change_refused(map)) return MG_ERR_ARGUMENT;
  if (index >= map->file.chunks().size()) return no_chunk(map, index);
  return guarded([&]() -> int {
    edit_operation op = operation(edit_operation::kind::remove);
    op.indexes.push_back(index);
    return apply(map, op);
  });
}

int mg_map_replace_chunk(mg_map* map, size_t index, const void* data, size_t size) {
  if (map == nullptr || (data == nullptr && size != 0) || change_refused(map)) return MG_ERR_ARGUMENT;
  if (index >= map->file.chunks().size()) return no_chunk(map, index);
  if (size > max_chunk_length) return too_large(map);
  return guarded([&]() -> int {
    edit_operation op = operation(edit_operation::kind::replace);
    op.indexes.push_back(index);
    op.data = bytes_of(data, size);
    return apply(map, op);
  });
}

int mg_map_set_attr(mg_map* map, const char* key, const char* value) {
  if (map == nullptr || value == nullptr || change_refused(map)) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    if (const int refusal = key_refusal(map, key); refusal != MG_OK) return refusal;
    if (std::strlen(key) + 1 + std::strlen(value) > max_chunk_length) return too_large(map);
    edit_operation op = operation(edit_operation::kind::set);
    op.key = key;
    op.value = value;
    return apply(map, op);
  });
}

int mg_map_unset_attr(mg_map* map, const char* key) {
  if (map == nullptr || change_refused(map)) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    if (const int refusal = key_refusal(map, key); refusal != MG_OK) return refusal;
    edit_operation op = operation(edit_operation::kind::unset);
    op.key = key;
    return apply(map, op);
  });
}

int mg_map_set_tileset(mg_map* map, const void* bitmap, size_t size) {
  if (map == nullptr || (bitmap == nullptr && size != 0) || change_refused(map)) return MG_ERR_ARGUMENT;
  const std::span<const std::uint8_t> file = bytes_of(bitmap, size);
  return guarded([&]() -> int {
    std::uint32_t length = 0;
    if (status s = tileset_check(file, length); !s.is_ok()) return refused(map, result_of(s), s.why());
    edit_operation op = operation(edit_operation::kind::tileset);
    op.data = file;
    return apply(map, op, length);
  });
}
