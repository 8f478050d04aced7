// Writes a map straight into a JavaScript Uint8Array, piece by piece, so that
// the written bytes never take WebAssembly memory beside the map itself: a
// map can then be written that fills more than a third of the 4 GiB.
#include <emscripten.h>
#include <mapgraft.h>

#include <cstddef>

// Module.mgwebOutput is {bytes, at}, set up by mapgraft_api.js.
EM_JS(void, mgweb_output, (const void* data, std::size_t size), {
  const out = Module["mgwebOutput"];
  const from = data >>> 0;
  out.bytes.set(HEAPU8.subarray(from, from + (size >>> 0)), out.at);
  out.at += size >>> 0;
});

namespace {

int append(void*, const void* data, std::size_t size) {
  mgweb_output(data, size);
  return 0;
}

}  // namespace

extern "C" int mgweb_write(const mg_map* map) { return mg_map_write(map, append, nullptr); }
