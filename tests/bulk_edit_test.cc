// Maps by the hundred: a table of attributes out and back in, metadata
// carried from map to map, folders, and the progress line's absence where
// nobody watches.

#include <filesystem>

#include <gtest/gtest.h>

#include "map_builder.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string try_help = "Try 'mapgraft-edit --help' for more information.\n";

bytes attr_map(const std::vector<std::string>& attrs, const std::vector<chunk>& more = {}) {
  std::vector<chunk> chunks;
  for (const std::string& a : attrs) chunks.push_back({"ATTR", text_bytes(a)});
  chunks.insert(chunks.end(), more.begin(), more.end());
  return extended_map(bitmap(60), chunks, tile_entries(2));
}

TEST(EditProgram, AttributeTablesGoOutAndComeBackIn) {
  temp_folder folder;
  const std::string a = folder.path("a.lvl"), b = folder.path("b,c.lvl"), p = folder.path("p.lvl");
  const bytes a_bytes = attr_map({"NAME=Arena", "ZONE=x,\"y\"", "NAME=Later"});
  const bytes b_bytes = attr_map({"ZONE=two\nlines", "TITLE=\xC3\x9Cml\xC3\xA4ut", "EMPTY="});
  write_file(a, a_bytes);
  write_file(b, b_bytes);
  write_file(p, tile_entries(3));
  const run_result csv = run_inspector({"--csv", a, b, p});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.raw_out, "file,NAME,ZONE,TITLE,EMPTY\r\n" + a + ",Arena,\"x,\"\"y\"\"\",,\r\n\"" + b +
                             "\",,\"two\nlines\",\xC3\x9Cml\xC3\xA4ut,\r\n" + p + ",,,,\r\n");
  EXPECT_EQ(csv.err, "mapgraft-inspect: warning: '" + b + "': attribute 'EMPTY' is empty, which a CSV table cannot set again (--json can)\n");
  const run_result json = run_inspector({"--json", a, b, p});
  const std::string unchanged = a + ": unchanged\n" + b + ": unchanged\n" + p + ": unchanged\n";
  for (const std::string& table : {csv.raw_out, json.out}) {
    write_file(folder.path("t"), text_bytes(table));
    const run_result r = run_editor({"--import", folder.path("t")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, unchanged);
    EXPECT_EQ(read_file(a), a_bytes);
    EXPECT_EQ(read_file(b), b_bytes);
    EXPECT_EQ(read_file(p), tile_entries(3));
  }
  // A row is the whole set: NAME changes (and its later chunk goes), ZONE goes.
  write_file(folder.path("t"), text_bytes("file,NAME,ZONE\r\n" + a + ",New,\r\n"));
  const run_result r = run_editor({"--import", folder.path("t")});
  EXPECT_EQ(r.out, a + ": 2 removed, 0 added, 1 replaced; 1 chunks; 96 bytes written\n");
  EXPECT_EQ(read_file(a), attr_map({"NAME=New"}));

  const bytes bad = attr_map({"K\xff=v"});
  write_file(a, bad);
  const run_result refused = run_inspector({"--csv", a, p});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.raw_out, "file\r\n" + p + "\r\n");
  EXPECT_EQ(refused.err, "mapgraft-inspect: '" + a + "': attribute 'K'$'\\377' is not UTF-8 text that a CSV cell can hold, or holds a zero byte (--json holds it exactly)\n");
}

TEST(EditProgram, ImportTablesAreCheckedWholeBeforeAnyMap) {
  temp_folder folder;
  const std::string map = folder.path("map.lvl");
  write_file(map, attr_map({"NAME=Arena"}));
  const std::string row = "{\"file\":\"" + map + "\",\"attrs\":";
  const std::pair<std::string, std::string> cases[] = {
      {row + "{}}\nnot json\n", "line 2: not valid JSON"},
      {"[1]\n{}", "line 1: the header does not start with the cell 'file'"},
      {"{\"attrs\":{}}", "line 1: \"file\" is missing or not a string"},
      {row + "[]}", "line 1: \"attrs\" is neither an object nor null"},
      {row + "{\"A\":1}}", "line 1: the value of 'A' is not a string"},
      {row + "{\"A\":\"a\\u0000b\"}}", "line 1: attribute 'A' holds a zero byte, which a table cannot give back"},
      {row + "{\"A\":\"\xEF\xBF\xBD\"}}",
       "line 1: attribute 'A' holds U+FFFD, which stands for bytes that are not UTF-8; edit that map with --set"},
      {row + "{\"A=B\":\"1\"}}", "line 1: key 'A=B' is empty or holds '='"},
      {"file,A\r\n" + map + ",1,2\r\n", "line 2: 3 cells, but the header has 2"},
      {"file,A,A\r\n", "line 1: the header names 'A' twice"},
      {"file,A\r\n\"" + map + "\r\n", "line 2: a quote is never closed"},
      {row + "null}\n" + row + "null}\n", "line 2: '" + map + "' is named on an earlier row too" +
                                        (editor_is_windows() ? " (letter case aside)" : "")},
  };
  for (const auto& [table, why] : cases) {
    write_file(folder.path("t"), text_bytes(table));
    const run_result r = run_editor({"-n", "--import", folder.path("t")});
    EXPECT_EQ(r.status, 2) << table;
    EXPECT_EQ(r.err, "mapgraft-edit: --import '" + folder.path("t") + "': " + why + "\n" + try_help);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(run_editor({"--import", folder.path("t"), map}).err,
            "mapgraft-edit: --import takes no MAP: the table names the maps\n" + try_help);
  EXPECT_EQ(read_file(map), attr_map({"NAME=Arena"}));
}

TEST(EditProgram, CopyFromCarriesMetadataToANewVersion) {
  temp_folder folder;
  const std::string old_map = folder.path("old.lvl"), new_map = folder.path("new.lvl");
  const chunk logo{"LOGO", bytes(5, 7)};
  write_file(old_map, attr_map({"NAME=Arena", "ZONE=Main"}, {logo}));
  write_file(new_map, attr_map({"NAME=Draft"}));
  const run_result first = run_editor({"--copy-from", old_map, new_map});
  EXPECT_EQ(first.out, new_map + ": 0 removed, 2 added, 1 replaced; 3 chunks; 136 bytes written\n") << first.err;
  EXPECT_EQ(read_file(new_map), attr_map({"NAME=Arena", "ZONE=Main"}, {logo}));
  EXPECT_EQ(run_editor({"--copy-from", old_map, new_map}).out, new_map + ": unchanged\n");
  const run_result missing = run_editor({"--copy-from", folder.path("none.lvl"), new_map});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(missing.err.starts_with("mapgraft-edit: '" + folder.path("none.lvl") + "': cannot open: ")) << missing.err;
}

TEST(EditProgram, RecursiveFoldersStandForTheirMaps) {
  temp_folder folder;
  const std::string tree = folder.path("tree");
  for (const char* dir : {"/a/.hidden", "/b"}) fs::create_directories(tree + dir);
  for (const char* name : {"/a/x.lvl", "/a/.hidden/h.lvl", "/b/y.lvl", "/UP.LVL"}) write_file(tree + name, attr_map({}));
  write_file(tree + "/notes.txt", text_bytes("not a map"));
  if (!editor_is_windows()) fs::create_symlink("b", tree + "/a/link");
  const std::string up = editor_is_windows() ? tree + "/UP.LVL: unchanged\n" : "";
  // --progress asks for the line, which a file as standard error never gets.
  const run_result r = run_editor({"-r", "--unset", "K", tree, "--progress"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, up + tree + "/a/.hidden/h.lvl: unchanged\n" + tree + "/a/x.lvl: unchanged\n" + tree + "/b/y.lvl: unchanged\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(run_inspector({"-r", "--keys", tree}).status, 0);
  const run_result plain = run_editor({"--unset", "K", tree});
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.err, "mapgraft-edit: '" + tree + "': cannot open: not a regular file but a folder (-r edits the maps in it)\n");
}

TEST(EditProgram, ProgressIsShownOnATerminalAndErasedBeforeEachLine) {
  if (!editor_is_native()) GTEST_SKIP() << "needs the program's own terminal";
  temp_folder folder;
  std::vector<std::string> args = {"--progress", "--set", "A=1"};
  for (const char* name : {"1.lvl", "2.lvl", "3.lvl"}) {
    write_file(folder.path(name), attr_map({}));
    args.push_back(folder.path(name));
  }
  run_options on_terminal;
  on_terminal.stdout_terminal = on_terminal.stderr_terminal = true;
  const std::string shown = "mapgraft-edit: 1 of 3 maps", blank(shown.size(), ' ');
  const run_result r = run_editor(args, on_terminal);
  EXPECT_EQ(r.raw_out.substr(r.raw_out.find('\n') + 1, 2 * shown.size() + 3), "\r" + shown + "\r" + blank + "\r") << r.raw_out;
  EXPECT_EQ(run_editor({"--no-progress", "--set", "A=2", args[3], args[4]}, on_terminal).raw_out.find("maps"), std::string::npos);
}

// A type copied from a report, where "AB" and two zero bytes show as "  AB".
TEST(EditProgram, ATypeCopiedFromAReportSaysWhichTypeToUse) {
  temp_folder folder;
  const std::string map = folder.path("map.lvl");
  const bytes before = attr_map({}, {{"AB", bytes(3, 1)}});
  write_file(map, before);
  const run_result r = run_editor({"--remove-type", "  AB", map});
  EXPECT_EQ(r.out, map + ": unchanged\n");
  EXPECT_EQ(r.err, "mapgraft-edit: '" + map + "': no chunk has type '  AB', but some have type 'AB', which the reports show so: use 'AB'\n");
  EXPECT_EQ(read_file(map), before);
  EXPECT_EQ(run_editor({"--remove-type", "AB", map}).err, "");
}

}  // namespace

// A map replaced stays as its backup; a name that cannot take it fails that
// map before it is replaced, and the batch goes on.
TEST(EditProgram, BackupsKeepTheMapReplaced) {
  temp_folder folder;
  const std::string a = folder.path("a.lvl"), f = folder.path("f.lvl"), m = folder.path("m.lvl");
  const bytes first = attr_map({"NAME=A"});
  write_file(a, first);
  const std::string set = a + ": 0 removed, 0 added, 1 replaced; 1 chunks; " + std::to_string(first.size()) + " bytes ";
  struct step {
    std::vector<std::string> args;
    std::string out, backup;
    bytes kept;
  } steps[] = {
      {{"--backup", "--set", "NAME=B"}, set + "written\n", a + "~", first},
      {{"--backup=.orig", "--set", "NAME=C"}, set + "written\n", a + ".orig", attr_map({"NAME=B"})},
      {{"-b", "--set", "NAME=D"}, set + "written\n", a + "~", attr_map({"NAME=C"})},
      {{"-b", "--set", "NAME=D"}, a + ": unchanged\n", a + "~", attr_map({"NAME=C"})},
      {{"-n", "-b", "--set", "NAME=E"}, set + "would be written\n", a + "~", attr_map({"NAME=C"})},
  };
  for (const step& s : steps) {
    std::vector<std::string> args = s.args;
    args.push_back(a);
    const run_result r = run_editor(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, s.out);
    EXPECT_EQ(read_file(s.backup), s.kept);
  }

  write_file(f, first);
  write_file(m, first);
  write_file(m + "~", first);
  fs::create_directory(f + "~");
  for (const std::string dry : {"-q", "-n"}) {
    const run_result r = run_editor({dry, "-b", "--set", "NAME=X", f, m, m + "~"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mapgraft-edit: '" + f + "': cannot make the backup '" + f + "~': it is a folder\n" +
                         "mapgraft-edit: '" + m + "': cannot make the backup '" + m + "~': it is one of the maps being edited\n" +
                         "mapgraft-edit: 2 of 3 maps failed\n");
    EXPECT_EQ(read_file(f), first);
    EXPECT_EQ(read_file(m), first);
  }
  EXPECT_EQ(read_file(m + "~~"), first);
  if (!editor_is_windows()) {
    fs::create_symlink("m.lvl", folder.path("l.lvl~"));
    write_file(folder.path("l.lvl"), first);
    const run_result r = run_editor({"-b", "--set", "NAME=X", folder.path("l.lvl")});
    EXPECT_EQ(r.err, "mapgraft-edit: '" + folder.path("l.lvl") + "': cannot make the backup '" + folder.path("l.lvl~") +
                         "': it is a symbolic link\n");
  }
  const run_result usage = run_editor({"-b", "--set", "NAME=X", "-o", folder.path("out.lvl"), a});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err, "mapgraft-edit: --backup cannot be used with --output: nothing is replaced\n" + try_help);
}
