#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "support/status.h"

// The command line of mapgraft-inspect and mapgraft-edit, read the GNU way:
// options and operands in any order until "--"; a long option's first
// argument may follow an '='; short options may be grouped, and one that
// takes an argument ends the group with it or takes the next word. A lone
// "-" is an operand.

struct option_spec {
  const char* long_name;
  char short_name;        // 0: none
  std::size_t arguments;  // 0, 1 or 2
  int id;
  bool ends_parsing = false;  // --help, --version: act at once, whatever follows
  bool optional_value = false;  // with no arguments: the long form may still take one after '='
};

using option_taker = std::function<status(const option_spec& option, const std::vector<std::string>& values)>;

// Calls `take` for each option in the order given and appends each operand
// to `operands`. The first failure, the parser's or `take`'s, ends it; its
// reason is the usage error's.
status parse_options(std::span<const option_spec> table, const std::vector<std::string>& arguments, const option_taker& take,
                     std::vector<std::string>& operands);

// The usage error: "PROGRAM: WHY", then the pointer to --help, on standard
// error. Returns the usage status, 2.
int usage_error(const char* program, const std::string& why);
