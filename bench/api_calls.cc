// What building a map through the C functions costs, one call at a time:
//   api_calls add N          N mg_map_add_chunk on a new map
//   api_calls set N          N mg_map_set_attr of distinct keys
//   api_calls set-on N       on a map of N chunks, the microseconds of one
//                            mg_map_set_attr, of a new key and of one there
//   api_calls attrs N FILE   writes a map of N ATTR chunks to FILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mapgraft.h"

namespace {

mg_map* new_map() {
  mg_map* map = nullptr;
  if (mg_map_read("ABCDEFGH", 8, 0, &map) != MG_OK) std::exit(1);
  return map;
}

void check(int result) {
  if (result != MG_OK) {
    std::fprintf(stderr, "api_calls: %s\n", mg_strerror(result));
    std::exit(1);
  }
}

std::string key(long i) { return "K" + std::to_string(i); }

int to_file(void* context, const void* data, size_t size) {
  return std::fwrite(data, 1, size, static_cast<std::FILE*>(context)) == size ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string what = argv[1];
  const long n = std::atol(argv[2]);
  mg_map* map = new_map();
  if (what == "add") {
    for (long i = 0; i < n; ++i) check(mg_map_add_chunk(map, "DATA", "abcdef", 6));
  } else if (what == "set" || what == "attrs") {
    for (long i = 0; i < n; ++i) check(mg_map_set_attr(map, key(i).c_str(), "value"));
    if (what == "attrs") {
      if (argc < 4) return 2;
      std::FILE* out = std::fopen(argv[3], "wb");
      if (out == nullptr) return 1;
      check(mg_map_write(map, to_file, out));
      if (std::fclose(out) != 0) return 1;
    }
  } else if (what == "set-on") {
    for (long i = 0; i < n; ++i) check(i % 2 ? mg_map_add_chunk(map, "DATA", "abcdef", 6) : mg_map_set_attr(map, key(i).c_str(), "v"));
    constexpr int calls = 1000;
    const auto timed = [&](bool existing) {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < calls; ++i) check(mg_map_set_attr(map, existing ? "K0" : ("N" + std::to_string(i)).c_str(), existing && i % 2 ? "w" : "v"));
      return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / calls;
    };
    const double added = timed(false), there = timed(true);
    std::printf("%.2f %.2f\n", added, there);
  } else {
    return 2;
  }
  mg_map_free(map);
  return 0;
}
