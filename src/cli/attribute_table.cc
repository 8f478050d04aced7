#include "cli/attribute_table.h"

#include <nlohmann/json.hpp>
#include <unordered_set>

#include "lib/change_checks.h"
#include "cli/csv_text.h"
#include "support/format_line.h"
#include "support/shell_quote.h"
#ifdef _WIN32
#include <windows.h>

#include "support/utf8.h"
#endif

namespace {

using ordered_json = nlohmann::ordered_json;

status at_line(std::size_t line, const std::string& why) {
  return status::failure(error_code::argument, format_line("line %llu: %s", static_cast<unsigned long long>(line), why.c_str()));
}

// U+FFFD is what --json writes for bytes that are not UTF-8, and \u0000 a
// zero byte: neither gives the map's bytes back, so neither is written back.
constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

status check_pair(const std::string& key, const std::string& value) {
  if (status s = attribute_key_check(key); !s.is_ok()) return s;
  for (const std::string* text : {&key, &value}) {
    if (text->find('\0') != std::string::npos)
      return status::failure(error_code::argument, format_line("attribute '%s' holds a zero byte, which a table cannot give back", key.c_str()));
    if (text->find(replacement_character) != std::string::npos)
      return status::failure(error_code::argument, format_line(
          "attribute '%s' holds U+FFFD, which stands for bytes that are not UTF-8; edit that map with --set", key.c_str()));
  }
  return status::ok();
}

bool base64_decode(const std::string& text, std::string& bytes) {
  if (text.size() % 4 != 0) return false;
  std::uint32_t bits = 0;
  int count = 0;
  std::size_t padding = 0;
  for (const char c : text) {
    int value = -1;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else if (c == '=') value = 0, ++padding;
    if (value < 0 || (padding > 0 && c != '=') || padding > 2) return false;
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    if (++count % 4 == 0)
      for (int shift = 16; shift >= 0; shift -= 8) bytes += static_cast<char>(bits >> shift & 0xff);
  }
  bytes.resize(bytes.size() - padding);
  return true;
}

status json_row(std::string_view text, std::size_t line, attribute_row& row) {
  const ordered_json object = ordered_json::parse(text, nullptr, false);
  if (object.is_discarded()) return at_line(line, "not valid JSON");
  if (!object.is_object()) return at_line(line, "not a JSON object");
  row.line = line;
  const auto file = object.find("file");
  if (file == object.end() || !file->is_string()) return at_line(line, "\"file\" is missing or not a string");
  row.file = file->get<std::string>();
  if (const auto bytes = object.find("file_bytes"); bytes != object.end() && !bytes->is_null()) {
    row.file.clear();
    if (!bytes->is_string() || !base64_decode(bytes->get<std::string>(), row.file))
      return at_line(line, "\"file_bytes\" is neither null nor base64");
  }
  const auto attrs = object.find("attrs");
  if (attrs == object.end() || !(attrs->is_object() || attrs->is_null()))
    return at_line(line, "\"attrs\" is neither an object nor null");
  row.changes_attrs = attrs->is_object();
  if (!row.changes_attrs) return status::ok();
  for (const auto& [key, value] : attrs->items()) {
    if (!value.is_string()) return at_line(line, format_line("the value of '%s' is not a string", key.c_str()));
    if (status s = check_pair(key, value.get<std::string>()); !s.is_ok()) return at_line(line, s.why());
    row.values.emplace_back(key, value.get<std::string>());
  }
  return status::ok();
}

status json_table(std::string_view text, std::vector<attribute_row>& rows) {
  std::size_t line = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view content = text.substr(start, end - start);
    ++line;
    start = end + 1;
    if (content.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    attribute_row row;
    if (status s = json_row(content, line, row); !s.is_ok()) return s;
    rows.push_back(std::move(row));
  }
  return status::ok();
}

status csv_table(std::string_view text, std::vector<attribute_row>& rows) {
  std::vector<csv_row> table;
  if (status s = csv_rows(text, table); !s.is_ok()) return s;
  if (table.empty() || table[0].cells[0] != "file") return at_line(1, "the header does not start with the cell 'file'");
  const std::vector<std::string>& keys = table[0].cells;
  std::unordered_set<std::string> seen;
  for (std::size_t k = 1; k < keys.size(); ++k) {
    if (status s = check_pair(keys[k], ""); !s.is_ok()) return at_line(1, s.why());
    if (!seen.insert(keys[k]).second) return at_line(1, format_line("the header names '%s' twice", keys[k].c_str()));
  }
  for (std::size_t r = 1; r < table.size(); ++r) {
    const csv_row& cells = table[r];
    if (cells.cells.size() != keys.size())
      return at_line(cells.line, format_line("%llu cells, but the header has %llu",
                                             static_cast<unsigned long long>(cells.cells.size()),
                                             static_cast<unsigned long long>(keys.size())));
    attribute_row row;
    row.line = cells.line;
    row.file = cells.cells[0];
    for (std::size_t k = 1; k < keys.size(); ++k) {
      const std::string& value = cells.cells[k];
      if (value.empty()) {
        row.blanks.push_back(keys[k]);
        continue;
      }
      if (status s = check_pair(keys[k], value); !s.is_ok()) return at_line(cells.line, s.why());
      row.values.emplace_back(keys[k], value);
    }
    rows.push_back(std::move(row));
  }
  return status::ok();
}

// Windows names one file with any letter case.
#ifdef _WIN32
constexpr const char* letter_case_note = " (letter case aside)";
#else
constexpr const char* letter_case_note = "";
#endif

std::string same_file_key(const std::string& path) {
#ifdef _WIN32
  std::u16string wide = utf16_from_utf8(path);
  if (!wide.empty()) CharUpperBuffW(reinterpret_cast<wchar_t*>(wide.data()), static_cast<DWORD>(wide.size()));
  return utf8_from_utf16(wide);
#else
  return path;
#endif
}

}  // namespace

status attribute_table_read(std::string_view text, std::vector<attribute_row>& rows) {
  rows.clear();
  const std::string_view body = text.substr(text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  const bool json = first != std::string_view::npos && body[first] == '{';
  if (status s = json ? json_table(body, rows) : csv_table(text, rows); !s.is_ok()) {
    rows.clear();
    return s;
  }
  std::unordered_set<std::string> files;
  for (const attribute_row& row : rows) {
    if (row.file.empty()) return at_line(row.line, "no map named");
    if (!files.insert(same_file_key(row.file)).second) {
      const std::size_t line = row.line;
      const std::string name = quoted_name(row.file);
      rows.clear();
      return at_line(line, format_line("%s is named on an earlier row too%s", name.c_str(), letter_case_note));
    }
  }
  return status::ok();
}
