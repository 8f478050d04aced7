#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/file_identity.h"
#include "support/input_file.h"
#include "support/status.h"

// A file as read: its bytes, and what tells whether it has changed since.
// POSIX: device, inode, size, modification and change times; Windows: the
// volume, the file index, the size, and FILE_BASIC_INFO's write and change
// times.
struct file_origin {
  bool known = false;
  std::string path;
  // Where the file is, links and "." resolved (on Windows as the volume
  // spells it), so that a file renamed over it is still found to be there.
  std::string location;
  file_identity identity;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // nanoseconds, or Windows' 100-nanosecond ticks
  std::int64_t changed = 0;
  bool operator==(const file_origin& other) const {
    return identity == other.identity && size == other.size && modified == other.modified && changed == other.changed;
  }
};

// How the library takes a file: as it takes bytes, an empty one too and one
// of 2 GiB or more as too_large. It is read at once, so others may write it.
inline input_rules file_origin_rules() {
  input_rules rules;
  rules.empty_allowed = true;
  rules.too_large = error_code::too_large;
  rules.others_may_write = true;
  return rules;
}

// Reads the whole file at `path` into a block of mem_alloc_zeroed's, which
// the caller releases with mem_release even on failure, and notes its
// identity. A failure is as input_open's or input_read_all's.
status file_origin_read(const char* path, std::uint8_t*& bytes, std::size_t& length, file_origin& origin);

// The identity `path` names now; false when it has none.
bool file_origin_now(const char* path, file_origin& origin);

// Where `path` puts a file now, whether or not one is there: what
// file_origin::location would be for it; empty when not even its folder
// can be found.
std::string file_location(const char* path);
// Whether two locations are one: on Windows names differing in case are.
bool same_location(const std::string& a, const std::string& b);
