#pragma once

#include <cstdint>

// What tells one file from another whatever name reaches it: the one "which
// file" of every layer, which file_origin and file_facts extend.
struct file_identity {
  std::uint64_t device = 0;  // POSIX: st_dev; Windows: the volume serial number
  std::uint64_t file = 0;    // POSIX: the inode; Windows: the file index (file ID)
  bool operator==(const file_identity&) const = default;
};

// The identity of the file `path` names, links followed; false when there is
// none to be had (a missing file, say), which the caller finds out anyway.
bool file_identity_of(const char* path, file_identity& identity);

// Whether standard output writes to the file `path` names, as when a map is
// both read and appended to with '>>'; false for a terminal, a pipe or
// anything else that is not a file.
bool standard_output_is_file(const char* path);
