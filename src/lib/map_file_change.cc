#include <algorithm>
#include <cstring>
#include <string_view>

#include "level/edit_chunk.h"
#include "level/level_insert.h"
#include "lib/map_file.h"
#include "support/byte_order.h"

namespace {

std::span<const std::uint8_t> data_of(const chunk_record* record) {
  return {chunk_record_bytes(record) + chunk_header_size, chunk_record_length(record)};
}

// The key an ATTR chunk's data name: the text before the first '='.
bool key_of(std::span<const std::uint8_t> data, std::string_view& key) {
  const void* equals = data.empty() ? nullptr : std::memchr(data.data(), '=', data.size());
  if (equals == nullptr) return false;
  key = {reinterpret_cast<const char*>(data.data()),
         static_cast<std::size_t>(static_cast<const std::uint8_t*>(equals) - data.data())};
  return !key.empty();
}

}  // namespace

void map_file::note_key(key_chunks& chunks, std::size_t index) {
  if (chunks.count++ == 0) chunks.first = index;
}

status map_file::apply(std::span<const edit_operation> operations, edit_summary& summary,
                       std::vector<std::int8_t>* fates, std::size_t tileset_room) {
  if (operations.size() == 1 && fates == nullptr && tileset_room == 0 && apply_quickly(operations[0], summary))
    return status::ok();
  // The room the answers to the queries need afterwards is taken first: a
  // change happens whole, or fails before it touches the map.
  if (indexed_) records_.reserve(records_.size() + operations.size());
  tileset_.reserve(tileset_room);
  if (status s = level_apply_edits(image_, operations, summary, fates); !s.is_ok()) return s;
  if (summary.tileset_replaced) tileset_replaced_ = true;
  refresh();
  return status::ok();
}

// The general way plans an edit over every chunk there, which a caller
// making one change at a time pays for each change: an add, and a set that
// appends or rewrites one record in its own room, are done here with the
// same bytes as the result.
bool map_file::apply_quickly(const edit_operation& op, edit_summary& summary) {
  if (!indexed_ || chunks_in_input_ || image_.chunks.sources_count != 0 || op.borrow_data) return false;
  if (op.what == edit_operation::kind::add) {
    if (op.data.size() > max_chunk_length) return false;
    append_quickly(op.type, op.data, summary);
    return true;
  }
  return op.what == edit_operation::kind::set && set_quickly(op, summary);
}

bool map_file::set_quickly(const edit_operation& op, edit_summary& summary) {
  if (op.key.empty() || op.key.find('=') != std::string::npos) return false;
  const std::string text = op.key + "=" + op.value;
  if (text.size() > max_chunk_length) return false;
  const std::span<const std::uint8_t> data{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
  if (!attr_keys_built_) index_attr_keys();
  const auto found = attr_keys_.find(op.key);
  if (found == attr_keys_.end() || found->second.count == 0) {
    append_quickly(attr_type, data, summary);
    return true;
  }
  if (found->second.count != 1) return false;
  // The records are the map's own (not chunks_in_input_).
  auto* record = const_cast<chunk_record*>(records_[found->second.first]);
  const std::span<const std::uint8_t> old = data_of(record);
  const std::int64_t room = chunk_record_size(record);
  if (std::equal(old.begin(), old.end(), data.begin(), data.end())) {
    summary = edit_summary{};
    summary.chunks = image_.chunks.count;
    return true;
  }
  if (round4(chunk_header_size + static_cast<std::int64_t>(data.size())) != room) return false;
  std::uint8_t* bytes = chunk_record_bytes(record);
  std::memcpy(bytes + chunk_header_size, data.data(), data.size());
  std::memset(bytes + chunk_header_size + data.size(), 0, static_cast<std::size_t>(room) - chunk_header_size - data.size());
  write_u32le(bytes + 4, static_cast<std::uint32_t>(data.size()));
  summary = edit_summary{};
  summary.replaced = 1;
  summary.chunks = image_.chunks.count;
  return true;
}

void map_file::append_quickly(const std::uint8_t type[4], std::span<const std::uint8_t> data, edit_summary& summary) {
  if (records_.size() == records_.capacity()) records_.reserve(std::max<std::size_t>(16, records_.size() * 2));
  chunk_record* record = chunk_list_append(image_.chunks, type, static_cast<std::uint32_t>(data.size()));
  if (!data.empty()) std::memcpy(chunk_record_bytes(record) + chunk_header_size, data.data(), data.size());
  records_.push_back(record);
  summary = edit_summary{};
  summary.added = 1;
  summary.chunks = image_.chunks.count;
  std::string_view key;
  if (!attr_keys_built_ || std::memcmp(type, attr_type, 4) != 0 || !key_of(data, key)) return;
  try {
    note_key(attr_keys_[std::string(key)], records_.size() - 1);
  } catch (...) {
    // The chunk is there; only the index is lost, and made again when needed.
    attr_keys_.clear();
    attr_keys_built_ = false;
  }
}

void map_file::index_attr_keys() {
  attr_keys_.clear();
  try {
    std::string_view key;
    for (std::size_t i = 0; i < records_.size(); ++i)
      if (std::memcmp(chunk_record_type(records_[i]), attr_type, 4) == 0 && key_of(data_of(records_[i]), key))
        note_key(attr_keys_[std::string(key)], i);
  } catch (...) {
    attr_keys_.clear();
    throw;
  }
  attr_keys_built_ = true;
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
