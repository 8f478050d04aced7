#include "level/level_insert.h"
#include "lib/map_file.h"

status map_file::apply(std::span<const edit_operation> operations, edit_summary& summary,
                       std::vector<std::int8_t>* fates, std::size_t tileset_room) {
  // The room the answers to the queries need afterwards is taken first: a
  // change happens whole, or fails before it touches the map.
  if (indexed_) records_.reserve(records_.size() + operations.size());
  tileset_.reserve(tileset_room);
  if (status s = level_apply_edits(image_, operations, summary, fates); !s.is_ok()) return s;
  if (summary.tileset_replaced) tileset_replaced_ = true;
  refresh();
  return status::ok();
}

bool map_file::add_chunk_from(const char* magic, const file_source& source) {
  if (!level_add_chunk_source(image_, magic, source)) return false;
  refresh();
  return true;
}

bool map_file::add_chunk(const char* magic, std::span<const std::uint8_t> data) {
  if (!level_add_chunk(image_, magic, data)) return false;
  refresh();
  return true;
}
