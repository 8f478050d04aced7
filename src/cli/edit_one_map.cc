#include "cli/edit_one_map.h"

#include <cstdint>
#include <cstring>

#include "cli/binary_output.h"
#include "cli/change_lines.h"
#include "cli/edit_texts.h"
#include "cli/pending_temp.h"
#include "cli/stdout_report.h"
#include "level/level_compare.h"
#include "level/level_edit.h"
#include "level/level_image.h"
#include "level/level_reader.h"
#include "level/level_report.h"
#include "level/level_save.h"
#include "level/level_writer.h"
#include "support/edit_target.h"
#include "support/output_stream.h"
#include "support/shell_quote.h"

namespace {

status refused(const char* format, const std::string& text) { return status::failure(format_line(format, text.c_str())); }

// The reader's and the writer's lines, printed with --verbose. Damage is
// noted either way: the first found is the reason a map fails.
class map_report final : public report_sink {
 public:
  explicit map_report(bool verbose) : verbose_(verbose) {}

  void report(report_kind kind, std::string_view line) override {
    if (kind == report_kind::overflow && damage_reason.empty()) damage_reason = line;
    if (verbose_) out_.report(kind, line);
  }
  void metadata(const metadata_found& found) override {
    if (verbose_) out_.metadata(found);
  }
  void chunk(const chunk_found& found) override {
    if (verbose_) out_.chunk(found);
  }
  void damage(const damage_found& found) override {
    if (!damage_reason.empty()) return;
    damage_reason = damage_line(found).view();
  }
  void chunk_written(const chunk_record* record) override {
    if (verbose_) out_.chunk_written(record);
  }
  void flush() override {
    if (verbose_) out_.flush();
  }

  std::string damage_reason;

 private:
  bool verbose_;
  stdout_report out_;
};

void print_line(const command& c, const std::string& line) {
  if (c.quiet) return;
  output_stream& out = standard_output();
  out.write(line);
  out.put('\n');
  out.flush();
}

std::string change_text(const command& c, const std::string& path, const edit_summary& summary, std::uint64_t bytes) {
  return format_line(changed_line, shown_name(path).c_str(), static_cast<long long>(summary.removed), static_cast<long long>(summary.added),
                     static_cast<long long>(summary.replaced), summary.tileset_replaced ? tileset_part : "",
                     static_cast<long long>(summary.chunks), static_cast<unsigned long long>(bytes),
                     c.dry_run ? would_be_written_part : written_part,
                     !c.output                ? ""
                     : c.writes_standard_output() ? standard_output_part
                                                  : format_line(output_part, shown_name(*c.output).c_str()).c_str());
}

}  // namespace

status edit_map(const command& c, const std::string& path, std::span<const edit_operation> operations) {
  // Held until the new map is in place: another edit of the map waits.
  edit_target input;
  const auto waiting = [&path] { print_error_line(format_line(waiting_line, quoted_name(path).c_str())); };
  if (status s = input.open(path.c_str(), waiting); !s.is_ok())
    return s.code() == failure_code::edit_in_progress ? refused(cannot_write, s.why()) : refused(cannot_open, s.why());
  if (input.changed_while_waiting() && c.has_index_operations()) return status::failure(changed_while_waiting);

  level_image_owner level;
  level_image& image = level.image;
  map_report report(c.verbose);
  const read_result read = level_read(image, input.bytes(), report);
  report.flush();
  if (read == read_result::rejected) return status::failure(not_a_map);
  if (!c.force && !report.damage_reason.empty()) return refused(damaged_map, report.damage_reason);
  if (!c.force && image.shape == level_shape::plain && input.bytes().size() % 4 != 0)
    return status::failure(format_line(unlike_a_map, static_cast<long long>(input.bytes().size())));

  // With -o the result is written whatever it is, and the map's bytes are
  // not needed again.
  if (c.output) input.release_bytes();
  change_lines changes;
  if (c.verbose) changes.before(image);
  edit_summary summary;
  std::vector<std::int8_t> fates;
  if (status s = level_apply_edits(image, operations, summary, c.verbose ? &fates : nullptr); !s.is_ok()) return s;
  // Printed before the map's count line, whatever becomes of the write.
  const std::vector<std::string> change_text_lines = c.verbose ? changes.after(image, summary, fates) : std::vector<std::string>{};
  const auto print_changes = [&] {
    for (const std::string& line : change_text_lines) print_line(c, line);
  };

  if (!c.output) {
    const std::span<const std::uint8_t> old = input.bytes();
    bool same = false;
    const block_reader read_old = [old](std::uint64_t offset, std::span<std::uint8_t> out) {
      std::memcpy(out.data(), old.data() + offset, out.size());
      return status::ok();
    };
    if (status s = level_compare_written(image, read_old, old.size(), same); !s.is_ok()) return refused(cannot_write, s.why());
    if (same) {
      print_line(c, format_line(c.dry_run ? would_be_unchanged_line : unchanged_line, shown_name(path).c_str()));
      return status::ok();
    }
  }
  input.release_bytes();

  const auto write_failed = [&](const status& s) {
    if (is_temp_folder_failure(s)) return s;
    if (c.writes_standard_output()) return refused(cannot_write_standard_output, s.why());
    return c.output ? status::failure(format_line(cannot_write_output, quoted_name(*c.output).c_str(), s.why().c_str()))
                    : refused(cannot_write, s.why());
  };
  // To standard output: a pipe cannot be read back, so what goes down it is
  // what the writer gave; a dry run only counts.
  if (c.writes_standard_output()) {
    standard_output_sink out;
    counting_sink count(c.dry_run ? nullptr : &out);
    const status counted = level_write_to(image, count, report);
    report.flush();
    if (!counted.is_ok()) return write_failed(counted);
    if (c.dry_run && !c.writes_standard_output()) {
      const char* written_to = c.output ? c.output->c_str() : path.c_str();
      if (status s = replacement_file::probe_room(written_to, count.total, !c.output); !s.is_ok()) return write_failed(s);
    }
    print_changes();
    print_line(c, change_text(c, path, summary, count.total));
    return status::ok();
  }

  save_plan plan;
  plan.path = c.output ? c.output->c_str() : path.c_str();
  plan.target = c.output ? nullptr : &input;
  plan.create = c.output.has_value();
  plan.like = path.c_str();
  plan.check_only = c.dry_run;
  plan.watch_temp = pending_temp_watcher();
  save_outcome outcome;
  if (status s = level_save(image, plan, report, outcome); !s.is_ok()) {
    if (outcome.failed != save_outcome::failure::verify) return write_failed(s);
    return s.why().empty() ? status::failure(verification_failed) : refused(verification_failed_because, s.why());
  }
  print_changes();
  print_line(c, change_text(c, path, summary, outcome.length));
  for (const std::string& line : outcome.warnings) print_error_line("mapgraft-edit: warning: " + line);
  return status::ok();
}
