#include "support/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/memory.h"
#include "support/replacement_file.h"

status input_read_all(input_file& file, std::uint8_t*& bytes, std::size_t& length) {
  if (file.stream != nullptr) return read_to_end(file.stream, bytes, length);
  if (file.length >= input_limit) return status::failure(error_code::io, too_large_text);
  length = static_cast<std::size_t>(file.length);
  bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(length)));
  return input_read(file.handle, bytes, static_cast<std::uint32_t>(length));
}

status read_to_end(std::FILE* in, std::uint8_t*& bytes, std::size_t& length) {
  constexpr std::size_t most = input_limit - 1;
  std::size_t capacity = 64 << 10;
  bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(capacity)));
  length = 0;
  while (!std::feof(in)) {
    if (length == capacity) {
      if (capacity == most) {
        std::uint8_t more = 0;
        if (std::fread(&more, 1, 1, in) == 1) return status::failure(error_code::io, too_large_text);
        break;
      }
      const std::size_t grown = std::min(capacity * 2, most);
      auto* larger = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(grown)));
      std::memcpy(larger, bytes, length);
      mem_release(bytes);
      bytes = larger;
      capacity = grown;
    }
    length += std::fread(bytes + length, 1, capacity - length, in);
    if (std::ferror(in)) return status::failure(error_code::io, system_error_text(errno));
  }
  return status::ok();
}
