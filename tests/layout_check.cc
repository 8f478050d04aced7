#include "layout_check.h"

#include <string>

namespace {

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

}  // namespace

std::string extended_layout_fault(std::span<const std::uint8_t> file) {
  if (file.size() < 34 || file[0] != 'B' || file[1] != 'M') return "no bitmap header";
  const std::size_t p = static_cast<std::size_t>(file[6]) | static_cast<std::size_t>(file[7]) << 8;
  if (p % 4 != 0 || p < 34) return "metadata offset " + std::to_string(p);
  if (file.size() < p + 12) return "file ends inside the metadata header";
  if (file[p] != 'e' || file[p + 1] != 'l' || file[p + 2] != 'v' || file[p + 3] != 'l') return "no elvl at the offset";
  const std::size_t total = u32(file, p + 4);
  if (u32(file, 2) != p + total) return "file size field is not offset plus block";
  if (file.size() < p + total) return "file ends inside the metadata block";
  if (u32(file, p + 8) != 0) return "reserved field is not zero";
  std::size_t pos = 12;
  while (pos < total) {
    if (total - pos < 8) return "record header crosses the block's end";
    const std::size_t record = (8 + static_cast<std::size_t>(u32(file, p + pos + 4)) + 3) / 4 * 4;
    if (record > total - pos) return "record crosses the block's end";
    pos += record;
  }
  return "";
}
