#include "cli/inspector.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/binary_output.h"
#include "cli/chunk_arguments.h"
#include "lib/change_checks.h"
#include "cli/command_line.h"
#include "cli/csv_text.h"
#include "cli/folder_maps.h"
#include "cli/progress_line.h"
#include "cli/inspect_input.h"
#include "cli/inspect_report.h"
#include "cli/option_parser.h"
#include "lib/map_file.h"
#include "mapgraft.h"
#include "support/byte_order.h"
#include "support/mapped_file.h"
#include "support/output_stream.h"
#include "support/replacement_file.h"
#include "support/shell_quote.h"
#include "support/standard_streams.h"
#include "support/status.h"
#include "support/utf8.h"

#ifndef MAPGRAFT_VERSION
#error "MAPGRAFT_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* program = "mapgraft-inspect";

constexpr const char* help_text =
    "Usage: mapgraft-inspect [OPTION]... MAP...\n"
    "       mapgraft-inspect [OPTION]... MAP INDEX\n"
    "Lists what tarvex maps (.lvl) hold, or with an INDEX writes the data of that\n"
    "chunk (counted from 0, as listed) to standard output. The maps are only read.\n"
    "With several maps, each report starts with a line '==> MAP <=='.\n"
    "\n"
    "  -r, --recursive        a MAP that is a folder stands for every .lvl file in\n"
    "                           it and below it, hidden ones too\n"
    "      --json             list each map as one line of JSON\n"
    "      --csv              list the maps' attributes as one CSV table: a row a\n"
    "                           map, a column a key\n"
    "      --tileset          write the map's own bitmap as a .bmp file\n"
    "      --get KEY          print the value of the first ATTR chunk of KEY, as\n"
    "                           'MAP: VALUE' with several maps\n"
    "      --keys             list the keys of the ATTR chunks, in chunk order\n"
    "  -o, --output FILE      write the chunk or the tileset to FILE, a new file;\n"
    "                           '-' is standard output\n"
    "      --progress, --no-progress\n"
    "                         show how far a run of several maps is on standard\n"
    "                           error when it is a terminal, or never\n"
    "  -h, --help             print this help and exit\n"
    "      --version          print the version and exit\n"
    "\n"
    "A second argument that is a plain decimal number is a chunk INDEX (./3 names a\n"
    "map called 3). Without -o, the tileset and chunks that are not printable text\n"
    "are not written to a terminal. On a terminal, and with several maps, control\n"
    "characters in keys and values are shown as '?'.\n"
    "\n"
    "Exit status: 0 every map was read without damage, 1 a map cannot be read, is\n"
    "damaged, lacks the chunk or key asked for, or output failed, 2 usage, 3 out\n"
    "of memory.\n";

constexpr const char* version_text = "mapgraft-inspect (mapgraft) " MAPGRAFT_VERSION "\n";

constexpr const char* csv_name_refused =
    "%s: the name is not UTF-8 text that a CSV cell can hold (--json holds it exactly)";
constexpr const char* csv_value_refused =
    "%s: attribute %s is not UTF-8 text that a CSV cell can hold, or holds a zero byte (--json holds it exactly)";
constexpr const char* csv_empty_value =
    "mapgraft-inspect: warning: %s: attribute %s is empty, which a CSV table cannot set again (--json can)";

enum exit_status { read_whole = 0, failed = 1, usage = 2 };

enum class mode { report, json, csv, tileset, get, keys };

struct inspect_command {
  mode what = mode::report;
  const char* mode_option = nullptr;
  std::string key;
  std::optional<std::string> output;
  bool recursive = false;
  progress_choice progress = progress_choice::automatic;
  bool help = false;
  bool version = false;
  std::vector<std::string> operands;
};

enum option_id { progress, no_progress, recursive, json, csv, tileset, get, keys, output, help, version };

constexpr option_spec option_table[] = {
    {"progress", 0, 0, progress}, {"no-progress", 0, 0, no_progress}, {"recursive", 'r', 0, recursive}, {"json", 0, 0, json},   {"csv", 0, 0, csv},         {"tileset", 0, 0, tileset}, {"get", 0, 1, get},           {"keys", 0, 0, keys},
    {"output", 'o', 1, output}, {"help", 'h', 0, help, true}, {"version", 0, 0, version, true},
};

status take_mode(inspect_command& c, mode what, const char* name) {
  if (c.mode_option != nullptr && c.what != what)
    return status::failure(error_code::argument, format_line("options '%s' and '%s' cannot be combined", c.mode_option, name));
  c.what = what;
  c.mode_option = name;
  return status::ok();
}

status take_option(inspect_command& c, const option_spec& option, const std::vector<std::string>& values) {
  switch (option.id) {
    case recursive: c.recursive = true; break;
    case progress: c.progress = progress_choice::forced; break;
    case no_progress: c.progress = progress_choice::off; break;
    case json: return take_mode(c, mode::json, "--json");
    case csv: return take_mode(c, mode::csv, "--csv");
    case tileset: return take_mode(c, mode::tileset, "--tileset");
    case keys: return take_mode(c, mode::keys, "--keys");
    case get:
      if (status s = attribute_key_check(values[0]); !s.is_ok()) return s;
      c.key = values[0];
      return take_mode(c, mode::get, "--get");
    case output:
      if (c.output) return status::failure(error_code::argument, "option '--output' is given more than once");
      c.output = values[0];
      break;
    case help: c.help = true; break;
    case version: c.version = true; break;
  }
  return status::ok();
}

// MAP INDEX: two operands whose second is a plain decimal number.
bool extracts_a_chunk(const inspect_command& c) {
  return c.what == mode::report && c.operands.size() == 2 && is_plain_decimal(c.operands[1]);
}

status check_command(const inspect_command& c) {
  if (c.operands.empty()) return status::failure(error_code::argument, "no map given");
  if (c.what == mode::tileset && c.operands.size() > 1) return status::failure(error_code::argument, "too many arguments");
  if (c.output && c.what != mode::tileset && !extracts_a_chunk(c))
    return status::failure(error_code::argument, "--output takes a chunk INDEX or --tileset");
  return status::ok();
}

int complain(const std::string& why) {
  print_error_line(format_line("%s: %s", program, why.c_str()));
  return failed;
}

int output_failed(const std::string& why) { return complain(format_line("cannot write standard output: %s", why.c_str())); }

// Whether the report reached standard output whole.
bool report_written(std::string& why) {
  output_stream& out = standard_output();
  out.flush();
  if (out.error() == 0) return true;
  why = system_error_text(out.error());
  return false;
}

int damaged(const std::string& path) { return complain(format_line("%s: damaged metadata block", quoted_name(path).c_str())); }

// One map done, however its iteration ends.
struct progress_step {
  ~progress_step() { run_progress().done_one(false); }
};

// head(1)'s way with several files: a header before each report, and a
// blank line between them.
int list(const std::vector<std::string>& paths) {
  int result = read_whole;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const progress_step step;
    const std::string& path = paths[i];
    map_input input;
    map_file map;
    text_inspection report;
    if (status s = open_map(path, input); !s.is_ok()) {
      result = complain(s.why());
      continue;
    }
    if (paths.size() > 1) standard_output().write((i == 0 ? "==> " : "\n==> ") + shown_name(path) + " <==\n");
    if (status s = read_opened(path, input, map, report); !s.is_ok()) {
      result = complain(s.why());
      continue;
    }
    report.finish(map.image());
    if (std::string why; !report_written(why)) return output_failed(why);
    if (report.damaged()) result = damaged(path);
  }
  if (std::string why; !report_written(why)) return output_failed(why);
  return result;
}

// Maps that cannot be read or are damaged say so in their line only:
// standard error is left for what stops the whole run.
int list_json(const std::vector<std::string>& paths) {
  bool all_whole = true;
  for (const std::string& path : paths) {
    const progress_step step;
    map_input input;
    map_file map;
    json_inspection report(path);
    if (status s = read_map(path, input, map, report); !s.is_ok()) {
      report.failed(s.why());
      all_whole = false;
    } else {
      report.finish(map.image(), input.bytes().size());
      all_whole = all_whole && !report.damaged();
    }
    if (std::string why; !report_written(why)) return output_failed(why);
  }
  return all_whole ? read_whole : failed;
}

// A map for its attributes, or the failure told, as the attribute listings take it.
int read_attributes(const std::string& path, map_input& input, map_file& map, attribute_inspection& report) {
  if (status s = read_map(path, input, map, report); !s.is_ok()) return complain(s.why());
  if (report.damaged()) return damaged(path);
  return read_whole;
}

bool is_cell_text(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8_sequence_length(text, at);
    if (length == 0 || text[at] == '\0') return false;
    at += length;
  }
  return true;
}

// One table for all the maps, so the header, which names every key, waits
// for the last map; a map whose attributes a cell cannot hold has no row.
int list_csv(const std::vector<std::string>& paths) {
  struct row {
    std::string path;
    std::vector<std::pair<std::size_t, std::string>> cells;  // by column
  };
  std::vector<row> rows;
  std::vector<std::string> keys;
  std::unordered_map<std::string, std::size_t> columns;
  int result = read_whole;
  for (const std::string& path : paths) {
    const progress_step step;
    map_input input;
    map_file map;
    attribute_inspection report;
    if (const int read = read_attributes(path, input, map, report); read != read_whole) {
      result = read;
      continue;
    }
    if (!is_cell_text(path)) {
      result = complain(format_line(csv_name_refused, quoted_name(path).c_str()));
      continue;
    }
    const auto refused = std::find_if(report.attributes().begin(), report.attributes().end(),
                                      [](const attribute& a) { return !is_cell_text(a.key) || !is_cell_text(a.value); });
    if (refused != report.attributes().end()) {
      result = complain(format_line(csv_value_refused, quoted_name(path).c_str(), quoted_name(refused->key).c_str()));
      continue;
    }
    row r{path, {}};
    for (const attribute& a : report.attributes()) {
      if (a.value.empty())
        print_error_line(format_line(csv_empty_value, quoted_name(path).c_str(), quoted_name(a.key).c_str()));
      const auto [column, added] = columns.emplace(std::string(a.key), keys.size());
      if (added) keys.emplace_back(a.key);
      r.cells.emplace_back(column->second, a.value);
    }
    rows.push_back(std::move(r));
  }
  // The table's CR LF are its own.
  standard_output_untranslated();
  output_stream& out = standard_output();
  out.write("file");
  for (const std::string& key : keys) {
    out.put(',');
    out.write(csv_cell(key));
  }
  out.write("\r\n");
  std::vector<const std::string*> line(keys.size());
  for (const row& r : rows) {
    std::fill(line.begin(), line.end(), nullptr);
    for (const auto& [column, value] : r.cells) line[column] = &value;
    out.write(csv_cell(r.path));
    for (const std::string* value : line) {
      out.put(',');
      if (value != nullptr) out.write(csv_cell(*value));
    }
    out.write("\r\n");
  }
  if (std::string why; !report_written(why)) return output_failed(why);
  return result;
}

// A key or a value that could forge a line, or drive a terminal, has its
// control bytes shown as '?'.
std::string shown_text(std::string_view text, bool sanitized) {
  if (!sanitized) return std::string(text);
  std::string out;
  // printable_pieces ends at a zero byte, a control byte like the others here.
  for (std::size_t start = 0;;) {
    const std::size_t zero = text.find('\0', start);
    const std::string_view part = text.substr(start, zero == std::string_view::npos ? zero : zero - start);
    printable_pieces(reinterpret_cast<const std::uint8_t*>(part.data()), part.size(),
                     [&out](std::string_view piece) { out += piece; });
    if (zero == std::string_view::npos) return out;
    out += '?';
    start = zero + 1;
  }
}

// --get and --keys: one line a value or key, after "MAP: " with several maps.
int list_attributes(const inspect_command& c, const std::vector<std::string>& paths) {
  const bool several = paths.size() > 1;
  const bool sanitized = several || standard_output_is_terminal();
  int result = read_whole;
  output_stream& out = standard_output();
  for (const std::string& path : paths) {
    const progress_step step;
    map_input input;
    map_file map;
    attribute_inspection report;
    if (const int read = read_attributes(path, input, map, report); read != read_whole) {
      result = read;
      continue;
    }
    const std::string prefix = several ? shown_name(path) + ": " : "";
    bool found = false;
    for (const attribute& a : report.attributes()) {
      if (c.what == mode::get && a.key != c.key) continue;
      out.write(prefix + shown_text(c.what == mode::get ? a.value : a.key, sanitized) + "\n");
      found = true;
    }
    // With hundreds of maps, the status alone would not tell which lacked it.
    if (c.what == mode::get && !found)
      result = complain(format_line("%s has no attribute %s", quoted_name(path).c_str(), quoted_name(c.key).c_str()));
    if (std::string why; !report_written(why)) return output_failed(why);
  }
  return result;
}

// Data for standard output, when it is the map's own file (a '>>' to it),
// would change the map the inspector only reads: refused, as cat does.
bool writes_into_map(const inspect_command& c, const std::string& path) {
  return (!c.output || *c.output == "-") && path != "-" && standard_output_is_file(path.c_str());
}

int input_is_output(const std::string& path) {
  return complain(format_line("%s: input file is output file", quoted_name(path).c_str()));
}

// Extracted data go to -o's new file, or standard output: not to a terminal
// unless they are printable text or -o - asks for them.
int write_data(const inspect_command& c, const std::string& path, std::span<const std::uint8_t> bytes, bool always_binary) {
  if (c.output && *c.output != "-") {
    replacement_file file;
    status s = file.begin_new(c.output->c_str(), path.c_str());
    if (s.is_ok()) s = file.write(bytes);
    if (s.is_ok()) s = file.commit();
    if (!s.is_ok()) return complain(format_line("cannot write %s: %s", quoted_name(*c.output).c_str(), s.why().c_str()));
    return read_whole;
  }
  if (!c.output && standard_output_is_terminal() && (always_binary || !is_printable_text(bytes)))
    return complain("not writing binary data to a terminal; use -o FILE or a redirect");
  if (status s = write_binary_output(bytes); !s.is_ok()) return output_failed(s.why());
  return read_whole;
}

// A damaged map writes nothing, so that data on standard output always come
// with status 0.
int extract(const inspect_command& c) {
  const std::string& path = c.operands[0];
  const std::string& index_text = c.operands[1];
  std::uint64_t index = 0;
  if (status s = parse_chunk_index(index_text, index); !s.is_ok()) return usage_error(program, s.why());
  if (writes_into_map(c, path)) return input_is_output(path);
  map_input input;
  map_file map;
  quiet_inspection report(index);
  if (status s = read_map(path, input, map, report); !s.is_ok()) return complain(s.why());
  if (report.damaged()) return damaged(path);
  const std::uint8_t* record = report.wanted_record();
  if (record == nullptr) return complain(format_line("%s has no chunk %s", quoted_name(path).c_str(), index_text.c_str()));
  return write_data(c, path, {record + chunk_header_size, read_u32le(record + 4)}, false);
}

// The bitmap as a file of its own (map_file::tileset()).
int write_tileset(const inspect_command& c, const std::string& path) {
  if (writes_into_map(c, path)) return input_is_output(path);
  map_input input;
  map_file map;
  quiet_inspection report;
  if (status s = read_map(path, input, map, report); !s.is_ok()) return complain(s.why());
  if (report.damaged()) return damaged(path);
  if (map.tileset().empty()) return complain(format_line("%s has no tileset of its own", quoted_name(path).c_str()));
  return write_data(c, path, map.tileset(), true);
}

int list_maps(const inspect_command& c, const std::vector<std::string>& maps) {
  switch (c.what) {
    case mode::json: return list_json(maps);
    case mode::csv: return list_csv(maps);
    case mode::tileset:
      if (maps.size() != 1) return usage_error(program, maps.empty() ? "no map given" : "too many arguments");
      return write_tileset(c, maps[0]);
    case mode::get:
    case mode::keys: return list_attributes(c, maps);
    case mode::report: break;
  }
  return list(maps);
}


int show(const char* text) {
  // Help that cannot be shown is a failure like any other lost output.
  standard_output().write(text);
  if (std::string why; !report_written(why)) return output_failed(why);
  return read_whole;
}

}  // namespace

int mapgraft_inspect_main(int argc, char** argv) {
  standard_streams_prepare();
  if (argc <= 1) return show(help_text) == read_whole ? usage : failed;
  inspect_command c;
  const auto take = [&c](const option_spec& option, const std::vector<std::string>& values) {
    return take_option(c, option, values);
  };
  if (status s = parse_options(option_table, std::vector<std::string>(argv + 1, argv + argc), take, c.operands); !s.is_ok())
    return usage_error(program, s.why());
  if (c.help || c.version) return show(c.help ? help_text : version_text);
  if (status s = check_command(c); !s.is_ok()) return usage_error(program, s.why());
  if (extracts_a_chunk(c)) return extract(c);
  std::vector<std::string> maps;
  bool folders_read = true;
  for (std::string& path : expand_wildcards(c.operands)) {
    if (!c.recursive || !is_folder(path)) {
      maps.push_back(std::move(path));
      continue;
    }
    for (folder_item& item : folder_maps(path)) {
      if (item.failure.empty()) maps.push_back(std::move(item.path));
      else folders_read = complain(format_line("cannot read the folder %s: %s", quoted_name(item.path).c_str(),
                                               item.failure.c_str())) == read_whole;
    }
  }
  if (maps.empty() && !folders_read) return failed;
  start_run_progress(program, maps.size(), c.progress);
  const int listed = list_maps(c, maps);
  run_progress().erase();
  return folders_read ? listed : failed;
}
