#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "lib/map_file.h"
#include "support/status.h"

// Saves many maps together, each as map_file::save() would alone and with
// the same promise: a map's new bytes are flushed, read back and compared
// before its rename, and each folder is flushed after its renames, before
// save() returns. On Linux the maps go in windows of `window`: all their
// temporary files written and checked, then flushed by a few threads at
// once, so that the file system commits them together, then renamed one
// after another, then each folder flushed once. Elsewhere they are saved one
// after another. A map's failure is its own; the others go on.
class map_batch {
 public:
  static constexpr std::size_t window = 64;

  // `map` must live until save() returns; the paths of `how` are copied.
  void add(const map_file& map, const map_save_options& how);
  // Saves every map added since the last save().
  void save();
  void clear();

  std::size_t size() const { return entries_.size(); }
  // By the order of add(); a map not saved yet is ok.
  const status& result(std::size_t index) const { return entries_[index].result; }
  const map_saved& saved(std::size_t index) const { return entries_[index].saved; }

  struct entry {
    const map_file* map = nullptr;
    map_save_options how;
    std::string path, like;
    status result = status::ok();
    map_saved saved;
  };

 private:
  std::vector<entry> entries_;
  std::size_t saved_up_to_ = 0;
};

// One window of a batch (map_batch_linux.cc, map_batch_win32.cc).
void map_batch_save_window(std::span<map_batch::entry> entries);
