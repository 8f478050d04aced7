// mapgraft_api.js reads mg_chunk from WebAssembly memory at these offsets.
#include <mapgraft.h>

#include <cstddef>

static_assert(offsetof(mg_chunk, type) == 0);
static_assert(offsetof(mg_chunk, data) == 4);
static_assert(offsetof(mg_chunk, size) == 8);
static_assert(sizeof(mg_chunk) == 12);
