#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/attribute_table.h"

// What a row of --import, or a --copy-from SOURCE's attributes, change in
// one map, from the map's attributes as read: each key's first value, in
// chunk order.
struct map_attribute {
  std::string key;
  std::string value;
};

struct attribute_change {
  std::string key;
  std::optional<std::string> value;  // none: unset the key
};

// The row is the whole set of attributes the map is to have. A key whose
// first value already is the row's is left alone, later chunks of it
// included, so that a table exported and imported changes nothing; the rest
// of the row is set, in the row's order, then each key the map has and the
// row lacks is unset (CSV's blank cells only where the value is not empty).
std::vector<attribute_change> import_changes(const attribute_row& row, const std::vector<map_attribute>& map);
