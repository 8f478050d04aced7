#include <cstring>

#include "level/level_compare.h"
#include "level/level_save.h"
#include "level/level_writer.h"
#include "lib/map_file.h"
#include "mapgraft.h"
#include "support/edit_target.h"

status map_file::unchanged(bool& same) const {
  const std::span<const std::uint8_t> old = bytes_opened();
  const block_reader read_old = [old](std::uint64_t offset, std::span<std::uint8_t> out) {
    std::memcpy(out.data(), old.data() + offset, out.size());
    return status::ok();
  };
  return level_compare_written(image_, read_old, old.size(), same);
}

status map_file::write_to(byte_sink& out, report_sink& report) const { return level_write_to(image_, out, report); }

status map_file::check_origin(const map_save_options& how) const {
  // The file the map came from must be as it was read, unless the caller
  // says otherwise: whatever the path's spelling, the same file, or another
  // one put where it was.
  if (!how.create && !how.anyway && origin_.known) {
    file_origin now;
    const bool found = file_origin_now(how.path, now);
    const bool same_file = found && now.identity == origin_.identity;
    if ((same_file && !(now == origin_)) ||
        (!same_file && same_location(found ? now.location : file_location(how.path), origin_.location)))
      return status::failure(error_code::changed, "the file changed since it was read");
  }
  return status::ok();
}

// A file replaced is held as the programs hold it, from the check to the
// rename, so that neither loses the other's edit; a map opened for an edit
// holds its file already. Without `wait`, a file another edit holds fails
// at once with edit_in_progress.
status map_file::hold_file(const map_save_options& how, bool wait, edit_target& locked,
                           const edit_target*& target) const {
  target = opened_.get();
  if (how.create || target != nullptr) return status::ok();
  if (status s = locked.open_to_replace(how.path, wait); !s.is_ok()) return s;
  target = &locked;
  return status::ok();
}

void map_file::fill_plan(const map_save_options& how, const edit_target* target, save_plan& plan) const {
  plan.path = how.path;
  plan.target = how.create ? nullptr : target;
  plan.create = how.create;
  plan.like = how.like != nullptr ? how.like : origin_.known ? origin_.path.c_str() : nullptr;
  plan.check_only = how.check_only;
  plan.backup = how.backup;
  plan.watch_temp = how.watch_temp;
}

status map_file::save_failure(const status& s) const {
  if (s.code() != error_code::verify) return s;
  return status::failure(error_code::verify, s.why().empty() ? "verification failed" : "verification failed: " + s.why(),
                         s.system_error());
}

status map_file::save(const map_save_options& how, map_saved& saved) const {
  saved = map_saved{};
  const std::lock_guard<std::mutex> held(origin_lock_);
  edit_target locked;
  const edit_target* target = nullptr;
  if (status s = hold_file(how, how.wait, locked, target); !s.is_ok()) return s;
  if (status s = check_origin(how); !s.is_ok()) return s;
  save_plan plan;
  fill_plan(how, target, plan);
  save_outcome outcome;
  null_report quiet;
  if (status s = level_save(image_, plan, how.report != nullptr ? *how.report : quiet, outcome); !s.is_ok())
    return save_failure(s);
  saved.length = outcome.length;
  saved.warnings = std::move(outcome.warnings);
  if (!plan.check_only) {
    // The saved file is where the map now comes from.
    file_origin now;
    if (file_origin_now(how.path, now)) origin_ = now;
  }
  return status::ok();
}

status map_file::stage_save(const map_save_options& how, save_stage& stage) const {
  const std::lock_guard<std::mutex> held(origin_lock_);
  // A batch holds the files of its window: it never waits while it does.
  const edit_target* target = nullptr;
  if (status s = hold_file(how, false, stage.opened, target); !s.is_ok()) return s;
  if (status s = check_origin(how); !s.is_ok()) return s;
  save_plan plan;
  fill_plan(how, target, plan);
  null_report quiet;
  if (status s = level_save_stage(image_, plan, how.report != nullptr ? *how.report : quiet, stage); !s.is_ok())
    return save_failure(s);
  return status::ok();
}

void map_file::staged_save_done(const map_save_options& how, save_stage& stage, map_saved& saved) const {
  const std::lock_guard<std::mutex> held(origin_lock_);
  saved.length = stage.outcome.length;
  saved.warnings = stage.file.warnings();
  file_origin now;
  if (file_origin_now(how.path, now)) origin_ = now;
}
