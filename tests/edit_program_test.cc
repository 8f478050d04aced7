// mapgraft-edit as a user meets it: the everyday edits, usage errors that
// touch nothing, FILEs read before any map, maps that fail on their own, and
// the ways a map is left alone (unchanged, dry run, -o).

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>

#include "layout_check.h"
#include "map_builder.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string try_help = "Try 'mapgraft-edit --help' for more information.\n";

// A file dated a day back, so that any write to it would show.
struct dated_file {
  dated_file(std::string where, bytes what) : path(std::move(where)), contents(std::move(what)) {
    write_file(path, contents);
    fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24));
    time = fs::last_write_time(path);
  }
  bool untouched() const { return read_file(path) == contents && fs::last_write_time(path) == time; }
  std::string path;
  bytes contents;
  fs::file_time_type time;
};

// Words in the tests' arguments and messages that stand for files in the folder.
std::string replaced_words(std::string text, const temp_folder& folder) {
  const std::pair<std::string, std::string> words[] = {
      {"MAP", "map.lvl"}, {"OUT", "out.lvl"}, {"BMP", "new.bmp"}, {"NOTE", "note.txt"}, {"MISSING", "missing.txt"}};
  for (const auto& [word, name] : words)
    for (std::size_t at; (at = text.find(word)) != std::string::npos;) text.replace(at, word.size(), folder.path(name));
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// An expected line ending in ": " is followed by the system's reason.
void expect_lines(const std::string& text, const std::vector<std::string>& expected) {
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), expected.size()) << text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (expected[i].ends_with(": "))
      EXPECT_TRUE(lines[i].starts_with(expected[i]) && lines[i].size() > expected[i].size()) << lines[i];
    else
      EXPECT_EQ(lines[i], expected[i]);
  }
}

std::vector<std::string> with_paths(const std::vector<std::string>& args, const temp_folder& folder) {
  std::vector<std::string> out;
  for (const std::string& arg : args) out.push_back(replaced_words(arg, folder));
  return out;
}

const bytes typo_map = extended_map(bitmap(60), {{"ATTR", text_bytes("NAME=Arnea")}, {"LOGO", bytes(5, 2)}}, tile_entries(2));

TEST(EditProgram, UsageErrorsOpenNothing) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no operation given"},
      {{"--set", "A=1"}, "no MAP given"},
      {{"--bogus", "MAP"}, "unknown option '--bogus'"},
      {{"-nx", "MAP"}, "unknown option '-x'"},
      {{"MAP", "--set"}, "option '--set' needs an argument"},
      {{"MAP", "--add", "ATTR"}, "option '--add' needs two arguments"},
      {{"--force=yes", "MAP"}, "option '--force' takes no argument"},
      {{"--add", "ATTRS", "NOTE", "MAP"}, "chunk type 'ATTRS' is not 1 to 4 bytes"},
      {{"--add", "\xc3\xa9\xc3\xa8\xc3\xa0", "NOTE", "MAP"}, "chunk type '\xc3\xa9\xc3\xa8\xc3\xa0' is not 1 to 4 bytes"},
      {{"--set", "=v", "MAP"}, "key '' is empty or holds '='"},
      {{"--unset", "A=B", "MAP"}, "key 'A=B' is empty or holds '='"},
      {{"--set", "NAME", "MAP"}, "'NAME' is not KEY=VALUE"},
      {{"--remove", "1,+2", "MAP"}, "chunk index '+2' is not a plain decimal number"},
      {{"--replace", "0x1", "NOTE", "MAP"}, "chunk index '0x1' is not a plain decimal number"},
      {{"--remove", "3,1,003", "MAP"}, "chunk index 3 is given twice in one --remove"},
      {{"--remove", "99999999999999999999999999", "MAP"}, "chunk index '99999999999999999999999999' is too large"},
      {{"--replace", "18446744073709551616", "NOTE", "MAP"}, "chunk index '18446744073709551616' is too large"},
      {{"--add", "A", "-", "--replace", "0", "-", "MAP"}, "'-' (standard input) is given more than once"},
      {{"--set", "A=1", "-"}, "'-' (standard input) cannot be a MAP"},
      {{"--set", "A=1", "-oOUT", "--output=OUT", "MAP"}, "option '--output' is given more than once"},
      {{"--set", "A=1", "-o", "OUT", "MAP", "MAP"}, "--output takes exactly one MAP, not 2"},
  };
  for (const auto& [args, reason] : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    temp_folder folder;
    const dated_file map(folder.path("map.lvl"), typo_map);
    write_file(folder.path("note.txt"), text_bytes("note"));
    const run_result r = run_editor(with_paths(args, folder));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "mapgraft-edit: " + reason + "\n" + try_help);
    EXPECT_TRUE(map.untouched());
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"map.lvl", "note.txt"}));
  }
}

TEST(EditProgram, HelpAndVersion) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"--set", "A=1", "-h", "--bogus"}}) {
    const run_result r = run_editor(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: mapgraft-edit [OPTION | OPERATION]... [--] MAP...\n", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
  }
  const run_result r = run_editor({"--version", "--bogus"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("mapgraft-edit (mapgraft) ") + MAPGRAFT_VERSION + "\n");
}

TEST(EditProgram, EverydayEditsGiveWhatTheyName) {
  struct task {
    std::string name;
    std::vector<std::string> args;  // MAP, BMP (new.bmp) and NOTE (note.txt) name files in the folder
    std::string input;              // standard input
    bytes result;                   // empty: unchanged
    std::string line;               // after "<map>: ", before "; N bytes written"
  };
  const bytes new_bmp = bitmap(90, {.width = 3});
  // Reports size 0, yet has contents: read to its end, as standard input is.
  const std::string proc = editor_is_native() ? "/proc/version" : "";
  const bytes proc_bytes = proc.empty() ? bytes{} : read_file(proc);
  const std::vector<task> tasks = {
      {"fix a name", {"--set", "NAME=Arena", "MAP"}, "",
       extended_map(bitmap(60), {{"ATTR", text_bytes("NAME=Arena")}, {"LOGO", bytes(5, 2)}}, tile_entries(2)),
       "0 removed, 0 added, 1 replaced; 2 chunks"},
      {"undo an insert, options after the map", {"MAP", "--remove=1"}, "",
       extended_map(bitmap(60), {{"ATTR", text_bytes("NAME=Arnea")}}, tile_entries(2)), "1 removed, 0 added, 0 replaced; 1 chunks"},
      {"swap the tileset", {"--tileset", "BMP", "MAP"}, "",
       extended_map(new_bmp, {{"ATTR", text_bytes("NAME=Arnea")}, {"LOGO", bytes(5, 2)}}, tile_entries(2)),
       "0 removed, 0 added, 0 replaced; tileset replaced; 2 chunks"},
      {"replace from standard input, add an empty file, UTF-8 text",
       {"--replace", "1", "-", "--add", "NIL", "NOTE", "--set", "CITY=Z\xc3\xbcrich", "--", "MAP"}, "fresh",
       extended_map(bitmap(60),
                    {{"ATTR", text_bytes("NAME=Arnea")}, {"LOGO", text_bytes("fresh")}, {"NIL", {}},
                     {"ATTR", text_bytes("CITY=Z\xc3\xbcrich")}},
                    tile_entries(2)),
       "0 removed, 2 added, 1 replaced; 4 chunks"},
      {"a map is its own FILE", {"--add", "SELF", "MAP", "MAP"}, "",
       extended_map(bitmap(60), {{"ATTR", text_bytes("NAME=Arnea")}, {"LOGO", bytes(5, 2)}, {"SELF", typo_map}}, tile_entries(2)),
       "0 removed, 1 added, 0 replaced; 3 chunks"},
      {"set what is there", {"--set", "NAME=Arnea", "--unset", "NONE", "MAP"}, "", {}, "unchanged"},
      {"a FILE of size 0 with contents", {"--replace", "1", proc, "MAP"}, "",
       extended_map(bitmap(60), {{"ATTR", text_bytes("NAME=Arnea")}, {"LOGO", proc_bytes}}, tile_entries(2)),
       "0 removed, 0 added, 1 replaced; 2 chunks"},
  };
  for (const task& t : tasks) {
    if (std::find(t.args.begin(), t.args.end(), "") != t.args.end()) continue;
    SCOPED_TRACE(t.name);
    temp_folder folder;
    const dated_file map(folder.path("map.lvl"), typo_map);
    write_file(folder.path("new.bmp"), concat({new_bmp, text_bytes("trailing bytes are not taken")}));
    write_file(folder.path("note.txt"), {});
    run_options options;
    options.input = t.input;
    const run_result r = run_editor(with_paths(t.args, folder), options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    if (t.result.empty()) {
      EXPECT_EQ(r.out, map.path + ": unchanged\n");
      EXPECT_TRUE(map.untouched());
      continue;
    }
    EXPECT_EQ(r.out, map.path + ": " + t.line + "; " + std::to_string(t.result.size()) + " bytes written\n");
    EXPECT_EQ(read_file(map.path), t.result);
    EXPECT_EQ(run_inspector({map.path}).status, 0);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"map.lvl", "new.bmp", "note.txt"}));
  }
}

TEST(EditProgram, VerboseAndQuiet) {
  temp_folder folder;
  const std::string map = folder.path("plain.lvl");
  write_file(map, tile_entries(1));
  run_options options;
  options.input = "hi";
  const run_result verbose = run_editor({"-qv", "--add", "ATTR", "-", map}, options);
  EXPECT_EQ(verbose.status, 0);
  const std::size_t size = read_file(map).size();
  EXPECT_EQ(verbose.out_lines(),
            (std::vector<std::string>{"inserting default tileset", "patching bmp header",
                                      "writing bmp tileset: 49720 bytes 304x160 8bpp compression:'none'",
                                      "writing elvl: 12 + 12 bytes 1 chunks", "writing chunk: type:'ATTR' size:2/4",
                                      "writing map: 4 bytes 1 tiles", "+ chunk 0: type:'ATTR' size:2/4 data:'hi'",
                                      map + ": 0 removed, 1 added, 0 replaced; 1 chunks; " + std::to_string(size) + " bytes written"}));
  const run_result quiet = run_editor({"-vq", "--remove", "0", map});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(run_inspector({map}).out_lines().size(), 4u);  // shape, tileset, metadata, map: no chunk
}

TEST(EditProgram, FilesAreReadBeforeAnyMapAndAFailureTouchesNone) {
  const std::vector<std::tuple<std::vector<std::string>, bytes, std::string>> cases = {
      {{"--add", "A", "NOTE", "--add", "B", "MISSING"}, {}, "'MISSING': cannot open: "},
      {{"--tileset", "BMP"}, {}, "'BMP': empty file"},
      {{"--tileset", "-"}, text_bytes("GIF89a"), "'-': not a bitmap: it does not start with 'BM'"},
  };
  for (const auto& [ops, bmp, err] : cases) {
    SCOPED_TRACE(err);
    temp_folder folder;
    const dated_file map(folder.path("map.lvl"), typo_map), other(folder.path("other.lvl"), tile_entries(1));
    write_file(folder.path("note.txt"), text_bytes("note"));
    write_file(folder.path("new.bmp"), bmp);
    std::vector<std::string> args = with_paths(ops, folder);
    args.insert(args.end(), {map.path, other.path});
    run_options options;
    options.input = std::string(bmp.begin(), bmp.end());
    const run_result r = run_editor(args, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    expect_lines(r.err, {"mapgraft-edit: " + replaced_words(err, folder)});
    EXPECT_TRUE(map.untouched());
    EXPECT_TRUE(other.untouched());
  }
}

// Each map fails on its own, with its reason; the others are edited. A dry
// run says the same and writes nothing; --force writes damage as mapgraft does.
TEST(EditProgram, EachMapSucceedsOrFailsOnItsOwn) {
  bytes overflow = extended_map(bitmap(60), {{"ATTR", text_bytes("ok")}, {"DATA", bytes(8, 1)}}, {});
  put_u32(overflow, 60 + 24 + 4, 9);
  bytes past_block = extended_map(bitmap(60), {{"ATTR", text_bytes("abcd")}}, tile_entries(1));
  put_u32(past_block, 64, 20);
  bytes size_field = extended_map(bitmap(60), {{"ATTR", text_bytes("x")}}, tile_entries(2));
  put_u32(size_field, 2, 88);
  const std::string force = " (--force writes it anyway)";
  struct batch_map {
    std::string name;
    bytes contents;  // empty: missing
    std::string failure;
    std::string forced_failure;  // with --force
  };
  const std::vector<batch_map> maps = {
      {"a.lvl", typo_map, "", ""},
      {"b.lvl", {}, "cannot open: ", "cannot open: "},
      {"c.lvl", overflow, "damaged map: buffer overflow detected near chunk 1" + force, ""},
      {"d.lvl", text_bytes("BM!"), "not a tarvex map file", "not a tarvex map file"},
      {"e.lvl", extended_map(bitmap(60), {{"TXT", text_bytes("a")}}, tile_entries(1000)), "", ""},
      {"f.lvl", concat({tile_entries(3), {1}}),
       "does not look like a map: no bitmap, no metadata block, and 13 bytes are not whole 4-byte tiles (--force converts it "
       "anyway)",
       "no chunk 0"},
      {"g.lvl", past_block, "damaged map: chunk 0 runs 4 bytes past the metadata block" + force, ""},
      {"h.lvl", size_field, "damaged map: bmp size field 88 differs from the metadata block's end 84" + force, ""},
      {"i.lvl", extended_map(bitmap(60), {}, {}), "no chunk 0", "no chunk 0"},
  };
  for (const std::string mode : {"-n", "", "--force"}) {
    SCOPED_TRACE(mode);
    temp_folder folder;
    std::vector<std::string> args = {"--set", "ZONE=Main", "--replace", "0", folder.path("note.txt")};
    if (!mode.empty()) args.push_back(mode);
    write_file(folder.path("note.txt"), text_bytes("ZONE=North"));
    std::vector<dated_file> files;
    std::vector<std::string> failures, written;
    for (const batch_map& m : maps) {
      const std::string path = folder.path(m.name);
      args.push_back(path);
      if (!m.contents.empty()) files.emplace_back(path, m.contents);
      const std::string& failure = mode == "--force" ? m.forced_failure : m.failure;
      if (failure.empty())
        written.push_back(path);
      else
        failures.push_back("mapgraft-edit: '" + path + "': " + failure);
    }
    const std::string summary = std::to_string(failures.size()) + " of " + std::to_string(maps.size()) + " maps failed";
    failures.push_back("mapgraft-edit: " + summary);
    const run_result r = run_editor(args);
    EXPECT_EQ(r.status, 1);
    expect_lines(r.err, failures);
    const std::vector<std::string> lines = r.out_lines();
    ASSERT_EQ(lines.size(), written.size()) << r.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(lines[i].starts_with(written[i] + ": ")) << lines[i];
      EXPECT_EQ(lines[i].ends_with(" would be written"), mode == "-n") << lines[i];
    }
    for (const dated_file& f : files) {
      const bool was_written = mode != "-n" && std::find(written.begin(), written.end(), f.path) != written.end();
      EXPECT_EQ(f.untouched(), !was_written) << f.path;
      if (was_written) {
        EXPECT_EQ(extended_layout_fault(read_file(f.path)), "") << f.path;
      }
    }
  }
}

// Past a file size limit one map fails as a failed write does and the batch
// goes on; standard output cut short by the limit is a lost report.
TEST(EditProgram, AFileSizeLimitFailsOneMapOrTheReport) {
  if (!editor_is_native()) GTEST_SKIP() << "process limits";
  for (const bool report_limited : {false, true}) {
    temp_folder folder;
    std::vector<dated_file> maps;
    std::vector<std::string> args = {"--set", "K=V"};
    for (int i = 0; i < 60; ++i) {
      const bool big = !report_limited && i == 1;
      maps.emplace_back(folder.path("m" + std::to_string(i) + ".lvl"), extended_map(bitmap(60), {}, tile_entries(big ? 20000 : 2)));
      args.push_back(maps.back().path);
    }
    run_options options;
    options.file_size_limit = report_limited ? 4096 : 65536;
    if (report_limited) options.stdout_path = folder.path("log");
    const run_result r = run_editor(args, options);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, report_limited ? 0 : 1);
    EXPECT_EQ(r.err, report_limited ? "mapgraft-edit: cannot write standard output: File too large\n"
                                    : "mapgraft-edit: '" + maps[1].path + "': cannot write: File too large\n" +
                                          "mapgraft-edit: 1 of 60 maps failed\n");
    for (std::size_t i = 0; i < maps.size(); ++i) EXPECT_EQ(maps[i].untouched(), !report_limited && i == 1) << i;
    EXPECT_EQ(folder.entries().size(), report_limited ? 61u : 60u);
  }
}

// What mapgraft-inspect --tileset writes is the bitmap that mapgraft-edit
// --tileset takes back: the map comes out as it was.
TEST(EditProgram, ATilesetTakenOutAndPutBackLeavesTheMapUnchanged) {
  temp_folder folder;
  const std::string converted = folder.path("converted.lvl");
  write_file(converted, tile_entries(3));
  ASSERT_EQ(run_tool({converted}).status, 0);
  const bytes padded_bitmap = extended_map(bitmap(61), {{"ATTR", text_bytes("NAME=x")}}, tile_entries(1), {7, 7, 7});
  for (const bytes& input : {typo_map, padded_bitmap, read_file(converted)}) {
    const dated_file map(folder.path("map.lvl"), input);
    const run_result taken = run_inspector({"--tileset", map.path});
    ASSERT_EQ(taken.status, 0) << taken.err;
    write_file(folder.path("new.bmp"), bytes(taken.raw_out.begin(), taken.raw_out.end()));
    const run_result put = run_editor({"--tileset", folder.path("new.bmp"), map.path});
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_EQ(put.out, map.path + ": unchanged\n");
    EXPECT_TRUE(map.untouched());
  }
}

// A name is skipped when it reaches a file the run has dealt with. The hard
// link still names the old map once the first name is replaced, so it is
// edited in its turn; in a dry run nothing is replaced, and it is skipped.
TEST(EditProgram, TheSameFileByAnyNameIsEditedOnce) {
  for (const bool dry : {true, false}) {
    temp_folder folder;
    const std::string map = folder.path("map.lvl"), link = folder.path("link.lvl"), hard = folder.path("hard.lvl");
    write_file(map, typo_map);
    fs::create_symlink("map.lvl", link);
    fs::create_hard_link(map, hard);
    std::vector<std::string> args = {"--remove", "0", map, link, map, hard};
    if (dry) args.insert(args.begin(), "-n");
    const run_result r = run_editor(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out_lines().size(), dry ? 1u : 2u);
    // The rename gives the map a file of its own; its hard link keeps the old one.
    const std::string detached = editor_is_native() && !dry ? "mapgraft-edit: warning: '" + map +
                                                                   "' is now a file of its own: its 1 other hard link keeps the old map\n"
                                                             : "";
    const std::string skipped_hard = dry ? "mapgraft-edit: '" + hard + "': skipped: the same file as '" + map + "'\n" : "";
    EXPECT_EQ(r.err, detached + "mapgraft-edit: '" + link + "': skipped: the same file as '" + map + "'\n" + "mapgraft-edit: '" +
                         map + "': skipped: the same file as '" + map + "'\n" + skipped_hard);
    const bytes edited = extended_map(bitmap(60), {{"LOGO", bytes(5, 2)}}, tile_entries(2));
    EXPECT_EQ(read_file(link), dry ? typo_map : edited);
    EXPECT_EQ(read_file(hard), dry ? typo_map : edited);
  }
}

TEST(EditProgram, OutputIsANewFileThatNeverReplacesOne) {
  temp_folder folder;
  const dated_file map(folder.path("map.lvl"), typo_map);
  if (editor_is_native()) chmod(map.path.c_str(), 0640);
  const std::string out = folder.path("out.lvl");
  // Even a result equal to the map is written, and a dry run creates nothing.
  for (const std::string dry : {"-n", ""}) {
    std::vector<std::string> args = {"--unset", "NONE", "-o", out, map.path};
    if (!dry.empty()) args.push_back(dry);
    const run_result r = run_editor(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, map.path + ": 0 removed, 0 added, 0 replaced; 2 chunks; " + std::to_string(typo_map.size()) + " bytes " +
                         (dry.empty() ? "written" : "would be written") + " to " + out + "\n");
    EXPECT_EQ(file_exists(out), dry.empty());
  }
  EXPECT_EQ(read_file(out), typo_map);
  EXPECT_TRUE(map.untouched());
  struct stat info {};
  if (editor_is_native()) {
    ASSERT_EQ(stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }

  write_file(out, text_bytes("mine"));
  for (const std::string dry : {"-n", ""}) {
    std::vector<std::string> args = {"--remove", "1", "--output", out, map.path};
    if (!dry.empty()) args.push_back(dry);
    const run_result r = run_editor(args);
    EXPECT_EQ(r.status, 1);
    const std::string prefix = "mapgraft-edit: '" + map.path + "': cannot write '" + out + "': ";
    EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    if (editor_is_native()) {
      EXPECT_EQ(r.err, prefix + "File exists\n");
    }
  }
  EXPECT_EQ(read_file(out), text_bytes("mine"));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"map.lvl", "out.lvl"}));

  // Nor a link that names nothing, which Wine cannot see before the real run.
  const std::string dangling = folder.path("dangling.lvl");
  fs::create_symlink("nowhere.lvl", dangling);
  for (const std::string dry : {"-n", ""}) {
    if (!dry.empty() && !editor_is_native()) continue;
    std::vector<std::string> args = {"--remove", "1", "-o", dangling, map.path};
    if (!dry.empty()) args.push_back(dry);
    const run_result r = run_editor(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("mapgraft-edit: '" + map.path + "': cannot write '" + dangling + "': ", 0), 0u) << r.err;
  }
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"dangling.lvl", "map.lvl", "out.lvl"}));
}

// A dry run ends with the status of the real run. Wine shows a file without
// write permission as read-only, even to root.
TEST(EditProgram, AnUnwritableMapFailsTheSameInADryRun) {
  std::string reason;
  if (editor_is_windows())
    reason = "the file is read-only";
  else if (editor_is_native() && geteuid() != 0)
    reason = "Permission denied";
  else
    GTEST_SKIP() << "needs an unprivileged native run, or the Windows build";
  temp_folder folder;
  const dated_file map(folder.path("map.lvl"), typo_map);
  chmod(map.path.c_str(), 0444);
  for (const std::string mode : {"--dry-run", "--force"}) {
    const run_result r = run_editor({mode, "--set", "A=1", map.path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mapgraft-edit: '" + map.path + "': cannot write: " + reason + "\n");
  }
  EXPECT_TRUE(map.untouched());
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"map.lvl"});
}

// -o - sends the map down a pipe and the report to standard error; -o alone
// converts or copies; a batch with failures ends on its count.
TEST(EditProgram, StandardOutputCopiesAndTheBatchSummary) {
  const bytes fixed = extended_map(bitmap(60), {{"ATTR", text_bytes("NAME=Arena")}, {"LOGO", bytes(5, 2)}}, tile_entries(2));
  const auto as_string = [](const bytes& b) { return std::string(b.begin(), b.end()); };
  const std::string size = std::to_string(fixed.size()), typo_size = std::to_string(typo_map.size());
  struct output_case {
    std::vector<std::string> args;
    bool terminal;
    int status;
    std::string out;
    std::string err;  // MAP, OUT, MISSING as in args
    bytes written;    // OUT's contents; empty: OUT is not created
  };
  const std::vector<output_case> cases = {
      {{"-o", "-", "--set", "NAME=Arena", "MAP"}, false, 0, as_string(fixed),
       "MAP: 0 removed, 0 added, 1 replaced; 2 chunks; " + size + " bytes written to standard output\n", {}},
      {{"-qo-", "--set", "NAME=Arena", "MAP"}, false, 0, as_string(fixed), "", {}},
      {{"-n", "--output=-", "--set", "NAME=Arena", "MAP"}, true, 0, "",
       "MAP: 0 removed, 0 added, 1 replaced; 2 chunks; " + size + " bytes would be written to standard output\n", {}},
      {{"-o", "-", "--set", "NAME=Arena", "MAP"}, true, 1, "",
       "mapgraft-edit: not writing binary data to a terminal; use -o FILE or a redirect\n", {}},
      {{"-o", "OUT", "MAP"}, false, 0, "MAP: 0 removed, 0 added, 0 replaced; 2 chunks; " + typo_size + " bytes written to OUT\n", "",
       typo_map},
      {{"--set", "NAME=Arena", "MAP", "MISSING", "MAP"}, false, 1, "MAP: 0 removed, 0 added, 1 replaced; 2 chunks; " + size +
       " bytes written\n", "mapgraft-edit: 'MISSING': cannot open: \n" "mapgraft-edit: 'MAP': skipped: the same file as 'MAP'\n"
       "mapgraft-edit: 1 of 3 maps failed\n", {}},
  };
  for (const output_case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    if (c.terminal && !editor_is_native()) continue;
    temp_folder folder;
    const dated_file map(folder.path("map.lvl"), typo_map);
    run_options options;
    options.stdout_terminal = c.terminal;
    const run_result r = run_editor(with_paths(c.args, folder), options);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(c.out.starts_with("BM") ? r.raw_out : r.out, replaced_words(c.out, folder));
    // The system's reason after "cannot open: " is left unchecked.
    std::string err = r.err;
    if (const std::size_t at = err.find("cannot open: "); at != std::string::npos) err.erase(at + 13, err.find('\n', at) - at - 13);
    EXPECT_EQ(err, replaced_words(c.err, folder));
    if (c.err.ends_with("maps failed\n")) {
      EXPECT_EQ(read_file(map.path), fixed);
    } else {
      EXPECT_TRUE(map.untouched());
    }
    if (!c.written.empty()) {
      EXPECT_EQ(read_file(folder.path("out.lvl")), c.written);
    }
  }
}

// -v shows each chunk changed, as mapgraft-inspect prints it, in a dry run too.
TEST(EditProgram, VerboseShowsEachChange) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{"-nv", "--set", "NAME=Arena", "MAP"},
       {"- chunk 0: type:'ATTR' size:10/12 data:'NAME=Arnea'", "+ chunk 0: type:'ATTR' size:10/12 data:'NAME=Arena'"}},
      {{"-v", "--remove", "0", "--add", "TXT", "NOTE", "--set", "NAME=Arnea", "MAP"},
       {"- chunk 0: type:'ATTR' size:10/12 data:'NAME=Arnea'", "+ chunk 1: type:' TXT' size:4/4",
        "+ chunk 2: type:'ATTR' size:10/12 data:'NAME=Arnea'"}},
      {{"-v", "--set", "NAME=Arnea", "MAP"}, {}},
      {{"-nv", "--tileset", "BMP", "--replace", "1", "NOTE", "MAP"},
       {"- chunk 1: type:'LOGO' size:5/8", "+ chunk 1: type:'LOGO' size:4/4",
        "~ tileset: 60 bytes 16x16 8bpp compression:'none' -> 92 bytes 3x16 8bpp compression:'none'"}},
  };
  for (const auto& [args, lines] : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    temp_folder folder;
    write_file(folder.path("new.bmp"), bitmap(90, {.width = 3}));
    write_file(folder.path("note.txt"), text_bytes("note"));
    for (const bool to_pipe : {false, true}) {
      write_file(folder.path("map.lvl"), typo_map);
      std::vector<std::string> with_output = with_paths(args, folder);
      if (to_pipe) with_output.insert(with_output.begin(), {"-o", "-"});
      const run_result r = run_editor(with_output);
      EXPECT_EQ(r.status, 0) << r.err;
      std::vector<std::string> changes;
      for (const std::string& line : lines_of(to_pipe ? r.err : r.out))
        if (line.starts_with("- ") || line.starts_with("+ ") || line.starts_with("~ ")) changes.push_back(line);
      EXPECT_EQ(changes, lines);
      EXPECT_TRUE(lines_of(to_pipe ? r.err : r.out).back().starts_with(folder.path("map.lvl") + ": "));
    }
  }
}

// A name that could forge a line or drive the terminal is shown as the shell
// would read it back; any other name as it is.
TEST(EditProgram, NamesThatCouldForgeALineAreEscaped) {
  if (!editor_is_native() || !inspector_is_native() || !tool_is_native()) GTEST_SKIP() << "Windows names are UTF-16";
  const std::vector<std::pair<std::string, std::string>> names = {
      {"nl\nx.lvl", "'nl'$'\\n''x.lvl'"},          {"esc\x1b[31m.lvl", "'esc'$'\\033''[31m.lvl'"},
      {"it's.lvl", "\"it's.lvl\""},                {"bad\xff\xc2\x85.lvl", "'bad'$'\\377\\302\\205''.lvl'"},
      {"q\"$'.lvl", "'q\"$'\\''.lvl'"},            {"plain name.lvl", ""},
  };
  for (const auto& [name, form] : names) {
    SCOPED_TRACE(name);
    temp_folder folder;
    const std::string path = folder.path(name), missing = folder.path(name + "x");
    write_file(path, tile_entries(1));
    // The folder's own path needs no quoting, so the form takes it in.
    const auto shown = [&](const std::string& full, const std::string& escaped, bool quoted) {
      if (escaped.empty()) return quoted ? "'" + full + "'" : full;
      const std::string dir = folder.path("");
      return escaped[0] == '$' ? "'" + dir + "'" + escaped : escaped.substr(0, 1) + dir + escaped.substr(1);
    };
    const std::string missing_form = form.empty() ? "" : form.substr(0, form.size() - 1) + "x" + form.back();
    const run_result edited = run_editor({"--set", "A=1", path, missing});
    EXPECT_EQ(edited.out.rfind(shown(path, form, false) + ": 0 removed, 1 added", 0), 0u) << edited.out;
    EXPECT_EQ(edited.err.rfind("mapgraft-edit: " + shown(missing, missing_form, true) + ": cannot open: ", 0), 0u) << edited.err;
    const run_result inspected = run_inspector({path, path});
    EXPECT_EQ(inspected.out.rfind("==> " + shown(path, form, false) + " <==\n", 0), 0u) << inspected.out;
    const run_result tool = run_tool({missing});
    EXPECT_EQ(tool.err.rfind("mapgraft: cannot open " + shown(missing, missing_form, true) + ": ", 0), 0u) << tool.err;
  }
}

// cmd.exe leaves wildcards to the program.
TEST(EditProgram, WildcardsAreExpandedOnWindows) {
  if (!editor_is_windows()) GTEST_SKIP() << "the shell expands them elsewhere";
  temp_folder folder;
  for (const std::string name : {"b.lvl", "a.lvl", "c.txt"}) write_file(folder.path(name), tile_entries(1));
  const run_result r = run_editor({"-q", "--set", "ZONE=Main", folder.path("*.lvl"), folder.path("*.none")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("mapgraft-edit: '" + folder.path("*.none") + "': cannot open: ", 0), 0u) << r.err;
  for (const std::string name : {"a.lvl", "b.lvl"})
    EXPECT_EQ(read_file(folder.path(name)).size(), tile_entries(1).size() + 49720 + 12 + 20) << name;
  const run_result keys = run_inspector({"--keys", folder.path("*.lvl")});
  EXPECT_EQ(keys.status, 0);
  EXPECT_EQ(keys.out, folder.path("a.lvl") + ": ZONE\n" + folder.path("b.lvl") + ": ZONE\n");
  EXPECT_EQ(read_file(folder.path("c.txt")), tile_entries(1));
}

// Standard output that is the map's own file, by '>>' or '1<>', is refused
// before a byte is written, as cat does, by both programs.
TEST(EditProgram, StandardOutputThatIsTheMapIsRefused) {
  using opening = run_options::opening;
  const std::tuple<std::string, std::vector<std::string>, opening> cases[] = {
      {"mapgraft-edit", {"-o", "-", "--set", "X=1", "MAP"}, opening::append},
      {"mapgraft-edit", {"-q", "-o", "-", "--remove", "0,1", "MAP"}, opening::in_place},
      {"mapgraft-edit", {"-n", "-o", "-", "--set", "X=1", "MAP"}, opening::append},
      {"mapgraft-inspect", {"-o", "-", "--tileset", "MAP"}, opening::append},
      {"mapgraft-inspect", {"--tileset", "MAP"}, opening::in_place},
      {"mapgraft-inspect", {"-o", "-", "MAP", "1"}, opening::append}};
  for (auto [program, args, how] : cases) {
    temp_folder folder;
    const dated_file map(folder.path("map.lvl"), extended_map(bitmap(120), {{"ATTR", text_bytes("NAME=x")}, {"D", {}}}, tile_entries(4)));
    std::replace(args.begin(), args.end(), std::string("MAP"), map.path);
    run_options options;
    options.stdout_path = map.path;
    options.stdout_opening = how;
    const run_result r = program == "mapgraft-edit" ? run_editor(args, options) : run_inspector(args, options);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_EQ(r.err, program + ": '" + map.path + "': input file is output file\n") << args[0];
    EXPECT_EQ(read_file(map.path), map.contents) << args[0];
  }
}

}  // namespace
