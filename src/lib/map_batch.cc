#include "lib/map_batch.h"

namespace {

// The options' texts are the entry's own copies, wherever the vector has
// moved them.
void point_at_copies(map_batch::entry& e) {
  e.how.path = e.path.c_str();
  if (e.how.like != nullptr) e.how.like = e.like.c_str();
  if (e.how.backup != nullptr) e.how.backup = e.backup.c_str();
}

}  // namespace

map_batch::map_batch() : window_(map_batch_window_new(), map_batch_window_free) {}

// What was not saved is dropped, its temporary files removed.
map_batch::~map_batch() = default;

void map_batch::add(const map_file& map, const map_save_options& how) {
  entry& e = entries_.emplace_back();
  e.map = &map;
  e.how = how;
  e.path = how.path != nullptr ? how.path : "";
  if (how.like != nullptr) e.like = how.like;
  if (how.backup != nullptr) e.backup = how.backup;
  point_at_copies(e);
  map_batch_window_add(*window_, e);
  if (e.result.code() == error_code::edit_in_progress && how.wait) {
    // Another edit holds the file: the window's own files are let go before
    // this one is waited for, alone.
    end_window();
    point_at_copies(e);
    e.result = e.map->save(e.how, e.saved);
    return;
  }
  if (entries_.size() - saved_up_to_ == window) end_window();
}

void map_batch::end_window() {
  if (saved_up_to_ == entries_.size()) return;
  std::span<entry> ended = std::span<entry>(entries_).subspan(saved_up_to_);
  // The vector may have moved the texts since they were added.
  for (entry& e : ended) point_at_copies(e);
  map_batch_window_end(*window_, ended);
  saved_up_to_ = entries_.size();
}

void map_batch::save() { end_window(); }

void map_batch::clear() {
  end_window();
  entries_.clear();
  saved_up_to_ = 0;
}
