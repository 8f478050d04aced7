#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "level_image.h"
#include "level_report.h"
#include "support/status.h"

// The edit operations, applied in order to a level image: mapgraft-edit's,
// and one at a time the changes of the C functions (src/lib/map_change.cc).
//
// Indexes name chunks as the map was read, before any operation: the numbers
// mapgraft-inspect prints. A chunk changed in place (set, replace) keeps its
// index; a removed chunk no longer has one; chunks appended by the edit have
// none. An index that does not exist, or no longer does, fails the edit.
struct edit_operation {
  enum class kind {
    add,          // append `data` as a new chunk of `type`
    set,          // the first ATTR chunk whose data begin with "key=" takes the data "key=value" and keeps
                  // its place, later ones of that key are removed; without one, the chunk is appended
    unset,        // remove every ATTR chunk whose data begin with "key="
    remove,       // remove the chunks `indexes`
    remove_type,  // remove every chunk of `type`
    replace,      // chunk `indexes[0]` keeps its type and place and takes `data`
    tileset,      // the tileset becomes the bitmap `data` (checked by tileset_file_check)
  } what;
  std::uint8_t type[4] = {};
  std::string key;
  std::string value;
  std::vector<std::uint64_t> indexes;
  std::span<const std::uint8_t> data;  // a FILE's bytes, read once for every map
  // The data stay valid, unchanged, for as long as the image: the image then
  // refers to them instead of holding a copy.
  bool borrow_data = false;
};

// What an edit changed, for the one line a map gets.
struct edit_summary {
  std::int64_t removed = 0;
  std::int64_t added = 0;
  std::int64_t replaced = 0;  // changed in place, by replace or set
  bool tileset_replaced = false;
  std::int64_t chunks = 0;  // in the result
};

// Applies `operations` in order to `image`. On failure (no_chunk: an index
// that does not exist or no longer does, e.g. "no chunk 7"; too_large: a
// chunk too large for a map file; bad_tileset) the image is left as it was.
//
// With `fates`, it also says what became of each chunk read: kept as it was
// (0), removed (-1), or given new data (1). The chunks kept or given new data
// come first in the result, in their order; the chunks appended follow.
status level_apply_edits(level_image& image, std::span<const edit_operation> operations, edit_summary& summary,
                         std::vector<std::int8_t>* fates = nullptr);
