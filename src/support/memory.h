#pragma once

#include <cstdint>

// Allocation never fails back to its caller: when the heap refuses a request
// the process ends through fail_fatal with status 3, before anything has been
// written. That keeps every other stage free of out-of-memory paths.

// Returns a block of `size` bytes, every byte zero. A negative size cannot be
// satisfied and ends the process like an exhausted heap.
void* mem_alloc_zeroed(std::int32_t size);

// Releases a block from mem_alloc_zeroed; null is accepted and ignored.
void mem_release(void* block);

// Runs the cleanup set below, prints "Unrecoverable error (<status>): " and
// the formatted message to standard error, then a newline, and exits with
// `status`.
[[noreturn]] void fail_fatal(int status, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Sets what fail_fatal runs before the process exits: the removal of a
// temporary file that would otherwise be left behind. Null sets nothing.
void fail_fatal_cleanup(void (*cleanup)());
