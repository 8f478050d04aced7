// A map just under 2 GiB whose ATTR text is nearly all of it: the report line
// is written in pieces, never sized by a 32-bit sum.

#include <sys/statvfs.h>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "map_builder.h"
#include "tool_runner.h"

namespace {

// A map without a bitmap, so that its text can be as long as a file under
// 2 GiB allows: a line of more than 2^31 bytes, head included.
constexpr std::uint32_t text = 2147483600;
constexpr std::uint64_t map_size = 12 + 8 + std::uint64_t{text} + 4;

// The map, written in pieces: a block of one ATTR chunk of 'x' bytes, one tile.
void write_large_map(const std::string& path) {
  bytes header = elvl_block({{"ATTR", {}}});
  put_u32(header, 4, 12 + 8 + text);
  put_u32(header, 12 + 4, text);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(header.data(), 1, header.size(), file);
  const bytes block(1 << 20, 'x');
  for (std::uint64_t left = text; left > 0;) {
    const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
    std::fwrite(block.data(), 1, n, file);
    left -= n;
  }
  const bytes tile = tile_entries(1);
  std::fwrite(tile.data(), 1, tile.size(), file);
  ASSERT_EQ(std::fclose(file), 0);
}

TEST(LargeMap, AnAttrTextOfTwoGigabytesIsReportedWhole) {
  if (under_address_sanitizer) GTEST_SKIP() << "too large for the sanitizer's memory";
  if (!tool_is_native()) GTEST_SKIP() << "only the native build";
  temp_folder folder;
  struct statvfs space {};
  if (statvfs(folder.root().c_str(), &space) != 0 ||
      static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize < 2 * map_size + (1ull << 30))
    GTEST_SKIP() << "needs 5 GiB of free disk in " << folder.root();
  const std::string map = folder.path("large.lvl"), report = folder.path("report.txt");
  write_large_map(map);
  ASSERT_EQ(std::filesystem::file_size(map), map_size);

  // Given the default tileset, the map would be 2 GiB or more: it is read and
  // reported whole, then refused.
  run_options options;
  options.stdout_path = report;
  const run_result r = run_tool({map}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mapgraft: cannot write '" + map + "': the bitmap and metadata block would take " +
                       std::to_string(49720 + 12 + 8 + std::uint64_t{text}) + " bytes, more than 2147483647\n");
  EXPECT_EQ(std::filesystem::file_size(map), map_size);
  // The chunk line: its head, 2,147,483,600 'x', its close.
  std::FILE* file = std::fopen(report.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::string line;
  for (int c; (c = std::fgetc(file)) != EOF && line.size() < 300;) line.push_back(static_cast<char>(c));
  std::fclose(file);
  const std::string metadata = "metadata: type:'elvl' size:" + std::to_string(12 + 8 + std::uint64_t{text}) +
                               " maxsize:" + std::to_string(map_size) + "\n";
  const std::string head = "chunk 0: type:'ATTR' size:" + std::to_string(text) + "/" + std::to_string(text) + " data:'xx";
  EXPECT_NE(line.find(metadata + head), std::string::npos) << line;
  EXPECT_GT(std::filesystem::file_size(report), std::uint64_t{text});

  // The inspector streams the same line, and the text in JSON.
  if (!inspector_is_native()) return;
  run_options quiet;
  quiet.stdout_path = "/dev/null";
  for (const std::vector<std::string>& args : {std::vector<std::string>{map}, {"--json", map}}) {
    const run_result inspected = run_inspector(args, quiet);
    EXPECT_EQ(inspected.status, 0) << args[0];
    EXPECT_EQ(inspected.err, "") << args[0];
  }
}

}  // namespace
