#include "lib/map_batch.h"

namespace {

// The options point at the entry's own copies of their texts.
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
    // Another edit holds the file: the batch's own files are let go before
    // this one is waited for, alone.
    save();
    e.result = map.save(e.how, e.saved);
    return;
  }
  if (entries_.size() - ended_ == window) end_window();
}

void map_batch::end_window() {
  settle();
  if (ended_ == entries_.size()) return;
  std::vector<entry*> ended;
  ended.reserve(entries_.size() - ended_);
  for (std::size_t i = ended_; i < entries_.size(); ++i) ended.push_back(&entries_[i]);
  map_batch_window_end(*window_, ended);
  ended_ = entries_.size();
}

void map_batch::settle() {
  map_batch_window_settle(*window_);
  final_ = ended_;
}

void map_batch::save() {
  end_window();
  settle();
}

void map_batch::clear() {
  save();
  entries_.clear();
  first_ = final_ = ended_ = 0;
}

void map_batch::forget_before(std::size_t index) {
  while (first_ < index && final_ > 0) {
    entries_.pop_front();
    ++first_;
    --final_;
    --ended_;
  }
}
