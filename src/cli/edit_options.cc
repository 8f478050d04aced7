#include "cli/edit_options.h"

#include <cstdint>
#include <limits>

#include "cli/chunk_arguments.h"
#include "cli/command_line.h"
#include "cli/edit_texts.h"
#include "cli/folder_maps.h"
#include "cli/option_parser.h"
#include "lib/change_checks.h"
#include "support/format_line.h"

namespace {

using values = std::vector<std::string>;

status refused(const char* format, const std::string& text) { return status::failure(error_code::argument, format_line(format, text.c_str())); }

// Past what any index can be, a number is a usage error, not a missing chunk.
status take_index(const std::string& text, std::uint64_t& index) {
  if (status s = parse_chunk_index(text, index); !s.is_ok()) return s;
  if (index == std::numeric_limits<std::uint64_t>::max()) return refused(index_too_large, text);
  return status::ok();
}

edit_operation operation(edit_operation::kind what) {
  edit_operation op{};
  op.what = what;
  return op;
}

status push(command& c, edit_operation op, std::optional<std::string> file = std::nullopt) {
  if (file && *file == "-") {
    if (c.reads_standard_input) return status::failure(error_code::argument, stdin_twice);
    c.reads_standard_input = true;
  }
  c.operations.push_back(std::move(op));
  c.files.push_back(std::move(file));
  return status::ok();
}

status take_add(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::add);
  if (status s = parse_chunk_type(v[0], op.type); !s.is_ok()) return s;
  return push(c, std::move(op), v[1]);
}

status take_set(command& c, const values& v) {
  const std::size_t equals = v[0].find('=');
  if (equals == std::string::npos) return refused(not_key_value, v[0]);
  edit_operation op = operation(edit_operation::kind::set);
  op.key = v[0].substr(0, equals);
  op.value = v[0].substr(equals + 1);
  if (status s = attribute_key_check(op.key); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_unset(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::unset);
  op.key = v[0];
  if (status s = attribute_key_check(op.key); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_remove(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::remove);
  std::vector<std::string> seen;  // without leading zeros, so that 3 and 03 are one index
  for (std::size_t start = 0;;) {
    const std::size_t comma = v[0].find(',', start);
    const std::string item = v[0].substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::uint64_t index = 0;
    if (status s = take_index(item, index); !s.is_ok()) return s;
    const std::string number = item.substr(std::min(item.find_first_not_of('0'), item.size() - 1));
    if (std::find(seen.begin(), seen.end(), number) != seen.end()) return refused(index_twice, number);
    seen.push_back(number);
    op.indexes.push_back(index);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return push(c, std::move(op));
}

status take_remove_type(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::remove_type);
  if (status s = parse_chunk_type(v[0], op.type); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_replace(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::replace);
  op.indexes.push_back(0);
  if (status s = take_index(v[0], op.indexes[0]); !s.is_ok()) return s;
  return push(c, std::move(op), v[1]);
}

status take_tileset(command& c, const values& v) { return push(c, operation(edit_operation::kind::tileset), v[0]); }

// A suffix to the map's own name, as cp --backup=simple and sed -i take it.
status take_backup(command& c, const values& v) {
  const std::string suffix = v.empty() ? "~" : v[0];
  if (suffix.empty() || suffix.find_first_of(backup_separators) != std::string::npos)
    return refused(backup_not_suffix, suffix);
  c.backup = suffix;
  return status::ok();
}

status take_output(command& c, const values& v) {
  if (c.output) return status::failure(error_code::argument, output_twice);
  c.output = v[0];
  return status::ok();
}

status take_import(command& c, const values& v) {
  if (c.import_table) return status::failure(error_code::argument, import_twice);
  if (v[0] == "-") {
    if (c.reads_standard_input) return status::failure(error_code::argument, stdin_twice);
    c.reads_standard_input = true;
  }
  c.import_table = v[0];
  return status::ok();
}

status take_copy_from(command& c, const values& v) {
  if (v[0] == "-") {
    if (c.reads_standard_input) return status::failure(error_code::argument, stdin_twice);
    c.reads_standard_input = true;
  }
  c.copy_sources.push_back({c.operations.size(), v[0], nullptr});
  return status::ok();
}

enum option_id { backup, progress, no_progress, copy_from, recursive, import, add, set, unset, remove, remove_type, replace, tileset, dry_run, output, force, verbose, quiet, help, version };

constexpr option_spec option_table[] = {
    {"recursive", 'r', 0, recursive},
    {"progress", 0, 0, progress},
    {"no-progress", 0, 0, no_progress},
    {"import", 0, 1, import},
    {"copy-from", 0, 1, copy_from},
    {"add", 0, 2, add},
    {"set", 0, 1, set},
    {"unset", 0, 1, unset},
    {"remove", 0, 1, remove},
    {"remove-type", 0, 1, remove_type},
    {"replace", 0, 2, replace},
    {"tileset", 0, 1, tileset},
    {"dry-run", 'n', 0, dry_run},
    {"output", 'o', 1, output},
    {"backup", 'b', 0, backup, false, true},
    {"force", 0, 0, force},
    {"verbose", 'v', 0, verbose},
    {"quiet", 'q', 0, quiet},
    {"help", 'h', 0, help, true},
    {"version", 0, 0, version, true},
};

status take_option(command& c, const option_spec& option, const values& v) {
  switch (option.id) {
    case recursive: c.recursive = true; break;
    case progress: c.progress = progress_choice::forced; break;
    case no_progress: c.progress = progress_choice::off; break;
    case import: return take_import(c, v);
    case copy_from: return take_copy_from(c, v);
    case add: return take_add(c, v);
    case set: return take_set(c, v);
    case unset: return take_unset(c, v);
    case remove: return take_remove(c, v);
    case remove_type: return take_remove_type(c, v);
    case replace: return take_replace(c, v);
    case tileset: return take_tileset(c, v);
    case dry_run: c.dry_run = true; break;
    case output: return take_output(c, v);
    case backup: return take_backup(c, v);
    case force: c.force = true; break;
    // Whichever of --verbose and --quiet comes last holds.
    case verbose: c.verbose = true; c.quiet = false; break;
    case quiet: c.quiet = true; c.verbose = false; break;
    case help: c.help = true; break;
    case version: c.version = true; break;
  }
  return status::ok();
}

void expand_folders(command& c) {
  std::vector<std::string> maps;
  for (std::string& path : c.maps) {
    if (!is_folder(path)) {
      maps.push_back(std::move(path));
      c.map_failures.emplace_back();
      continue;
    }
    for (folder_item& item : folder_maps(path)) {
      maps.push_back(std::move(item.path));
      c.map_failures.push_back(std::move(item.failure));
    }
  }
  c.maps = std::move(maps);
}

}  // namespace

status edit_command_parse(const std::vector<std::string>& arguments, command& c) {
  const auto take = [&c](const option_spec& option, const values& v) { return take_option(c, option, v); };
  if (status s = parse_options(option_table, arguments, take, c.maps); !s.is_ok()) return s;
  if (c.help || c.version) return status::ok();

  if (std::find(c.maps.begin(), c.maps.end(), "-") != c.maps.end()) return status::failure(error_code::argument, stdin_as_map);
  if (c.backup && c.output) return status::failure(error_code::argument, backup_with_output);
  if (c.import_table) {
    if (c.output) return status::failure(error_code::argument, import_with_output);
    if (!c.maps.empty()) return status::failure(error_code::argument, import_with_maps);
    return status::ok();
  }
  // With -o and no operation, the map is converted or copied.
  if (c.operations.empty() && c.copy_sources.empty() && !c.output) return status::failure(error_code::argument, no_operation);
  if (c.maps.empty()) return status::failure(error_code::argument, no_map);
  c.maps = expand_wildcards(c.maps);
  if (c.recursive) expand_folders(c);
  if (c.output && c.maps.size() != 1)
    return status::failure(error_code::argument, format_line(output_needs_one_map, static_cast<unsigned long long>(c.maps.size())));
  return status::ok();
}
