#include "map_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <cstdlib>

namespace fs = std::filesystem;

bytes text_bytes(const std::string& text) { return bytes(text.begin(), text.end()); }

bytes tile_entries(int count) {
  bytes out;
  for (int i = 0; i < count * 4; ++i) out.push_back(static_cast<std::uint8_t>(i * 7 + 1));
  return out;
}

void put_u32(bytes& b, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(offset + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

void put_u16(bytes& b, std::size_t offset, std::uint16_t v) {
  b.at(offset) = static_cast<std::uint8_t>(v);
  b.at(offset + 1) = static_cast<std::uint8_t>(v >> 8);
}

std::uint32_t u32_at(const bytes& b, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | b.at(offset + i);
  return v;
}

std::uint16_t u16_at(const bytes& b, std::size_t offset) {
  return static_cast<std::uint16_t>(b.at(offset) | (b.at(offset + 1) << 8));
}

bytes bitmap(std::uint32_t size, const bitmap_fields& fields) {
  bytes b(size);
  for (std::size_t i = 54; i < size; ++i) b[i] = static_cast<std::uint8_t>(i % 251);
  b[0] = 'B';
  b[1] = 'M';
  put_u32(b, 2, size);
  put_u16(b, 6, fields.reserved1);
  put_u32(b, 10, 54);
  put_u32(b, 14, fields.info_size);
  put_u32(b, 18, static_cast<std::uint32_t>(fields.width));
  put_u32(b, 22, static_cast<std::uint32_t>(fields.height));
  put_u16(b, 26, 1);
  put_u16(b, 28, fields.bpp);
  put_u32(b, 30, fields.compression);
  return b;
}

bytes chunk_bytes(const chunk& c) {
  bytes out(8);
  for (std::size_t i = 0; i < c.type.size() && i < 4; ++i) out[i] = static_cast<std::uint8_t>(c.type[i]);
  put_u32(out, 4, static_cast<std::uint32_t>(c.data.size()));
  out.insert(out.end(), c.data.begin(), c.data.end());
  const std::size_t padding = (4 - out.size() % 4) % 4;
  for (std::size_t i = 0; i < padding; ++i) out.push_back(i < c.padding.size() ? c.padding[i] : 0);
  return out;
}

bytes elvl_block(const std::vector<chunk>& chunks) {
  bytes out = text_bytes("elvl");
  out.resize(12);
  for (const chunk& c : chunks) {
    bytes record = chunk_bytes(c);
    out.insert(out.end(), record.begin(), record.end());
  }
  put_u32(out, 4, static_cast<std::uint32_t>(out.size()));
  return out;
}

bytes extended_map(bytes bmp, const std::vector<chunk>& chunks, const bytes& map, bytes bitmap_padding) {
  const std::size_t padded = (bmp.size() + 3) / 4 * 4;
  for (std::size_t i = 0; bmp.size() < padded; ++i) bmp.push_back(i < bitmap_padding.size() ? bitmap_padding[i] : 0);
  const bytes block = elvl_block(chunks);
  put_u16(bmp, 6, static_cast<std::uint16_t>(padded));
  put_u32(bmp, 2, static_cast<std::uint32_t>(padded + block.size()));
  return concat({bmp, block, map});
}

bytes concat(std::initializer_list<bytes> parts) {
  bytes out;
  for (const bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

temp_folder::temp_folder() {
  std::string pattern = (fs::temp_directory_path() / "mapgraft-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

temp_folder::~temp_folder() {
  std::error_code ignored;
  // Tests may leave read-only files behind.
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

std::vector<std::string> temp_folder::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(root_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void write_file(const std::string& path, const bytes& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}
