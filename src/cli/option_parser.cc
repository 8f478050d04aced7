#include "cli/option_parser.h"

#include "support/format_line.h"
#include "support/output_stream.h"

namespace {

constexpr const char* unknown_option = "unknown option '%s'";
constexpr const char* needs_one_argument = "option '%s' needs an argument";
constexpr const char* needs_two_arguments = "option '%s' needs two arguments";
constexpr const char* takes_no_argument = "option '%s' takes no argument";

status refused(const char* format, const std::string& text) { return status::failure(error_code::argument, format_line(format, text.c_str())); }

const option_spec* find_long(std::span<const option_spec> table, const std::string& name) {
  for (const option_spec& entry : table)
    if (name == entry.long_name) return &entry;
  return nullptr;
}

const option_spec* find_short(std::span<const option_spec> table, char name) {
  for (const option_spec& entry : table)
    if (entry.short_name != 0 && name == entry.short_name) return &entry;
  return nullptr;
}

}  // namespace

status parse_options(std::span<const option_spec> table, const std::vector<std::string>& arguments, const option_taker& take,
                     std::vector<std::string>& operands) {
  bool operands_only = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (operands_only || argument.size() < 2 || argument[0] != '-') {
      operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      operands_only = true;
      continue;
    }
    std::vector<std::string> taken;
    const option_spec* entry = nullptr;
    std::string name;
    if (argument[1] == '-') {
      const std::size_t equals = argument.find('=');
      name = argument.substr(0, equals);
      entry = find_long(table, name.substr(2));
      if (entry == nullptr) return refused(unknown_option, name);
      if (equals != std::string::npos) {
        if (entry->arguments == 0 && !entry->optional_value) return refused(takes_no_argument, name);
        taken.push_back(argument.substr(equals + 1));
      }
    } else {
      for (std::size_t j = 1; j < argument.size(); ++j) {
        name = std::string("-") + argument[j];
        entry = find_short(table, argument[j]);
        if (entry == nullptr) return refused(unknown_option, name);
        if (entry->arguments > 0) {
          if (j + 1 < argument.size()) taken.push_back(argument.substr(j + 1));
          break;
        }
        if (j + 1 == argument.size()) break;
        if (status s = take(*entry, {}); !s.is_ok()) return s;
        if (entry->ends_parsing) return status::ok();
      }
    }
    while (taken.size() < entry->arguments) {
      if (++i == arguments.size()) return refused(entry->arguments == 1 ? needs_one_argument : needs_two_arguments, name);
      taken.push_back(arguments[i]);
    }
    if (status s = take(*entry, taken); !s.is_ok()) return s;
    if (entry->ends_parsing) return status::ok();
  }
  return status::ok();
}

int usage_error(const char* program, const std::string& why) {
  print_error_line(format_line("%s: %s", program, why.c_str()));
  print_error_line(format_line("Try '%s --help' for more information.", program));
  return 2;
}
