// The command line as a user meets it: banner, usage, help, and inputs that
// cannot be opened.

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "map_builder.h"
#include "tool_runner.h"

namespace {

const std::string help_text =
    "use this tool to insert raw data from a file into a tarvex map under the\n"
    "specified chunk name. conforms to elvl version 0.4. if only a map is specified\n"
    "it will elvl'ify it. caution must be used as this program overwrites the input\n"
    "file\n";

void expect_banner_only(const run_result& r) {
  const std::vector<std::string> lines = r.out_lines();
  ASSERT_EQ(lines.size(), 1u) << r.out;
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(banner_pattern()))) << lines[0];
}

TEST(CommandLine, BannerComesFirstOnEveryRun) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-h"}, {"no-such.lvl"}}) {
    const run_result r = run_tool(args);
    ASSERT_FALSE(r.out_lines().empty());
    EXPECT_TRUE(std::regex_match(r.out_lines()[0], std::regex(banner_pattern()))) << r.out_lines()[0];
  }
}

TEST(CommandLine, NoTargetPrintsUsageNamingTheProgramAsInvoked) {
  if (!tool_is_native()) GTEST_SKIP() << "the invocation name is the emulator's";
  run_options options;
  options.argv0 = "./tools/mg";
  const run_result r = run_tool({}, options);
  EXPECT_EQ(r.status, 2);
  const std::vector<std::string> lines = r.out_lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "Usage: ./tools/mg <target.lvl> [<magic> <raw.dat>]");
  EXPECT_EQ(lines[2], "Example: ./tools/mg smallmap.lvl ATTR msg.txt");
  EXPECT_EQ(r.err, "");
}

TEST(CommandLine, NoArgumentVectorAtAllNamesTheToolItself) {
  if (!tool_is_native()) GTEST_SKIP() << "an emulator needs arguments of its own";
  run_options options;
  options.no_arguments_at_all = true;
  const run_result r = run_tool({}, options);
  EXPECT_EQ(r.status, 2);
  const std::vector<std::string> lines = r.out_lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "Usage: mapgraft <target.lvl> [<magic> <raw.dat>]");
  EXPECT_EQ(lines[2], "Example: mapgraft smallmap.lvl ATTR msg.txt");
}

TEST(CommandLine, HelpIsOnlyTheExactFirstArgument) {
  temp_folder folder;
  const std::string map = folder.path("help.lvl");
  write_file(map, tile_entries(2));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-h"}, {"--help"}, {"-h", map}, {"--help", map, "ATTR", map}}) {
    const run_result r = run_tool(args);
    EXPECT_EQ(r.status, 0);
    ASSERT_GE(r.out.size(), help_text.size());
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), help_text);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(read_file(map), tile_entries(2));
}

TEST(CommandLine, FilesThatCannotBeOpenedEndWithoutWriting) {
  temp_folder folder;
  write_file(folder.path("empty.lvl"), {});
  std::filesystem::create_directory(folder.path("folder.lvl"));
  mkfifo(folder.path("fifo.lvl").c_str(), 0600);
  write_file(folder.path("good.lvl"), tile_entries(3));
  write_file(folder.path("empty.txt"), {});
  // Sparse, so they cost no disk. The second one's low 32 bits make a valid
  // 4-byte map: a layer that took only the low word of the size would edit it.
  write_file(folder.path("2gib.lvl"), {});
  std::filesystem::resize_file(folder.path("2gib.lvl"), std::uintmax_t{1} << 31);
  write_file(folder.path("4gib.lvl"), {});
  std::filesystem::resize_file(folder.path("4gib.lvl"), (std::uintmax_t{1} << 32) + 4);
  struct open_case {
    std::vector<std::string> args;
    std::string path;    // the path the error names
    std::string reason;  // empty: the system's text, not checked word for word
  };
  const std::string good = folder.path("good.lvl");
  const std::vector<open_case> cases = {
      {{folder.path("missing.lvl")}, folder.path("missing.lvl"), ""},
      {{"-H"}, "-H", ""},
      {{"-help"}, "-help", ""},
      {{"--helpx"}, "--helpx", ""},
      {{"--HELP"}, "--HELP", ""},
      {{folder.path("empty.lvl")}, folder.path("empty.lvl"), "empty file"},
      {{folder.path("folder.lvl")}, folder.path("folder.lvl"), "not a regular file"},
      {{folder.path("fifo.lvl")}, folder.path("fifo.lvl"), "not a regular file"},
      {{good, "ATTR", folder.path("missing.txt")}, folder.path("missing.txt"), ""},
      {{good, "ATTR", folder.path("empty.txt")}, folder.path("empty.txt"), "empty file"},
      {{good, "ATTR", folder.root()}, folder.root(), "not a regular file"},
      {{folder.path("2gib.lvl")}, folder.path("2gib.lvl"), "file too large (2 GiB or more)"},
      {{folder.path("4gib.lvl")}, folder.path("4gib.lvl"), "file too large (2 GiB or more)"},
      {{good, "ATTR", folder.path("4gib.lvl")}, folder.path("4gib.lvl"), "file too large (2 GiB or more)"},
  };
  const std::vector<std::string> before = folder.entries();
  for (const open_case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.path);
    const run_result r = run_tool(c.args);
    EXPECT_EQ(r.status, 1);
    const std::string prefix = "mapgraft: cannot open '" + c.path + "': ";
    ASSERT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    if (!c.reason.empty()) {
      EXPECT_EQ(r.err, prefix + c.reason + "\n");
    }
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    if (c.args.size() == 1) expect_banner_only(r);
    EXPECT_FALSE(file_exists("-H"));
  }
  EXPECT_EQ(folder.entries(), before);
  EXPECT_EQ(read_file(good), tile_entries(3));
}

TEST(CommandLine, MissingRawFileKeepsTheReadReport) {
  temp_folder folder;
  const std::string map = folder.path("map.lvl");
  write_file(map, tile_entries(1));
  const run_result r = run_tool({map, "ATTR", folder.path("gone.txt")});
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> lines = r.out_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "inserting default tileset");
  EXPECT_EQ(read_file(map), tile_entries(1));
}

}  // namespace
