#include "support/memory.h"

#include <cstddef>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define MAPGRAFT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MAPGRAFT_ADDRESS_SANITIZER 1
#endif
#endif

// Large blocks are mapped on their own, except under AddressSanitizer, which
// checks the bounds of heap blocks only.
#if defined(__linux__) && !defined(MAPGRAFT_ADDRESS_SANITIZER)
#define MAPGRAFT_LARGE_BLOCKS 1
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#endif

namespace {

#if MAPGRAFT_LARGE_BLOCKS
// A fresh page costs a fault, and on a virtual machine a fault can cost tens
// of microseconds, more than copying the page. Blocks of 2 MiB or more are
// therefore mapped 2 MiB-aligned and marked for transparent huge pages: a
// 256 MiB chunk then takes 128 faults instead of 65,536, and writing it out is
// several times faster. The part past the last whole huge page stays in small
// pages, so a block never holds more memory than its size. Like calloc's, the
// mapping comes zero-filled.
constexpr std::size_t huge_page = std::size_t{2} << 20;
constexpr std::int32_t large_block_size = 2 << 20;

// Every block starts with a header that says how it was obtained, so that
// releasing it needs no table shared between threads.
constexpr std::size_t header_size = 16;
constexpr std::size_t from_heap = 0;

void* map_large_block(std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t length = (header_size + size + page - 1) / page * page;
  void* reserved = mmap(nullptr, length + huge_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (reserved == MAP_FAILED) return nullptr;
  const auto first = reinterpret_cast<std::uintptr_t>(reserved);
  const std::uintptr_t start = (first + huge_page - 1) & ~(huge_page - 1);
  // Keep the aligned `length` bytes of the reservation.
  if (start > first) munmap(reserved, start - first);
  munmap(reinterpret_cast<void*>(start + length), first + huge_page - start);
  void* block = reinterpret_cast<void*>(start);
  madvise(block, length, MADV_HUGEPAGE);  // refused where huge pages are off; small pages then serve
  *static_cast<std::size_t*>(block) = length;
  return static_cast<std::byte*>(block) + header_size;
}
#else
constexpr std::size_t header_size = 0;
#endif

}  // namespace

void* mem_alloc_zeroed(std::int32_t size) {
  void* block = nullptr;
#if MAPGRAFT_LARGE_BLOCKS
  if (size >= large_block_size) block = map_large_block(static_cast<std::size_t>(size));
#endif
  // calloc hands back zero pages without touching them, so a large block costs
  // no more than the bytes later copied into it. A zero-byte request still
  // needs a distinct, releasable block.
  if (block == nullptr && size >= 0) {
    block = std::calloc(header_size + (size == 0 ? 1 : static_cast<std::size_t>(size)), 1);
    if (block != nullptr) block = static_cast<std::byte*>(block) + header_size;
  }
  if (block == nullptr) throw out_of_memory{size};
  return block;
}

void mem_release(void* block) {
  if (block == nullptr) return;
  std::byte* const start = static_cast<std::byte*>(block) - header_size;
#if MAPGRAFT_LARGE_BLOCKS
  if (const std::size_t mapped = *reinterpret_cast<std::size_t*>(start); mapped != from_heap) {
    munmap(start, mapped);
    return;
  }
#endif
  std::free(start);
}
