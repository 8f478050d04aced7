#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

// An input file mapped read-only as one block. Only regular files of 1 byte
// up to 2 GiB (exclusive) are mapped: an empty file cannot be mapped, and the
// map stages count lengths in signed 32 bits.
struct mapped_file {
  const std::uint8_t* view;
  std::uint32_t length;
  std::intptr_t file;     // platform handle of the open file
  std::intptr_t mapping;  // platform handle of the mapping, where there is one
};

// Returns the mapped file, or null with the reason in `why`. Prints nothing.
mapped_file* mapped_file_open(const char* path, std::string& why);
void mapped_file_close(mapped_file* file);

inline std::span<const std::uint8_t> mapped_file_bytes(const mapped_file* file) {
  return {file->view, file->length};
}

struct mapped_file_closer {
  void operator()(mapped_file* file) const { mapped_file_close(file); }
};
using mapped_file_ptr = std::unique_ptr<mapped_file, mapped_file_closer>;

inline constexpr const char* empty_file_text = "empty file";
inline constexpr const char* not_regular_text = "not a regular file";
inline constexpr const char* too_large_text = "file too large (2 GiB or more)";
