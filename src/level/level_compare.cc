#include "level/level_compare.h"

#include <algorithm>
#include <cstring>

#include "level/level_writer.h"
#include "support/memory.h"

comparing_sink::~comparing_sink() { mem_release(buffer_); }

status comparing_sink::write(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > room()) return differ();
  // No larger than what there is to compare: clearing a block costs.
  const auto capacity = static_cast<std::int32_t>(std::clamp<std::uint64_t>(length_, 1, buffer_size));
  if (buffer_ == nullptr) buffer_ = static_cast<std::uint8_t*>(mem_alloc_zeroed(capacity));
  while (!bytes.empty()) {
    const std::size_t part = std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(capacity));
    if (status s = read_(offset_, {buffer_, part}); !s.is_ok()) return s;
    if (std::memcmp(buffer_, bytes.data(), part) != 0) return differ();
    offset_ += part;
    bytes = bytes.subspan(part);
  }
  return status::ok();
}

status comparing_sink::differ() {
  differs_ = true;
  return status::failure(error_code::verify, "the bytes differ");
}

status level_compare_written(const level_image& image, const block_reader& read, std::uint64_t length, bool& same) {
  comparing_sink compare(read, length);
  null_report quiet;
  same = false;
  const status written = level_write_to(image, compare, quiet);
  if (!written.is_ok() && !compare.differs()) return written;
  same = compare.same();
  return status::ok();
}
