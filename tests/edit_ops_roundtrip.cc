#include "edit_ops_roundtrip.h"

#include <algorithm>
#include <array>
#include <deque>
#include <iterator>
#include <string>
#include <vector>

#include "layout_check.h"
#include "level/level_edit.h"
#include "level/tileset_file.h"
#include "level/level_reader.h"
#include "level/level_writer.h"
#include "support/byte_order.h"

namespace {

using byte_vector = std::vector<std::uint8_t>;
using chunk_type = std::array<std::uint8_t, 4>;

constexpr chunk_type attr = {'A', 'T', 'T', 'R'};
constexpr chunk_type types[] = {attr, {'R', 'E', 'G', 'N'}, {'T', 'X', 'T', 0}, {0, 0, 0, 0},
                                {'e', 'l', 'v', 'l'}, {'A', 0, 0, 0}, {1, 0x1b, '[', 0}, {'D', 'C', 'I', 'D'}};
// "NAMES=" must not be taken for "NAME=", nor "name=" for "NAME=".
constexpr const char* keys[] = {"NAME", "ZONE", "N", "NAMES", "name"};
constexpr std::size_t max_operations = 7;
constexpr std::size_t step_size = 3;

struct model_chunk {
  chunk_type type;
  byte_vector data;
  std::int64_t index;  // as read; -1 for a chunk this edit appended

  bool same_contents(const model_chunk& other) const { return type == other.type && data == other.data; }
};

// What the edit should give: worked out here from the chunks as read, with
// no help from the operations under test.
struct model {
  std::vector<model_chunk> chunks;
  byte_vector tileset;  // the bitmap as the writer takes it: its size field says how much
  bool index_gone = false;
};

class damage_watch final : public report_sink {
 public:
  void report(report_kind kind, std::string_view) override {
    if (kind == report_kind::overflow || kind == report_kind::not_a_map) damaged = true;
  }
  void metadata(const metadata_found&) override {}
  void chunk(const chunk_found&) override {}
  void damage(const damage_found&) override { damaged = true; }
  void chunk_written(const chunk_record*) override {}
  bool damaged = false;
};

std::vector<model_chunk> chunks_of(const level_image& image) {
  std::vector<model_chunk> chunks;
  chunk_list_for_each(image.chunks, [&](const chunk_record* record) {
    model_chunk c{{}, {}, static_cast<std::int64_t>(chunks.size())};
    std::copy_n(chunk_record_type(record), 4, c.type.begin());
    const std::uint8_t* data = chunk_record_bytes(record) + chunk_header_size;
    c.data.assign(data, data + chunk_record_length(record));
    chunks.push_back(std::move(c));
  });
  return chunks;
}

bool same_chunks(const std::vector<model_chunk>& a, const std::vector<model_chunk>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const model_chunk& x, const model_chunk& y) { return x.same_contents(y); });
}

byte_vector tileset_of(const level_image& image) { return {image.tileset, image.tileset + image.tileset_size}; }

std::int64_t padded_length(const byte_vector& bitmap) { return round4(read_u32le(bitmap.data() + 2)); }

// The bitmap as an extended map carries it and the reader gives it back: its
// padded length, with the size field and the metadata offset both saying so.
byte_vector as_carried(const byte_vector& bitmap) {
  const std::int64_t padded = padded_length(bitmap);
  byte_vector carried = bitmap;
  carried.resize(static_cast<std::size_t>(padded));
  write_u32le(carried.data() + 2, static_cast<std::uint32_t>(padded));
  write_u16le(carried.data() + 6, static_cast<std::uint16_t>(padded));
  return carried;
}

bool has_key(const model_chunk& c, const std::string& key) {
  return c.type == attr && c.data.size() > key.size() && std::equal(key.begin(), key.end(), c.data.begin()) &&
         c.data[key.size()] == '=';
}

model_chunk* chunk_with_index(model& m, std::uint64_t index) {
  for (model_chunk& c : m.chunks)
    if (c.index >= 0 && static_cast<std::uint64_t>(c.index) == index) return &c;
  return nullptr;
}

void apply(model& m, const edit_operation& op) {
  const chunk_type type = {op.type[0], op.type[1], op.type[2], op.type[3]};
  switch (op.what) {
    case edit_operation::kind::add:
      m.chunks.push_back({type, {op.data.begin(), op.data.end()}, -1});
      break;
    case edit_operation::kind::set: {
      byte_vector data(op.key.begin(), op.key.end());
      data.push_back('=');
      data.insert(data.end(), op.value.begin(), op.value.end());
      auto first = std::find_if(m.chunks.begin(), m.chunks.end(), [&](const model_chunk& c) { return has_key(c, op.key); });
      if (first == m.chunks.end()) {
        m.chunks.push_back({attr, data, -1});
      } else {
        first->data = data;
        m.chunks.erase(std::remove_if(first + 1, m.chunks.end(), [&](const model_chunk& c) { return has_key(c, op.key); }),
                       m.chunks.end());
      }
      break;
    }
    case edit_operation::kind::unset:
      std::erase_if(m.chunks, [&](const model_chunk& c) { return has_key(c, op.key); });
      break;
    case edit_operation::kind::remove:
      for (std::uint64_t index : op.indexes) {
        model_chunk* c = chunk_with_index(m, index);
        if (c == nullptr) {
          m.index_gone = true;
          return;
        }
        c->index = -2;
      }
      std::erase_if(m.chunks, [](const model_chunk& c) { return c.index == -2; });
      break;
    case edit_operation::kind::remove_type:
      std::erase_if(m.chunks, [&](const model_chunk& c) { return c.type == type; });
      break;
    case edit_operation::kind::replace:
      if (model_chunk* c = chunk_with_index(m, op.indexes[0]); c != nullptr)
        c->data.assign(op.data.begin(), op.data.end());
      else
        m.index_gone = true;
      break;
    case edit_operation::kind::tileset: {
      const std::uint32_t length = read_u32le(op.data.data() + 2);
      m.tileset.assign(op.data.begin(), op.data.begin() + length);
      m.tileset.resize(static_cast<std::size_t>(round4(length)));
      break;
    }
  }
}

// A bitmap given for --tileset, from two steering bytes: mostly well formed,
// of every size up to past the limit, with now and then one rule broken.
byte_vector made_up_bitmap(std::uint8_t a, std::uint8_t b) {
  const std::uint32_t size = 34 + b * 257u;
  byte_vector file(size + ((a >> 1) & 7));
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 7 + 3);
  file[0] = 'B';
  file[1] = 'M';
  write_u32le(file.data() + 2, (a & 0x20) != 0 ? static_cast<std::uint32_t>(file.size()) + 4 : size);
  write_u16le(file.data() + 6, (a & 0x10) != 0 ? 4 : 0);
  return file;
}

// The rules a --tileset bitmap must meet, said again independently.
bool acceptable_bitmap(std::span<const std::uint8_t> file) {
  if (file.size() < bmp_header_size || file[0] != 'B' || file[1] != 'M') return false;
  const std::uint32_t size = read_u32le(file.data() + 2);
  return size >= bmp_header_size && size <= file.size() && read_u16le(file.data() + 6) == 0 &&
         round4(size) <= max_metadata_offset;
}

struct steered_edit {
  std::vector<edit_operation> operations;
  std::deque<byte_vector> storage;  // the data the operations point into
  std::string fault;                // a refusal that disagrees with the rules
};

steered_edit operations_from(std::span<const std::uint8_t> steps, std::span<const std::uint8_t> map) {
  steered_edit edit;
  // Like a FILE argument, the data come from outside the map: its last bytes.
  const auto tail = [&](std::size_t n) { return map.subspan(map.size() - std::min(n, map.size())); };
  for (std::size_t at = 0; at + step_size <= steps.size(); at += step_size) {
    const std::uint8_t a = steps[at + 1];
    const std::uint8_t b = steps[at + 2];
    edit_operation op{};
    op.what = static_cast<edit_operation::kind>(steps[at] % 7);
    const chunk_type& type = types[a % std::size(types)];
    std::copy(type.begin(), type.end(), op.type);
    op.key = keys[a % std::size(keys)];
    switch (op.what) {
      case edit_operation::kind::add:
        op.data = tail(b);
        break;
      case edit_operation::kind::set: {
        const auto value = tail(b % 16);
        // An argument holds no zero byte.
        std::copy_if(value.begin(), value.end(), std::back_inserter(op.value), [](std::uint8_t c) { return c != 0; });
        break;
      }
      case edit_operation::kind::remove:
        op.indexes = {a % 10u};
        if ((b & 0x80) != 0 && (b & 0x7F) % 10u != a % 10u) op.indexes.push_back((b & 0x7F) % 10u);
        break;
      case edit_operation::kind::replace:
        op.indexes = {a % 10u};
        op.data = tail(b);
        break;
      case edit_operation::kind::tileset: {
        if ((a & 1) != 0)
          op.data = edit.storage.emplace_back(made_up_bitmap(a, b));
        else
          op.data = tail(b);
        std::uint32_t length = 0;
        const bool accepted = tileset_file_check(op.data, length).is_ok();
        if (accepted != acceptable_bitmap(op.data) || (accepted && length != read_u32le(op.data.data() + 2))) {
          edit.fault = "tileset_file_check " + std::string(accepted ? "accepted" : "refused") + " a bitmap of " +
                       std::to_string(op.data.size()) + " bytes";
          return edit;
        }
        // A refused bitmap ends the run before any map is touched.
        if (!accepted) continue;
        break;
      }
      case edit_operation::kind::unset:
      case edit_operation::kind::remove_type:
        break;
    }
    edit.operations.push_back(std::move(op));
  }
  return edit;
}

std::string chunk_difference(const std::vector<model_chunk>& got, const std::vector<model_chunk>& expected) {
  if (got.size() != expected.size())
    return std::to_string(got.size()) + " chunks read back, " + std::to_string(expected.size()) + " expected";
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!got[i].same_contents(expected[i])) return "chunk " + std::to_string(i) + " differs";
  return "";
}

}  // namespace

std::span<const std::uint8_t> edit_ops_map(std::span<const std::uint8_t> data) {
  if (data.empty()) return data;
  return data.subspan(std::min(data.size(), 1 + data[0] % (max_operations + 1) * step_size));
}

std::string edit_ops_roundtrip_fault(std::span<const std::uint8_t> data) {
  if (data.empty()) return "";
  const std::size_t steps_size = data[0] % (max_operations + 1) * step_size;
  if (data.size() < 1 + steps_size) return "";
  const std::span<const std::uint8_t> input = data.subspan(1 + steps_size);
  const steered_edit edit = operations_from(data.subspan(1, steps_size), input);
  if (!edit.fault.empty()) return edit.fault;

  level_image_owner level;
  null_report quiet;
  if (level_read(level.image, input, quiet) != read_result::accepted) return "";
  const model as_read{chunks_of(level.image), tileset_of(level.image)};
  const byte_vector map(level.image.map_data, level.image.map_data + level.image.map_length);

  model expected = as_read;
  for (const edit_operation& op : edit.operations) {
    apply(expected, op);
    if (expected.index_gone) break;
  }
  edit_summary summary;
  const status applied = level_apply_edits(level.image, edit.operations, summary);
  if (expected.index_gone) {
    if (applied.is_ok()) return "the edit went through with an index that does not exist";
    if (!same_chunks(chunks_of(level.image), as_read.chunks) || tileset_of(level.image) != as_read.tileset)
      return "a failed edit changed the image";
    expected = as_read;
  } else {
    if (!applied.is_ok()) return "the edit failed: " + applied.why();
    if (summary.chunks != static_cast<std::int64_t>(expected.chunks.size()))
      return "the summary counts " + std::to_string(summary.chunks) + " chunks, the result has " +
             std::to_string(expected.chunks.size());
  }
  if (!std::equal(map.begin(), map.end(), level.image.map_data, level.image.map_data + level.image.map_length))
    return "the edit changed the map data";

  memory_sink out;
  const status written = level_write_to(level.image, out, quiet);
  const bool fits = padded_length(expected.tileset) <= max_metadata_offset;
  if (!written.is_ok()) return fits ? "the result could not be written: " + written.why() : "";
  if (!fits) return "a tileset longer than the metadata offset can hold was written";
  if (std::string fault = extended_layout_fault(out.bytes); !fault.empty()) return "the result: " + fault;

  // What the program checks before it replaces a map.
  level_image_owner back;
  damage_watch watch;
  if (level_read(back.image, out.bytes, watch) != read_result::accepted) return "the result was rejected";
  if (watch.damaged) return "the result reads back damaged";
  if (back.image.shape != level_shape::extended) return "the result is not an extended map";
  if (tileset_of(back.image) != as_carried(expected.tileset)) return "the tileset read back differs";
  if (std::string difference = chunk_difference(chunks_of(back.image), expected.chunks); !difference.empty())
    return difference;
  if (!std::equal(map.begin(), map.end(), back.image.map_data, back.image.map_data + back.image.map_length))
    return "the map data read back differ";

  memory_sink again;
  if (!level_write_to(back.image, again, quiet).is_ok()) return "the result could not be rewritten";
  if (again.bytes != out.bytes) return "rewriting the result changed it";
  return "";
}
