#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "support/input_file.h"

// An input file as one read-only block. On POSIX systems it is read into a
// block of its own (a mapped file that shrinks would end the process with
// SIGBUS); on Windows it is mapped. Only regular files of 1 byte up to 2 GiB
// (exclusive) are taken: an empty file cannot be mapped, and the map stages
// count lengths in signed 32 bits.
struct mapped_file {
  const std::uint8_t* view;
  std::uint32_t length;
  std::intptr_t file;     // platform handle of the open file, where it stays open
  std::intptr_t mapping;  // platform handle of the mapping, where there is one
};

// Returns the whole file, or null with the reason in `why`. Prints nothing.
mapped_file* mapped_file_open(const char* path, std::string& why);
void mapped_file_close(mapped_file* file);

// Copies the whole of an input file, which must pass the same checks as for
// mapped_file_open, into the block that `place` returns for its length. Where
// the system reads files, the bytes go straight from the file to the block.
// Returns false with the reason in `why`, or with `why` left as it
// was when `place` returned null.
bool mapped_file_read_into(const char* path, std::string& why,
                           const std::function<std::uint8_t*(std::uint32_t length)>& place);

inline std::span<const std::uint8_t> mapped_file_bytes(const mapped_file* file) {
  return {file->view, file->length};
}

struct mapped_file_closer {
  void operator()(mapped_file* file) const { mapped_file_close(file); }
};
using mapped_file_ptr = std::unique_ptr<mapped_file, mapped_file_closer>;
