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

status map_file::save(const map_save_options& how, map_saved& saved) const {
  saved = map_saved{};
  const std::lock_guard<std::mutex> held(origin_lock_);
  // A file replaced is held as the programs hold it, from the check to the
  // rename, so that neither loses the other's edit; a map opened for an edit
  // holds its file already.
  edit_target locked;
  const edit_target* target = opened_.get();
  if (!how.create && target == nullptr) {
    if (status s = locked.open_to_replace(how.path, how.wait); !s.is_ok()) return s;
    target = &locked;
  }
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
  save_plan plan;
  plan.path = how.path;
  plan.target = how.create ? nullptr : target;
  plan.create = how.create;
  plan.like = how.like != nullptr ? how.like : origin_.known ? origin_.path.c_str() : nullptr;
  plan.check_only = how.check_only;
  plan.backup = how.backup;
  plan.watch_temp = how.watch_temp;
  save_outcome outcome;
  null_report quiet;
  if (status s = level_save(image_, plan, how.report != nullptr ? *how.report : quiet, outcome); !s.is_ok()) {
    if (s.code() != error_code::verify) return s;
    return status::failure(error_code::verify, s.why().empty() ? "verification failed" : "verification failed: " + s.why(),
                           s.system_error());
  }
  saved.length = outcome.length;
  saved.warnings = std::move(outcome.warnings);
  if (!plan.check_only) {
    // The saved file is where the map now comes from.
    file_origin now;
    if (file_origin_now(how.path, now)) origin_ = now;
  }
  return status::ok();
}
