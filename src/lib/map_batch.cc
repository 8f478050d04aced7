#include "lib/map_batch.h"

#include <algorithm>

void map_batch::add(const map_file& map, const map_save_options& how) {
  entry& e = entries_.emplace_back();
  e.map = &map;
  e.how = how;
  e.path = how.path != nullptr ? how.path : "";
  if (how.like != nullptr) e.like = how.like;
}

void map_batch::save() {
  // The copies' texts stay where they are from here on.
  for (std::size_t i = saved_up_to_; i < entries_.size(); ++i) {
    entry& e = entries_[i];
    e.how.path = e.path.c_str();
    e.how.like = e.how.like != nullptr ? e.like.c_str() : nullptr;
  }
  while (saved_up_to_ < entries_.size()) {
    const std::size_t count = std::min(window, entries_.size() - saved_up_to_);
    map_batch_save_window(std::span<entry>(entries_).subspan(saved_up_to_, count));
    saved_up_to_ += count;
  }
}

void map_batch::clear() {
  entries_.clear();
  saved_up_to_ = 0;
}
