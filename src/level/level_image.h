#pragma once

#include <cstdint>

// Map file layout. All numbers are little-endian.
//
// A map file comes in three shapes:
//   plain     map data only;
//   tileset   a Windows bitmap file (the tileset), then the map data;
//   extended  the bitmap padded to a multiple of 4 bytes, the metadata block,
//             then the map data.
//
// Bitmap file header fields that matter here (offsets from the file start):
//    0  2 bytes  "BM"
//    2  u32      file size: the bitmap's length, or for an extended map the
//                padded bitmap length plus the metadata block's length, so
//                the map data always starts at this offset
//    6  u16      first reserved field: offset of the metadata block (equal to
//                the padded bitmap length) in an extended map, else 0
//   14  u32      info header size     18  i32  width     22  i32  height
//   28  u16      bits per pixel       30  u32  compression
// The 16-bit offset limits an extended map's bitmap to 65,532 padded bytes.
//
// Metadata block, at the offset in the first reserved field:
//    0  4 bytes  "elvl"
//    4  u32      total length: this 12-byte header plus every chunk record
//    8  u32      reserved, written as zero, never read
//   12  ...      chunk records back to back
//
// Chunk record:
//    0  4 bytes  type, e.g. "ATTR", compared as one 32-bit value
//    4  u32      data length L
//    8  L bytes  data, opaque
//       padding  up to round4(8 + L); zero in records built here, kept as
//                found in records read from a file
//
// Map data: 4-byte tile entries, carried unchanged.

inline constexpr std::int32_t bmp_header_size = 34;    // bytes up to and including the compression field
inline constexpr std::int32_t elvl_header_size = 12;
inline constexpr std::int32_t chunk_header_size = 8;
inline constexpr std::int32_t max_metadata_offset = 65532;
inline constexpr std::uint8_t elvl_magic[4] = {'e', 'l', 'v', 'l'};

// Rounds a byte count up to a multiple of 4.
constexpr std::int64_t round4(std::int64_t n) { return (n + 3) / 4 * 4; }

// One metadata chunk, as one block of round4(8 + L) bytes laid out exactly as
// in the file, so writing the block writes the record with its padding.
struct chunk_record;

// Builds a zero-filled record of `type` and `length` data bytes. `length` must
// leave the record size within a signed 32-bit count.
chunk_record* chunk_record_new(const std::uint8_t type[4], std::uint32_t length);
// A zero-filled block of `size` bytes, filled in by the caller.
chunk_record* chunk_record_alloc(std::int32_t size);
std::uint8_t* chunk_record_bytes(chunk_record* record);
const std::uint8_t* chunk_record_bytes(const chunk_record* record);
const std::uint8_t* chunk_record_type(const chunk_record* record);
std::uint32_t chunk_record_length(const chunk_record* record);
std::int64_t chunk_record_size(const chunk_record* record);

struct chunk_list_node {
  chunk_list_node* next;
  chunk_record* item;
};

// Singly linked, in insertion order. Nodes belong to the list; items belong to
// whoever appended them.
struct chunk_list {
  chunk_list_node* head;
  chunk_list_node* tail;
};

void chunk_list_init(chunk_list& list);
void chunk_list_append(chunk_list& list, chunk_record* item);
void chunk_list_clear(chunk_list& list);

template <typename Function>
void chunk_list_for_each(const chunk_list& list, Function&& function) {
  for (chunk_list_node* node = list.head; node != nullptr; node = node->next) function(node->item);
}

enum class level_shape { plain, tileset, extended };

// Everything one edit carries from the read stage to the write stage. Every
// buffer is an owned copy, so the input file can be overwritten.
struct level_image {
  level_shape shape = level_shape::plain;
  bool own_tileset = false;         // false: the default tileset was supplied
  std::uint8_t* tileset = nullptr;  // a whole bitmap file, header patched by the writer
  std::int32_t tileset_size = 0;    // allocated length, a multiple of 4
  chunk_list chunks = {nullptr, nullptr};
  std::uint8_t* map_data = nullptr;
  std::int32_t map_length = 0;
};

// Releases every chunk record, the list's nodes and both buffers, leaving the
// image empty.
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
