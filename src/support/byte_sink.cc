#include "support/byte_sink.h"

#include <algorithm>

#include "support/memory.h"

status byte_sink::copy(const file_source& source) {
  constexpr std::uint64_t buffer_size = 1 << 20;
  const std::uint64_t size = std::min(buffer_size, source.length);
  auto* buffer = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(size)));
  status result = status::ok();
  for (std::uint64_t done = 0; done < source.length && result.is_ok();) {
    const std::span<std::uint8_t> part(buffer, static_cast<std::size_t>(std::min(size, source.length - done)));
    result = file_read_at(source.file, done, part);
    if (result.is_ok()) result = write(part);
    done += part.size();
  }
  mem_release(buffer);
  return result;
}
