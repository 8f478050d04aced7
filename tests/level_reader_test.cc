// The read stage in process: which lines it reports and what it keeps, for
// every shape and for damaged input.

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "layout_check.h"
#include "level/default_tileset.h"
#include "level/level_reader.h"
#include "level/level_writer.h"
#include "map_builder.h"
#include "report_capture.h"

namespace {

struct read_run {
  read_result result = read_result::rejected;
  report_capture report;
  level_image_owner level;
  bytes map() const { return bytes(level.image.map_data, level.image.map_data + level.image.map_length); }
  std::vector<bytes> chunks() const {
    std::vector<bytes> out;
    chunk_list_for_each(level.image.chunks, [&](const chunk_record* r) {
      out.emplace_back(chunk_record_bytes(r), chunk_record_bytes(r) + chunk_record_size(r));
    });
    return out;
  }
};

// Reads from a heap block of exactly the input's size, so that a read past its
// end is caught by AddressSanitizer.
std::unique_ptr<read_run> read_exact(const bytes& input) {
  auto run = std::make_unique<read_run>();
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[input.size()]);
  std::copy(input.begin(), input.end(), exact.get());
  run->result = level_read(run->level.image, {exact.get(), input.size()}, run->report);
  return run;
}

const std::vector<std::string> not_a_map = {"not a tarvex map file"};

TEST(LevelReader, Shapes) {
  const bytes attr_data = text_bytes("hello");
  const bytes ext = extended_map(bitmap(70), {{"ATTR", attr_data}, {"DATA", attr_data, {9, 8, 7}}}, tile_entries(2));
  const std::string maxsize = std::to_string(ext.size() - 72);
  struct shape_case {
    std::string name;
    bytes input;
    std::vector<std::string> lines;
    bytes map;
    std::size_t chunks;
    level_shape shape;
  };
  const std::vector<shape_case> cases = {
      {"plain 4 bytes", text_bytes("abcd"), {"inserting default tileset"}, text_bytes("abcd"), 0, level_shape::plain},
      {"bitmap and map", concat({bitmap(70), tile_entries(3)}), {}, tile_entries(3), 0, level_shape::tileset},
      {"extended",
       ext,
       {"metadata: type:'elvl' size:44 maxsize:" + maxsize, "chunk 0: type:'ATTR' size:5/8 data:'hello'",
        "chunk 1: type:'DATA' size:5/8"},
       tile_entries(2),
       2,
       level_shape::extended},
      {"empty block",
       extended_map(bitmap(64), {}, tile_entries(1)),
       {"metadata: type:'elvl' size:12 maxsize:16"},
       tile_entries(1),
       0,
       level_shape::extended},
      {"block at the start, no bitmap",
       concat({elvl_block({{"ATTR", text_bytes("hi")}}), tile_entries(1)}),
       {"inserting default tileset", "metadata: type:'elvl' size:24 maxsize:28", "chunk 0: type:'ATTR' size:2/4 data:'hi'"},
       tile_entries(1),
       1,
       level_shape::extended},
      {"block at the start shorter than its header", text_bytes("elvl\x0c\0\0"), {"inserting default tileset"},
       text_bytes("elvl\x0c\0\0"), 0, level_shape::plain},
  };
  for (const shape_case& c : cases) {
    SCOPED_TRACE(c.name);
    auto run = read_exact(c.input);
    ASSERT_EQ(run->result, read_result::accepted);
    EXPECT_EQ(run->report.lines, c.lines);
    EXPECT_EQ(run->map(), c.map);
    EXPECT_EQ(run->chunks().size(), c.chunks);
    EXPECT_EQ(run->level.image.shape, c.shape);
  }
}

TEST(LevelReader, KeepsRecordsWithTheirOwnPadding) {
  auto run = read_exact(extended_map(bitmap(70), {{"DATA", text_bytes("hello"), {9, 8, 7}}}, tile_entries(2)));
  ASSERT_EQ(run->chunks().size(), 1u);
  EXPECT_EQ(run->chunks()[0], chunk_bytes({"DATA", text_bytes("hello"), {9, 8, 7}}));
}

TEST(LevelReader, ReportsFileBytesSafely) {
  const std::vector<std::pair<chunk, std::string>> cases = {
      {{"ATTR", text_bytes("a\x1b[2Jb\x7f")}, "chunk 0: type:'ATTR' size:7/8 data:'a?[2Jb?'"},
      {{"ATTR", text_bytes(std::string("cut\0here", 8))}, "chunk 0: type:'ATTR' size:8/8 data:'cut'"},
      {{"ATTR", {}}, "chunk 0: type:'ATTR' size:0/0 data:''"},
      {{"TXT", text_bytes("x")}, "chunk 0: type:' TXT' size:1/4"},
      {{"\x1b\x07", text_bytes("x")}, "chunk 0: type:'  ?" "?' size:1/4"},
      {{"\xc3\xa9t\x01", text_bytes("x")}, "chunk 0: type:'\xc3\xa9t?' size:1/4"},
      // UTF-8 C1 controls (a terminal's CSI among them) become one '?';
      // other UTF-8 and Latin-1 bytes stay.
      {{"ATTR", text_bytes("a\xc2\x9b" "2Jb\xc2\x80\xc2\x9f\xc2\xa0\xe9\xc2")},
       "chunk 0: type:'ATTR' size:14/16 data:'a?2Jb??\xc2\xa0\xe9\xc2'"},
      {{"\xc2\x9b" "AB", text_bytes("x")}, "chunk 0: type:' ?AB' size:1/4"},
  };
  for (const auto& [c, line] : cases) {
    auto run = read_exact(extended_map(bitmap(64), {c}, tile_entries(1)));
    ASSERT_EQ(run->report.lines.size(), 2u);
    EXPECT_EQ(run->report.lines[1], line);
  }
}

TEST(LevelReader, RejectsWhatCannotBeAMap) {
  bytes short_size = concat({bitmap(40), tile_entries(1)});
  put_u32(short_size, 2, 33);
  bytes long_size = concat({bitmap(40), tile_entries(1)});
  put_u32(long_size, 2, 45);
  const bytes whole = bitmap(40);
  const bytes cut_header(whole.begin(), whole.begin() + 33);
  for (const bytes& input : {text_bytes("a"), text_bytes("BMx"), text_bytes("elv"), short_size, long_size, cut_header}) {
    SCOPED_TRACE(input.size());
    auto run = read_exact(input);
    EXPECT_EQ(run->result, read_result::rejected);
    EXPECT_EQ(run->report.lines, not_a_map);
    EXPECT_EQ(run->level.image.tileset, nullptr);
    EXPECT_EQ(run->level.image.map_data, nullptr);
  }
  EXPECT_EQ(read_exact(bitmap(34))->result, read_result::accepted);
}

TEST(LevelReader, MetadataOnlyWhereItCanBe) {
  // The reserved field must point past the bitmap header, with the block's
  // first 8 bytes inside the declared size, at "elvl"; otherwise the bitmap
  // is an ordinary one.
  struct offset_case {
    std::uint16_t offset;
    bool extended;
  };
  for (const offset_case& c : {offset_case{0, false}, {33, false}, {40, true}, {92, true}, {93, false}, {200, false}}) {
    SCOPED_TRACE(c.offset);
    bytes input = concat({bitmap(100), tile_entries(4)});
    if (c.offset > 0 && c.offset + 8u <= input.size()) std::copy_n("elvl\x0c\0\0\0", 8, input.begin() + c.offset);
    put_u16(input, 6, c.offset);
    auto run = read_exact(input);
    ASSERT_EQ(run->result, read_result::accepted);
    EXPECT_EQ(run->level.image.shape, c.extended ? level_shape::extended : level_shape::tileset);
    EXPECT_EQ(run->map(), bytes(input.begin() + 100, input.end()));
  }
}

TEST(LevelReader, DamagedBlockKeepsTheChunksBeforeIt) {
  const bytes good = extended_map(bitmap(64), {{"AAAA", text_bytes("12345")}, {"BBBB", text_bytes("6789")}}, {});
  struct damage_case {
    std::string name;
    bytes input;
    std::size_t chunks_kept;
    std::string overflow;
  };
  bytes one_past = good;
  put_u32(one_past, 64 + 12 + 16 + 4, 5);  // the second record runs one byte past the end
  bytes wraps = good;
  put_u32(wraps, 64 + 12 + 16 + 4, 0xFFFFFFFC);
  bytes cut_header = bytes(good.begin(), good.end() - 8);  // second record's header cut short
  bytes long_total = good;
  put_u32(long_total, 64 + 4, 0x7FFFFFFF);
  const std::vector<damage_case> cases = {
      {"one byte past the end", one_past, 1, "buffer overflow detected near chunk 1"},
      {"length wraps", wraps, 1, "buffer overflow detected near chunk 1"},
      {"record header cut", cut_header, 1, "buffer overflow detected near chunk 1"},
      {"total length beyond the file", long_total, 2, "buffer overflow detected near chunk 2"},
  };
  for (const damage_case& c : cases) {
    SCOPED_TRACE(c.name);
    bytes input = c.input;
    put_u32(input, 2, static_cast<std::uint32_t>(std::min<std::size_t>(u32_at(input, 2), input.size())));
    auto run = read_exact(input);
    ASSERT_EQ(run->result, read_result::accepted);
    EXPECT_EQ(run->chunks().size(), c.chunks_kept);
    EXPECT_EQ(run->report.lines.back(), c.overflow);
  }
}

// Every prefix of a valid extended map is either rejected or rewritten as a
// well-formed map, and never read past its end.
TEST(LevelReader, EveryTruncationIsHandled) {
  const bytes full = extended_map(bitmap(61), {{"ATTR", text_bytes("some text")}, {"TXT", bytes(13, 0xAB)}}, tile_entries(5),
                                  {0xEE, 0xDD, 0xCC});
  for (std::size_t length = 1; length <= full.size(); ++length) {
    SCOPED_TRACE(length);
    auto run = read_exact(bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)));
    if (run->result == read_result::rejected) {
      EXPECT_EQ(run->report.lines, not_a_map);
      continue;
    }
    memory_sink out;
    report_capture written;
    ASSERT_TRUE(level_write_to(run->level.image, out, written).is_ok());
    EXPECT_EQ(extended_layout_fault(out.bytes), "");
  }
}

TEST(DefaultTileset, HeaderIsExactlyAsPromised) {
  const bytes b(default_tileset.begin(), default_tileset.end());
  ASSERT_EQ(b.size(), 49718u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  const std::pair<std::size_t, std::uint32_t> fields32[] = {{2, 49718}, {10, 1078}, {14, 40},   {18, 304},  {22, 160},
                                                            {30, 0},    {34, 48640}, {38, 2835}, {42, 2835}, {46, 256},
                                                            {50, 256}};
  for (auto [offset, value] : fields32) EXPECT_EQ(u32_at(b, offset), value) << offset;
  EXPECT_EQ(u16_at(b, 6), 0);
  EXPECT_EQ(u16_at(b, 8), 0);
  EXPECT_EQ(u16_at(b, 26), 1);
  EXPECT_EQ(u16_at(b, 28), 8);
}

TEST(DefaultTileset, EveryTileHasItsOwnColourAndADarkerBorder) {
  const std::uint8_t* pixels = default_tileset.data() + 1078;
  const std::uint8_t* palette = default_tileset.data() + 54;
  auto at = [&](int x, int y) { return pixels[(159 - y) * 304 + x]; };  // rows are stored bottom-up
  auto brightness = [&](int index) { return palette[index * 4] + palette[index * 4 + 1] + palette[index * 4 + 2]; };
  std::set<std::uint32_t> fills;
  for (int row = 0; row < 10; ++row)
    for (int column = 0; column < 19; ++column) {
      const int x = column * 16, y = row * 16;
      const int fill = at(x + 1, y + 1), border = at(x, y);
      EXPECT_LT(brightness(border), brightness(fill)) << row << "," << column;
      fills.insert(u32_at(bytes(palette + fill * 4, palette + fill * 4 + 4), 0));
    }
  EXPECT_EQ(fills.size(), 190u);
}

}  // namespace
