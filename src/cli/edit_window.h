#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <span>
#include <string>

#include "cli/edit_options.h"
#include "cli/edit_one_map.h"
#include "lib/map_batch.h"
#include "support/file_identity.h"

// mapgraft-edit's maps in the order given, each map's lines printed once its
// outcome is final and durable, in that order. A batch (several maps, saved
// in place, neither --verbose nor --dry-run) edits its maps one after another
// but saves them together (map_batch.h): a map's lines wait until its save
// is final and the maps before it are printed. A map that another edit holds
// ends the batch's saves, and is then waited for alone, holding no other lock.
// Otherwise each map is edited and saved alone, as edit_map does.
class edit_window {
 public:
  static constexpr std::size_t most_kept = 256;  // maps whose lines wait

  // `dealt_with` is told of each map edited, once its new file (if any) is
  // in place.
  edit_window(const command& c, std::function<void(std::size_t index)> dealt_with);
  edit_window(const edit_window&) = delete;
  edit_window& operator=(const edit_window&) = delete;

  // Map `index` comes next.
  void next(std::size_t index);
  // A line of the current map on standard error; a failure counts.
  void error_line(std::string line, bool failure);
  // Edits the current map; `identity`, when known, is the file it names now.
  void edit(const std::string& path, std::span<const edit_operation> operations, const attribute_row* row,
            const file_identity* identity);
  // Whether a map of the window may be that file, whose later names must
  // wait until the window is saved.
  bool holds(const file_identity& identity) const;
  // Saves the window and prints what waits.
  void finish();

  std::size_t failures() const { return failures_; }

 private:
  struct slot {
    std::size_t index = 0;
    bool open = true;  // the current map, not yet dealt with
    bool failed = false;
    bool edited = false;
    bool has_identity = false;
    std::size_t saved_as = 0;  // its index in the batch
    file_identity identity;
    map_in_batch map;
  };
  void edit_alone(const std::string& path, std::span<const edit_operation> operations, const attribute_row* row);
  void print_ready();
  void print(slot& s, const status* saved_as, const map_saved* saved);

  const command& c_;
  const bool batch_;
  std::function<void(std::size_t)> dealt_with_;
  std::deque<slot> kept_;
  map_batch saves_;
  std::size_t failures_ = 0, counted_ = 0;
  std::size_t current_ = 0;
  bool printed_any_ = false;
  bool last_failed_ = false;
};
