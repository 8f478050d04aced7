// The in-memory stages of one edit, without the files around them. Rates are
// of the map's bytes (and the raw data's, for an insert), in wall time.
#include <benchmark/benchmark.h>

#include "bench_maps.h"
#include "level/level_image.h"
#include "level/level_insert.h"
#include "level/level_reader.h"
#include "level/level_writer.h"
#include "support/byte_order.h"

namespace {

constexpr std::int32_t large_chunk = 64 << 20;
// 32 MiB of empty chunks: what the map costs is its records, not its bytes.
constexpr std::int32_t empty_chunks = 4 << 20;

enum class map_kind { typical, large_chunk, empty_chunks };

// Counts the bytes, so that a write costs what the stage costs and not what a
// growing buffer would.
class counting_sink final : public byte_sink {
 public:
  status write(std::span<const std::uint8_t> bytes) override {
    count += static_cast<std::int64_t>(bytes.size());
    return status::ok();
  }
  std::int64_t count = 0;
};

// Built once for every benchmark that needs them.
const bench_bytes& map_of(map_kind kind) {
  static const bench_bytes typical = bench_map();
  static const bench_bytes large = bench_map(large_chunk);
  static const bench_bytes many = bench_map_of_empty_chunks(empty_chunks);
  return kind == map_kind::typical ? typical : kind == map_kind::large_chunk ? large : many;
}

// Chunks per second too, where there are millions of them.
void count_chunks(benchmark::State& state, map_kind kind) {
  if (kind == map_kind::empty_chunks) state.SetItemsProcessed(state.iterations() * std::int64_t{empty_chunks});
}

const bench_bytes& raw_of(std::int32_t length) {
  static const bench_bytes typical = [] {
    bench_bytes raw(map_of(map_kind::typical).length);
    bench_fill({raw.bytes.get(), static_cast<std::size_t>(raw.length)}, 3);
    return raw;
  }();
  static const bench_bytes large = [] {
    bench_bytes raw(large_chunk);
    bench_fill({raw.bytes.get(), static_cast<std::size_t>(raw.length)}, 4);
    return raw;
  }();
  return length == 0 ? typical : large;
}

void read_map(level_image& image, std::span<const std::uint8_t> input, benchmark::State& state) {
  null_report quiet;
  if (level_read(image, input, quiet) != read_result::accepted) state.SkipWithError("the map was rejected");
}

void write_map(level_image& image, benchmark::State& state) {
  null_report quiet;
  counting_sink out;
  if (!level_write_to(image, out, quiet).is_ok()) state.SkipWithError("the map was not written");
  benchmark::DoNotOptimize(out.count);
}

void add_chunk(level_image& image, std::span<const std::uint8_t> raw, benchmark::State& state) {
  if (!level_add_chunk(image, "DATA", raw)) state.SkipWithError("the chunk was refused");
}

void bm_read(benchmark::State& state, map_kind kind) {
  const auto input = map_of(kind).view();
  for (auto _ : state) {
    level_image_owner level;
    read_map(level.image, input, state);
    benchmark::DoNotOptimize(level.image.map_data);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
  count_chunks(state, kind);
}

// Raw data as large as the typical map, or 64 MiB of it, goes into an otherwise
// empty image: insertion touches nothing else.
void bm_insert(benchmark::State& state, std::int32_t raw_length) {
  const auto raw = raw_of(raw_length).view();
  for (auto _ : state) {
    level_image_owner level;
    add_chunk(level.image, raw, state);
    benchmark::DoNotOptimize(level.image.chunks.tail);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(raw.size()));
}

void bm_write(benchmark::State& state, map_kind kind) {
  const auto input = map_of(kind).view();
  level_image_owner level;
  read_map(level.image, input, state);
  for (auto _ : state) {
    write_map(level.image, state);
    // The writer patched the size field for the metadata block; the next
    // write starts again from the bitmap alone, as after a read.
    write_u32le(level.image.tileset + 2, read_u16le(level.image.tileset + 6));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
  count_chunks(state, kind);
}

void bm_read_write(benchmark::State& state, map_kind kind) {
  const auto input = map_of(kind).view();
  for (auto _ : state) {
    level_image_owner level;
    read_map(level.image, input, state);
    write_map(level.image, state);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
  count_chunks(state, kind);
}

// A whole edit in memory: read the typical map, add the raw data, write.
void bm_edit(benchmark::State& state, std::int32_t raw_length) {
  const auto input = map_of(map_kind::typical).view();
  const auto raw = raw_of(raw_length).view();
  for (auto _ : state) {
    level_image_owner level;
    read_map(level.image, input, state);
    add_chunk(level.image, raw, state);
    write_map(level.image, state);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size() + raw.size()));
}

}  // namespace

BENCHMARK_CAPTURE(bm_read, typical_map, map_kind::typical)->UseRealTime();
BENCHMARK_CAPTURE(bm_read, chunk_64MiB, map_kind::large_chunk)->UseRealTime();
BENCHMARK_CAPTURE(bm_read, empty_chunks_4Mi, map_kind::empty_chunks)->UseRealTime();
BENCHMARK_CAPTURE(bm_insert, map_sized_raw, 0)->UseRealTime();
BENCHMARK_CAPTURE(bm_insert, raw_64MiB, large_chunk)->UseRealTime();
BENCHMARK_CAPTURE(bm_write, typical_map, map_kind::typical)->UseRealTime();
BENCHMARK_CAPTURE(bm_write, chunk_64MiB, map_kind::large_chunk)->UseRealTime();
BENCHMARK_CAPTURE(bm_write, empty_chunks_4Mi, map_kind::empty_chunks)->UseRealTime();
BENCHMARK_CAPTURE(bm_read_write, typical_map, map_kind::typical)->UseRealTime();
BENCHMARK_CAPTURE(bm_read_write, chunk_64MiB, map_kind::large_chunk)->UseRealTime();
BENCHMARK_CAPTURE(bm_read_write, empty_chunks_4Mi, map_kind::empty_chunks)->UseRealTime();
BENCHMARK_CAPTURE(bm_edit, map_sized_raw, 0)->UseRealTime();
BENCHMARK_CAPTURE(bm_edit, raw_64MiB, large_chunk)->UseRealTime();

BENCHMARK_MAIN();
