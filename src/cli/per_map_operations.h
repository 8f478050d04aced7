#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cli/attribute_table.h"
#include "lib/format_terms.h"
#include "lib/map_file.h"
#include "support/status.h"

struct command;

// --copy-from SOURCE: read once before the first map and kept for the run,
// so that every map refers to its chunks instead of copying them.
struct copy_source {
  std::size_t position = 0;  // the operations before it
  std::string path;
  std::shared_ptr<map_file> map;
};

// Reads each --copy-from SOURCE from the bytes `read` gives; a SOURCE that
// cannot be read, is no map or is damaged (without --force) ends the run.
status copy_sources_read(command& c, const std::function<status(const std::string&, std::span<const std::uint8_t>&)>& read);

// The operations for one map, given the map as read: a row's attributes
// first, then the command line's, each --copy-from where it was given: the
// SOURCE's attributes set as --set sets them, then each chunk of another type
// that the map does not hold with the same bytes, appended.
std::vector<edit_operation> per_map_operations(const command& c, const level_image& image, const attribute_row* row);
