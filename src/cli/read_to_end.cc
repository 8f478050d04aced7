#include "cli/read_to_end.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "support/input_file.h"
#include "support/memory.h"
#include "support/replacement_file.h"

status read_to_end(std::FILE* in, std::uint8_t*& bytes, std::size_t& length) {
  constexpr std::size_t most = std::numeric_limits<std::int32_t>::max();
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

void standard_input_binary() {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
}
