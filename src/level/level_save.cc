#include "level/level_save.h"

#include <algorithm>
#include <cstring>

#include "level/level_compare.h"
#include "level/level_writer.h"
#include "support/backup_file.h"
#include "support/byte_sink.h"
#include "support/file_io.h"
#include "support/memory.h"
#include "support/replacement_file.h"

namespace {

// Owns a block from mem_alloc_zeroed.
class block {
 public:
  explicit block(std::int32_t size) : bytes(static_cast<std::uint8_t*>(mem_alloc_zeroed(size))) {}
  ~block() { mem_release(bytes); }
  block(const block&) = delete;
  block& operator=(const block&) = delete;
  std::uint8_t* const bytes;
};

// Compares what is written again with what the temporary file holds, and a
// chunk copied from a raw file by a sample of its blocks: the first and the
// last and every one in between at an even step, 64 of them at most.
class written_check final : public comparing_sink {
 public:
  written_check(replacement_file& file, std::uint64_t length)
      : comparing_sink([&file](std::uint64_t offset, std::span<std::uint8_t> out) { return file.read_back(offset, out); },
                       length) {}

  status copy(const file_source& source) override {
    if (source.length > room()) return differ();
    // Only for data copied from a raw file: a small map never needs them.
    block theirs(block_size), ours(block_size);
    const std::uint64_t blocks = (source.length + block_size - 1) / block_size;
    const std::uint64_t step = std::max<std::uint64_t>(1, (blocks + 62) / 63);
    for (std::uint64_t index = 0, next = 0; index < blocks; index = next) {
      const std::uint64_t at = index * block_size;
      const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(block_size, source.length - at));
      if (status s = file_read_at(source.file, at, {ours.bytes, part}); !s.is_ok()) return s;
      if (status s = read(offset_ + at, {theirs.bytes, part}); !s.is_ok()) return s;
      if (std::memcmp(theirs.bytes, ours.bytes, part) != 0) return differ();
      next = index + step;
      if (next >= blocks && index + 1 < blocks) next = blocks - 1;
    }
    offset_ += source.length;
    return file_source_check_length(source);
  }

 private:
  static constexpr std::int32_t block_size = 1 << 16;
};

// A failed check of the bytes written says why, or nothing when they differ.
status unverified(const status& s) { return status::failure(error_code::verify, s.why(), s.system_error()); }

// The old file's backup, when the plan asks for one.
std::string backup_path(const save_plan& plan) {
  if (plan.backup == nullptr || plan.create) return {};
  return plan.target != nullptr ? backup_name(*plan.target, plan.backup) : backup_name(plan.path, plan.backup);
}

// A backup that cannot be made is found before anything is written.
status probe_backup(const save_plan& plan) {
  const std::string backup = backup_path(plan);
  return backup.empty() ? status::ok() : backup_probe(backup);
}

}  // namespace

status level_save(const level_image& image, const save_plan& plan, report_sink& report, save_outcome& outcome) {
  outcome = save_outcome{};
  if (plan.check_only) {
    if (status s = plan.create ? replacement_file::probe_new(plan.path) : replacement_file::probe(plan.path); !s.is_ok())
      return s;
    if (status s = probe_backup(plan); !s.is_ok()) return s;
    counting_sink count;
    null_report quiet;
    if (status s = level_write_to(image, count, quiet); !s.is_ok()) return s;
    outcome.length = count.total;
    // The writer's lines, as a write would print them.
    const status s = level_write_to(image, count, report);
    report.flush();
    if (!s.is_ok()) return s;
    // What the real run would meet once it writes: the room in the folder,
    // the file size limit, the sticky-folder rule.
    if (status room = replacement_file::probe_room(plan.path, outcome.length, !plan.create); !room.is_ok())
      return room;
    return status::ok();
  }

  save_stage stage;
  if (status s = level_save_stage(image, plan, report, stage); !s.is_ok()) return s;
  if (status s = make_backup(stage); !s.is_ok()) return s;
  if (status s = stage.file.commit(); !s.is_ok()) return s;
  outcome.length = stage.outcome.length;
  outcome.warnings = stage.file.warnings();
  return status::ok();
}

status level_save_stage(const level_image& image, const save_plan& plan, report_sink& report, save_stage& stage) {
  stage.outcome = save_outcome{};
  if (status s = probe_backup(plan); !s.is_ok()) return s;
  // The sizes are refused before anything is opened for writing.
  counting_sink count;
  null_report quiet;
  if (status s = level_write_to(image, count, quiet); !s.is_ok()) return s;
  stage.outcome.length = count.total;
  // The read stage's lines are out before the temporary file exists.
  report.flush();
  const edit_target* target = plan.target;
  if (!plan.create && target == nullptr) {
    if (status s = stage.opened.open_unlocked(plan.path); !s.is_ok()) return s;
    target = &stage.opened;
  }
  if (plan.backup != nullptr && !plan.create) {
    stage.backup = backup_path(plan);
    stage.backup_of = target->file_path();
  }
  replacement_file& file = stage.file;
  if (plan.watch_temp) file.watch_temp(plan.watch_temp);
  if (status s = plan.create ? file.begin_new(plan.path, plan.like) : file.begin(*target); !s.is_ok())
    return s;
  const status written = level_write_to(image, file, report);
  // The writer's lines are out before the target is replaced.
  report.flush();
  if (!written.is_ok()) return written;

  std::uint64_t length = 0;
  if (status s = file.written_length(length); !s.is_ok()) return unverified(s);
  written_check check(file, length);
  const status compared = level_write_to(image, check, quiet);
  if (!compared.is_ok() && !check.differs()) return unverified(compared);
  if (!check.same()) return status::failure(error_code::verify, "");

  stage.outcome.length = length;
  return status::ok();
}

status make_backup(const save_stage& stage) {
  return stage.backup.empty() ? status::ok() : backup_make(stage.backup_of, stage.backup);
}
