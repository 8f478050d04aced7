// The edit operations on a level image, and the checks around the write:
// tileset files, the comparison of written bytes, a temporary file read back
// and a new file that never replaces another.

#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "level/level_compare.h"
#include "level/level_edit.h"
#include "level/tileset_file.h"
#include "level/level_writer.h"
#include "level/level_reader.h"
#include "map_builder.h"
#include "support/replacement_file.h"

namespace {

std::span<const std::uint8_t> span_of(const bytes& b) { return {b.data(), b.size()}; }

// Chunk 4's padding is not zero: a kept record must keep it.
const std::vector<chunk> as_read = {{"ATTR", text_bytes("NAME=Old")}, {"TEXT", text_bytes("NAME=text")},
                                    {"ATTR", text_bytes("NAMES=x")},  {"ATTR", text_bytes("NAME=Dup")},
                                    {"REGN", bytes(6, 1), {9, 9}},    {"ATTR", text_bytes("NAME")}};

bytes map_with(const std::vector<chunk>& chunks, const bytes& bmp = bitmap(60)) {
  return extended_map(bmp, chunks, tile_entries(2));
}

struct op {
  edit_operation::kind what;
  std::string type_or_key;
  std::string value = {};
  std::vector<std::uint64_t> indexes = {};
  bytes data = {};
};

struct applied {
  std::string failure;
  edit_summary summary;
  bytes written;
};

applied apply(const bytes& input, const std::vector<op>& ops) {
  level_image_owner level;
  null_report quiet;
  EXPECT_EQ(level_read(level.image, span_of(input), quiet), read_result::accepted);
  std::vector<edit_operation> operations;
  for (const op& o : ops) {
    edit_operation e{};
    e.what = o.what;
    std::memcpy(e.type, o.type_or_key.data(), std::min<std::size_t>(4, o.type_or_key.size()));
    e.key = o.type_or_key;
    e.value = o.value;
    e.indexes = o.indexes;
    e.data = span_of(o.data);
    operations.push_back(e);
  }
  applied result;
  if (status s = level_apply_edits(level.image, operations, result.summary); !s.is_ok()) result.failure = s.why();
  memory_sink out;
  EXPECT_TRUE(level_write_to(level.image, out, quiet).is_ok());
  result.written = out.bytes;
  return result;
}

using k = edit_operation::kind;

TEST(LevelEdit, OperationsInOrder) {
  struct edit_case {
    std::string name;
    std::vector<op> ops;
    std::vector<std::size_t> kept;   // chunks as read, in order, before `appended`
    std::vector<chunk> appended;
    edit_summary summary;            // removed, added, replaced, tileset, chunks
    std::vector<std::pair<std::size_t, chunk>> changed = {};  // (position in the result, chunk)
  };
  const chunk arena{"ATTR", text_bytes("NAME=Arena")};
  const std::vector<edit_case> cases = {
      {"add", {{k::add, "TXT", "", {}, text_bytes("new")}}, {0, 1, 2, 3, 4, 5}, {{"TXT", text_bytes("new")}}, {0, 1, 0, false, 7}},
      {"set takes the first of its key and removes the rest", {{k::set, "NAME", "Arena"}}, {0, 1, 2, 4, 5}, {}, {1, 0, 1, false, 5},
       {{0, arena}}},
      {"set appends a new key", {{k::set, "MODE", "ctf"}}, {0, 1, 2, 3, 4, 5}, {{"ATTR", text_bytes("MODE=ctf")}}, {0, 1, 0, false, 7}},
      {"set to what it is changes nothing", {{k::set, "NAMES", "x"}}, {0, 1, 2, 3, 4, 5}, {}, {0, 0, 0, false, 6}},
      {"set twice changes the chunk it appended", {{k::set, "M", "a"}, {k::set, "M", "b"}}, {0, 1, 2, 3, 4, 5},
       {{"ATTR", text_bytes("M=b")}}, {0, 1, 0, false, 7}},
      {"unset", {{k::unset, "NAME"}, {k::unset, "NONE"}}, {1, 2, 4, 5}, {}, {2, 0, 0, false, 4}},
      {"remove", {{k::remove, "", "", {4, 1}}}, {0, 2, 3, 5}, {}, {2, 0, 0, false, 4}},
      {"remove-type takes appended chunks too", {{k::add, "ATTR", "", {}, text_bytes("x")}, {k::remove_type, "ATTR"}}, {1, 4}, {},
       {4, 0, 0, false, 2}},
      {"replace keeps type and place, and pads with zeros", {{k::replace, "", "", {4}, text_bytes("xyzzy")}}, {0, 1, 2, 3, 4, 5}, {},
       {0, 0, 1, false, 6}, {{4, {"REGN", text_bytes("xyzzy")}}}},
      {"a chunk changed in place keeps its index", {{k::set, "NAME", "Arena"}, {k::replace, "", "", {0}, text_bytes("z")}},
       {0, 1, 2, 4, 5}, {}, {1, 0, 1, false, 5}, {{0, {"ATTR", text_bytes("z")}}}},
      {"tileset", {{k::tileset, "", "", {}, concat({bitmap(70), text_bytes("after")})}}, {0, 1, 2, 3, 4, 5}, {}, {0, 0, 0, true, 6}},
      {"a replaced chunk has its new key", {{k::replace, "", "", {5}, text_bytes("MODE=x")}, {k::set, "MODE", "y"}},
       {0, 1, 2, 3, 4, 5}, {}, {0, 0, 1, false, 6}, {{5, {"ATTR", text_bytes("MODE=y")}}}},
      {"set finds an added chunk, and appends after unset",
       {{k::add, "ATTR", "", {}, text_bytes("K=1")}, {k::set, "K", "2"}, {k::unset, "NAME"}, {k::set, "NAME", "New"}},
       {1, 2, 4, 5}, {{"ATTR", text_bytes("K=2")}, {"ATTR", text_bytes("NAME=New")}}, {2, 2, 0, false, 6}},
  };
  const bytes input = map_with(as_read);
  for (const edit_case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<chunk> expected;
    for (std::size_t i : c.kept) expected.push_back(as_read[i]);
    for (const auto& [at, changed] : c.changed) expected[at] = changed;
    expected.insert(expected.end(), c.appended.begin(), c.appended.end());
    const applied r = apply(input, c.ops);
    EXPECT_EQ(r.failure, "");
    EXPECT_EQ(r.written, map_with(expected, c.summary.tileset_replaced ? bitmap(70) : bitmap(60)));
    EXPECT_EQ(r.summary.removed, c.summary.removed);
    EXPECT_EQ(r.summary.added, c.summary.added);
    EXPECT_EQ(r.summary.replaced, c.summary.replaced);
    EXPECT_EQ(r.summary.tileset_replaced, c.summary.tileset_replaced);
    EXPECT_EQ(r.summary.chunks, c.summary.chunks);
  }
}

TEST(LevelEdit, AnIndexThatIsNotThereFailsAndChangesNothing) {
  struct index_case {
    std::vector<op> ops;
    std::string failure;
  };
  const std::vector<index_case> cases = {
      {{{k::remove, "", "", {6}}}, "no chunk 6"},
      {{{k::add, "ATTR", "", {}, text_bytes("x")}, {k::replace, "", "", {6}, text_bytes("y")}}, "no chunk 6"},
      {{{k::remove, "", "", {std::numeric_limits<std::uint64_t>::max()}}}, "no chunk 18446744073709551615"},
      {{{k::remove, "", "", {1}}, {k::remove, "", "", {0, 1}}}, "chunk 1 was already removed"},
      {{{k::set, "NAME", "A"}, {k::remove, "", "", {3}}}, "chunk 3 was already removed"},
      {{{k::unset, "NAME"}, {k::replace, "", "", {0}, text_bytes("y")}}, "chunk 0 was already removed"},
      {{{k::remove_type, "REGN"}, {k::replace, "", "", {4}, text_bytes("y")}}, "chunk 4 was already removed"},
      {{{k::tileset, "", "", {}, bitmap(60, {.reserved1 = 64})}}, "a map, not a bitmap: its first reserved field is 64, not 0"},
  };
  const bytes input = map_with(as_read);
  for (const index_case& c : cases) {
    SCOPED_TRACE(c.failure);
    const applied r = apply(input, c.ops);
    EXPECT_EQ(r.failure, c.failure);
    EXPECT_EQ(r.written, input);
  }
}

TEST(LevelEdit, TilesetFileCheck) {
  bytes short_size = bitmap(60);
  put_u32(short_size, 2, 33);
  bytes long_size = bitmap(60);
  put_u32(long_size, 2, 61);
  const bytes whole = bitmap(60);
  const std::pair<bytes, std::string> cases[] = {
      {{}, "empty file"},
      {concat({text_bytes("BX"), bytes(40)}), "not a bitmap: it does not start with 'BM'"},
      {bytes(whole.begin(), whole.begin() + 33), "not a bitmap: 33 bytes, shorter than a bitmap header (34)"},
      {short_size, "not a bitmap: its size field says 33 bytes, shorter than a bitmap header (34)"},
      {long_size, "not a bitmap: its size field says 61 bytes, more than the 60 the file holds"},
      {map_with(as_read), "a map, not a bitmap: its first reserved field is 60, not 0"},
      {bitmap(65533), "the tileset bitmap takes 65536 bytes, more than the 65532 that the metadata offset can hold"},
      {concat({bitmap(65532), text_bytes("more")}), ""},
      {concat({bitmap(34), text_bytes("more")}), ""},
  };
  for (const auto& [file, failure] : cases) {
    SCOPED_TRACE(failure);
    std::uint32_t length = 0;
    const status s = tileset_file_check(span_of(file), length);
    EXPECT_EQ(s.why(), failure);
    if (failure.empty()) {
      EXPECT_EQ(length, u32_at(file, 2));
    }
  }
}

// The comparison behind "unchanged" and behind the check before the rename.
TEST(LevelEdit, ComparesWrittenBytesWithoutHoldingThem) {
  const bytes input = map_with(as_read);
  level_image_owner level;
  null_report quiet;
  ASSERT_EQ(level_read(level.image, span_of(input), quiet), read_result::accepted);
  bytes other = input;
  other[input.size() - 1] ^= 1;
  const std::pair<bytes, bool> cases[] = {
      {input, true}, {other, false}, {bytes(input.begin(), input.end() - 1), false}, {concat({input, {0}}), false}, {{}, false}};
  for (const auto& [expected_bytes, same] : cases) {
    const bytes& expected = expected_bytes;  // a binding a lambda can capture
    bool found = !same;
    const block_reader read = [&](std::uint64_t offset, std::span<std::uint8_t> out) {
      std::memcpy(out.data(), expected.data() + offset, out.size());
      return status::ok();
    };
    EXPECT_TRUE(level_compare_written(level.image, read, expected.size(), found).is_ok());
    EXPECT_EQ(found, same) << expected.size();
  }
  bool found = true;
  const block_reader failing = [](std::uint64_t, std::span<std::uint8_t>) { return status::failure("cannot read"); };
  EXPECT_EQ(level_compare_written(level.image, failing, input.size(), found).why(), "cannot read");
  EXPECT_FALSE(found);
}

// Every write reads its temporary file back, so the black-box tests cover
// read_back; what they cannot reach is a file that appears at the name
// while the new one is written.
TEST(ReplacementFile, ANewFileNeverReplacesOneThatAppearedMeanwhile) {
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), late = folder.path("late.lvl");
  write_file(map, text_bytes("old"));
  replacement_file raced;
  ASSERT_TRUE(raced.begin_new(late.c_str(), map.c_str()).is_ok());
  ASSERT_TRUE(raced.write(span_of(text_bytes("new"))).is_ok());
  write_file(late, text_bytes("theirs"));
  EXPECT_EQ(raced.commit().why(), "File exists");
  EXPECT_EQ(read_file(late), text_bytes("theirs"));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"late.lvl", "map.lvl"}));
}

}  // namespace
