#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "support/status.h"

// The reasons an input file is refused, whichever way it is read.
inline constexpr const char* empty_file_text = "empty file";
inline constexpr const char* not_regular_text = "not a regular file";
inline constexpr const char* too_large_text = "file too large (2 GiB or more)";
inline constexpr const char* shrank_text = "the file shrank while it was read";
inline constexpr const char* grew_text = "the file grew while it was read";

// The map stages count lengths in signed 32 bits: every input is shorter.
inline constexpr std::uint64_t input_limit = std::uint64_t{1} << 31;

// A file that is not regular, with the system's error a C caller is left:
// EISDIR for a folder and EINVAL for anything else (on Windows
// ERROR_DIRECTORY_NOT_SUPPORTED and ERROR_INVALID_PARAMETER).
inline status not_regular_failure(bool folder) {
#ifdef _WIN32
  return status::failure(error_code::io, not_regular_text, folder ? 336 : 87);
#else
  return status::failure(error_code::io, not_regular_text, folder ? EISDIR : EINVAL);
#endif
}

// What a named input may be besides a regular file of 1 byte up to
// input_limit (exclusive).
struct input_rules {
  // An empty file is read as no bytes.
  bool empty_allowed = false;
  // POSIX: anything but a folder may be read as standard input is. A FIFO or
  // a device is opened waiting for a writer and, like a regular file that
  // reports size 0 as the files in /proc do, read to its end; and only the
  // reading finds a file too large. Windows takes regular files alone.
  bool streams_allowed = false;
  // The code of the failure for a file of input_limit bytes or more.
  error_code too_large = error_code::io;
  // Windows: what other programs may do to the file while it is open. A file
  // read at once may be written meanwhile (the read fails if it changes
  // size); a file that may be the map being replaced must allow its
  // replacement, a mapped one neither.
  bool others_may_write = false;
  bool others_may_delete = true;
};

struct input_file {
  std::intptr_t handle = -1;  // descriptor or HANDLE, owned; -1 for a stream
  std::uint64_t length = 0;   // the size the system gives, unless a stream
  std::FILE* stream = nullptr;  // owned: read to its end, its size saying nothing
};

// Opens `path` for reading and checks it against `rules`; on failure `file`
// is left closed. A failure is io with the system's error where it gave one,
// empty_file, or rules.too_large.
status input_open(const char* path, const input_rules& rules, input_file& file);
void input_close(input_file& file);

struct input_closer {
  explicit input_closer(input_file& closed) : file(closed) {}
  input_closer(const input_closer&) = delete;
  input_closer& operator=(const input_closer&) = delete;
  ~input_closer() { input_close(file); }
  input_file& file;
};

// Reads the whole of an input opened by input_open into a block of
// mem_alloc_zeroed's, which the caller releases with mem_release even on
// failure. Fails when the file turns out shorter or longer than its size
// said, as when another program truncates or appends to it meanwhile.
status input_read_all(input_file& file, std::uint8_t*& bytes, std::size_t& length);

// `length` bytes from the start of an open file into `out`, failing like
// input_read_all when there are fewer or more.
status input_read(std::intptr_t file, std::uint8_t* out, std::uint32_t length);

// Reads `in` to its end into a block as input_read_all does: standard input,
// and a stream. Like any input, shorter than input_limit.
status read_to_end(std::FILE* in, std::uint8_t*& bytes, std::size_t& length);

#ifndef _WIN32
// The checks input_open makes with the rules' defaults, for a file opened
// elsewhere; gives its length.
status input_length(int fd, std::uint32_t& length);
#endif
