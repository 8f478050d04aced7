#pragma once

// Builds map files byte by byte for the tests, independently of the code
// under test, and helpers for files in a temporary folder.

#include <cstdint>
#include <string>
#include <vector>

using bytes = std::vector<std::uint8_t>;

bytes text_bytes(const std::string& text);
bytes tile_entries(int count);  // 4 bytes each, counting up

// A bitmap file of `size` bytes with the given header fields; the pixels are a
// counting pattern.
struct bitmap_fields {
  std::int32_t width = 16;
  std::int32_t height = 16;
  std::uint16_t bpp = 8;
  std::uint32_t compression = 0;
  std::uint32_t info_size = 40;
  std::uint16_t reserved1 = 0;
};
bytes bitmap(std::uint32_t size, const bitmap_fields& fields = {});

struct chunk {
  std::string type;  // up to 4 characters; fewer are zero-filled
  bytes data;
  bytes padding = {};  // the padding bytes as stored; empty: zeros
};
bytes chunk_bytes(const chunk& c);
bytes elvl_block(const std::vector<chunk>& chunks);

// An extended map: the bitmap padded with `bitmap_padding` (zeros when empty),
// its header pointing at the block, then the block and the map data.
bytes extended_map(bytes bmp, const std::vector<chunk>& chunks, const bytes& map, bytes bitmap_padding = {});

bytes concat(std::initializer_list<bytes> parts);
std::uint32_t u32_at(const bytes& b, std::size_t offset);
std::uint16_t u16_at(const bytes& b, std::size_t offset);
void put_u32(bytes& b, std::size_t offset, std::uint32_t v);
void put_u16(bytes& b, std::size_t offset, std::uint16_t v);

// A folder under the system's temporary folder, removed with everything in
// it when the object goes.
class temp_folder {
 public:
  temp_folder();
  ~temp_folder();
  temp_folder(const temp_folder&) = delete;
  temp_folder& operator=(const temp_folder&) = delete;

  std::string path(const std::string& name) const { return root_ + "/" + name; }
  const std::string& root() const { return root_; }
  std::vector<std::string> entries() const;  // names in the folder, sorted

 private:
  std::string root_;
};

void write_file(const std::string& path, const bytes& contents);
bytes read_file(const std::string& path);
bool file_exists(const std::string& path);
