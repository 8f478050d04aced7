// Writes the inputs of bench/run:
//   mapgraft_bench_inputs map <path>            the typical map
//   mapgraft_bench_inputs raw <path> <MiB>      a raw file of pseudo-random bytes
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_maps.h"

namespace {

constexpr std::int32_t block_size = 1 << 20;

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
  const long mebibytes = raw ? std::strtol(argv[3], nullptr, 10) : 0;
  if ((!map && !raw) || (raw && (mebibytes <= 0 || mebibytes >= 2048))) {
    std::fprintf(stderr, "usage: mapgraft_bench_inputs map <path> | raw <path> <MiB, 1 to 2047>\n");
    return 2;
  }
  const char* path = argv[2];
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return fail(path);
  bool ok = true;
  if (map) {
    ok = write_all(file, bench_map().view());
  } else {
    bench_bytes block(block_size);
    for (long i = 0; ok && i < mebibytes; ++i) {
      bench_fill({block.bytes.get(), block_size}, static_cast<std::uint64_t>(i) + 2);
      ok = write_all(file, block.view());
    }
  }
  if (std::fclose(file) != 0) ok = false;
  return ok ? 0 : fail(path);
}
