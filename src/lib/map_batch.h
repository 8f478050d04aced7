#pragma once

#include <cstddef>
#include <deque>
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
// temporary file at once and sets the disk to work on it; every `window`
// maps the file system is written out once, the window's files flushed side
// by side (each its own flush, so that a write error lands on its map),
// renamed in the order added, and its folders' flushes begun. Those are
// waited for when the next window ends, so that they go on while it is
// staged. Elsewhere the maps are saved one after another. A map's failure is
// its own.
class map_batch {
 public:
  static constexpr std::size_t window = 64;

  map_batch();
  ~map_batch();  // drops the maps not saved yet
  map_batch(const map_batch&) = delete;
  map_batch& operator=(const map_batch&) = delete;

  // `map` must live and stay as it is until its result is final; the paths
  // of `how` are copied.
  void add(const map_file& map, const map_save_options& how);
  // Finishes every map added so far.
  void save();
  // Forgets every map, once saved; indexes then start from 0 again.
  void clear();
  // Forgets the maps before `index`, whose results must be final; the
  // indexes of the others stay as they were.
  void forget_before(std::size_t index);

  // Every index given out so far.
  std::size_t size() const { return first_ + entries_.size(); }
  // The maps before this index have their final results.
  std::size_t final_count() const { return first_ + final_; }
  // By the order of add(); final once below final_count().
  const status& result(std::size_t index) const { return entries_[index - first_].result; }
  const map_saved& saved(std::size_t index) const { return entries_[index - first_].saved; }

  struct entry {
    const map_file* map = nullptr;
    map_save_options how;
    std::string path, like, backup;
    status result = status::ok();
    map_saved saved;
  };

 private:
  void end_window();
  void settle();

  std::deque<entry> entries_;  // a deque, so that an entry never moves while the window works on it
  std::size_t first_ = 0;      // the index of entries_.front()
  std::size_t final_ = 0;      // in entries_: final up to here
  std::size_t ended_ = 0;      // in entries_: windows ended up to here
  std::unique_ptr<map_batch_window, void (*)(map_batch_window*)> window_;
};

// The platform's part (map_batch_linux.cc, map_batch_sequential.cc): a map
// added to the window; its end, after which each result is final or waits
// only for its folder's flush; and settle(), after which every result of the
// windows ended is final.
map_batch_window* map_batch_window_new();
void map_batch_window_free(map_batch_window* window);
void map_batch_window_add(map_batch_window& window, map_batch::entry& added);
void map_batch_window_end(map_batch_window& window, std::span<map_batch::entry* const> entries);
void map_batch_window_settle(map_batch_window& window);
