#pragma once

#include <cerrno>
#include <cstdint>

#include "support/status.h"

// The reasons an input file is refused, whichever way it is read.
inline constexpr const char* empty_file_text = "empty file";
inline constexpr const char* not_regular_text = "not a regular file";
inline constexpr const char* too_large_text = "file too large (2 GiB or more)";
inline constexpr const char* shrank_text = "the file shrank while it was read";
inline constexpr const char* grew_text = "the file grew while it was read";

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

#ifndef _WIN32
// Only regular files of 1 byte up to 2 GiB (exclusive) are taken: the map
// stages count lengths in signed 32 bits. Gives the length of the open file.
status input_length(int fd, std::uint32_t& length);

// Reads the whole file, `length` bytes as input_length gave them, into `out`.
// Fails when the file turns out shorter or longer, as when another program
// truncates or appends to it meanwhile.
status input_read(int fd, std::uint8_t* out, std::uint32_t length);
#endif
