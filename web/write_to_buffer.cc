// The whole written map in one block, which the JavaScript wrapper copies
// out and releases with free().
#include <mapgraft.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct buffer {
  unsigned char* next;
  std::size_t left;
};

int append(void* context, const void* data, std::size_t size) {
  auto* out = static_cast<buffer*>(context);
  if (size > out->left) return 1;
  std::memcpy(out->next, data, size);
  out->next += size;
  out->left -= size;
  return 0;
}

}  // namespace

extern "C" int mgweb_write(const mg_map* map, unsigned char** data, std::size_t* size) {
  if (map == nullptr || data == nullptr || size == nullptr) return MG_ERR_ARGUMENT;
  *data = nullptr;
  *size = 0;
  std::uint64_t total = 0;
  if (const int status = mg_map_written_size(map, &total); status != MG_OK) return status;
  if (total > SIZE_MAX - 1) return MG_ERR_NOMEM;
  // malloc(0) may give NULL; one byte more keeps NULL meaning "no memory".
  auto* block = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(total) + 1));
  if (block == nullptr) return MG_ERR_NOMEM;
  buffer out{block, static_cast<std::size_t>(total)};
  if (const int status = mg_map_write(map, append, &out); status != MG_OK || out.left != 0) {
    std::free(block);
    return status != MG_OK ? status : MG_ERR_VERIFY;
  }
  *data = block;
  *size = static_cast<std::size_t>(total);
  return MG_OK;
}
