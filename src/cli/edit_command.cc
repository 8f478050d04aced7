#include "cli/edit_command.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "cli/command_line.h"
#include "cli/edit_texts.h"
#include "support/format_line.h"

namespace {

using values = std::vector<std::string>;

status refused(const char* format, const std::string& text) { return status::failure(format_line(format, text.c_str())); }

status take_type(const std::string& text, std::uint8_t type[4]) {
  if (text.empty() || text.size() > 4) return refused(bad_type, text);
  std::memset(type, 0, 4);
  std::memcpy(type, text.data(), text.size());
  return status::ok();
}

status take_key(const std::string& key) {
  if (key.empty() || key.find('=') != std::string::npos) return refused(bad_key, key);
  return status::ok();
}

// Digits only: a sign, a space or a suffix is a usage error rather than a
// chunk that is not there, and so is a number no index could ever be.
status take_index(const std::string& text, std::uint64_t& index) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return refused(bad_index, text);
  constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
  index = 0;
  for (const char c : text) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (index > (most - digit) / 10) return refused(index_too_large, text);
    index = index * 10 + digit;
  }
  return status::ok();
}

edit_operation operation(edit_operation::kind what) {
  edit_operation op{};
  op.what = what;
  return op;
}

status push(command& c, edit_operation op, std::optional<std::string> file = std::nullopt) {
  if (file && *file == "-") {
    if (c.reads_standard_input) return status::failure(stdin_twice);
    c.reads_standard_input = true;
  }
  c.operations.push_back(std::move(op));
  c.files.push_back(std::move(file));
  return status::ok();
}

status take_add(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::add);
  if (status s = take_type(v[0], op.type); !s.is_ok()) return s;
  return push(c, std::move(op), v[1]);
}

status take_set(command& c, const values& v) {
  const std::size_t equals = v[0].find('=');
  if (equals == std::string::npos) return refused(not_key_value, v[0]);
  edit_operation op = operation(edit_operation::kind::set);
  op.key = v[0].substr(0, equals);
  op.value = v[0].substr(equals + 1);
  if (status s = take_key(op.key); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_unset(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::unset);
  op.key = v[0];
  if (status s = take_key(op.key); !s.is_ok()) return s;
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
  if (status s = take_type(v[0], op.type); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_replace(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::replace);
  op.indexes.push_back(0);
  if (status s = take_index(v[0], op.indexes[0]); !s.is_ok()) return s;
  return push(c, std::move(op), v[1]);
}

status take_tileset(command& c, const values& v) { return push(c, operation(edit_operation::kind::tileset), v[0]); }

status take_output(command& c, const values& v) {
  if (c.output) return status::failure(output_twice);
  if (v[0] == "-") return status::failure(stdin_as_output);
  c.output = v[0];
  return status::ok();
}

struct option_entry {
  const char* long_name;
  char short_name;  // 0: none
  std::size_t arguments;
  status (*take)(command&, const values&);
};

constexpr option_entry option_table[] = {
    {"add", 0, 2, take_add},
    {"set", 0, 1, take_set},
    {"unset", 0, 1, take_unset},
    {"remove", 0, 1, take_remove},
    {"remove-type", 0, 1, take_remove_type},
    {"replace", 0, 2, take_replace},
    {"tileset", 0, 1, take_tileset},
    {"dry-run", 'n', 0, [](command& c, const values&) { c.dry_run = true; return status::ok(); }},
    {"output", 'o', 1, take_output},
    {"force", 0, 0, [](command& c, const values&) { c.force = true; return status::ok(); }},
    // Whichever of --verbose and --quiet comes last holds.
    {"verbose", 'v', 0, [](command& c, const values&) { c.verbose = true;
       c.quiet = false;
       return status::ok(); }},
    {"quiet", 'q', 0, [](command& c, const values&) { c.quiet = true;
       c.verbose = false;
       return status::ok(); }},
    {"help", 'h', 0, [](command& c, const values&) { c.help = true; return status::ok(); }},
    {"version", 0, 0, [](command& c, const values&) { c.version = true; return status::ok(); }},
};

const option_entry* find_long(const std::string& name) {
  for (const option_entry& entry : option_table)
    if (name == entry.long_name) return &entry;
  return nullptr;
}

const option_entry* find_short(char name) {
  for (const option_entry& entry : option_table)
    if (entry.short_name != 0 && name == entry.short_name) return &entry;
  return nullptr;
}

// GNU conventions: options and operands in any order until "--"; a long
// option's first argument may follow an '='; short options may be grouped,
// and one that takes an argument ends the group with it or takes the next.
// --help and --version act as soon as they are met.
}  // namespace

status edit_command_parse(const std::vector<std::string>& arguments, command& c) {
  bool operands_only = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (operands_only || argument.size() < 2 || argument[0] != '-') {
      c.maps.push_back(argument);
      continue;
    }
    if (argument == "--") {
      operands_only = true;
      continue;
    }
    values taken;
    const option_entry* entry = nullptr;
    std::string name;
    if (argument[1] == '-') {
      const std::size_t equals = argument.find('=');
      name = argument.substr(0, equals);
      entry = find_long(name.substr(2));
      if (entry == nullptr) return refused(unknown_option, name);
      if (equals != std::string::npos) {
        if (entry->arguments == 0) return refused(takes_no_argument, name);
        taken.push_back(argument.substr(equals + 1));
      }
    } else {
      for (std::size_t j = 1; j < argument.size(); ++j) {
        name = std::string("-") + argument[j];
        entry = find_short(argument[j]);
        if (entry == nullptr) return refused(unknown_option, name);
        if (entry->arguments > 0) {
          if (j + 1 < argument.size()) taken.push_back(argument.substr(j + 1));
          break;
        }
        if (j + 1 == argument.size()) break;
        if (status s = entry->take(c, {}); !s.is_ok()) return s;
        if (c.help || c.version) return status::ok();
      }
    }
    while (taken.size() < entry->arguments) {
      if (++i == arguments.size()) return refused(entry->arguments == 1 ? needs_one_argument : needs_two_arguments, name);
      taken.push_back(arguments[i]);
    }
    if (status s = entry->take(c, taken); !s.is_ok()) return s;
    if (c.help || c.version) return status::ok();
  }

  if (std::find(c.maps.begin(), c.maps.end(), "-") != c.maps.end()) return status::failure(stdin_as_map);
  if (c.operations.empty()) return status::failure(no_operation);
  if (c.maps.empty()) return status::failure(no_map);
  c.maps = expand_wildcards(c.maps);
  if (c.output && c.maps.size() != 1)
    return status::failure(format_line(output_needs_one_map, static_cast<unsigned long long>(c.maps.size())));
  return status::ok();
}
