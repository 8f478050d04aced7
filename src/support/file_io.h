#pragma once

#include <cstdint>
#include <span>

#include "support/input_file.h"
#include "support/status.h"

// `length` bytes of an open file, from its start: data that stay in the file
// until they are copied where they go.
struct file_source {
  std::intptr_t file = -1;  // platform handle, owned by whoever opened it
  std::uint64_t length = 0;
};

// Reads exactly `out.size()` bytes at `offset`; a file that ends before them
// fails with shrank_text, any other failure with the system's error.
status file_read_at(std::intptr_t file, std::uint64_t offset, std::span<std::uint8_t> out);

// Fails with shrank_text or grew_text unless the file still holds exactly
// `source.length` bytes, so that data copied from it match the length
// recorded before the copy.
status file_source_check_length(const file_source& source);
