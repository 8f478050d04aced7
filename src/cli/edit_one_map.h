#pragma once

#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/edit_options.h"
#include "lib/format_terms.h"
#include "lib/map_file.h"
#include "support/status.h"

// A map of a batch whose maps are saved together (edit_window.h): edit_map
// leaves it opened, locked and edited, for the batch to save, and keeps the
// lines it would have printed meanwhile. Not for --verbose, --dry-run or -o.
struct map_in_batch {
  std::unique_ptr<map_file> map = std::make_unique<map_file>();
  bool busy = false;     // another edit holds it: nothing was done
  bool to_save = false;  // edited and changed: waits for the save
  map_save_options how;
  edit_summary summary;
  std::vector<std::pair<bool, std::string>> lines;  // (to standard error, line), in order
};

// Edits one map; on failure returns the reason, and the map is as it was.
// With `row`, the map first takes the attributes it describes. With
// `batch`, a map that another edit holds is not waited for, and one that
// changes is not saved (see map_in_batch).
status edit_map(const command& c, const std::string& path, std::span<const edit_operation> operations,
                const attribute_row* row = nullptr, map_in_batch* batch = nullptr);
// Prints the lines of a map of a batch once the batch has saved it as
// `saved_as` says, or returns the reason its save failed.
status finish_map_in_batch(const command& c, const std::string& path, const map_in_batch& batch,
                           const status& saved_as, const map_saved& saved);
