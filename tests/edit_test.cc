// Whole edits through the built tool: what it writes, what it prints, and that
// a failed write leaves the target as it was.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "layout_check.h"
#include "level/default_tileset.h"
#include "map_builder.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> report_of(const run_result& r) {
  std::vector<std::string> lines = r.out_lines();
  EXPECT_FALSE(lines.empty());
  EXPECT_TRUE(!lines.empty() && std::regex_match(lines[0], std::regex(banner_pattern())));
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

bytes converted_plain(const bytes& map, const std::vector<chunk>& chunks) {
  bytes tileset(default_tileset.begin(), default_tileset.end());
  tileset.resize(49720);
  const bytes block = elvl_block(chunks);
  put_u16(tileset, 6, 49720);
  put_u32(tileset, 2, static_cast<std::uint32_t>(49720 + block.size()));
  return concat({tileset, block, map});
}

TEST(Edit, ConvertsEachShapeByteForByte) {
  struct shape_case {
    std::string name;
    bytes input;
    std::vector<std::string> lines;
    bytes output;
  };
  const bytes ext = extended_map(bitmap(58), {{"ATTR", text_bytes("by me")}, {"REGN", bytes(6, 0), {4, 4}}}, tile_entries(3), {0xFE, 0xED});
  const std::vector<shape_case> cases = {
      {"plain",
       tile_entries(1),
       {"inserting default tileset", "patching bmp header", "writing bmp tileset: 49720 bytes 304x160 8bpp compression:'none'",
        "writing elvl: 12 + 0 bytes 0 chunks", "writing map: 4 bytes 1 tiles"},
       converted_plain(tile_entries(1), {})},
      {"tileset",
       concat({bitmap(57, {.width = 5, .height = 3, .bpp = 4, .compression = 2}), tile_entries(2), text_bytes("xy")}),
       {"patching bmp header", "writing bmp tileset: 60 bytes 5x3 4bpp compression:'rle4'", "writing elvl: 12 + 0 bytes 0 chunks",
        "writing map: 10 bytes 2 tiles"},
       extended_map(bitmap(57, {.width = 5, .height = 3, .bpp = 4, .compression = 2}), {}, concat({tile_entries(2), text_bytes("xy")}))},
      {"extended",
       ext,
       {"metadata: type:'elvl' size:44 maxsize:" + std::to_string(ext.size() - 60), "chunk 0: type:'ATTR' size:5/8 data:'by me'",
        "chunk 1: type:'REGN' size:6/8", "patching bmp header", "writing bmp tileset: 60 bytes 16x16 8bpp compression:'none'",
        "writing elvl: 12 + 32 bytes 2 chunks", "writing chunk: type:'ATTR' size:5/8", "writing chunk: type:'REGN' size:6/8",
        "writing map: 12 bytes 3 tiles"},
       ext},
  };
  for (const shape_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    const std::string map = folder.path("map.lvl");
    write_file(map, c.input);
    const run_result r = run_tool({map});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(report_of(r), c.lines);
    EXPECT_EQ(read_file(map), c.output);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"map.lvl"});

    // Its own output, rewritten, comes back unchanged.
    const run_result again = run_tool({map, "ATTR"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(read_file(map), c.output);
  }
}

TEST(Edit, InsertsTheRawFileAsTheLastChunk) {
  temp_folder folder;
  const std::string map = folder.path("smallmap.lvl"), msg = folder.path("msg.txt");
  write_file(map, tile_entries(2));
  write_file(msg, text_bytes("hello!!"));
  const run_result r = run_tool({map, "ATTR", msg, "ignored", "too"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(report_of(r), (std::vector<std::string>{"inserting default tileset", "patching bmp header",
                                                    "writing bmp tileset: 49720 bytes 304x160 8bpp compression:'none'",
                                                    "writing elvl: 12 + 16 bytes 1 chunks", "writing chunk: type:'ATTR' size:7/8",
                                                    "writing map: 8 bytes 2 tiles"}));
  EXPECT_EQ(read_file(map), converted_plain(tile_entries(2), {{"ATTR", text_bytes("hello!!")}}));

  // A second chunk of the same type goes after the first; the reader shows both.
  write_file(msg, text_bytes("second"));
  const run_result second = run_tool({map, "ATTR", msg});
  EXPECT_EQ(second.status, 0);
  const std::vector<std::string> lines = report_of(second);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "metadata: type:'elvl' size:28 maxsize:36");
  EXPECT_EQ(lines[1], "chunk 0: type:'ATTR' size:7/8 data:'hello!!'");
  EXPECT_EQ(read_file(map),
            converted_plain(tile_entries(2), {{"ATTR", text_bytes("hello!!")}, {"ATTR", text_bytes("second")}}));
}

TEST(Edit, TheTargetMayBeItsOwnRawFile) {
  temp_folder folder;
  const std::string map = folder.path("self.lvl");
  write_file(map, tile_entries(1));
  const run_result r = run_tool({map, "SELF", map});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(map), converted_plain(tile_entries(1), {{"SELF", tile_entries(1)}}));
}

// The raw file is copied by the kernel where its data land on a page
// boundary of the new file (sendfile when the raw file is on another file
// system), and through a buffer elsewhere: either way the bytes come out the
// same, and a write refused part way leaves the target.
TEST(Edit, CopiesTheRawFileWhereverItsDataLand) {
  // The data start after the default tileset, the block's header, the chunk
  // already there and the new chunk's header.
  const long page = sysconf(_SC_PAGESIZE);
  const std::size_t before_data = 49720 + 12 + 8 + 8;
  const std::size_t on_page = (page - before_data % page) % page;
  const bool other_file_system = tool_is_native() && fs::is_directory("/dev/shm");
  struct copy_case {
    std::size_t first_chunk;
    bool raw_elsewhere;
  };
  for (const copy_case c : {copy_case{4, false}, copy_case{on_page, false}, copy_case{on_page, true}}) {
    if (c.raw_elsewhere && !other_file_system) continue;
    SCOPED_TRACE(testing::Message() << c.first_chunk << (c.raw_elsewhere ? " elsewhere" : ""));
    temp_folder folder;
    const std::string map = folder.path("map.lvl");
    const std::string raw = c.raw_elsewhere ? "/dev/shm/mapgraft-test-" + std::to_string(getpid()) : folder.path("raw.dat");
    const bytes input = converted_plain(tile_entries(3), {{"FRST", bytes(c.first_chunk, 0x11)}});
    bytes data((1 << 20) + 4099);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + i / 4093);
    write_file(raw, data);

    if (tool_is_native()) {
      write_file(map, input);
      run_options options;
      options.file_size_limit = 300000;
      options.ignore_sigxfsz = true;
      const run_result refused = run_tool({map, "DATA", raw}, options);
      EXPECT_EQ(refused.status, 1);
      EXPECT_EQ(refused.err, "mapgraft: cannot write '" + map + "': File too large\n");
      EXPECT_EQ(read_file(map), input);
      EXPECT_EQ(folder.entries().size(), c.raw_elsewhere ? 1u : 2u);
    }

    write_file(map, input);
    const run_result r = run_tool({map, "DATA", raw});
    if (c.raw_elsewhere) fs::remove(raw);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(map), converted_plain(tile_entries(3), {{"FRST", bytes(c.first_chunk, 0x11)}, {"DATA", data}}));
  }
}

TEST(Edit, RejectedTargetIsLeftAlone) {
  // A block without a bitmap that claims more than the file: its tiles would
  // be taken for records and lost.
  bytes block_too_long = concat({elvl_block({{"ATTR", text_bytes("NAME=x")}}), tile_entries(1026)});
  put_u32(block_too_long, 4, 0x10000);
  for (const bytes& input : {text_bytes("BM!"), block_too_long}) {
    temp_folder folder;
    const std::string map = folder.path("tiny.lvl");
    write_file(map, input);
    const run_result r = run_tool({map});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(report_of(r), std::vector<std::string>{"not a tarvex map file"});
    EXPECT_EQ(read_file(map), input);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"tiny.lvl"});
  }
}

// The map is what matters: it is written and the status says so, and the
// user learns that the report is missing.
TEST(Edit, ALostReportIsSaidAndTheMapStillWritten) {
  if (!tool_is_native()) GTEST_SKIP() << "/dev/full is a Linux device";
  temp_folder folder;
  const std::string map = folder.path("full.lvl"), text = folder.path("msg.txt");
  write_file(map, tile_entries(2));
  write_file(text, text_bytes("NAME=x"));
  run_options options;
  options.stdout_path = "/dev/full";
  const run_result r = run_tool({map, "ATTR", text}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "mapgraft: cannot write standard output: No space left on device\n");
  EXPECT_EQ(read_file(map), converted_plain(tile_entries(2), {{"ATTR", text_bytes("NAME=x")}}));
}

TEST(Edit, RefusedSizesWriteNothing) {
  temp_folder folder;
  const std::string map = folder.path("wide.lvl");
  const bytes input = concat({bitmap(65533), tile_entries(1)});
  write_file(map, input);
  const run_result r = run_tool({map});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(report_of(r).empty());
  EXPECT_EQ(r.err, "mapgraft: cannot write '" + map +
                       "': the tileset bitmap takes 65536 bytes, more than the 65532 that the metadata offset can hold\n");
  EXPECT_EQ(read_file(map), input);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"wide.lvl"});
}

TEST(Edit, AFailedWriteLeavesTheTargetAndNoTemporaryFile) {
  // Wine writes from the tool's own process, so the size limit reaches it.
  if (!tool_is_native() && !tool_is_windows()) GTEST_SKIP() << "process limits do not reach an emulated tool";
  temp_folder folder;
  const std::string map = folder.path("map.lvl"), raw = folder.path("big.dat");
  const bytes input = tile_entries(64);
  write_file(map, input);
  write_file(raw, bytes(200000, 0x5A));
  run_options options;
  options.file_size_limit = 100000;
  options.ignore_sigxfsz = true;
  const run_result r = run_tool({map, "BLOB", raw}, options);
  EXPECT_EQ(r.status, 1);
  if (tool_is_native()) {
    EXPECT_EQ(r.err, "mapgraft: cannot write '" + map + "': File too large\n");
  } else {
    // Wine turns the refused write into a Windows error of its choosing.
    const std::string prefix = "mapgraft: cannot write '" + map + "': ";
    EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    EXPECT_GT(r.err.size(), prefix.size() + 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  }
  const std::vector<std::string> lines = report_of(r);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "writing chunk: type:'BLOB' size:200000/200000");
  EXPECT_EQ(read_file(map), input);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"big.dat", "map.lvl"}));
}

// Under Wine too, which shows the program no links at all.
TEST(Edit, KeepsPermissionsAndSymbolicLinks) {
  if (!tool_is_native() && !tool_is_windows()) GTEST_SKIP() << "POSIX permissions and links";
  temp_folder folder;
  fs::create_directory(folder.path("maps"));
  const std::string real = folder.path("maps/real.lvl"), link = folder.path("link.lvl");
  write_file(real, tile_entries(1));
  chmod(real.c_str(), 0640);
  fs::create_symlink("maps/real.lvl", link);
  const run_result r = run_tool({link});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "maps/real.lvl");
  EXPECT_EQ(read_file(real), converted_plain(tile_entries(1), {}));
  struct stat info {};
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  if (tool_is_native()) {
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"link.lvl", "maps"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path("maps")), fs::directory_iterator{}), 1);
}

// Windows would let the tool rename over a read-only file once the attribute
// is cleared; the attribute is the user's refusal and is kept. Wine shows a
// file without write permission as read-only, even to root.
TEST(Edit, AnUnwritableTargetIsRefusedBeforeTheWriterStarts) {
  std::string reason;
  if (tool_is_windows())
    reason = "the file is read-only";
  else if (tool_is_native() && geteuid() != 0)
    reason = "Permission denied";
  else
    GTEST_SKIP() << "needs an unprivileged native run, or the Windows build";
  temp_folder folder;
  const std::string map = folder.path("locked.lvl");
  write_file(map, tile_entries(1));
  chmod(map.c_str(), 0444);
  const run_result r = run_tool({map});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(report_of(r), std::vector<std::string>{"inserting default tileset"});
  EXPECT_EQ(r.err, "mapgraft: cannot write '" + map + "': " + reason + "\n");
  EXPECT_EQ(read_file(map), tile_entries(1));
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"locked.lvl"});
}

// Damaged targets through the whole tool: each is either rewritten as a
// well-formed map, keeping the chunks before the damage, or left untouched.
TEST(Edit, DamagedTargetsAreRewrittenWellFormedOrLeftAlone) {
  const bytes good = extended_map(bitmap(64), {{"AAAA", text_bytes("12345")}, {"BBBB", text_bytes("6789")}}, tile_entries(2));
  const std::size_t second_length = 64 + 12 + 16 + 4;
  bytes one_past = good;
  put_u32(one_past, second_length, 5 + 8);  // the second record runs past the block's end
  bytes wraps = good;
  put_u32(wraps, second_length, 0xFFFFFFFC);
  bytes long_total = good;
  put_u32(long_total, 64 + 4, 0x7FFFFFFF);
  bytes size_past_end = concat({bitmap(40), tile_entries(1)});
  put_u32(size_past_end, 2, 45);
  const bytes whole = bitmap(40);
  struct damage_case {
    std::string name;
    bytes input;
    std::string last_read_line;  // empty: rejected, the target stays as it was
    std::string elvl_line;
  };
  const std::vector<damage_case> cases = {
      {"record past the block", one_past, "buffer overflow detected near chunk 1", "writing elvl: 12 + 16 bytes 1 chunks"},
      {"record length wraps", wraps, "buffer overflow detected near chunk 1", "writing elvl: 12 + 16 bytes 1 chunks"},
      {"block beyond the file", long_total, "buffer overflow detected near chunk 2", "writing elvl: 12 + 28 bytes 2 chunks"},
      {"bitmap size past the end", size_past_end, "", ""},
      {"bitmap header cut", bytes(whole.begin(), whole.begin() + 33), "", ""},
      {"three bytes", text_bytes("BM!"), "", ""},
  };
  for (const damage_case& c : cases) {
    SCOPED_TRACE(c.name);
    temp_folder folder;
    const std::string map = folder.path("map.lvl");
    write_file(map, c.input);
    const run_result r = run_tool({map});
    const std::vector<std::string> lines = report_of(r);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"map.lvl"});
    if (c.last_read_line.empty()) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(lines, std::vector<std::string>{"not a tarvex map file"});
      EXPECT_EQ(read_file(map), c.input);
      continue;
    }
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.last_read_line), lines.end()) << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.elvl_line), lines.end()) << r.out;
    EXPECT_EQ(extended_layout_fault(read_file(map)), "");
  }
}

}  // namespace
