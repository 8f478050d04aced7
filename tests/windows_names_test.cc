// File names beyond ASCII reach Windows whole: the tool edits the file it is
// given, never one whose name the ANSI code page makes of it.

#include <filesystem>

#include <gtest/gtest.h>

#include "map_builder.h"
#include "support/utf8.h"
#include "tool_runner.h"

namespace {

TEST(Utf8, EveryUtf16NameSurvivesTheRoundTrip) {
  struct conversion {
    std::u16string utf16;
    std::string utf8;
  };
  const std::vector<conversion> cases = {
      {u"map.lvl", "map.lvl"},
      {u"\uFF4Dap.lvl", "\xEF\xBD\x8D" "ap.lvl"},
      {u"d\u0101ta.lvl", "d\xC4\x81ta.lvl"},
      {u"\u65E5\u672C.lvl", "\xE6\x97\xA5\xE6\x9C\xAC.lvl"},
      {u"\U0001F5FA.lvl", "\xF0\x9F\x97\xBA.lvl"},
      // Surrogates without their partners, as WTF-8.
      {std::u16string{0xD83D, u'x'}, "\xED\xA0\xBD" "x"},
      {std::u16string{u'x', 0xDDFA}, "x\xED\xB7\xBA"},
      {std::u16string{0xDDFA, 0xD83D}, "\xED\xB7\xBA\xED\xA0\xBD"},
  };
  for (const conversion& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(utf8_from_utf16(c.utf16), c.utf8);
    EXPECT_EQ(utf16_from_utf8(c.utf8), c.utf16);
  }
}

TEST(Utf8, BytesThatAreNotUtf8DecodeToReplacementCharacters) {
  struct decoding {
    std::string utf8;
    std::u16string utf16;
    std::size_t complete;  // utf8_complete_length
  };
  const std::vector<decoding> cases = {
      {"a\xFF" "b", u"a\uFFFDb", 3},
      {"\xC0\xAF", u"\uFFFD\uFFFD", 2},          // overlong
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD", 3},  // overlong
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 4},  // past U+10FFFF
      {"\xE6\x97" "a", u"\uFFFD" "a", 3},
      {"a\xE6\x97", u"a\uFFFD", 1},  // cut short: waits for the rest
      {"a\xF0\x9F\x97", u"a\uFFFD", 1},
      {"a\xC4", u"a\uFFFD", 1},
      {"\xE6\x97\xA5", u"\u65E5", 3},
      {"a\x80", u"a\uFFFD", 2},
  };
  for (const decoding& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(utf16_from_utf8(c.utf8), c.utf16);
    EXPECT_EQ(utf8_complete_length(c.utf8), c.complete);
  }
}

// Wine hands a program's arguments over in the locale's character set.
run_options in_utf8_locale() {
  run_options options;
  options.environment = {"LC_ALL=C.UTF-8"};
  return options;
}

TEST(WindowsNames, EachNameEditsItsOwnFileAndNoLookalike) {
  if (!tool_is_windows()) GTEST_SKIP() << "names reach a POSIX program as the bytes they are";
  temp_folder folder;
  const bytes map = extended_map(bitmap(60), {}, tile_entries(3));
  const bytes message = text_bytes("a map of its own");
  write_file(folder.path("msg.txt"), message);
  for (const char* lookalike : {"map.lvl", "data.lvl"}) write_file(folder.path(lookalike), map);
  const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e');
  std::filesystem::create_directories(folder.path(deep));

  struct named_edit {
    std::string name;
    std::string magic;
  };
  const std::vector<named_edit> cases = {
      {"\xEF\xBD\x8D" "ap.lvl", "ATTR"},  // fullwidth m
      {"d\xC4\x81ta.lvl", "ATTR"},        // a with macron
      {"\xE6\x97\xA5\xE6\x9C\xAC.lvl", "\xE6\x97\xA5"},  // the magic too is its UTF-8 bytes
      {deep + "/\xE6\x97\xA5.lvl", "ATTR"},  // a path longer than MAX_PATH
  };
  for (const named_edit& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(folder.path(c.name), map);
    const run_result r = run_tool({folder.path(c.name), c.magic, folder.path("msg.txt")}, in_utf8_locale());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(folder.path(c.name)), extended_map(bitmap(60), {{c.magic, message}}, tile_entries(3)));
  }
  for (const char* lookalike : {"map.lvl", "data.lvl"}) EXPECT_EQ(read_file(folder.path(lookalike)), map) << lookalike;
}

TEST(WindowsNames, MessagesSpellTheNameInUtf8) {
  if (!tool_is_windows()) GTEST_SKIP() << "names reach a POSIX program as the bytes they are";
  temp_folder folder;
  const std::string missing = folder.path("\xE6\x97\xA5\xE6\x9C\xAC-missing.lvl");
  const run_result edited = run_tool({missing}, in_utf8_locale());
  EXPECT_EQ(edited.status, 1);
  EXPECT_EQ(edited.err.rfind("mapgraft: cannot open '" + missing + "': ", 0), 0u) << edited.err;
  const run_result inspected = run_inspector({missing}, in_utf8_locale());
  EXPECT_EQ(inspected.status, 1);
  EXPECT_EQ(inspected.err.rfind("mapgraft-inspect: cannot open '" + missing + "': ", 0), 0u) << inspected.err;
}

}  // namespace
