// The write stage in process: the exact bytes and lines for each shape, the
// sizes it refuses, and that its own output is a fixed point.

#include <gtest/gtest.h>

#include "layout_check.h"
#include "level/default_tileset.h"
#include "level/level_insert.h"
#include "level/level_reader.h"
#include "level/level_writer.h"
#include "map_builder.h"
#include "report_capture.h"

namespace {

struct edit_result {
  bool written = false;
  std::string why;
  bytes out;
  std::vector<std::string> lines;  // the writer's lines only
};

edit_result edit_in_memory(const bytes& input, const std::vector<chunk>& inserts = {}) {
  level_image_owner level;
  report_capture read_report;
  edit_result result;
  if (level_read(level.image, input, read_report) == read_result::rejected) return result;
  for (const chunk& c : inserts) level_add_chunk(level.image, c.type.c_str(), c.data);
  memory_sink sink;
  report_capture report;
  const status s = level_write_to(level.image, sink, report);
  result.written = s.is_ok();
  result.why = s.why();
  result.out = sink.bytes;
  result.lines = report.lines;
  return result;
}

bytes default_tileset_padded() {
  bytes b(default_tileset.begin(), default_tileset.end());
  b.resize(49720);
  return b;
}

TEST(LevelWriter, ConvertsAPlainMapWithTheDefaultTileset) {
  const edit_result r = edit_in_memory(tile_entries(1));
  ASSERT_TRUE(r.written);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"patching bmp header",
                                               "writing bmp tileset: 49720 bytes 304x160 8bpp compression:'none'",
                                               "writing elvl: 12 + 0 bytes 0 chunks", "writing map: 4 bytes 1 tiles"}));
  ASSERT_EQ(r.out.size(), 49720u + 12 + 4);
  EXPECT_EQ(u32_at(r.out, 2), 49720u + 12);
  EXPECT_EQ(u16_at(r.out, 6), 49720u);
  bytes expected = concat({default_tileset_padded(), elvl_block({}), tile_entries(1)});
  put_u32(expected, 2, 49732);
  put_u16(expected, 6, 49720);
  EXPECT_EQ(r.out, expected);
}

TEST(LevelWriter, PadsABitmapWithoutMetadataWithZeros) {
  const edit_result r = edit_in_memory(concat({bitmap(71, {.width = -3, .height = 7, .bpp = 24}), text_bytes("mapdata")}));
  ASSERT_TRUE(r.written);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"patching bmp header", "writing bmp tileset: 72 bytes -3x7 24bpp compression:'none'",
                                               "writing elvl: 12 + 0 bytes 0 chunks", "writing map: 7 bytes 1 tiles"}));
  EXPECT_EQ(r.out, extended_map(bitmap(71, {.width = -3, .height = 7, .bpp = 24}), {}, text_bytes("mapdata")));
}

TEST(LevelWriter, RewritesAnExtendedMapWithItsOwnPadding) {
  const std::vector<chunk> chunks = {{"ATTR", text_bytes("name=x")}, {"DATA", bytes(5, 0), {1, 2, 3}}, {"ATTR", text_bytes("abcd")}};
  const bytes input = extended_map(bitmap(66), chunks, tile_entries(9), {0xAA, 0xBB});
  const edit_result r = edit_in_memory(input);
  ASSERT_TRUE(r.written);
  EXPECT_EQ(r.out, input);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"patching bmp header", "writing bmp tileset: 68 bytes 16x16 8bpp compression:'none'",
                                               "writing elvl: 12 + 44 bytes 3 chunks", "writing chunk: type:'ATTR' size:6/8",
                                               "writing chunk: type:'DATA' size:5/8", "writing chunk: type:'ATTR' size:4/4",
                                               "writing map: 36 bytes 9 tiles"}));
}

TEST(LevelWriter, CompressionNames) {
  struct name_case {
    std::uint32_t info_size, compression;
    std::string name;
  };
  const std::vector<name_case> cases = {{40, 0, "none"},  {40, 1, "rle8"},    {40, 2, "rle4"},   {40, 3, "huffman1"},
                                        {40, 4, "rle24"}, {40, 5, "unknown"}, {24, 1, "rle8"},   {23, 1, "unknown"},
                                        {20, 0, "unknown"}, {40, 0xFFFFFFFF, "unknown"}};
  for (const name_case& c : cases) {
    const edit_result r = edit_in_memory(bitmap(40, {.compression = c.compression, .info_size = c.info_size}));
    ASSERT_TRUE(r.written);
    EXPECT_EQ(r.lines[1], "writing bmp tileset: 40 bytes 16x16 8bpp compression:'" + c.name + "'");
  }
}

TEST(LevelWriter, InsertsAfterTheChunksAlreadyThere) {
  struct insert_case {
    std::string magic;
    bytes data;
    std::string line;
    bytes record;
  };
  const std::vector<insert_case> cases = {
      {"ATTR", text_bytes("7 bytes"), "writing chunk: type:'ATTR' size:7/8", chunk_bytes({"ATTR", text_bytes("7 bytes")})},
      {"TXT", text_bytes("x"), "writing chunk: type:' TXT' size:1/4", chunk_bytes({"TXT", text_bytes("x")})},
      {"LONGER", text_bytes("xy"), "writing chunk: type:'LONG' size:2/4", chunk_bytes({"LONG", text_bytes("xy")})},
      {"", text_bytes("xyz"), "writing chunk: type:'    ' size:3/4", chunk_bytes({"", text_bytes("xyz")})},
  };
  for (const insert_case& c : cases) {
    SCOPED_TRACE(c.magic);
    const bytes input = extended_map(bitmap(40), {{"ATTR", text_bytes("old")}}, tile_entries(1));
    const edit_result r = edit_in_memory(input, {{c.magic, c.data}});
    ASSERT_TRUE(r.written);
    EXPECT_EQ(r.lines[3], "writing chunk: type:'ATTR' size:3/4");
    EXPECT_EQ(r.lines[4], c.line);
    const bytes expected = extended_map(bitmap(40), {{"ATTR", text_bytes("old")}, {c.magic.substr(0, 4), c.data}}, tile_entries(1));
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(bytes(r.out.end() - 4 - static_cast<std::ptrdiff_t>(c.record.size()), r.out.end() - 4), c.record);
  }
}

TEST(LevelWriter, RefusesSizesTheFormatCannotHold) {
  EXPECT_TRUE(edit_in_memory(bitmap(65532)).written);
  EXPECT_TRUE(edit_in_memory(bitmap(65529)).written);
  const edit_result r = edit_in_memory(bitmap(65533));
  EXPECT_FALSE(r.written);
  EXPECT_EQ(r.why, "the tileset bitmap takes 65536 bytes, more than the 65532 that the metadata offset can hold");
  EXPECT_TRUE(r.lines.empty());
  EXPECT_TRUE(r.out.empty());
}

TEST(LevelWriter, ItsOwnOutputIsAFixedPoint) {
  const std::vector<bytes> inputs = {
      tile_entries(3),
      text_bytes("abcde"),
      concat({bitmap(71), tile_entries(2)}),
      extended_map(bitmap(61), {{"ATTR", text_bytes("x")}, {"TXT", bytes(9, 1), {7, 7, 7}}}, tile_entries(2), {5, 6, 7}),
      concat({elvl_block({{"ATTR", text_bytes("lead")}}), tile_entries(1)}),
  };
  for (const bytes& input : inputs) {
    const edit_result first = edit_in_memory(input, {{"ATTR", text_bytes("added")}});
    ASSERT_TRUE(first.written);
    EXPECT_EQ(extended_layout_fault(first.out), "");
    const edit_result second = edit_in_memory(first.out);
    ASSERT_TRUE(second.written);
    EXPECT_EQ(second.out, first.out);
  }
}

}  // namespace
