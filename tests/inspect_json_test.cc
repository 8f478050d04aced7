// mapgraft-inspect --json as a script meets it: one valid line a map,
// whatever bytes the map and its name hold, saying what the text report says.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "level/level_report.h"
#include "map_builder.h"
#include "support/json_text.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string as_string(const bytes& b) { return std::string(b.begin(), b.end()); }

// The code points of a string that holds only U+0000 to U+00FF.
bytes latin1_of(const std::string& utf8) {
  bytes out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<std::uint8_t>(utf8[i]);
    if (c < 0x80) {
      out.push_back(c);
    } else {
      EXPECT_TRUE((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) << utf8;
      out.push_back(static_cast<std::uint8_t>((c & 0x03) << 6 | (static_cast<std::uint8_t>(utf8[++i]) & 0x3F)));
    }
  }
  return out;
}

std::string as_int32(const json& number) {
  return std::to_string(static_cast<std::int32_t>(number.get<std::uint32_t>()));
}

bool is_damage_line(const std::string& line) {
  return line.starts_with("buffer overflow detected near chunk ") || line.starts_with("bmp size field ") ||
         line.find(" bytes past the metadata block") != std::string::npos;
}

// The text report's lines, but for damage, rendered from one map's JSON as
// the text report renders each value.
std::vector<std::string> report_from_json(const json& map, std::int64_t file_size) {
  std::vector<std::string> lines = {"shape: " + map["shape"].get<std::string>()};
  const json& tileset = map["tileset"];
  lines.push_back(tileset.is_null() ? "bmp tileset: none"
                                    : "bmp tileset: " + std::to_string(tileset["bytes"].get<std::int64_t>()) + " bytes " +
                                          as_int32(tileset["width"]) + "x" + as_int32(tileset["height"]) + " " +
                                          std::to_string(tileset["bpp"].get<int>()) + "bpp compression:'" +
                                          tileset["compression"].get<std::string>() + "'");
  if (!map["metadata"].is_null()) {
    lines.push_back("metadata: type:'elvl' size:" + as_int32(map["metadata"]["size"]) +
                    " maxsize:" + as_int32(map["metadata"]["maxsize"]));
    std::int64_t index = 0;
    for (const json& chunk : map["chunks"]) {
      EXPECT_EQ(chunk["index"], index++);
      const bytes type = latin1_of(chunk["type"].get<std::string>());
      EXPECT_EQ(type.size(), 4u);
      char hex[9];
      std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", type[0], type[1], type[2], type[3]);
      EXPECT_EQ(chunk["type_hex"], hex);
      EXPECT_EQ(chunk["padded"], (chunk["length"].get<std::int64_t>() + 3) / 4 * 4);
      std::string line = "chunk " + std::to_string(chunk["index"].get<std::int64_t>()) + ": type:'" +
                         type_text(type.data()) + "' size:" + as_int32(chunk["length"]) + "/" + as_int32(chunk["padded"]);
      EXPECT_EQ(chunk["text"].is_null(), as_string(type) != "ATTR");
      if (!chunk["text"].is_null()) {
        const std::string text = chunk["text"];
        line += " data:'" + printable_text(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) + "'";
      }
      lines.push_back(line);
    }
  } else {
    EXPECT_TRUE(map["chunks"].is_null());
  }
  const json& data = map["map"];
  EXPECT_EQ(data["offset"].get<std::int64_t>() + data["bytes"].get<std::int64_t>(), file_size);
  EXPECT_EQ(data["tiles"], data["bytes"].get<std::int64_t>() / 4);
  lines.push_back("map: " + as_int32(data["bytes"]) + " bytes " + as_int32(data["tiles"]) + " tiles");
  return lines;
}

const std::vector<std::string> fields = {"file", "file_bytes", "shape", "tileset", "metadata", "chunks", "attrs", "damage", "map", "error"};

void expect_agreement(const std::string& path, const run_result& text, const json& map) {
  std::vector<std::string> keys;
  for (const auto& item : map.items()) keys.push_back(item.key());
  EXPECT_EQ(keys.size(), fields.size());
  for (const std::string& field : fields) EXPECT_TRUE(map.contains(field)) << field;
  EXPECT_EQ(map["file"], path);
  EXPECT_TRUE(map["file_bytes"].is_null());
  if (!map["error"].is_null()) {
    EXPECT_EQ(text.out, "");
    EXPECT_EQ(text.err, "mapgraft-inspect: " + map["error"].get<std::string>() + "\n");
    for (const std::string& field : fields) {
      if (field != "file" && field != "error" && field != "file_bytes") {
        EXPECT_TRUE(map[field].is_null()) << field;
      }
    }
    return;
  }
  // The first value of each key, in chunk order, where the chunks have one.
  EXPECT_EQ(map["attrs"].is_null(), map["chunks"].is_null());
  std::vector<std::string> keys_seen;
  for (const json& chunk : map["chunks"]) {
    const std::string text = chunk["text"].is_null() ? "" : chunk["text"].get<std::string>();
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || std::find(keys_seen.begin(), keys_seen.end(), text.substr(0, equals)) != keys_seen.end())
      continue;
    keys_seen.push_back(text.substr(0, equals));
    EXPECT_EQ(map["attrs"][keys_seen.back()].get<std::string>().rfind(text.substr(equals + 1), 0), 0u);
  }
  if (!map["attrs"].is_null()) {
    EXPECT_EQ(map["attrs"].size(), keys_seen.size());
  }
  std::vector<std::string> report, damage;
  for (const std::string& line : text.out_lines()) (is_damage_line(line) ? damage : report).push_back(line);
  EXPECT_EQ(report, report_from_json(map, static_cast<std::int64_t>(fs::file_size(path))));
  // The JSON names the first damage found; the text report lists each.
  EXPECT_EQ(map["damage"].is_null(), damage.empty());
  if (!damage.empty()) {
    EXPECT_EQ(map["damage"]["reason"], damage.front());
    const std::string& reason = damage.front();
    const bool about_a_chunk = !reason.starts_with("bmp size field ");
    EXPECT_EQ(map["damage"]["near_chunk"].is_null(), !about_a_chunk);
    if (about_a_chunk) {
      const std::string number = reason.substr(reason.find("chunk ") + 6);
      EXPECT_EQ(map["damage"]["near_chunk"], std::stoll(number));
    }
  }
}

std::vector<std::pair<std::string, bytes>> sample_maps() {
  bytes past_block = extended_map(bitmap(60), {{"ATTR", text_bytes("ok")}, {"DATA", bytes(8, 1)}}, tile_entries(4));
  put_u32(past_block, 60 + 4, 12 + 12 + 8);
  bytes overflow = extended_map(bitmap(60), {{"ATTR", text_bytes("ok")}, {"DATA", bytes(8, 1)}}, {});
  put_u32(overflow, 60 + 24 + 4, 9);
  bytes size_field = extended_map(bitmap(57), {{"ATTR", text_bytes("NAME=Bob's \"Ice\"\nMaze")}}, tile_entries(2));
  put_u32(size_field, 2, u32_at(size_field, 2) + 4);
  std::vector<std::pair<std::string, bytes>> maps = {
      {"plain", tile_entries(3)},
      {"tileset", concat({bitmap(57, {.width = 5, .height = -3, .bpp = 4, .compression = 2}), tile_entries(2), text_bytes("xy")})},
      {"extended", extended_map(bitmap(58, {.info_size = 12}),
                                {{"ATTR", text_bytes("by\x1bm\xc3\xa9")}, {std::string("\0\x7f\x80\xff", 4), bytes(6, 0)}},
                                tile_entries(3))},
      {"block without a bitmap", concat({elvl_block({{"TXT", text_bytes("abc")}}), tile_entries(1)})},
      {"chunk past its block", past_block},
      {"damaged block", overflow},
      {"bitmap size field past the block", size_field},
      {"not a map", text_bytes("BM!")},
  };
  // The fuzzer's inputs, without the byte that steers its edit.
  for (const char* folder : {"fuzz/corpus", "fuzz/regressions"})
    for (const auto& entry : fs::directory_iterator(fs::path(MAPGRAFT_SOURCE_DIR) / folder)) {
      const bytes input = read_file(entry.path().string());
      if (input.size() > 1) maps.emplace_back(entry.path().filename().string(), bytes(input.begin() + 1, input.end()));
    }
  return maps;
}

TEST(Inspect, JsonSaysWhatTheReportSays) {
  temp_folder folder;
  std::vector<std::string> paths;
  for (const auto& [name, contents] : sample_maps()) {
    paths.push_back(folder.path(name));
    write_file(paths.back(), contents);
  }
  paths.push_back(folder.path("missing.lvl"));

  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), paths.begin(), paths.end());
  const run_result all = run_inspector(args);
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(all.err, "");
  const std::vector<std::string> lines = all.out_lines();
  ASSERT_EQ(lines.size(), paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    const json map = json::parse(lines[i]);
    const run_result text = run_inspector({paths[i]});
    expect_agreement(paths[i], text, map);
    const run_result alone = run_inspector({"--json", paths[i]});
    EXPECT_EQ(alone.out, lines[i] + "\n");
    EXPECT_EQ(alone.status, text.status);
    EXPECT_EQ(alone.err, "");
  }
}

TEST(Inspect, JsonOfAnyBytesIsValid) {
  std::string every_type;
  for (int b = 0; b < 256; ++b) every_type += static_cast<char>(b);
  std::string every_byte = "NAME=";
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  // Longer than a piece of the escaper (64 KiB), which must not cut a
  // character: here the first cut would fall inside one.
  std::string long_text = "LL";
  for (int i = 0; i < 70000; ++i) long_text += "\xe2\x82\xac";

  struct text_case {
    std::string data;
    std::string text;  // as the JSON holds it
  };
  const std::vector<text_case> texts = {
      {"NAME=Bob's \"Ice\"\nMaze\r\t\\", "NAME=Bob's \"Ice\"\nMaze\r\t\\"},
      {"a\xff" "b\xc3(\xe2\x82", "a\xef\xbf\xbd" "b\xef\xbf\xbd(\xef\xbf\xbd"},
      {std::string("cut\0here", 8), "cut"},
      {long_text, long_text},
  };
  std::vector<chunk> chunks;
  for (std::size_t i = 0; i < every_type.size(); i += 4) chunks.push_back({every_type.substr(i, 4), text_bytes("x")});
  chunks.push_back({"ATTR", text_bytes(every_byte)});
  for (const text_case& t : texts) chunks.push_back({"ATTR", text_bytes(t.data)});
  // Two keys that decode to one text: the first holds.
  chunks.push_back({"ATTR", text_bytes("K\xff=1")});
  chunks.push_back({"ATTR", text_bytes("K\xfe=2")});

  temp_folder folder;
  std::vector<std::string> names = {"map.lvl"};
  // Any byte but '/' and NUL can be in a file name; under Wine, names are Windows'.
  if (inspector_is_native()) names.push_back("q\"uote\\back\nnew\x01\x7f\xff.lvl");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string path = folder.path(name);
    write_file(path, extended_map(bitmap(40), chunks, tile_entries(1)));
    const run_result r = run_inspector({"--json", path});
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out_lines().size(), 1u);
    const json map = json::parse(r.out);  // throws on invalid JSON or UTF-8
    std::string shown = path;
    if (const std::size_t at = shown.find('\xff'); at != std::string::npos) shown.replace(at, 1, "\xef\xbf\xbd");
    EXPECT_EQ(map["file"], shown);
    EXPECT_EQ(map["file_bytes"], shown == path ? json() : json(base64_text(path)));
    const nlohmann::ordered_json attrs = nlohmann::ordered_json::parse(r.out)["attrs"];
    EXPECT_EQ(attrs.dump(), "{\"NAME\":" + json(every_byte.substr(5)).dump(-1, ' ', false, json::error_handler_t::replace) +
                                ",\"K\xef\xbf\xbd\":\"1\"}");
    const json& read = map["chunks"];
    ASSERT_EQ(read.size(), chunks.size());
    for (std::size_t i = 0; i < 64; ++i) EXPECT_EQ(as_string(latin1_of(read[i]["type"])), every_type.substr(4 * i, 4));
    EXPECT_EQ(read[64]["text"].get<std::string>().substr(0, 5 + 0x7F), every_byte.substr(0, 5 + 0x7F));
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(read[65 + i]["text"], texts[i].text) << i;
  }
}

// Escaping a text in pieces gives what escaping it whole gives, wherever the
// cut falls: every string of 6 bytes from those that matter to UTF-8, cut
// after the fourth.
TEST(JsonText, PiecesEscapeAsTheWholeText) {
  EXPECT_EQ(base64_text("\xff" "ab"), "/2Fi");
  EXPECT_EQ(base64_text("nl\nx.lvl"), "bmwKeC5sdmw=");
  const std::uint8_t alphabet[] = {'a', 0x80, 0xA0, 0xBF, 0xC2, 0xE0, 0xF0, 0xFF};
  const auto escaped = [](std::string_view text) {
    std::string out;
    json_escaped_pieces(text, [&](std::string_view piece) { out += piece; });
    return out;
  };
  std::string text(6, ' ');
  for (int n = 0; n < 8 * 8 * 8 * 8 * 8 * 8; ++n) {
    for (int i = 0, rest = n; i < 6; ++i, rest /= 8) text[i] = static_cast<char>(alphabet[rest % 8]);
    const std::size_t end = json_piece_end(text, 4);
    ASSERT_TRUE(end >= 1 && end <= 4);
    const std::string whole = escaped(text);
    ASSERT_EQ(escaped(text.substr(0, end)) + escaped(text.substr(end)), whole) << testing::PrintToString(text);
    ASSERT_NO_THROW(json::parse("\"" + whole + "\""));
  }
}

}  // namespace
