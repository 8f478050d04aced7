// libFuzzer entry on the C interface alone: the fuzzer's bytes are a few
// changes followed by a map. The map is read (damage kept), changed, written;
// what was written must read back without damage, hold the same chunks and
// tiles, and write again to the same bytes. A refused change must leave the
// map as it was. Any broken promise aborts, so libFuzzer keeps the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mapgraft.h"

namespace {

void broken(const char* promise) {
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

int collect(void* context, const void* data, size_t size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
  return 0;
}

// MG_ERR_TOO_LARGE when the map cannot be written at all.
int written(const mg_map* map, std::vector<std::uint8_t>& out) {
  out.clear();
  std::uint64_t size = 0;
  const int result = mg_map_write(map, collect, &out);
  if (result != mg_map_written_size(map, &size)) broken("write and written_size agree on failing");
  if (result == MG_OK && size != out.size()) broken("written_size is the size written");
  return result;
}

int apply(mg_map* map, std::uint8_t what, std::uint8_t arg, const std::uint8_t* data, std::size_t size) {
  const std::size_t length = arg < size ? arg : size;
  const char type[4] = {'T', static_cast<char>(arg), 0, 0};
  const char key[3] = {'K', static_cast<char>('0' + arg % 3), 0};
  const char value[2] = {static_cast<char>('a' + arg % 26), 0};
  const std::size_t index = arg % (mg_map_chunk_count(map) + 1);
  switch (what % 6) {
    case 0: return mg_map_add_chunk(map, type, data, length);
    case 1: return mg_map_remove_chunk(map, index);
    case 2: return mg_map_replace_chunk(map, index, data, length);
    case 3: return mg_map_set_attr(map, arg % 4 == 0 ? "" : key, value);
    case 4: return mg_map_unset_attr(map, key);
    default: return mg_map_set_tileset(map, data, size);
  }
}

void same_contents(const mg_map* a, const mg_map* b) {
  if (mg_map_chunk_count(a) != mg_map_chunk_count(b)) broken("the chunks read back are as many");
  for (std::size_t i = 0; i < mg_map_chunk_count(a); ++i) {
    mg_chunk x{}, y{};
    if (mg_map_chunk(a, i, &x) != MG_OK || mg_map_chunk(b, i, &y) != MG_OK) broken("every index below the count is a chunk");
    if (std::memcmp(x.type, y.type, 4) != 0 || x.size != y.size || (x.size > 0 && std::memcmp(x.data, y.data, x.size) != 0))
      broken("each chunk reads back as written");
  }
  const unsigned char *x = nullptr, *y = nullptr;
  std::size_t xs = 0, ys = 0;
  if (mg_map_tiles(a, &x, &xs) != MG_OK || mg_map_tiles(b, &y, &ys) != MG_OK || xs != ys ||
      (xs > 0 && std::memcmp(x, y, xs) != 0))
    broken("the tiles read back as written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t changes = data[0] % 5;
  if (size < 1 + 2 * changes) return 0;
  const std::uint8_t* const map_bytes = data + 1 + 2 * changes;
  const std::size_t map_size = size - 1 - 2 * changes;

  mg_map* map = nullptr;
  if (mg_map_read(map_bytes, map_size, MG_READ_FORCE, &map) != MG_OK) {
    if (map != nullptr) broken("a failed read gives no map");
    return 0;
  }
  std::vector<std::uint8_t> before, after;
  for (std::size_t i = 0; i < changes; ++i) {
    const int could = written(map, before);
    const int result = apply(map, data[1 + 2 * i], data[2 + 2 * i], map_bytes, map_size);
    if (result == MG_OK) continue;
    if (result == MG_ERR_NOMEM || written(map, after) != could || after != before) broken("a refused change changes nothing");
  }

  std::vector<std::uint8_t> first, second;
  if (written(map, first) == MG_OK) {
    mg_map* again = nullptr;
    if (mg_map_read(first.data(), first.size(), 0, &again) != MG_OK) broken("what is written reads back undamaged");
    if (mg_map_shape(again) != MG_SHAPE_EXTENDED) broken("what is written is an extended map");
    same_contents(map, again);
    if (written(again, second) != MG_OK || second != first) broken("what is read back writes the same bytes");
    mg_map_free(again);
  }
  mg_map_free(map);
  return 0;
}
