#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cli/attribute_table.h"
#include "cli/per_map_operations.h"
#include "cli/progress_line.h"
#include "lib/format_terms.h"
#include "support/status.h"

// The command line, understood.
struct command {
  std::vector<edit_operation> operations;
  std::vector<std::optional<std::string>> files;  // each operation's FILE
  std::vector<std::string> maps;
  std::optional<std::string> output;
  std::optional<std::string> backup;  // the suffix of each replaced map's backup
  std::optional<std::string> import_table;  // --import TABLE: its rows name the maps
  std::vector<attribute_row> rows;
  std::vector<copy_source> copy_sources;  // by position among the operations           // by map, once the table is read
  // With -r, a folder's maps; an entry's text in failures, where not empty,
  // is why that folder cannot be read.
  std::vector<std::string> map_failures;
  bool recursive = false;
  progress_choice progress = progress_choice::automatic;
  bool dry_run = false;
  bool force = false;
  bool verbose = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
  bool reads_standard_input = false;

  bool writes_standard_output() const { return output && *output == "-"; }

  bool has_index_operations() const {
    return std::any_of(operations.begin(), operations.end(), [](const edit_operation& op) {
      return op.what == edit_operation::kind::remove || op.what == edit_operation::kind::replace;
    });
  }
};

// Reads mapgraft-edit's arguments, without the program's name, into `c`.
status edit_command_parse(const std::vector<std::string>& arguments, command& c);
