// mapgraft-inspect as a user meets it: the report for each shape, chunks
// extracted byte for byte, and a map that is never changed.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "level/level_reader.h"
#include "level/level_writer.h"
#include "map_builder.h"
#include "support/memory.h"
#include "support/replacement_file.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string usage_text =
    "Usage: mapgraft-inspect [OPTION]... MAP...\n"
    "       mapgraft-inspect [OPTION]... MAP INDEX\n";
const std::string try_help = "Try 'mapgraft-inspect --help' for more information.\n";

// A map file dated a day back, so that any write to it would show in its
// modification time.
class watched_map {
 public:
  watched_map(const temp_folder& folder, const bytes& contents) : folder_(folder), path_(folder.path("map.lvl")), contents_(contents) {
    write_file(path_, contents);
    fs::last_write_time(path_, fs::last_write_time(path_) - std::chrono::hours(24));
    time_ = fs::last_write_time(path_);
  }
  const std::string& path() const { return path_; }
  void expect_untouched() const {
    EXPECT_EQ(read_file(path_), contents_);
    EXPECT_EQ(fs::last_write_time(path_), time_);
    EXPECT_EQ(folder_.entries(), std::vector<std::string>{"map.lvl"});
  }

 private:
  const temp_folder& folder_;
  std::string path_;
  bytes contents_;
  fs::file_time_type time_;
};

std::string lines_text(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string as_string(const bytes& b) { return std::string(b.begin(), b.end()); }

// The inspector's tileset and map lines are what the writer prints.
void expect_writer_agrees(const bytes& map, const std::vector<std::string>& report) {
  temp_folder folder;
  const std::string copy = folder.path("copy.lvl");
  write_file(copy, map);
  const std::vector<std::string> written = run_tool({copy}).out_lines();
  for (const std::string& line : report) {
    if (line.starts_with("map: ") || (line.starts_with("bmp tileset: ") && line != "bmp tileset: none")) {
      EXPECT_NE(std::find(written.begin(), written.end(), "writing " + line), written.end()) << line;
    }
  }
}

TEST(Inspect, ReportsEachShape) {
  struct report_case {
    std::string name;
    bytes map;
    std::vector<std::string> lines;
  };
  const bytes ext = extended_map(bitmap(58, {.info_size = 12}),
                                 {{"ATTR", text_bytes("by\x1bme")}, {"REGN", bytes(6, 0), {4, 4}}}, tile_entries(3), {0xFE, 0xED});
  const bytes headless = concat({elvl_block({{"TXT", text_bytes("abc")}}), tile_entries(1)});
  const std::vector<report_case> cases = {
      {"plain", tile_entries(1), {"shape: plain", "bmp tileset: none", "map: 4 bytes 1 tiles"}},
      {"tileset",
       concat({bitmap(57, {.width = 5, .height = -3, .bpp = 4, .compression = 2}), tile_entries(2), text_bytes("xy")}),
       {"shape: tileset", "bmp tileset: 60 bytes 5x-3 4bpp compression:'rle4'", "map: 10 bytes 2 tiles"}},
      {"extended",
       ext,
       {"shape: extended", "bmp tileset: 60 bytes 16x16 8bpp compression:'unknown'",
        "metadata: type:'elvl' size:44 maxsize:" + std::to_string(ext.size() - 60), "chunk 0: type:'ATTR' size:5/8 data:'by?me'",
        "chunk 1: type:'REGN' size:6/8", "map: 12 bytes 3 tiles"}},
      {"block without a bitmap",
       headless,
       {"shape: extended", "bmp tileset: none", "metadata: type:'elvl' size:24 maxsize:28", "chunk 0: type:' TXT' size:3/4",
        "map: 4 bytes 1 tiles"}},
  };
  for (const report_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    const watched_map map(folder, c.map);
    const run_result r = run_inspector({map.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, lines_text(c.lines));
    map.expect_untouched();
    expect_writer_agrees(c.map, c.lines);
  }
}

TEST(Inspect, ADamagedBlockIsReportedAndFails) {
  bytes map = extended_map(bitmap(60), {{"ATTR", text_bytes("ok")}, {"DATA", bytes(8, 1)}}, {});
  put_u32(map, 60 + 24 + 4, 9);  // one byte past the end of the file
  temp_folder folder;
  const watched_map watched(folder, map);

  const run_result r = run_inspector({watched.path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, lines_text({"shape: extended", "bmp tileset: 60 bytes 16x16 8bpp compression:'none'",
                                   "metadata: type:'elvl' size:40 maxsize:40", "chunk 0: type:'ATTR' size:2/4 data:'ok'",
                                   "buffer overflow detected near chunk 1", "map: 0 bytes 0 tiles"}));
  EXPECT_EQ(r.err, "mapgraft-inspect: '" + watched.path() + "': damaged metadata block\n");

  // Even the chunk before the damage is not extracted: data on standard output
  // always means a sound map.
  const run_result extracted = run_inspector({watched.path(), "0"});
  EXPECT_EQ(extracted.status, 1);
  EXPECT_EQ(extracted.raw_out, "");
  EXPECT_EQ(extracted.err, r.err);
  watched.expect_untouched();
}

TEST(Inspect, MapsThatCannotBeReadFail) {
  struct unreadable_case {
    std::string name;
    bool exists;
    bytes contents;
    std::string why;  // after "mapgraft-inspect: "; ending in ": ", the system's text follows unchecked
  };
  bytes oversized = concat({bitmap(40), tile_entries(1)});
  put_u32(oversized, 2, 45);
  const std::vector<unreadable_case> cases = {
      {"missing", false, {}, "cannot open '%s': "},
      {"empty", true, {}, "cannot open '%s': empty file"},
      {"too short", true, text_bytes("BM!"), "'%s' is not a tarvex map file"},
      {"bitmap longer than the file", true, oversized, "'%s' is not a tarvex map file"},
  };
  for (const unreadable_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    const std::string path = folder.path("map.lvl");
    if (c.exists) write_file(path, c.contents);
    for (const std::vector<std::string>& args : {std::vector<std::string>{path}, {path, "0"}}) {
      const run_result r = run_inspector(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.raw_out, "");
      const std::size_t at = c.why.find("%s");
      const std::string expected = "mapgraft-inspect: " + c.why.substr(0, at) + path + c.why.substr(at + 2);
      if (c.why.ends_with(": ")) {
        EXPECT_EQ(r.err.rfind(expected, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
      } else {
        EXPECT_EQ(r.err, expected + "\n");
      }
    }
    if (c.exists) {
      EXPECT_EQ(read_file(path), c.contents);
    }
  }
}

TEST(Inspect, ExtractsTheBytesThatMapgraftInserted) {
  const bytes binary = {0x00, 'A', 0x0D, 0x0A, 0x00, 0xFF, 0x1A, 0x0A, 'z', 0x00, 0x80};
  const bytes text = text_bytes("hello, map\r\n");
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), raw = folder.path("raw.dat"), empty = folder.path("empty.dat");
  write_file(map, tile_entries(3));
  write_file(raw, text);
  ASSERT_EQ(run_tool({map, "ATTR", raw}).status, 0);
  write_file(raw, binary);
  ASSERT_EQ(run_tool({map, "BIN", raw}).status, 0);
  // An empty chunk cannot come from a raw file (an empty file is refused), so
  // it is added to the map directly.
  bytes edited = read_file(map);
  const std::size_t end_of_block = 49720 + u32_at(edited, 49720 + 4);
  const bytes empty_chunk = chunk_bytes({"NONE", {}});
  edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(end_of_block), empty_chunk.begin(), empty_chunk.end());
  put_u32(edited, 49720 + 4, u32_at(edited, 49720 + 4) + 8);
  put_u32(edited, 2, u32_at(edited, 2) + 8);
  std::filesystem::remove(raw);
  const watched_map watched(folder, edited);

  const std::vector<bytes> expected = {text, binary, {}};
  for (std::size_t index = 0; index < expected.size(); ++index) {
    SCOPED_TRACE(index);
    const run_result r = run_inspector({watched.path(), std::to_string(index)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.raw_out, as_string(expected[index]));
  }
  const run_result leading_zeros = run_inspector({watched.path(), "001"});
  EXPECT_EQ(leading_zeros.raw_out, as_string(binary));
  watched.expect_untouched();
}

TEST(Inspect, AnIndexPastTheLastChunkFails) {
  temp_folder folder;
  const watched_map map(folder, extended_map(bitmap(60), {{"ATTR", text_bytes("one")}, {"ATTR", text_bytes("two")}}, tile_entries(1)));
  for (const std::string index : {"2", "3", "4294967296", "99999999999999999999999999"}) {
    SCOPED_TRACE(index);
    const run_result r = run_inspector({map.path(), index});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.raw_out, "");
    EXPECT_EQ(r.err, "mapgraft-inspect: '" + map.path() + "' has no chunk " + index + "\n");
  }
  map.expect_untouched();

  temp_folder plain_folder;
  const watched_map plain(plain_folder, tile_entries(1));
  const run_result r = run_inspector({plain.path(), "0"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mapgraft-inspect: '" + plain.path() + "' has no chunk 0\n");
  plain.expect_untouched();
}

TEST(Inspect, UsageAndHelp) {
  struct usage_case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const std::vector<usage_case> cases = {
      {{}, 2, usage_text, ""},
      {{"-h"}, 0, usage_text, ""},
      {{"--help"}, 0, usage_text, ""},
      {{"--help", "map.lvl", "0", "extra"}, 0, usage_text, ""},
      {{"map.lvl", "--version", "-j"}, 0, "mapgraft-inspect (mapgraft) " MAPGRAFT_VERSION "\n", ""},
      {{"map.lvl", "-1"}, 2, "", "mapgraft-inspect: unknown option '-1'\n" + try_help},
      {{"-j", "map.lvl"}, 2, "", "mapgraft-inspect: unknown option '-j'\n" + try_help},
      {{"map.lvl", "--json=yes"}, 2, "", "mapgraft-inspect: option '--json' takes no argument\n" + try_help},
      {{"map.lvl", "--get"}, 2, "", "mapgraft-inspect: option '--get' needs an argument\n" + try_help},
      {{"--get=A=B", "map.lvl"}, 2, "", "mapgraft-inspect: key 'A=B' is empty or holds '='\n" + try_help},
      {{"--keys", "map.lvl", "--json"}, 2, "", "mapgraft-inspect: options '--keys' and '--json' cannot be combined\n" + try_help},
      {{"--json"}, 2, "", "mapgraft-inspect: no map given\n" + try_help},
      {{"--tileset", "map.lvl", "0"}, 2, "", "mapgraft-inspect: too many arguments\n" + try_help},
      {{"-o", "out", "map.lvl"}, 2, "", "mapgraft-inspect: --output takes a chunk INDEX or --tileset\n" + try_help},
      {{"-oout", "map.lvl", "0", "--output=out"}, 2, "", "mapgraft-inspect: option '--output' is given more than once\n" + try_help},
  };
  for (const usage_case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const run_result r = run_inspector(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(r.out.empty(), c.out.empty());
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(Inspect, AFailedWriteToStandardOutputFails) {
  if (!inspector_is_native()) GTEST_SKIP() << "process limits do not reach an emulated tool";
  temp_folder folder;
  const watched_map map(folder, extended_map(bitmap(60), {{"BLOB", bytes(5000, 0x5A)}}, tile_entries(1)));
  run_options options;
  options.file_size_limit = 100;
  options.ignore_sigxfsz = true;
  for (const std::vector<std::string>& args : {std::vector<std::string>{map.path()}, {map.path(), "0"}, {"-h"}}) {
    const run_result r = run_inspector(args, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mapgraft-inspect: cannot write standard output: File too large\n");
  }
  map.expect_untouched();
}

TEST(Inspect, ReportsDamageThatMapgraftCarriesOver) {
  struct damage_case {
    std::string name;
    bytes map;
    std::vector<std::string> lines;
  };
  const std::string head = "shape: extended\nbmp tileset: 60 bytes 16x16 8bpp compression:'none'\n";
  // A chunk of 16 bytes recorded as 8 bytes of the block, so that the map
  // data start inside it.
  bytes past = extended_map(bitmap(60), {{"ATTR", text_bytes("ok")}, {"DATA", bytes(8, 1)}}, tile_entries(4));
  put_u32(past, 60 + 4, 12 + 12 + 8);
  bytes past_both = past;
  put_u32(past, 2, 60 + 32);
  const bytes sound = extended_map(bitmap(60), {{"ATTR", text_bytes("ok")}}, tile_entries(2));
  bytes short_field = sound, long_field = sound;
  put_u32(short_field, 2, 80);
  put_u32(long_field, 2, 88);
  bytes headless = concat({elvl_block({{"ATTR", text_bytes("abcdef")}}), tile_entries(2)});
  put_u32(headless, 4, 12 + 8);
  const std::vector<damage_case> cases = {
      {"a chunk past the block", past,
       {"metadata: type:'elvl' size:32 maxsize:56", "chunk 0: type:'ATTR' size:2/4 data:'ok'", "chunk 1: type:'DATA' size:8/8",
        "chunk 1 runs 8 bytes past the metadata block", "map: 24 bytes 6 tiles"}},
      {"a bitmap size field short of the block's end", short_field,
       {"metadata: type:'elvl' size:24 maxsize:32", "chunk 0: type:'ATTR' size:2/4 data:'ok'",
        "bmp size field 80 differs from the metadata block's end 84", "map: 12 bytes 3 tiles"}},
      {"a bitmap size field past the block's end", long_field,
       {"metadata: type:'elvl' size:24 maxsize:32", "chunk 0: type:'ATTR' size:2/4 data:'ok'",
        "bmp size field 88 differs from the metadata block's end 84", "map: 4 bytes 1 tiles"}},
      {"both", past_both,
       {"metadata: type:'elvl' size:32 maxsize:56", "chunk 0: type:'ATTR' size:2/4 data:'ok'", "chunk 1: type:'DATA' size:8/8",
        "chunk 1 runs 8 bytes past the metadata block", "bmp size field 100 differs from the metadata block's end 92",
        "map: 16 bytes 4 tiles"}},
      {"a chunk past a block without a bitmap", headless,
       {"shape: extended", "bmp tileset: none", "metadata: type:'elvl' size:20 maxsize:36",
        "chunk 0: type:'ATTR' size:6/8 data:'abcdef'", "chunk 0 runs 8 bytes past the metadata block", "map: 16 bytes 4 tiles"}},
  };
  for (const damage_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    const watched_map map(folder, c.map);
    const run_result r = run_inspector({map.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, (c.lines[0].starts_with("shape: ") ? "" : head) + lines_text(c.lines));
    const std::string damaged = "mapgraft-inspect: '" + map.path() + "': damaged metadata block\n";
    EXPECT_EQ(r.err, damaged);
    // Nothing comes out of a damaged map.
    for (const std::vector<std::string>& args : {std::vector<std::string>{map.path(), "0"}, {"--tileset", map.path()}}) {
      const run_result extracted = run_inspector(args);
      EXPECT_EQ(extracted.status, 1);
      EXPECT_EQ(extracted.raw_out, "");
      EXPECT_EQ(extracted.err, damaged);
    }
    map.expect_untouched();

    // mapgraft rewrites such a map as it always did.
    temp_folder other;
    const std::string copy = other.path("copy.lvl");
    write_file(copy, c.map);
    const run_result rewritten = run_tool({copy});
    EXPECT_EQ(rewritten.status, 0);
    EXPECT_EQ(rewritten.err, "");
  }
}

TEST(Inspect, WritesTheMapsOwnTilesetAsABitmapFile) {
  temp_folder source;
  // A map as mapgraft writes it, from a plain map given the default tileset.
  const std::string converted = source.path("converted.lvl");
  write_file(converted, tile_entries(2));
  ASSERT_EQ(run_tool({converted}).status, 0);
  struct tileset_case {
    std::string name;
    bytes map;
    std::size_t length;  // of the bitmap file: the first bytes of the map
  };
  const std::vector<tileset_case> cases = {
      {"extended, padded", extended_map(bitmap(57), {{"ATTR", text_bytes("a")}}, tile_entries(1), {7, 7, 7}), 60},
      {"tileset", concat({bitmap(57, {.reserved1 = 9}), tile_entries(1)}), 57},
      {"written by mapgraft", read_file(converted), 49720},
  };
  for (const tileset_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    const watched_map map(folder, c.map);
    const run_result r = run_inspector({"--tileset", map.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    bytes expected(c.map.begin(), c.map.begin() + static_cast<std::ptrdiff_t>(c.length));
    put_u32(expected, 2, static_cast<std::uint32_t>(c.length));
    put_u16(expected, 6, 0);
    EXPECT_EQ(r.raw_out, as_string(expected));
    map.expect_untouched();
    if (c.name == "tileset") continue;

    // Given back to an extended map as its tileset (what mapgraft-edit
    // --tileset does with the file), the bitmap rewrites the map unchanged.
    level_image_owner level;
    null_report quiet;
    ASSERT_EQ(level_read(level.image, c.map, quiet), read_result::accepted);
    mem_release(level.image.tileset);
    level.image.tileset = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(r.raw_out.size())));
    std::memcpy(level.image.tileset, r.raw_out.data(), r.raw_out.size());
    level.image.tileset_size = static_cast<std::int32_t>(r.raw_out.size());
    memory_sink out;
    ASSERT_TRUE(level_write_to(level.image, out, quiet).is_ok());
    EXPECT_EQ(out.bytes, c.map);
  }

  const std::vector<bytes> without_own = {tile_entries(1), concat({elvl_block({{"ATTR", text_bytes("a")}}), tile_entries(1)})};
  for (const bytes& contents : without_own) {
    temp_folder folder;
    const watched_map map(folder, contents);
    const run_result r = run_inspector({"--tileset", map.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.raw_out, "");
    EXPECT_EQ(r.err, "mapgraft-inspect: '" + map.path() + "' has no tileset of its own\n");
  }
}

// Several maps, one value, the keys, and what reaches a terminal.
TEST(Inspect, ManyMapsValuesKeysAndTerminals) {
  temp_folder folder;
  const std::string a = folder.path("a.lvl"), b = folder.path("b.lvl"), n = folder.path("n.lvl"), out = folder.path("out");
  const bytes logo = {0x00, 0x1B, 'L', 0xFF};
  const bytes map_a = extended_map(bitmap(60),
                                   {{"ATTR", text_bytes("NAME=Arena")}, {"ATTR", text_bytes(std::string("ZONE=x\x1b\0y", 9))},
                                    {"ATTR", text_bytes("NAME=Other")}, {"LOGO", logo}, {"ATTR", text_bytes("NOKEY")}},
                                   tile_entries(1));
  write_file(a, map_a);
  write_file(b, tile_entries(1));
  write_file(n, text_bytes("BM!"));
  write_file(folder.path("taken"), {});
  const std::string report_b = "shape: plain\nbmp tileset: none\nmap: 4 bytes 1 tiles\n";
  const std::string binary_refused = "mapgraft-inspect: not writing binary data to a terminal; use -o FILE or a redirect\n";
  struct many_case {
    std::vector<std::string> args;
    bool terminal;
    int status;
    std::string out;  // raw
    std::string err;
    std::string written = "";  // what -o's new file holds
  };
  const std::vector<many_case> cases = {
      {{b, b}, false, 0, "==> " + b + " <==\n" + report_b + "\n==> " + b + " <==\n" + report_b, ""},
      {{b, n, "--", b}, false, 1, "==> " + b + " <==\n" + report_b + "\n==> " + n + " <==\n\n==> " + b + " <==\n" + report_b,
       "mapgraft-inspect: '" + n + "' is not a tarvex map file\n"},
      {{"--get", "NAME", a}, false, 0, "Arena\n", ""},
      {{"--get", "ZONE", a}, false, 0, std::string("x\x1b\0y\n", 5), ""},
      {{"--get", "ZONE", a}, true, 0, "x??y\r\n", ""},
      {{a, "--get=NAME", b}, false, 1, a + ": Arena\n", "mapgraft-inspect: '" + b + "' has no attribute 'NAME'\n"},
      {{"--get", "ZONE", a, a}, false, 0, a + ": x??y\n" + a + ": x??y\n", ""},
      {{"--keys", a}, false, 0, "NAME\nZONE\n", ""},
      {{a, "--keys", b}, false, 0, a + ": NAME\n" + a + ": ZONE\n", ""},
      {{a, "0"}, true, 0, "NAME=Arena", ""},
      {{a, "3"}, true, 1, "", binary_refused},
      {{"--tileset", a}, true, 1, "", binary_refused},
      {{a, "3", "-o", "-"}, true, 0, as_string(logo), ""},
      {{a, "3", "-o", out}, true, 0, "", "", as_string(logo)},
      {{"-o", out, "--tileset", a}, false, 0, "", "", as_string(bytes(map_a.begin(), map_a.begin() + 60))},
  };
  for (const many_case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    if (c.terminal && !inspector_is_native()) continue;
    run_options options;
    options.stdout_terminal = c.terminal;
    const run_result r = run_inspector(c.args, options);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(inspector_is_native() ? r.raw_out : r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    if (c.written.empty()) continue;
    bytes expected(c.written.begin(), c.written.end());
    if (c.args[2] == "--tileset") {
      put_u32(expected, 2, 60);
      put_u16(expected, 6, 0);
    }
    EXPECT_EQ(read_file(out), expected);
    fs::remove(out);
  }
  // -o makes a new file, and never replaces one.
  const run_result taken = run_inspector({a, "0", "-o", folder.path("taken")});
  EXPECT_EQ(taken.status, 1);
  EXPECT_EQ(taken.err.rfind("mapgraft-inspect: cannot write '" + folder.path("taken") + "': ", 0), 0u) << taken.err;
  EXPECT_EQ(read_file(folder.path("taken")), bytes{});
  EXPECT_EQ(read_file(a), map_a);
}

// The report is written as the map is read, and the inspector copies none of
// the chunks or the map data: at most 2.1 x the map's size + 8 MiB, here as
// address space, whatever the map holds.
TEST(Inspect, HoldsLittleMoreThanTheMap) {
  if (!inspector_is_native()) GTEST_SKIP() << "process limits do not reach an emulated tool";
  if (under_address_sanitizer) GTEST_SKIP() << "the sanitizer reserves far more address space than the limit";
  std::vector<chunk> empty_chunks(256 << 10, chunk{"EMPT", {}});
  // One chunk that the block's length says ends at its header: its data are
  // also the map data.
  bytes overlapping = extended_map(bitmap(40), {{"BLOB", bytes(24 << 20, 0x5A)}}, {});
  put_u32(overlapping, 40 + 4, 12 + 8);
  put_u32(overlapping, 2, 40 + 12 + 8);
  struct memory_case {
    std::string name;
    bytes map;
    int status;
    std::string map_line;
  };
  const std::vector<memory_case> cases = {
      {"262,144 empty chunks", extended_map(bitmap(40), empty_chunks, tile_entries(1)), 0, "map: 4 bytes 1 tiles"},
      {"a chunk that is also the map data", overlapping, 1, "map: 25165824 bytes 6291456 tiles"},
  };
  for (const memory_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    const std::string path = folder.path("map.lvl");
    write_file(path, c.map);
    run_options options;
    options.address_space_limit = static_cast<long>(2.1 * static_cast<double>(c.map.size())) + (8l << 20);
    const run_result text = run_inspector({path}, options);
    EXPECT_EQ(text.status, c.status) << text.err;
    EXPECT_TRUE(text.out.ends_with("\n" + c.map_line + "\n"));
    const run_result json = run_inspector({"--json", path}, options);
    EXPECT_EQ(json.status, c.status) << json.err;
    EXPECT_TRUE(json.out.ends_with(",\"error\":null}\n"));
  }
}

// '-' is standard input, in every mode, named '-' wherever the map's name
// is shown; it can be read once.
TEST(Inspect, ADashIsStandardInput) {
  temp_folder folder;
  const std::string path = folder.path("map.lvl");
  const bytes map = extended_map(bitmap(120), {{"ATTR", text_bytes("NAME=x")}, {"DATA", text_bytes("data")}}, tile_entries(4));
  write_file(path, map);
  run_options piped;
  piped.input = std::string(map.begin(), map.end());
  const auto dashed = [&path](std::string text) {
    for (std::size_t at; (at = text.find(path)) != std::string::npos;) text.replace(at, path.size(), "-");
    return text;
  };
  for (const std::vector<std::string>& mode : std::vector<std::vector<std::string>>{
           {"MAP"}, {"--json", "MAP"}, {"--csv", "MAP"}, {"--keys", "MAP"}, {"--get", "NAME", "MAP"}, {"--tileset", "MAP"}, {"MAP", "1"}}) {
    std::vector<std::string> named = mode, from_input = mode;
    std::replace(named.begin(), named.end(), std::string("MAP"), path);
    std::replace(from_input.begin(), from_input.end(), std::string("MAP"), std::string("-"));
    const run_result expected = run_inspector(named), r = run_inspector(from_input, piped);
    EXPECT_EQ(expected.status, 0) << mode[0];
    EXPECT_EQ(r.status, 0) << mode[0];
    EXPECT_EQ(r.raw_out, dashed(expected.raw_out)) << mode[0];
    EXPECT_EQ(r.err, "") << mode[0];
  }
  // The second '-' finds standard input gone.
  const run_result twice = run_inspector({"-", "-"}, piped), once = run_inspector({path, path});
  EXPECT_EQ(twice.status, 1);
  EXPECT_EQ(twice.out, dashed(once.out.substr(0, once.out.find("\n==> "))));
  EXPECT_EQ(twice.err, "mapgraft-inspect: cannot open '-': standard input was read for an earlier '-'\n");
}

}  // namespace
