#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/status.h"

// A table of attributes read back for mapgraft-edit --import: JSON Lines as
// mapgraft-inspect --json writes them (a line's "file", or "file_bytes" where
// that is not null, and its "attrs"; every other field is ignored), or CSV as
// mapgraft-inspect --csv writes it (a header "file,KEY,...", then a row a
// map). A table whose first byte that is not white space is '{' is JSON.
//
// A row is the whole set of ATTR attributes its map is to have.
struct attribute_row {
  std::size_t line = 0;  // where the row starts in the table, from 1
  std::string file;      // the map, a path as given, relative to the current folder
  bool changes_attrs = true;  // false for JSON "attrs": null, which changes nothing
  std::vector<std::pair<std::string, std::string>> values;  // in the row's order
  // CSV's empty cells: an empty value cannot be told from a missing one, so
  // such a key is unset only where the map's first value is not empty.
  std::vector<std::string> blanks;
};

// Reads and checks the whole table. The first fault is refused with its
// line: "line 3: ..."; nothing is returned then.
status attribute_table_read(std::string_view text, std::vector<attribute_row>& rows);
