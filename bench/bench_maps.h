#pragma once

#include <cstdint>
#include <memory>
#include <span>

// The maps the benchmarks work on, laid out byte by byte so that making them
// does not depend on the stages being measured.

struct bench_release {
  void operator()(std::uint8_t* bytes) const;
};

// A zero-filled block from mem_alloc_zeroed.
struct bench_bytes {
  explicit bench_bytes(std::int32_t size);
  std::span<const std::uint8_t> view() const { return {bytes.get(), static_cast<std::size_t>(length)}; }

  std::unique_ptr<std::uint8_t[], bench_release> bytes;
  std::int32_t length;
};

inline constexpr std::int32_t bench_tile_data_size = 256 << 10;

// A typical extended map: a 49,718-byte tileset bitmap, an "elvl" block of
// three small chunks, then 256 KiB of tile entries. With `extra_chunk` bytes,
// the block carries a fourth chunk of that many pseudo-random bytes.
bench_bytes bench_map(std::int32_t extra_chunk = 0);

// The typical map with `count` empty chunks in its block instead of its
// three small ones: 8 bytes a chunk, so that the map costs what its records
// and its report cost rather than what its bytes cost.
bench_bytes bench_map_of_empty_chunks(std::int32_t count);

// Fills `bytes` with a cheap pseudo-random sequence that depends on `seed`, so
// that no layer can compress or deduplicate it.
void bench_fill(std::span<std::uint8_t> bytes, std::uint64_t seed);
