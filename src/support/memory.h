#pragma once

#include <cstdint>

// Allocation never returns null to its caller: when the heap refuses a
// request, out_of_memory is thrown with the size asked for. The entry points
// turn it into their own failure (an error code in the library, status 3 and
// one line in the programs), and every owner on the way releases what it
// holds, temporary files included.
struct out_of_memory {
  std::int64_t requested;
};

// Returns a block of `size` bytes, every byte zero. A negative size cannot be
// satisfied and is refused like an exhausted heap.
void* mem_alloc_zeroed(std::int32_t size);

// Releases a block from mem_alloc_zeroed; null is accepted and ignored.
void mem_release(void* block);
