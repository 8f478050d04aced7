#pragma once

#include <cstdint>
#include <type_traits>

#include "support/byte_order.h"
#include "support/file_io.h"

// The map file layout is described in include/mapgraft.h, the header that
// outside code reads. The bitmap header fields the reports show follow the
// metadata offset: info header size (u32 at 14), width and height (i32 at 18
// and 22), bits per pixel (u16 at 28), compression (u32 at 30).

inline constexpr std::int32_t bmp_header_size = 34;    // bytes up to and including the compression field
inline constexpr std::int32_t elvl_header_size = 12;
inline constexpr std::int32_t chunk_header_size = 8;
inline constexpr std::int32_t max_metadata_offset = 65532;
inline constexpr std::uint8_t elvl_magic[4] = {'e', 'l', 'v', 'l'};

// Rounds a byte count up to a multiple of 4.
constexpr std::int64_t round4(std::int64_t n) { return (n + 3) / 4 * 4; }

// One metadata chunk, laid out exactly as in the file: writing its
// round4(8 + L) bytes writes the record with its padding.
struct chunk_record;

inline const std::uint8_t* chunk_record_bytes(const chunk_record* record) {
  return reinterpret_cast<const std::uint8_t*>(record);
}
inline std::uint8_t* chunk_record_bytes(chunk_record* record) { return reinterpret_cast<std::uint8_t*>(record); }
inline const std::uint8_t* chunk_record_type(const chunk_record* record) { return chunk_record_bytes(record); }
inline std::uint32_t chunk_record_length(const chunk_record* record) {
  return read_u32le(chunk_record_bytes(record) + 4);
}
inline std::int64_t chunk_record_size(const chunk_record* record) {
  return round4(chunk_header_size + std::int64_t{chunk_record_length(record)});
}

// The largest data length whose record still fits a signed 32-bit size.
inline constexpr std::uint32_t max_chunk_length = 0x7FFFFFFCu - chunk_header_size;

// Data kept out of the list's own blocks until they are written: in a file,
// so that a raw file of any size never has to pass through memory, or in
// memory that outlives the list, so that a FILE given for many maps is held
// once and not once more per map.
struct chunk_source : file_source {
  const std::uint8_t* bytes = nullptr;  // set: the data are here, and `file` is not used
};

struct chunk_block;
struct chunk_source_entry;

// The chunks in order. Records in memory are packed back to back in a few
// large blocks and walked by their lengths; a chunk whose data stay in a file
// is kept aside with its place in the order. A list costs its records' bytes
// and a few allocations, however many chunks it holds.
struct chunk_list {
  chunk_block* head = nullptr;
  chunk_block* tail = nullptr;
  chunk_source_entry* sources = nullptr;  // in order; `sources_count` of them
  std::int64_t sources_count = 0;
  std::int64_t sources_capacity = 0;
  std::int64_t count = 0;  // every chunk, in memory or not
};

void chunk_list_init(chunk_list& list);
// Appends a zero-filled record of `type` and `length` data bytes and returns
// it, for the caller to fill in; null, adding nothing, when `length` exceeds
// max_chunk_length.
chunk_record* chunk_list_append(chunk_list& list, const std::uint8_t type[4], std::uint32_t length);
// Appends a chunk of `type` whose data stay in `source` until written; false
// when the length exceeds max_chunk_length.
bool chunk_list_append_source(chunk_list& list, const std::uint8_t type[4], const chunk_source& source);
// Releases every block and entry, leaving the list empty.
void chunk_list_clear(chunk_list& list);

struct chunk_block {
  chunk_block* next;
  std::uint8_t* bytes;
  std::int64_t used;
  std::int64_t capacity;
};

struct chunk_source_entry {
  std::int64_t position;  // its index among all chunks
  std::uint8_t header[chunk_header_size];
  chunk_source source;
};

// Calls `function(record)` for each chunk in order, or `function(record,
// source)` where the function takes both: `source` is then null for a record
// in the list's blocks, and for a chunk kept elsewhere `record` is its
// 8-byte header.
template <typename Function>
void chunk_list_for_each(const chunk_list& list, Function&& function) {
  const chunk_source_entry* next_source = list.sources;
  const chunk_source_entry* const sources_end = list.sources + list.sources_count;
  const chunk_block* block = list.head;
  std::int64_t offset = 0;
  for (std::int64_t position = 0; position < list.count; ++position) {
    const chunk_record* record;
    const chunk_source* source = nullptr;
    if (next_source != sources_end && next_source->position == position) {
      record = reinterpret_cast<const chunk_record*>(next_source->header);
      source = &next_source->source;
      ++next_source;
    } else {
      while (offset >= block->used) {
        block = block->next;
        offset = 0;
      }
      record = reinterpret_cast<const chunk_record*>(block->bytes + offset);
      offset += chunk_record_size(record);
    }
    if constexpr (std::is_invocable_v<Function, const chunk_record*, const chunk_source*>)
      function(record, source);
    else
      function(record);
  }
}

enum class level_shape { plain, tileset, extended };

// Everything one edit carries from the read stage to the write stage. Every
// buffer is an owned copy, so the input file can be overwritten.
struct level_image {
  level_shape shape = level_shape::plain;
  bool own_tileset = false;         // false: the default tileset was supplied
  std::uint8_t* tileset = nullptr;  // a whole bitmap file, header patched by the writer
  std::int32_t tileset_size = 0;    // allocated length, a multiple of 4
  chunk_list chunks;
  std::uint8_t* map_data = nullptr;
  std::int32_t map_length = 0;
};

// Releases the chunk list and both buffers, leaving the image empty.
void level_image_release(level_image& image);

// Owns a level image for one run and releases it on every path.
class level_image_owner {
 public:
  level_image_owner() = default;
  level_image_owner(const level_image_owner&) = delete;
  level_image_owner& operator=(const level_image_owner&) = delete;
  ~level_image_owner() { level_image_release(image); }

  level_image image;
};
