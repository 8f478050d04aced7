#include "cli/edit_window.h"

#include "cli/edit_texts.h"
#include "cli/progress_line.h"
#include "lib/map_batch.h"
#include "support/format_line.h"
#include "support/output_stream.h"
#include "support/shell_quote.h"

edit_window::edit_window(const command& c, std::function<void(std::size_t index)> dealt_with)
    : c_(c),
      batch_(c.maps.size() > 1 && !c.dry_run && !c.verbose && !c.output),
      dealt_with_(std::move(dealt_with)) {}

void edit_window::next(std::size_t index) {
  current_ = index;
  if (!batch_) {
    if (index > 0) {
      run_progress().done_one(failures_ > counted_);
      counted_ = failures_;
    }
    return;
  }
  if (kept_.size() >= most_kept) finish();
  kept_.emplace_back().index = index;
}

void edit_window::error_line(std::string line, bool failure) {
  if (!batch_) {
    print_error_line(line);
    failures_ += failure;
    return;
  }
  kept_.back().map.lines.emplace_back(true, std::move(line));
  kept_.back().failed = failure;
  kept_.back().open = false;
  print_ready();
}

void edit_window::edit_alone(const std::string& path, std::span<const edit_operation> operations,
                             const attribute_row* row) {
  if (status s = edit_map(c_, path, operations, row); !s.is_ok()) {
    print_error_line(format_line(failure_line, quoted_name(path).c_str(), s.why().c_str()));
    ++failures_;
  }
  dealt_with_(current_);
}

void edit_window::edit(const std::string& path, std::span<const edit_operation> operations, const attribute_row* row,
                       const file_identity* identity) {
  if (!batch_) return edit_alone(path, operations, row);
  slot& s = kept_.back();
  s.edited = true;
  s.open = false;
  s.has_identity = identity != nullptr;
  if (identity != nullptr) s.identity = *identity;
  const status edited = edit_map(c_, path, operations, row, &s.map);
  if (s.map.busy) {
    // Waited for alone, once the maps before it are saved and unlocked.
    kept_.pop_back();
    finish();
    if (printed_any_) run_progress().done_one(last_failed_);
    printed_any_ = true;
    const std::size_t before = failures_;
    edit_alone(path, operations, row);
    last_failed_ = failures_ > before;
    return;
  }
  if (!edited.is_ok()) {
    s.map.lines.emplace_back(true, format_line(failure_line, quoted_name(path).c_str(), edited.why().c_str()));
    s.failed = true;
  }
  if (s.map.to_save && edited.is_ok()) {
    // Its save begins now, and goes on while the next maps are edited.
    s.saved_as = saves_.size();
    saves_.add(*s.map.map, s.map.how);
  } else {
    s.map.map.reset();  // its lock goes at once
  }
  print_ready();
}

bool edit_window::holds(const file_identity& identity) const {
  for (const slot& s : kept_)
    if (s.edited && s.has_identity && s.identity == identity) return true;
  return false;
}

void edit_window::print(slot& s, const status* saved_as, const map_saved* saved) {
  if (printed_any_) run_progress().done_one(last_failed_);
  printed_any_ = true;
  output_stream& out = standard_output();
  for (const auto& [to_error, line] : s.map.lines) {
    if (to_error) {
      print_error_line(line);
    } else {
      out.write(line);
      out.put('\n');
      out.flush();
    }
  }
  const std::string& path = c_.maps[s.index];
  if (saved_as != nullptr)
    if (status done = finish_map_in_batch(c_, path, s.map, *saved_as, *saved); !done.is_ok()) {
      print_error_line(format_line(failure_line, quoted_name(path).c_str(), done.why().c_str()));
      s.failed = true;
    }
  s.map.map.reset();
  failures_ += s.failed;
  last_failed_ = s.failed;
  if (s.edited) dealt_with_(s.index);
}

void edit_window::print_ready() {
  while (!kept_.empty() && !kept_.front().open) {
    slot& s = kept_.front();
    if (!s.map.to_save) {
      print(s, nullptr, nullptr);
    } else if (s.saved_as < saves_.final_count()) {
      print(s, &saves_.result(s.saved_as), &saves_.saved(s.saved_as));
      saves_.forget_before(s.saved_as + 1);
    } else {
      return;
    }
    kept_.pop_front();
  }
}

void edit_window::finish() {
  saves_.save();
  // The current map stays, for what comes of it.
  const bool keep_current = !kept_.empty() && kept_.back().open;
  for (slot& s : kept_) {
    if (s.open) continue;
    if (s.map.to_save) {
      print(s, &saves_.result(s.saved_as), &saves_.saved(s.saved_as));
    } else {
      print(s, nullptr, nullptr);
    }
  }
  kept_.erase(kept_.begin(), keep_current ? kept_.end() - 1 : kept_.end());
  saves_.clear();
}
