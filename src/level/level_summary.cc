#include "level/level_summary.h"

#include <iterator>

#include "level/level_image.h"
#include "level/level_report.h"
#include "support/byte_order.h"

namespace {

constexpr const char* compression_names[] = {"none", "rle8", "rle4", "huffman1", "rle24"};

}  // namespace

// Info headers shorter than 24 bytes have no compression field.
const char* tileset_compression_name(const std::uint8_t* bitmap) {
  if (read_u32le(bitmap + 14) < 24) return "unknown";
  const std::uint32_t compression = read_u32le(bitmap + 30);
  return compression < std::size(compression_names) ? compression_names[compression] : "unknown";
}

std::int64_t tileset_padded_length(const std::uint8_t* bitmap) { return round4(read_u32le(bitmap + 2)); }

std::string tileset_summary(const std::uint8_t* bitmap, std::int64_t padded_length) {
  return format_line("bmp tileset: %lld bytes %dx%d %dbpp compression:'%s'", static_cast<long long>(padded_length),
                     read_i32le(bitmap + 18), read_i32le(bitmap + 22), read_u16le(bitmap + 28), tileset_compression_name(bitmap));
}

std::string map_summary(std::int32_t length) { return format_line("map: %d bytes %d tiles", length, length / 4); }
