#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lib/format_terms.h"

// What mapgraft-edit -v shows of an edit: "- " before the line mapgraft-inspect
// prints for each chunk removed or changed, "+ " before the line of each chunk
// changed or added, and "~ tileset: OLD -> NEW" for a tileset swapped.
class change_lines {
 public:
  // Notes the chunks and the tileset as read, before the edit.
  void before(const level_image& image);
  // The lines, once the edit has been applied to `image`.
  std::vector<std::string> after(const level_image& image, const edit_summary& summary,
                                 const std::vector<std::int8_t>& fates) const;

 private:
  std::vector<std::string> old_chunks_;
  std::string old_tileset_;
};
