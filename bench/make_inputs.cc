// Writes the inputs of bench/run:
//   mapgraft_bench_inputs map <path>            the typical map
//   mapgraft_bench_inputs raw <path> <MiB>      a raw file of pseudo-random bytes
//   mapgraft_bench_inputs chunks <path> <N>     the typical map with N empty chunks
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_maps.h"

namespace {

constexpr std::int32_t block_size = 1 << 20;
// 8 bytes each, in a map below 2 GiB.
constexpr long max_empty_chunks = 250'000'000;

bool write_all(std::FILE* file, std::span<const std::uint8_t> bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

int fail(const char* path) {
  std::fprintf(stderr, "mapgraft_bench_inputs: cannot write '%s': %s\n", path, std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool map = argc == 3 && std::strcmp(argv[1], "map") == 0;
  const bool raw = argc == 4 && std::strcmp(argv[1], "raw") == 0;
  const bool chunks = argc == 4 && std::strcmp(argv[1], "chunks") == 0;
  const long count = raw || chunks ? std::strtol(argv[3], nullptr, 10) : 0;
  if ((!map && !raw && !chunks) || (raw && (count <= 0 || count >= 2048)) ||
      (chunks && (count < 0 || count > max_empty_chunks))) {
    std::fprintf(stderr,
                 "usage: mapgraft_bench_inputs map <path> | raw <path> <MiB, 1 to 2047> | chunks <path> <N, 0 to %ld>\n",
                 max_empty_chunks);
    return 2;
  }
  const char* path = argv[2];
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return fail(path);
  bool ok = true;
  if (map) {
    ok = write_all(file, bench_map().view());
  } else if (chunks) {
    ok = write_all(file, bench_map_of_empty_chunks(static_cast<std::int32_t>(count)).view());
  } else {
    bench_bytes block(block_size);
    for (long i = 0; ok && i < count; ++i) {
      bench_fill({block.bytes.get(), block_size}, static_cast<std::uint64_t>(i) + 2);
      ok = write_all(file, block.view());
    }
  }
  if (std::fclose(file) != 0) ok = false;
  return ok ? 0 : fail(path);
}
