#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "lib/map_file.h"
#include "support/status.h"

class map_batch_window;

// Saves many maps together, each as map_file::save() would alone and with
// the same promise: a map's new bytes are flushed, read back and compared
// before its rename, and each folder is flushed after its renames, before
// the map's result is final. On Linux add() writes and checks the map's
// temporary file at once and hands it to a few threads that flush it while
// the caller goes on, so that the file system commits many flushes together;
// every `window` maps, and at save(), the flushes are waited for, the files
// renamed in the order added, and each folder flushed once. Elsewhere save()
// saves the maps one after another. A map's failure is its own.
class map_batch {
 public:
  static constexpr std::size_t window = 64;

  map_batch();
  ~map_batch();  // drops the maps not saved yet
  map_batch(const map_batch&) = delete;
  map_batch& operator=(const map_batch&) = delete;

  // `map` must live and stay as it is until save() returns; the paths of
  // `how` are copied.
  void add(const map_file& map, const map_save_options& how);
  // Finishes every map added since the last save().
  void save();
  // Forgets the maps saved, whose indexes then start from 0 again.
  void clear();

  std::size_t size() const { return entries_.size(); }
  // By the order of add(); final once save() has returned.
  const status& result(std::size_t index) const { return entries_[index].result; }
  const map_saved& saved(std::size_t index) const { return entries_[index].saved; }

  struct entry {
    const map_file* map = nullptr;
    map_save_options how;
    std::string path, like, backup;
    status result = status::ok();
    map_saved saved;
  };

 private:
  void end_window();

  std::vector<entry> entries_;
  std::size_t saved_up_to_ = 0;
  std::unique_ptr<map_batch_window, void (*)(map_batch_window*)> window_;
};

// The platform's part (map_batch_linux.cc, map_batch_sequential.cc): a window
// begun, a map added to it, and its end, which leaves every result final.
map_batch_window* map_batch_window_new();
void map_batch_window_free(map_batch_window* window);
void map_batch_window_add(map_batch_window& window, map_batch::entry& added);
void map_batch_window_end(map_batch_window& window, std::span<map_batch::entry> entries);
