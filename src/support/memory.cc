#include "support/memory.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void* mem_alloc_zeroed(std::int32_t size) {
  // calloc hands back zero pages without touching them, so a large block costs
  // no more than the bytes later copied into it. A zero-byte request still
  // needs a distinct, releasable block.
  void* block = size < 0 ? nullptr : std::calloc(size == 0 ? 1 : static_cast<std::size_t>(size), 1);
  if (block == nullptr) fail_fatal(3, "malloc error: requested %i bytes\n", size);
  return block;
}

void mem_release(void* block) { std::free(block); }

void fail_fatal(int status, const char* format, ...) {
  std::fprintf(stderr, "Unrecoverable error (%i): ", status);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputs("\n", stderr);
  std::exit(status);
}
