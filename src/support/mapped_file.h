#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "support/file_io.h"
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

// Opens an input whose bytes are copied later, straight from the file: the
// same checks as for mapped_file_open, nothing read yet. The file stays open
// in `source` until mapped_file_close_source.
bool mapped_file_open_source(const char* path, file_source& source, std::string& why);
void mapped_file_close_source(file_source& source);

struct source_closer {
  explicit source_closer(file_source& closed) : source(closed) {}
  source_closer(const source_closer&) = delete;
  source_closer& operator=(const source_closer&) = delete;
  ~source_closer() { mapped_file_close_source(source); }
  file_source& source;
};

inline std::span<const std::uint8_t> mapped_file_bytes(const mapped_file* file) {
  return {file->view, file->length};
}

struct mapped_file_closer {
  void operator()(mapped_file* file) const { mapped_file_close(file); }
};
using mapped_file_ptr = std::unique_ptr<mapped_file, mapped_file_closer>;
