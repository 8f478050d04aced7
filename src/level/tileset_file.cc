#include "level/tileset_file.h"

#include "level/level_image.h"
#include "support/byte_order.h"
#include "support/format_line.h"

status tileset_file_check(std::span<const std::uint8_t> file, std::uint32_t& bitmap_length) {
  const std::size_t length = file.size();
  if (length == 0) return status::failure(error_code::bad_tileset, "empty file");
  if (length < 2 || file[0] != 'B' || file[1] != 'M') return status::failure(error_code::bad_tileset, "not a bitmap: it does not start with 'BM'");
  if (length < static_cast<std::size_t>(bmp_header_size))
    return status::failure(error_code::bad_tileset, format_line("not a bitmap: %llu bytes, shorter than a bitmap header (%d)",
                                       static_cast<unsigned long long>(length), bmp_header_size));
  const std::uint32_t declared = read_u32le(file.data() + 2);
  if (declared < static_cast<std::uint32_t>(bmp_header_size))
    return status::failure(error_code::bad_tileset, format_line("not a bitmap: its size field says %lu bytes, shorter than a bitmap header (%d)",
                                       static_cast<unsigned long>(declared), bmp_header_size));
  if (declared > length)
    return status::failure(error_code::bad_tileset, format_line("not a bitmap: its size field says %lu bytes, more than the %llu the file holds",
                                       static_cast<unsigned long>(declared), static_cast<unsigned long long>(length)));
  if (const std::uint16_t reserved = read_u16le(file.data() + 6); reserved != 0)
    return status::failure(error_code::bad_tileset, format_line("a map, not a bitmap: its first reserved field is %u, not 0", unsigned{reserved}));
  if (round4(declared) > max_metadata_offset)
    return status::failure(error_code::too_large, tileset_too_large_text(round4(declared)));
  bitmap_length = declared;
  return status::ok();
}

std::string tileset_too_large_text(std::int64_t padded_length) {
  return format_line("the tileset bitmap takes %lld bytes, more than the %d that the metadata offset can hold",
                     static_cast<long long>(padded_length), max_metadata_offset);
}
