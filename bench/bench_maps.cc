#include "bench_maps.h"

#include <cstring>
#include <string_view>

#include "level/default_tileset.h"
#include "level/level_image.h"
#include "support/byte_order.h"
#include "support/memory.h"

namespace {

using namespace std::literals;

struct chunk_spec {
  const char* type;
  std::string_view data;
};

// Two attribute texts and a small region, as an editor would leave them.
constexpr chunk_spec small_chunks[] = {
    {"ATTR", "NAME=benchmark map"sv},
    {"ATTR", "VERSION=1.1"sv},
    {"REGN", "rNAM\x09\0\0\0arena one"sv},
};

std::int32_t data_length(const chunk_spec& chunk) { return static_cast<std::int32_t>(chunk.data.size()); }

// The built-in tileset is a typical 304 x 160, 8-bit bitmap; here it becomes
// the map's own, followed by its metadata block.
void put_bitmap(std::uint8_t* out, std::int64_t padded, std::int64_t metadata) {
  std::memcpy(out, default_tileset.data(), default_tileset_size);
  write_u32le(out + 2, static_cast<std::uint32_t>(padded + metadata));
  write_u16le(out + 6, static_cast<std::uint16_t>(padded));
}

std::uint8_t* put_chunk(std::uint8_t* out, const char* type, std::int32_t length) {
  std::memcpy(out, type, 4);
  write_u32le(out + 4, static_cast<std::uint32_t>(length));
  return out + chunk_header_size;
}

// The bitmap and the block's header around `chunks` bytes of records, which
// `put_chunks` writes; then the tile entries.
template <typename PutChunks>
bench_bytes map_around(std::int64_t chunks, PutChunks&& put_chunks) {
  const std::int64_t padded = round4(default_tileset_size);
  const std::int64_t metadata = elvl_header_size + chunks;
  bench_bytes map(static_cast<std::int32_t>(padded + metadata + bench_tile_data_size));
  std::uint8_t* out = map.bytes.get();
  put_bitmap(out, padded, metadata);

  std::uint8_t* block = out + padded;
  std::memcpy(block, elvl_magic, 4);
  write_u32le(block + 4, static_cast<std::uint32_t>(metadata));
  put_chunks(block + elvl_header_size);
  std::uint8_t* next = block + metadata;

  // Tile entries: the tile number in the low byte, its column and row above.
  for (std::int32_t i = 0; i < bench_tile_data_size / 4; ++i)
    write_u32le(next + 4 * i, static_cast<std::uint32_t>(1 + i % 190) | static_cast<std::uint32_t>(i % 256) << 12 |
                                  static_cast<std::uint32_t>(i / 256) << 22);
  return map;
}

}  // namespace

void bench_release::operator()(std::uint8_t* bytes) const { mem_release(bytes); }

bench_bytes::bench_bytes(std::int32_t size)
    : bytes(static_cast<std::uint8_t*>(mem_alloc_zeroed(size))), length(size) {}

void bench_fill(std::span<std::uint8_t> bytes, std::uint64_t seed) {
  std::uint64_t state = seed * 0x9e3779b97f4a7c15u + 1;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(bytes.data() + i, &state, 8);
  }
  for (; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(state >> (8 * (i % 8)));
}

bench_bytes bench_map(std::int32_t extra_chunk) {
  std::int64_t chunks = 0;
  for (const chunk_spec& chunk : small_chunks) chunks += round4(chunk_header_size + data_length(chunk));
  if (extra_chunk > 0) chunks += round4(chunk_header_size + std::int64_t{extra_chunk});
  return map_around(chunks, [&](std::uint8_t* next) {
    for (const chunk_spec& chunk : small_chunks) {
      const std::int32_t length = data_length(chunk);
      std::memcpy(put_chunk(next, chunk.type, length), chunk.data.data(), static_cast<std::size_t>(length));
      next += round4(chunk_header_size + length);
    }
    if (extra_chunk > 0) bench_fill({put_chunk(next, "DATA", extra_chunk), static_cast<std::size_t>(extra_chunk)}, 1);
  });
}

bench_bytes bench_map_of_empty_chunks(std::int32_t count) {
  return map_around(std::int64_t{count} * chunk_header_size, [&](std::uint8_t* next) {
    for (std::int32_t i = 0; i < count; ++i) next = put_chunk(next, "NOTE", 0);
  });
}
