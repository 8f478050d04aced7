#include <memory>

#include "lib/map_handle.h"

namespace {

// Any other bit may mean something to a later version.
constexpr unsigned known_read_flags = MG_READ_FORCE | MG_READ_STRICT;

template <typename Read>
int read_into(mg_map** map, unsigned flags, Read&& read) {
  return guarded([&]() -> int {
    auto made = std::make_unique<mg_map>();
    map_read_options options;
    options.flags = flags;
    options.index_chunks = true;
    if (const status s = read(made->file, options); !s.is_ok()) return result_of(s);
    *map = made.release();
    return MG_OK;
  });
}

}  // namespace

int mg_map_read(const void* data, size_t size, unsigned flags, mg_map** map) {
  if (map == nullptr) return MG_ERR_ARGUMENT;
  *map = nullptr;
  if ((data == nullptr && size != 0) || (flags & ~known_read_flags) != 0) return MG_ERR_ARGUMENT;
  const std::span<const std::uint8_t> input{static_cast<const std::uint8_t*>(data), size};
  return read_into(map, flags, [&](map_file& file, const map_read_options& options) { return file.read(input, options); });
}

int mg_map_read_file(const char* path, unsigned flags, mg_map** map) {
  if (map == nullptr) return MG_ERR_ARGUMENT;
  *map = nullptr;
  if (path == nullptr || (flags & ~known_read_flags) != 0) return MG_ERR_ARGUMENT;
  return read_into(map, flags,
                   [&](map_file& file, const map_read_options& options) { return file.read_file(path, options); });
}

void mg_map_free(mg_map* map) {
  // From inside a callback of the map, the call that called back still uses it.
  if (map == nullptr || guarded([map] { return call_refused(map) ? MG_ERR_ARGUMENT : MG_OK; }) != MG_OK) return;
  delete map;
}
