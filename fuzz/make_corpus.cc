// Writes the fuzzer's seed inputs and the inputs of the faults the reader
// guards against, made with the tests' own map builders.
// Usage: make_corpus <fuzz folder>; writes <folder>/corpus and
// <folder>/regressions. The first byte of each file steers the edit; in the
// ops_ seeds it also counts the mapgraft-edit operations that follow it.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "edit_ops_roundtrip.h"
#include "map_builder.h"

namespace {

using named_inputs = std::vector<std::pair<std::string, bytes>>;

// The steering bytes of a sequence of mapgraft-edit operations.
bytes steps(std::initializer_list<edit_ops_step> list) {
  bytes out = {static_cast<std::uint8_t>(list.size())};
  for (const edit_ops_step& step : list) out.insert(out.end(), {step.kind, step.a, step.b});
  return out;
}

enum : std::uint8_t { add, set, unset, remove_indexes, remove_type, replace, tileset };

named_inputs seeds() {
  const bytes named = extended_map(bitmap(40),
                                   {{"ATTR", text_bytes("NAME=old")},
                                    {"REGN", bytes(3, 2)},
                                    {"ATTR", text_bytes("NAME=dup")},
                                    {"ATTR", text_bytes("NAMES=x")},
                                    {"ATTR", text_bytes("ZONE=Main")}},
                                   concat({tile_entries(2), text_bytes("Arena")}));
  return {
      {"plain.lvl", concat({{0x00}, tile_entries(4)})},
      {"plain_insert.lvl", concat({{0x71}, tile_entries(3)})},
      {"tileset.lvl", concat({{0x00}, bitmap(57, {.bpp = 4, .compression = 2}), tile_entries(2)})},
      {"tileset_insert_short_magic.lvl", concat({{0x33}, bitmap(64), tile_entries(1)})},
      {"extended.lvl", concat({{0x00}, extended_map(bitmap(61), {{"ATTR", text_bytes("name")}, {"REGN", bytes(5, 1), {9, 9, 9}}},
                                                    tile_entries(2), {7, 7, 7})})},
      {"extended_insert_long_magic.lvl", concat({{0x55}, extended_map(bitmap(40), {{"TXT", text_bytes("x")}}, tile_entries(1))})},
      {"block_without_bitmap.lvl", concat({{0x01}, elvl_block({{"ATTR", text_bytes("lead")}}), tile_entries(1)})},
      {"empty_block.lvl", concat({{0x00}, extended_map(bitmap(36), {}, {})})},
      // Operation, then the steering bytes a and b: types, keys and indexes
      // are picked by a, data lengths by b (see tests/edit_ops_roundtrip.cc).
      {"ops_set_name.lvl", concat({steps({{set, 0, 5}}), named})},
      {"ops_undo_insert.lvl", concat({steps({{remove_indexes, 3, 0}}), named})},
      {"ops_index_gone.lvl", concat({steps({{remove_indexes, 1, 0}, {replace, 1, 4}}), named})},
      {"ops_every_kind.lvl",
       concat({steps({{add, 1, 4}, {set, 1, 4}, {unset, 0, 0}, {remove_indexes, 1, 0x83}, {remove_type, 1, 0}, {replace, 4, 3},
                      {tileset, 1, 3}}),
               named})},
      {"ops_tileset_swap.lvl", concat({steps({{tileset, 1, 40}}), tile_entries(3)})},
      {"ops_tileset_refused.lvl", concat({steps({{tileset, 0x11, 1}, {add, 0, 4}}), tile_entries(3)})},
      {"ops_tileset_from_tail.lvl", concat({steps({{tileset, 0, 60}}), bitmap(64), tile_entries(1), bitmap(60)})},
  };
}

named_inputs faults() {
  bytes wraps = extended_map(bitmap(40), {{"ATTR", text_bytes("ok")}, {"WRAP", text_bytes("abcd")}}, tile_entries(1));
  put_u32(wraps, 40 + 12 + 12 + 4, 0xFFFFFFFC);
  bytes size_beyond = concat({bitmap(40), tile_entries(1)});
  put_u32(size_beyond, 2, 0x7FFFFFF0);
  bytes offset_beyond = extended_map(bitmap(40), {}, tile_entries(1));
  put_u16(offset_beyond, 6, 0xFFFC);
  bytes block_cut = bitmap(48);
  std::copy_n("elvl\x40\0\0\0", 8, block_cut.begin() + 40);
  put_u16(block_cut, 6, 40);
  bytes offset_inside_header = concat({bitmap(40), tile_entries(1)});
  std::copy_n("elvl\x0c\0\0\0", 8, offset_inside_header.begin() + 4);
  put_u16(offset_inside_header, 6, 4);
  const bytes header = bitmap(40);
  return {
      {"chunk_length_wraps.lvl", concat({{0x00}, wraps})},
      {"bitmap_size_beyond_input.lvl", concat({{0x00}, size_beyond})},
      {"bitmap_header_cut_short.lvl", concat({{0x00}, bytes(header.begin(), header.begin() + 12)})},
      {"metadata_offset_beyond_input.lvl", concat({{0x00}, offset_beyond})},
      {"metadata_offset_inside_bitmap_header.lvl", concat({{0x00}, offset_inside_header})},
      {"block_header_cut_short.lvl", concat({{0x00}, block_cut})},
      {"block_without_bitmap_shorter_than_its_length.lvl", concat({{0x21}, text_bytes("elvl\xff\xff\xff\x7f" "ATTR")})},
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <fuzz folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  for (const auto& [subfolder, inputs] : {std::pair{std::string("/corpus/"), seeds()}, {std::string("/regressions/"), faults()}}) {
    std::filesystem::create_directories(folder + subfolder);
    for (const auto& [name, contents] : inputs) write_file(folder + subfolder + name, contents);
  }
  return 0;
}
