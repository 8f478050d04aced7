#include <cstring>
#include <limits>
#include <span>

#include "level/level_reader.h"
#include "level/level_report.h"
#include "level/level_summary.h"
#include "lib/map_handle.h"
#include "support/byte_order.h"
#include "support/format_line.h"

namespace {

// Any other bit may mean something to a later version.
constexpr unsigned known_read_flags = MG_READ_FORCE | MG_READ_STRICT;

// Keeps the first damage the reader finds, in mapgraft-inspect's words, and
// drops every other line.
class damage_note final : public report_sink {
 public:
  void report(report_kind kind, std::string_view line) override {
    if (kind == report_kind::overflow) note(line);
  }
  void metadata(const metadata_found&) override {}
  void chunk(const chunk_found&) override {}
  void damage(const damage_found& found) override { note(damage_line(found).view()); }
  void chunk_written(const chunk_record*) override {}

  bool found = false;
  std::string text;

 private:
  void note(std::string_view line) {
    if (found) return;
    found = true;
    text = line;
  }
};

int read_bytes(std::span<const std::uint8_t> input, unsigned flags, mg_map** map) {
  if (input.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return MG_ERR_TOO_LARGE;
  auto* made = new mg_map;
  damage_note report;
  const int result = guarded([&]() -> int {
    if (level_read(made->image, input, report) == read_result::rejected) return MG_ERR_NOT_A_MAP;
    if (report.found && (flags & MG_READ_FORCE) == 0) return MG_ERR_DAMAGED;
    if (made->image.shape == level_shape::plain && input.size() % 4 != 0)
      made->unlike_a_map = format_line("no bitmap, no metadata block, and %lld bytes are not whole 4-byte tiles",
                                       static_cast<long long>(input.size()));
    if (!made->unlike_a_map.empty() && (flags & MG_READ_STRICT) != 0 && (flags & MG_READ_FORCE) == 0)
      return MG_ERR_NOT_A_MAP;
    made->shape_as_read = made->image.shape;
    made->damaged = report.found;
    made->damage = report.text;
    made->refresh();
    return MG_OK;
  });
  if (result != MG_OK) {
    delete made;
    return result;
  }
  *map = made;
  return MG_OK;
}

}  // namespace

void mg_map::refresh() {
  records.clear();
  records.reserve(static_cast<std::size_t>(image.chunks.count));
  chunk_list_for_each(image.chunks, [this](const chunk_record* record) { records.push_back(record); });
  tileset.clear();
  if (!image.own_tileset) return;
  // As mapgraft-inspect --tileset writes it: the size field says how long
  // the bitmap is, and the field that points at a metadata block is cleared.
  // An extended map's bitmap keeps its padding.
  const std::uint8_t* bitmap = image.tileset;
  const std::uint32_t length = shape_as_read == level_shape::extended && !tileset_replaced
                                   ? static_cast<std::uint32_t>(tileset_padded_length(bitmap))
                                   : read_u32le(bitmap + 2);
  tileset.assign(bitmap, bitmap + length);
  write_u32le(tileset.data() + 2, length);
  write_u16le(tileset.data() + 6, 0);
}

int mg_map_read(const void* data, size_t size, unsigned flags, mg_map** map) {
  if (map == nullptr) return MG_ERR_ARGUMENT;
  *map = nullptr;
  if ((data == nullptr && size != 0) || (flags & ~known_read_flags) != 0) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int { return read_bytes({static_cast<const std::uint8_t*>(data), size}, flags, map); });
}

int mg_map_read_file(const char* path, unsigned flags, mg_map** map) {
  if (map == nullptr) return MG_ERR_ARGUMENT;
  *map = nullptr;
  if (path == nullptr || (flags & ~known_read_flags) != 0) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    std::vector<std::uint8_t> bytes;
    file_origin origin;
    if (const int result = file_origin_read(path, bytes, origin); result != MG_OK) return result;
    if (const int result = read_bytes(bytes, flags, map); result != MG_OK) return result;
    (*map)->origin = origin;
    return MG_OK;
  });
}

void mg_map_free(mg_map* map) { delete map; }
