#include "edit_roundtrip.h"

#include <algorithm>
#include <vector>

#include "layout_check.h"
#include "level/level_insert.h"
#include "level/level_reader.h"
#include "level/level_writer.h"

namespace {

constexpr const char* magics[] = {"ATTR", "TXT", "LONGER", "", "A", "elvl", "\x01\x1b[", "ATT"};

struct written {
  bool accepted = false;
  bool ok = false;
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> map;
};

written edit(std::span<const std::uint8_t> input, const char* magic, std::span<const std::uint8_t> chunk_data) {
  written result;
  level_image_owner level;
  null_report quiet;
  result.accepted = level_read(level.image, input, quiet) == read_result::accepted;
  if (!result.accepted) return result;
  if (magic != nullptr && !level_add_chunk(level.image, magic, chunk_data)) return result;
  result.map.assign(level.image.map_data, level.image.map_data + level.image.map_length);
  memory_sink out;
  result.ok = level_write_to(level.image, out, quiet).is_ok();
  result.bytes = std::move(out.bytes);
  return result;
}

}  // namespace

std::string edit_roundtrip_fault(std::span<const std::uint8_t> data) {
  if (data.empty()) return "";
  const std::uint8_t control = data[0];
  const std::span<const std::uint8_t> input = data.subspan(1);
  const char* magic = (control & 1) != 0 ? magics[(control >> 1) & 7] : nullptr;
  const std::size_t chunk_length = std::min<std::size_t>(input.size(), control >> 4);
  const written first = edit(input, magic, input.subspan(input.size() - chunk_length));
  if (!first.accepted || !first.ok) return "";

  if (std::string fault = extended_layout_fault(first.bytes); !fault.empty()) return "first write: " + fault;
  const std::size_t block_end = first.bytes[2] | first.bytes[3] << 8 | first.bytes[4] << 16 | std::size_t{first.bytes[5]} << 24;
  if (!std::equal(first.bytes.begin() + static_cast<std::ptrdiff_t>(block_end), first.bytes.end(), first.map.begin(),
                  first.map.end()))
    return "map data does not follow the metadata block";

  const written second = edit(first.bytes, nullptr, {});
  if (!second.accepted) return "its own output was rejected";
  if (!second.ok) return "its own output could not be written";
  if (second.bytes != first.bytes) return "rewriting its own output changed it";
  return "";
}
