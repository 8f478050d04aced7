#include "level/level_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "level/default_tileset.h"
#include "level/level_report.h"
#include "support/byte_order.h"
#include "support/memory.h"

namespace {

bool is_elvl(const std::uint8_t* bytes) { return std::memcmp(bytes, elvl_magic, 4) == 0; }

std::uint8_t* copy_block(const std::uint8_t* bytes, std::int64_t copy_length, std::int64_t block_size) {
  auto* block = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(block_size)));
  if (copy_length > 0) std::memcpy(block, bytes, static_cast<std::size_t>(copy_length));
  return block;
}

read_result reject(report_sink& report) {
  report.report(report_kind::not_a_map, "not a tarvex map file");
  return read_result::rejected;
}

}  // namespace

bool level_read_chunks(level_image& image, const std::uint8_t* block, std::int64_t block_offset, std::int64_t limit,
                       report_sink& report, read_copies copies) {
  const std::int64_t total = read_u32le(block + 4);
  std::int64_t pos = elvl_header_size;
  for (std::int64_t index = 0; pos < total; ++index) {
    // 64-bit sums cannot wrap: pos and limit stay below 2^32 and length below 2^32.
    const bool header_inside = pos + chunk_header_size <= limit;
    const std::int64_t length = header_inside ? read_u32le(block + pos + 4) : 0;
    if (!header_inside || pos + chunk_header_size + length > limit) {
      line_text line;
      line << "buffer overflow detected near chunk " << std::int64_t{static_cast<std::int32_t>(index)};
      report.report(report_kind::overflow, line.view());
      return false;
    }
    const std::uint8_t* record = block + pos;
    const std::int64_t size = round4(chunk_header_size + length);
    report.chunk({index, block_offset + pos, record});
    if (pos + size > total) report.damage({damage_found::kind::chunk_past_block, index, pos + size - total, total});

    if (copies == read_copies::all) {
      // Padding that would lie past the end of the input stays zero.
      chunk_record* copy = chunk_list_append(image.chunks, record, static_cast<std::uint32_t>(length));
      std::memcpy(chunk_record_bytes(copy), record, static_cast<std::size_t>(std::min(size, limit - pos)));
    }
    pos += size;
  }
  return true;
}

read_result level_read(level_image& image, std::span<const std::uint8_t> input, report_sink& report,
                       read_copies copies) {
  const std::uint8_t* bytes = input.data();
  if (input.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return reject(report);
  const std::int64_t length = static_cast<std::int64_t>(input.size());
  if (length <= 3) return reject(report);

  std::int64_t map_offset = 0;
  if (bytes[0] == 'B' && bytes[1] == 'M') {
    if (length < bmp_header_size) return reject(report);
    const std::int64_t file_size = read_u32le(bytes + 2);
    if (file_size < bmp_header_size || file_size > length) return reject(report);
    const std::int64_t block_offset = read_u16le(bytes + 6);
    const bool extended = block_offset >= bmp_header_size && block_offset + 8 <= file_size && is_elvl(bytes + block_offset);

    // An extended map's copy needs only the padded bitmap: the old block's bytes
    // after it would never be written.
    const std::int64_t kept = extended ? round4(block_offset) : round4(file_size);
    if (kept > std::numeric_limits<std::int32_t>::max()) return reject(report);
    image.tileset = copy_block(bytes, std::min(kept, file_size), kept);
    image.tileset_size = static_cast<std::int32_t>(kept);
    image.shape = extended ? level_shape::extended : level_shape::tileset;
    image.own_tileset = true;
    map_offset = file_size;
    // The copy describes the bitmap alone again, as the writer describes it.
    if (extended) write_u32le(image.tileset + 2, read_u16le(image.tileset + 6));
    report.shape(image);

    if (extended) {
      const std::uint8_t* block = bytes + block_offset;
      const std::int64_t limit = length - block_offset;
      report.metadata({block_offset, read_u32le(block + 4), limit});
      level_read_chunks(image, block, block_offset, limit, report, copies);
      const std::int64_t block_end = block_offset + read_u32le(block + 4);
      if (file_size != block_end) report.damage({damage_found::kind::bitmap_size_mismatch, -1, file_size, block_end});
    }
  } else {
    // A block at the very start without a bitmap: its chunks are kept and the
    // map data is what follows it, so the block is not carried twice. Its
    // length is all that says where the map data start, and tile entries read
    // as records look valid: a block longer than the file leaves no way to
    // tell what is map data, so the file is not taken for a map.
    const bool block_first = length >= 8 && is_elvl(bytes);
    if (block_first && read_u32le(bytes + 4) > length) return reject(report);
    report.report(report_kind::default_tileset, "inserting default tileset");
    image.tileset = copy_block(default_tileset.data(), default_tileset_size, round4(default_tileset_size));
    image.tileset_size = static_cast<std::int32_t>(round4(default_tileset_size));
    image.shape = block_first ? level_shape::extended : level_shape::plain;
    report.shape(image);
    if (block_first) {
      report.metadata({0, read_u32le(bytes + 4), length});
      level_read_chunks(image, bytes, 0, length, report, copies);
      map_offset = std::min(std::max<std::int64_t>(read_u32le(bytes + 4), elvl_header_size), length);
    }
  }

  image.map_length = static_cast<std::int32_t>(length - map_offset);
  if (copies == read_copies::all) image.map_data = copy_block(bytes + map_offset, image.map_length, image.map_length);
  return read_result::accepted;
}
